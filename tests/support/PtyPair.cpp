#include "tests/support/PtyPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    int slave = -1;
    char name[256] = {};
    if (openpty(&masterFd, &slave, name, nullptr, nullptr) != 0) {
        masterFd = -1;
        return;
    }
    termios tio {};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    // A program the test starts must not hold the device's side open: closing
    // it would then unplug nothing.
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    slavePath = QString::fromLocal8Bit(name);
    // Holding the slave open keeps the master readable across port reopens.
    slaveKeepFd = slave;
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (slaveKeepFd >= 0)
        ::close(slaveKeepFd);
}

bool PtyPair::write(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    QElapsedTimer clock;
    clock.start();
    while (left > 0 && masterFd >= 0) {
        const ssize_t n = ::write(masterFd, p, size_t(left));
        if (n > 0) {
            p += n;
            left -= n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            if (clock.elapsed() > 10000)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }
    return left == 0;
}

QByteArray PtyPair::read(int atLeast, int ms)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    char buf[4096];
    while (masterFd >= 0) {
        const ssize_t n = ::read(masterFd, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, int(n));
            continue;
        }
        if (out.size() >= atLeast || clock.elapsed() >= ms)
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        usleep(1000);
    }
    return out;
}

void PtyPair::closeMaster()
{
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
}
