#include "files/LogFileWriter.h"

#include "io/RegularFile.h"

#include <QFile>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

// LIDAR_NO_POSIX builds the branch other systems get, so that it is compiled
// (and kept building) here too.
#if defined(Q_OS_UNIX) && !defined(LIDAR_NO_POSIX)
#define LIDAR_POSIX_FILES
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// The worker is woken early once this much waits, so big bursts go out in
// pieces of about this size.
constexpr std::size_t kWakeBytes = 256 * 1024;
constexpr auto kSyncInterval = std::chrono::seconds(1);
// Far beyond the longest line of a log; the last line is looked for this far back.
constexpr qint64 kTailBytes = 64 * 1024;

struct FileEnds {
    qint64 size = 0;
    std::string head;
    std::string tail;
};

bool readEnds(const QString &path, std::size_t headBytes, FileEnds &ends, QString *error)
{
    QFile file;
    if (RegularFile::open(file, path, QIODevice::ReadOnly, error) != RegularFile::Opened::Yes)
        return false;
    ends.size = file.size();
    const QByteArray head = file.read(qint64(headBytes));
    const qint64 from = std::max<qint64>(0, ends.size - kTailBytes);
    const QByteArray tail = file.seek(from) ? file.read(ends.size - from) : QByteArray();
    if (head.size() != std::min<qint64>(qint64(headBytes), ends.size) || tail.size() != ends.size - from) {
        if (error)
            *error = file.errorString();
        return false;
    }
    ends.head.assign(head.constData(), std::size_t(head.size()));
    ends.tail.assign(tail.constData(), std::size_t(tail.size()));
    return true;
}

enum class Fit { Empty, Fits, Differs };

// What Append makes of a file with these ends: it must start with the header
// and end with a whole line, whose text goes to `lastLine`.
Fit appendFit(const FileEnds &ends, const std::string &header, std::string *lastLine)
{
    if (ends.size == 0)
        return Fit::Empty;
    if (ends.head != header || ends.tail.empty() || ends.tail.back() != '\n')
        return Fit::Differs;
    const std::size_t end = ends.tail.size() - 1;
    const std::size_t newline = end == 0 ? std::string::npos : ends.tail.rfind('\n', end - 1);
    if (newline == std::string::npos && ends.size > qint64(ends.tail.size()))
        return Fit::Differs; // a last line longer than any of ours
    const std::size_t start = newline == std::string::npos ? 0 : newline + 1;
    if (lastLine)
        *lastLine = ends.tail.substr(start, end - start);
    return Fit::Fits;
}
} // namespace

// What the caller and the writer's thread share. When the caller gives the
// thread up, the thread keeps this alive until it ends.
struct LogFileWriter::Shared {
    Shared(std::size_t capacity, std::function<void()> hook)
        : capacity(capacity)
        , hook(std::move(hook))
    {
    }

    // What one pass managed: the whole lines kept, and why it ended the log.
    struct Pass {
        qint64 bytes = 0;
        int lines = 0;
        Failure failure = Failure::None;
        QString reason;
    };

    void run(const QString &path, const std::string &header, Mode mode);
    bool openFile(const QString &path, const std::string &header, Mode mode);
    bool refuse(const QString &reason);
    Pass writePass(int lines, bool last, std::chrono::steady_clock::time_point &lastSync);
    Pass cutBackAfterFailure(qint64 done);
    bool removed();
    bool syncToDisk(QString *reason);
    void touch()
    {
        if (hook)
            hook();
    }
    // Under the lock, by the caller: the thread no longer counts; what it
    // had not written is lost.
    void giveUp(Failure why);

    const std::size_t capacity;
    const std::function<void()> hook;

    std::mutex mutex;
    std::condition_variable wake;    // the thread waits for lines or the stop
    std::condition_variable settled; // the caller waits for the open or the end
    // Guarded by mutex.
    std::string filling;
    int fillingLines = 0;
    int writingLines = 0; // in the pass under way
    bool stopping = false;
    bool accepting = false;
    bool opened = false;
    bool finished = false;
    bool abandoned = false;
    QString openError;
    std::string lastLine;
    Status state;
    // The thread's own.
    QFile file;
    std::string writing;
    qint64 fileEnd = 0;
};

LogFileWriter::LogFileWriter(std::size_t capacity)
    : capacity(capacity)
{
}

LogFileWriter::~LogFileWriter()
{
    close();
}

bool LogFileWriter::open(const QString &path, const std::string &header, Mode mode, QString *error)
{
    close();
    lastLine.clear();
    shared = std::make_shared<Shared>(capacity, accessHook);
    shared->filling.reserve(std::min(capacity, kWakeBytes * 2));
    shared->writing.reserve(shared->filling.capacity());
    worker = std::thread([s = shared, path, header, mode] { s->run(path, header, mode); });

    std::unique_lock<std::mutex> lock(shared->mutex);
    const bool answered = shared->settled.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                                                   [this] { return shared->opened || shared->finished; });
    if (shared->opened) {
        lastLine = shared->lastLine;
        return true;
    }
    QString reason = shared->openError;
    if (!answered) {
        reason = tr("文件在 %1 秒内没有打开").arg(kWaitMs / 1000);
        shared->giveUp(Failure::None);
    }
    lock.unlock();
    if (answered)
        worker.join();
    else
        worker.detach();
    if (error)
        *error = reason;
    return false;
}

bool LogFileWriter::append(const char *data, std::size_t size, int lines)
{
    if (!shared)
        return false;
    std::lock_guard<std::mutex> lock(shared->mutex);
    std::string &filling = shared->filling;
    if (!shared->accepting || filling.size() + size > capacity) {
        shared->state.linesDropped += lines;
        return false;
    }
    filling.append(data, size);
    shared->fillingLines += lines;
    if (filling.size() >= kWakeBytes)
        shared->wake.notify_one();
    return true;
}

void LogFileWriter::close()
{
    if (!shared || !worker.joinable())
        return;
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->accepting = false;
    shared->stopping = true;
    shared->wake.notify_one();
    const bool done = shared->settled.wait_for(lock, std::chrono::milliseconds(kWaitMs),
                                               [this] { return shared->finished; });
    if (!done)
        shared->giveUp(Failure::Stalled);
    lock.unlock();
    if (done)
        worker.join();
    else
        worker.detach();
}

LogFileWriter::Status LogFileWriter::status() const
{
    if (!shared)
        return {};
    std::lock_guard<std::mutex> lock(shared->mutex);
    return shared->state;
}

bool LogFileWriter::appendable(const QString &path, const std::string &header)
{
    switch (RegularFile::kindOf(path)) {
    case RegularFile::Kind::Missing:
        return true;
    case RegularFile::Kind::Other:
        return false;
    case RegularFile::Kind::Regular:
        break;
    }
    FileEnds ends;
    return readEnds(path, header.size(), ends, nullptr) && appendFit(ends, header, nullptr) != Fit::Differs;
}

void LogFileWriter::Shared::giveUp(Failure why)
{
    abandoned = true;
    accepting = false;
    stopping = true;
    state.linesDropped += fillingLines + writingLines;
    fillingLines = 0;
    filling.clear();
    if (state.failure == Failure::None)
        state.failure = why;
    wake.notify_one();
}

void LogFileWriter::Shared::run(const QString &path, const std::string &header, Mode mode)
{
    if (openFile(path, header, mode)) {
        auto lastSync = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(mutex);
        while (!abandoned) {
            wake.wait_for(lock, std::chrono::milliseconds(kFlushIntervalMs),
                          [this] { return stopping || filling.size() >= kWakeBytes; });
            if (abandoned)
                break;
            writing.swap(filling);
            const int lines = fillingLines;
            writingLines = lines;
            fillingLines = 0;
            const bool last = stopping;
            lock.unlock();

            const Pass pass = writePass(lines, last, lastSync);
            writing.clear();

            lock.lock();
            writingLines = 0;
            if (abandoned)
                break;
            state.linesWritten += pass.lines;
            state.bytesWritten += pass.bytes;
            state.linesDropped += lines - pass.lines;
            if (pass.failure != Failure::None) {
                state.failure = pass.failure;
                state.error = pass.reason;
                accepting = false;
                state.linesDropped += fillingLines;
                fillingLines = 0;
                filling.clear();
                break;
            }
            if (last)
                break;
        }
        lock.unlock();
        file.close(); // may wait for the disk: never on the caller's thread
    }
    std::lock_guard<std::mutex> lock(mutex);
    finished = true;
    settled.notify_all();
}

bool LogFileWriter::Shared::refuse(const QString &reason)
{
    std::lock_guard<std::mutex> lock(mutex);
    openError = reason;
    return false;
}

bool LogFileWriter::Shared::openFile(const QString &path, const std::string &header, Mode mode)
{
    touch();
    std::string last;
    bool needsHeader = true;
    if (mode == Mode::Append && RegularFile::kindOf(path) == RegularFile::Kind::Regular) {
        FileEnds ends;
        QString error;
        if (!readEnds(path, header.size(), ends, &error))
            return refuse(error);
        const Fit fit = appendFit(ends, header, &last);
        if (fit == Fit::Differs)
            return refuse(LogFileWriter::tr("文件已存在，其列与本日志不同"));
        needsHeader = fit == Fit::Empty;
    }
    // Unbuffered: a write goes straight to the system, so a failure is seen
    // by the write that caused it and nothing lingers in a second buffer.
    const QIODevice::OpenMode how = QIODevice::WriteOnly | QIODevice::Unbuffered
        | (mode == Mode::Append ? QIODevice::Append : QIODevice::Truncate);
    QString error;
    switch (RegularFile::open(file, path, how, &error)) {
    case RegularFile::Opened::Yes:
        break;
    case RegularFile::Opened::NotRegular:
        return refuse(LogFileWriter::tr("不是普通文件"));
    case RegularFile::Opened::Failed:
        return refuse(error);
    }
    fileEnd = file.size();
    qint64 headerBytes = 0;
    if (needsHeader) {
        headerBytes = qint64(header.size());
        if (file.write(header.data(), headerBytes) != headerBytes) {
            error = file.errorString();
            file.close();
            return refuse(error);
        }
        fileEnd += headerBytes;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (abandoned) {
        file.close();
        return false;
    }
    opened = true;
    accepting = true;
    state.bytesWritten = headerBytes;
    lastLine = needsHeader ? std::string() : last;
    settled.notify_all();
    return true;
}

// Writes the pass's lines, then makes sure they landed in a file that still
// exists (every pass: a deletion must not let lines count as written), and
// syncs once a second and on the last pass.
LogFileWriter::Shared::Pass LogFileWriter::Shared::writePass(int lines, bool last,
                                                             std::chrono::steady_clock::time_point &lastSync)
{
    Pass pass;
    if (!writing.empty()) {
        touch();
        qint64 done = 0;
        while (done < qint64(writing.size())) {
            const qint64 n = file.write(writing.data() + done, qint64(writing.size()) - done);
            if (n <= 0)
                return cutBackAfterFailure(done);
            done += n;
        }
        fileEnd += done;
        pass.bytes = done;
        pass.lines = lines;
    }
    if ((!writing.empty() || last) && removed()) {
        pass = {};
        pass.failure = Failure::FileRemoved;
        return pass;
    }
    const auto now = std::chrono::steady_clock::now();
    if (last || now - lastSync >= kSyncInterval) {
        touch();
        QString reason;
        if (!syncToDisk(&reason)) {
            pass = {};
            pass.failure = Failure::WriteFailed;
            pass.reason = reason;
            return pass;
        }
        lastSync = now;
    }
    return pass;
}

// A write that stopped part-way leaves a cut line; the file is cut back to
// the last whole line, so every line in it can be trusted.
LogFileWriter::Shared::Pass LogFileWriter::Shared::cutBackAfterFailure(qint64 done)
{
    Pass pass;
    pass.failure = Failure::WriteFailed;
    pass.reason = file.errorString();
    const std::size_t end = done > 0 ? writing.rfind('\n', std::size_t(done - 1)) : std::string::npos;
    pass.bytes = end == std::string::npos ? 0 : qint64(end) + 1;
    pass.lines = int(std::count(writing.begin(), writing.begin() + pass.bytes, '\n'));
    file.resize(fileEnd + pass.bytes);
    fileEnd += pass.bytes;
    return pass;
}

// On a system that lets an open file be deleted, a deleted log would
// swallow lines unseen.
bool LogFileWriter::Shared::removed()
{
#ifdef LIDAR_POSIX_FILES
    struct stat info {};
    return ::fstat(file.handle(), &info) == 0 && info.st_nlink == 0;
#else
    return false;
#endif
}

// Pushes the written lines to the disk itself, so a power cut loses at most
// the last second.
bool LogFileWriter::Shared::syncToDisk(QString *reason)
{
#ifdef LIDAR_POSIX_FILES
    if (::fdatasync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
#else
    Q_UNUSED(reason)
#endif
    return true;
}
