#include "sim/PtyEnd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyEnd::~PtyEnd()
{
    close();
}

void PtyEnd::close()
{
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
    path.clear();
}

bool PtyEnd::open(std::string &error)
{
    int slave = -1;
    char name[256] = {};
    termios tio {};
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (openpty(&masterFd, &slave, name, &tio, nullptr) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        masterFd = -1;
        return false;
    }
    // The slave is left to the host alone, so the master reports a hang-up
    // whenever no host holds the port open.
    ::close(slave);
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    path = name;
    return true;
}

bool PtyEnd::readAvailable(QByteArray &into, int limit)
{
    char buf[4096];
    while (limit > 0) {
        const ssize_t n = ::read(masterFd, buf, std::min<size_t>(sizeof buf, size_t(limit)));
        if (n > 0) {
            into.append(buf, int(n));
            limit -= int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return !(n < 0 && errno == EIO);
    }
    return true;
}

qint64 PtyEnd::writeSome(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return 0;
    for (;;) {
        const ssize_t n = ::write(masterFd, bytes.constData(), size_t(bytes.size()));
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}
