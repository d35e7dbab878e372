#include "cli/Console.h"

#include <cerrno>
#include <unistd.h>

namespace Console {

bool writeAll(int fd, const char *bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}

void message(const QString &line)
{
    progress(line + QLatin1Char('\n'));
}

void progress(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    writeAll(STDERR_FILENO, bytes.constData(), std::size_t(bytes.size()));
}

bool data(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return writeAll(STDOUT_FILENO, bytes.constData(), std::size_t(bytes.size()));
}

bool data(const std::string &bytes)
{
    return writeAll(STDOUT_FILENO, bytes.data(), bytes.size());
}

bool stdoutIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

} // namespace Console
