#pragma once

#include <QByteArray>

#include <string>

// The device side of a pseudo-terminal pair. The host opens slavePath() as its
// serial port; the simulator reads and writes the master, never blocking.
class PtyEnd {
public:
    PtyEnd() = default;
    ~PtyEnd();
    PtyEnd(const PtyEnd &) = delete;
    PtyEnd &operator=(const PtyEnd &) = delete;

    // Opens the pair in raw mode; false with `error` set when it cannot.
    bool open(std::string &error);
    // Closes the master: the host's port hangs up, and the slave's name goes.
    void close();
    int fd() const { return masterFd; }
    const std::string &slavePath() const { return path; }

    // Appends what is readable now to `into`, at most `limit` bytes.
    // False when nobody holds the slave open (reads then fail with EIO).
    bool readAvailable(QByteArray &into, int limit);
    // Writes as much of `bytes` as fits now; returns how many were taken,
    // or -1 when the write failed for another reason than a full buffer.
    qint64 writeSome(const QByteArray &bytes);

private:
    int masterFd = -1;
    std::string path;
};
