#pragma once

#include "files/LogFileWriter.h"
#include "files/MeasurementLogFormat.h"

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class MeasurementFeed;
struct MeasurementRecord;

// The measurement log: while it runs, every frame the feed publishes becomes
// its line(s) in a CSV file, written from a thread of its own. A write
// failure ends the log and says why; acquisition never depends on it, and
// starting or stopping never waits on the disk longer than
// LogFileWriter::kWaitMs.
class MeasurementLog : public QObject {
    Q_OBJECT
public:
    using Layout = MeasurementLogFormat::Layout;
    using Mode = LogFileWriter::Mode;
    static constexpr int kStatusIntervalMs = 500;

    MeasurementLog(MeasurementFeed *feed, QObject *parent = nullptr,
                   std::size_t bufferBytes = LogFileWriter::kDefaultCapacity);
    ~MeasurementLog() override;

    // Ends a running log, then starts one in `path`; false with the reason.
    // Replace empties an existing file; Append continues one that has this
    // layout's header, its frame numbers going on from its last row. The
    // running log's own file is never replaced: that is refused, and the log
    // goes on.
    bool start(const QString &path, Layout layout, QString *error = nullptr, Mode mode = Mode::Replace);
    // Writes out what is buffered and closes the file.
    void stop();
    bool isRunning() const { return writer != nullptr; }
    QString filePath() const { return path; }
    // Whether `other` names the running log's file.
    bool isOwnFile(const QString &other) const;
    // Whether Append could continue the file at `path` in `layout`.
    static bool appendable(const QString &path, Layout layout);
    // Handed to every writer; see LogFileWriter::setFileAccessHook.
    void setFileAccessHook(std::function<void()> hook) { accessHook = std::move(hook); }
    LogFileWriter::Status status() const { return lastStatus; }

    // The status-bar text of the current or last log; empty before the first.
    QString statusText() const;

    // Default file name of a new log: date and time, .csv.
    static QString defaultFileName(const QDateTime &when);

signals:
    void statusChanged();
    // The log ended by itself; statusText() says why.
    void failed();

private:
    void record(const MeasurementRecord &record);
    void poll();
    void finish();

    MeasurementFeed *feed;
    const std::size_t bufferBytes;
    std::unique_ptr<LogFileWriter> writer;
    QMetaObject::Connection feedConnection;
    QTimer statusTimer;
    QString path;
    std::unique_ptr<MeasurementLogFormat::Rows> rows;
    std::string line; // reused for every frame
    std::function<void()> accessHook;
    LogFileWriter::Status lastStatus;
    bool started = false;
};
