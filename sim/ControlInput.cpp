#include "sim/ControlInput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ControlInput::~ControlInput()
{
    close();
}

bool ControlInput::open(const std::string &path, std::string &error)
{
    if (path == "-") {
        if (fcntl(STDIN_FILENO, F_GETFD) == -1) {
            error = "standard input is closed";
            return false;
        }
        readFd = STDIN_FILENO;
        return true;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISFIFO(st.st_mode)) {
            error = path + " exists and is not a named pipe; it is left alone";
            return false;
        }
        unlink(path.c_str());
    }
    // Only the user may move the target.
    if (mkfifo(path.c_str(), 0600) != 0 || stat(path.c_str(), &st) != 0) {
        error = "cannot make the named pipe " + path + ": " + std::strerror(errno);
        return false;
    }
    pipePath = path;
    pipeDevice = st.st_dev;
    pipeInode = st.st_ino;
    return openPipeEnd(error);
}

// Non-blocking, so that opening needs no writer. A fresh read end reports no
// hang-up until a writer has come and gone, which lets the pipe be read
// again after each writer.
bool ControlInput::openPipeEnd(std::string &error)
{
    const int fd = ::open(pipePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open the named pipe " + pipePath + ": " + std::strerror(errno);
        return false;
    }
    // The new end is opened before the old one closes, so a writer never
    // finds the pipe without a reader.
    if (readFd >= 0)
        ::close(readFd);
    readFd = fd;
    return true;
}

void ControlInput::close()
{
    if (pipePath.empty()) {
        readFd = -1;
        return;
    }
    if (readFd >= 0)
        ::close(readFd);
    readFd = -1;
    struct stat st {};
    if (lstat(pipePath.c_str(), &st) == 0 && st.st_dev == pipeDevice && st.st_ino == pipeInode)
        unlink(pipePath.c_str());
    pipePath.clear();
}

std::vector<ControlInput::Line> ControlInput::readLines()
{
    std::vector<Line> lines;
    if (readFd < 0)
        return lines;
    char buf[4096];
    const ssize_t n = ::read(readFd, buf, sizeof buf);
    if (n > 0) {
        takeBytes(buf, size_t(n), lines);
    } else if (n == 0) {
        endOfInput(lines);
    } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        lines.push_back({{}, std::string("reading failed: ") + std::strerror(errno)});
        endOfInput(lines);
    }
    return lines;
}

void ControlInput::takeBytes(const char *bytes, size_t n, std::vector<Line> &lines)
{
    for (size_t i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            if (!overlong)
                lines.push_back({partial, {}});
            partial.clear();
            overlong = false;
        } else if (c != '\r' && !overlong) {
            partial.push_back(c);
            if (partial.size() > kLongestLine) {
                lines.push_back({{}, "ignored a line longer than " + std::to_string(kLongestLine) + " bytes"});
                partial.clear();
                overlong = true;
            }
        }
    }
}

// The writer closed: what it left without a newline is its last line. A pipe
// waits for the next writer; standard input is done.
void ControlInput::endOfInput(std::vector<Line> &lines)
{
    if (!partial.empty() && !overlong)
        lines.push_back({partial, {}});
    partial.clear();
    overlong = false;
    std::string error;
    if (!pipePath.empty() && openPipeEnd(error))
        return;
    if (!error.empty())
        lines.push_back({{}, error + "; no more control lines are read"});
    if (!pipePath.empty() && readFd >= 0)
        ::close(readFd);
    readFd = -1;
}
