#include "files/LogFileWriter.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// The worker is woken early once this much waits, so big bursts go out in
// pieces of about this size.
constexpr std::size_t kWakeBytes = 256 * 1024;
constexpr auto kSyncInterval = std::chrono::seconds(1);
} // namespace

LogFileWriter::LogFileWriter(std::size_t capacity)
    : capacity(capacity)
{
}

LogFileWriter::~LogFileWriter()
{
    close();
}

bool LogFileWriter::open(const QString &path, const std::string &header, QString *error)
{
    close();
    file.setFileName(path);
    // Unbuffered: a write goes straight to the system, so a failure is seen
    // by the write that caused it and nothing lingers in a second buffer.
    const bool opened = file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    if (!opened || file.write(header.data(), qint64(header.size())) != qint64(header.size())) {
        if (error)
            *error = file.errorString();
        file.close();
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    state = Status();
    state.bytesWritten = qint64(header.size());
    filling.clear();
    filling.reserve(std::min(capacity, kWakeBytes * 2));
    writing.reserve(filling.capacity());
    fillingLines = 0;
    stopping = false;
    accepting = true;
    worker = std::thread(&LogFileWriter::run, this);
    return true;
}

bool LogFileWriter::append(const char *data, std::size_t size, int lines)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!accepting || filling.size() + size > capacity) {
        state.linesDropped += lines;
        return false;
    }
    filling.append(data, size);
    fillingLines += lines;
    if (filling.size() >= kWakeBytes)
        wake.notify_one();
    return true;
}

void LogFileWriter::close()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        accepting = false;
        stopping = true;
    }
    wake.notify_one();
    if (worker.joinable())
        worker.join();
    if (file.isOpen())
        file.close();
}

LogFileWriter::Status LogFileWriter::status() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return state;
}

void LogFileWriter::run()
{
    auto lastSync = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait_for(lock, std::chrono::milliseconds(kFlushIntervalMs),
                      [this] { return stopping || filling.size() >= kWakeBytes; });
        writing.swap(filling);
        const int lines = fillingLines;
        fillingLines = 0;
        const bool last = stopping;
        lock.unlock();

        bool ok = writeOut(writing, lines);
        writing.clear();
        const auto now = std::chrono::steady_clock::now();
        if (ok && (last || now - lastSync >= kSyncInterval)) {
            ok = flushToDisk();
            lastSync = now;
        }

        lock.lock();
        if (!ok) {
            accepting = false;
            state.linesDropped += fillingLines;
            fillingLines = 0;
            filling.clear();
            return;
        }
        if (last)
            return;
    }
}

bool LogFileWriter::writeOut(const std::string &text, int lines)
{
    qint64 done = 0;
    while (done < qint64(text.size())) {
        const qint64 n = file.write(text.data() + done, qint64(text.size()) - done);
        if (n <= 0) {
            failWrite(text, done);
            return false;
        }
        done += n;
    }
    std::lock_guard<std::mutex> lock(mutex);
    state.linesWritten += lines;
    state.bytesWritten += done;
    return true;
}

// A write that stopped part-way leaves a cut line; the file is cut back to
// the last whole line, so every line in it can be trusted.
void LogFileWriter::failWrite(const std::string &text, qint64 written)
{
    const QString reason = file.errorString();
    const std::size_t end = written > 0 ? text.rfind('\n', std::size_t(written - 1)) : std::string::npos;
    const qint64 kept = end == std::string::npos ? 0 : qint64(end) + 1;
    const qint64 keptLines = std::count(text.begin(), text.begin() + kept, '\n');
    std::lock_guard<std::mutex> lock(mutex);
    file.resize(state.bytesWritten + kept);
    state.linesWritten += keptLines;
    state.bytesWritten += kept;
    state.linesDropped += std::count(text.begin() + kept, text.end(), '\n');
    state.failure = Failure::WriteFailed;
    state.error = reason;
}

// Once a second the written lines are pushed to the disk itself, so a power
// cut loses at most that second. On a system that lets an open file be
// deleted, a deleted log would swallow lines unseen: that ends it too.
bool LogFileWriter::flushToDisk()
{
#ifdef Q_OS_UNIX
    struct stat info {};
    if (::fstat(file.handle(), &info) == 0 && info.st_nlink == 0) {
        std::lock_guard<std::mutex> lock(mutex);
        state.failure = Failure::FileRemoved;
        return false;
    }
    if (::fdatasync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        std::lock_guard<std::mutex> lock(mutex);
        state.failure = Failure::WriteFailed;
        state.error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
#endif
    return true;
}
