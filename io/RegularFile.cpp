#include "io/RegularFile.h"

#include <QFileInfo>

// LIDAR_NO_POSIX builds the branch other systems get, so that it is compiled
// (and kept building) here too.
#if defined(Q_OS_UNIX) && !defined(LIDAR_NO_POSIX)
#define LIDAR_POSIX_FILES
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace RegularFile {

Kind kindOf(const QString &path)
{
    if (path.isEmpty())
        return Kind::Other;
    const QFileInfo info(path);
    if (!info.exists())
        return info.isSymLink() ? Kind::Other : Kind::Missing; // a dangling link: where it points is unclear
    return info.isFile() ? Kind::Regular : Kind::Other;
}

#ifdef LIDAR_POSIX_FILES
namespace {
QString systemReason(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}
} // namespace

// Opened without blocking, then checked on the descriptor itself: the path
// may have been swapped for a FIFO since kindOf looked at it.
Opened open(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *error)
{
    if (kindOf(path) == Kind::Other)
        return Opened::NotRegular;
    const bool writing = mode & QIODevice::WriteOnly;
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (writing)
        flags |= ((mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY) | O_CREAT;
    else
        flags |= O_RDONLY;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0666);
    if (fd < 0) {
        const int code = errno;
        if (code == ENXIO) // a FIFO without a reader: not a file to write
            return Opened::NotRegular;
        if (error)
            *error = systemReason(code);
        return Opened::Failed;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Opened::NotRegular;
    }
    const int status = ::fcntl(fd, F_GETFL);
    const bool blockingAgain = status != -1 && ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) == 0;
    const bool truncated = !(writing && (mode & QIODevice::Truncate)) || ::ftruncate(fd, 0) == 0;
    if (!blockingAgain || !truncated) {
        const int code = errno;
        ::close(fd);
        if (error)
            *error = systemReason(code);
        return Opened::Failed;
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error)
            *error = file.errorString();
        return Opened::Failed;
    }
    return Opened::Yes;
}
#else
// Elsewhere no FIFO can sit at an ordinary path; the check before opening is all.
Opened open(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *error)
{
    if (kindOf(path) == Kind::Other)
        return Opened::NotRegular;
    if (!(mode & QIODevice::Truncate) && (mode & QIODevice::WriteOnly) && !(mode & QIODevice::Append))
        mode |= QIODevice::ReadOnly; // Qt truncates a plain WriteOnly open
    file.setFileName(path);
    if (!file.open(mode)) {
        if (error)
            *error = file.errorString();
        return Opened::Failed;
    }
    return Opened::Yes;
}
#endif

} // namespace RegularFile
