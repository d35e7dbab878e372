#pragma once

#include <QFile>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

// Appends text lines to a file from a thread of its own, so that a slow or
// stalled disk never holds up the caller. Lines wait in a buffer of bounded
// size and reach the file at least every flush interval; lines that find the
// buffer full are refused and counted. The first failed write ends the
// writing: the file keeps every whole line written before it.
class LogFileWriter {
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t(4) << 20;
    static constexpr int kFlushIntervalMs = 250;

    enum class Failure { None, WriteFailed, FileRemoved };

    struct Status {
        qint64 linesWritten = 0;
        qint64 bytesWritten = 0;
        qint64 linesDropped = 0; // refused for want of room, or left when writing failed
        Failure failure = Failure::None;
        QString error; // the system's reason for WriteFailed
    };

    explicit LogFileWriter(std::size_t capacity = kDefaultCapacity);
    ~LogFileWriter();
    LogFileWriter(const LogFileWriter &) = delete;
    LogFileWriter &operator=(const LogFileWriter &) = delete;

    // Creates or truncates `path`, writes `header` (not counted as a line)
    // and starts writing; false with the reason.
    bool open(const QString &path, const std::string &header, QString *error);
    // Queues `size` bytes holding `lines` whole lines; false (and counted as
    // dropped) when they do not fit, or after a failure or close.
    bool append(const char *data, std::size_t size, int lines);
    // Writes what is queued, flushes and closes the file. Safe to repeat.
    void close();
    Status status() const;

private:
    void run();
    bool writeOut(const std::string &text, int lines);
    bool flushToDisk();
    void failWrite(const std::string &text, qint64 written);

    const std::size_t capacity;
    QFile file;
    std::thread worker;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::string filling; // guarded by mutex
    int fillingLines = 0;
    bool stopping = false;
    bool accepting = false;
    Status state;
    std::string writing; // the worker's own
};
