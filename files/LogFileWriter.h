#pragma once

#include <QCoreApplication>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Appends text lines to a file from a thread of its own, so that a slow or
// stalled disk never holds up the caller: the file is opened, written,
// synced and closed on that thread alone, and the caller waits for opening
// and closing no longer than kWaitMs. Lines wait in a buffer of bounded size
// and reach the file at least every flush interval; lines that find the
// buffer full are refused and counted. A line counts as written only once the
// system took it into a file that still exists; everything else counts as
// dropped. The first failure ends the writing: the file keeps every whole
// line written before it.
class LogFileWriter {
    Q_DECLARE_TR_FUNCTIONS(LogFileWriter)
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t(4) << 20;
    static constexpr int kFlushIntervalMs = 250;
    static constexpr int kWaitMs = 2000;

    enum class Mode {
        Replace, // create the file or empty it, then write the header
        Append,  // keep a file that starts with the header and ends with a whole line
    };
    enum class Failure { None, WriteFailed, FileRemoved, Stalled };

    struct Status {
        qint64 linesWritten = 0;
        qint64 bytesWritten = 0; // this writer's, the header included
        // refused for want of room, or not proved written when writing ended
        qint64 linesDropped = 0;
        Failure failure = Failure::None;
        QString error; // the system's reason for WriteFailed
    };

    explicit LogFileWriter(std::size_t capacity = kDefaultCapacity);
    ~LogFileWriter();
    LogFileWriter(const LogFileWriter &) = delete;
    LogFileWriter &operator=(const LogFileWriter &) = delete;

    // Opens `path` as `mode` says (an empty file is given the header in
    // either mode) and starts writing; refuses anything but a regular file or
    // a new path. False with the reason, also when opening takes longer than
    // kWaitMs.
    bool open(const QString &path, const std::string &header, Mode mode, QString *error);
    // Append: the file's last line when it was opened, without its newline
    // (the header for a file holding nothing else). Replace: empty.
    const std::string &lastLineAtOpen() const { return lastLine; }
    // Queues `size` bytes holding `lines` whole lines; false (and counted as
    // dropped) when they do not fit, or after a failure or close.
    bool append(const char *data, std::size_t size, int lines);
    // Writes what is queued, syncs and closes the file. When that takes
    // longer than kWaitMs the file is left to the writer's thread and the
    // lines not yet written count as dropped (Failure::Stalled). Safe to repeat.
    void close();
    Status status() const;

    // Whether Append would take `path` under `header`. Reads the file's ends.
    static bool appendable(const QString &path, const std::string &header);

    // Runs on the writer's thread before it opens, writes or syncs the file;
    // a hook that blocks stands in for a stalled disk in tests.
    void setFileAccessHook(std::function<void()> hook) { accessHook = std::move(hook); }

private:
    struct Shared;

    const std::size_t capacity;
    std::function<void()> accessHook;
    // Shared with the writer's thread, which keeps it alive when given up.
    std::shared_ptr<Shared> shared;
    std::thread worker;
    std::string lastLine;
};
