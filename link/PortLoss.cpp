#include "link/PortLoss.h"

#include <QFileInfo>
#include <QSerialPortInfo>

// LIDAR_NO_POSIX builds the branch other systems get, so that it is compiled
// (and kept building) here too.
#if defined(Q_OS_UNIX) && !defined(LIDAR_NO_POSIX)
#define LIDAR_POSIX_LINE
#include <cerrno>
#include <poll.h>
#include <unistd.h>
#endif

namespace PortLoss {

namespace {
// A line whose other end is gone (an unplugged bridge, a closed
// pseudo-terminal) can report endless read errors instead of a resource
// error; the hang-up on its handle says the device has vanished all the same.
// Where there is no poll(), a port the system no longer lists has vanished.
bool lineHungUp(const QSerialPort &port)
{
#ifdef LIDAR_POSIX_LINE
    pollfd line {int(port.handle()), POLLIN, 0};
    return ::poll(&line, 1, 0) == 1 && (line.revents & (POLLHUP | POLLERR | POLLNVAL));
#else
    return QSerialPortInfo(port).isNull();
#endif
}
} // namespace

bool deviceVanished(const QSerialPort &port, QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::ResourceError)
        return true;
    return error == QSerialPort::ReadError && port.isOpen() && lineHungUp(port);
}

QString deviceFile(const QString &portName)
{
    if (portName.isEmpty() || portName.startsWith(QLatin1Char('/')))
        return portName;
    return QStringLiteral("/dev/") + portName;
}

// Elsewhere a refused open is told apart by the serial library's own text.
bool deniedByPermissions(const QString &file)
{
#ifdef LIDAR_POSIX_LINE
    const QByteArray path = QFile::encodeName(file);
    return !path.isEmpty() && ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(file)
    return false;
#endif
}

QString owningGroup(const QString &file)
{
    const QString group = QFileInfo(file).group();
    return group.isEmpty() || group == QLatin1String("root") ? QStringLiteral("dialout") : group;
}

} // namespace PortLoss
