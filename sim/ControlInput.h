#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// Where control lines come from: a named pipe the simulator makes (and
// removes again), or standard input for "-". It is read only when poll says
// there is something, a read at a time, so a writer that stalls mid-line
// never holds the frame loop; a line cut off when its writer closes counts
// as whole.
class ControlInput {
public:
    static constexpr size_t kLongestLine = 1024;

    ControlInput() = default;
    ~ControlInput();
    ControlInput(const ControlInput &) = delete;
    ControlInput &operator=(const ControlInput &) = delete;

    // Makes the pipe at `path` (replacing a pipe left over there, never
    // anything else) or takes standard input; false with `error` set.
    bool open(const std::string &path, std::string &error);
    // Removes the pipe while it is still the one made here.
    void close();
    // -1 when there is nothing to watch (no input, or standard input ended).
    int fd() const { return readFd; }

    struct Line {
        std::string text;
        std::string problem; // set instead when the line was dropped or reading failed
    };

    // Reads what is there now; returns the lines completed, in order.
    std::vector<Line> readLines();

private:
    bool openPipeEnd(std::string &error);
    void takeBytes(const char *bytes, size_t n, std::vector<Line> &lines);
    void endOfInput(std::vector<Line> &lines);

    std::string pipePath; // empty for standard input
    dev_t pipeDevice = 0;
    ino_t pipeInode = 0;
    int readFd = -1;
    std::string partial;
    bool overlong = false;
};
