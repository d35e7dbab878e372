#include "files/MeasurementLog.h"

#include "workflow/MeasurementFeed.h"

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QLocale>

MeasurementLog::MeasurementLog(MeasurementFeed *feed, QObject *parent, std::size_t bufferBytes)
    : QObject(parent)
    , feed(feed)
    , bufferBytes(bufferBytes)
{
    statusTimer.setInterval(kStatusIntervalMs);
    connect(&statusTimer, &QTimer::timeout, this, &MeasurementLog::poll);
}

MeasurementLog::~MeasurementLog()
{
    stop();
}

bool MeasurementLog::start(const QString &newPath, Layout layout, QString *error, Mode mode)
{
    if (mode == Mode::Replace && isOwnFile(newPath)) {
        if (error)
            *error = tr("这是正在记录的日志，不能替换它");
        return false;
    }
    stop();
    auto newWriter = std::make_unique<LogFileWriter>(bufferBytes);
    newWriter->setFileAccessHook(accessHook);
    if (!newWriter->open(newPath, MeasurementLogFormat::header(layout), mode, error))
        return false;
    rows = std::make_unique<MeasurementLogFormat::Rows>(layout, feed->nowNanoseconds(), feed->linkBadFrames(),
                                                       MeasurementLogFormat::frameOfRow(newWriter->lastLineAtOpen()));
    writer = std::move(newWriter);
    path = QFileInfo(newPath).absoluteFilePath();
    lastStatus = {};
    started = true;
    feedConnection = connect(feed, &MeasurementFeed::frameMeasured, this, &MeasurementLog::record);
    statusTimer.start();
    emit statusChanged();
    return true;
}

void MeasurementLog::stop()
{
    if (!writer)
        return;
    finish();
    emit statusChanged();
}

void MeasurementLog::finish()
{
    disconnect(feedConnection);
    statusTimer.stop();
    writer->close();
    lastStatus = writer->status();
    writer.reset();
    // The status bar may be gone with the window: the terminal hears of it too.
    if (lastStatus.failure != LogFileWriter::Failure::None || lastStatus.linesDropped > 0)
        qWarning().noquote() << statusText();
}

bool MeasurementLog::isOwnFile(const QString &other) const
{
    if (!writer)
        return false;
    const QString running = QFileInfo(path).canonicalFilePath();
    return !running.isEmpty() && running == QFileInfo(other).canonicalFilePath();
}

bool MeasurementLog::appendable(const QString &path, Layout layout)
{
    return LogFileWriter::appendable(path, MeasurementLogFormat::header(layout));
}

void MeasurementLog::record(const MeasurementRecord &r)
{
    line.clear();
    const int lines = rows->append(line, r);
    writer->append(line.data(), line.size(), lines);
}

void MeasurementLog::poll()
{
    lastStatus = writer->status();
    if (lastStatus.failure != LogFileWriter::Failure::None) {
        finish();
        emit statusChanged();
        emit failed();
        return;
    }
    emit statusChanged();
}

QString MeasurementLog::statusText() const
{
    if (!started)
        return {};
    const QString name = QFileInfo(path).fileName();
    QString text;
    switch (lastStatus.failure) {
    case LogFileWriter::Failure::None:
        text = (writer ? tr("日志 %1：%2 行，%3") : tr("日志已结束 %1：%2 行，%3"))
                   .arg(name)
                   .arg(lastStatus.linesWritten)
                   .arg(QLocale().formattedDataSize(lastStatus.bytesWritten));
        break;
    case LogFileWriter::Failure::WriteFailed:
        text = tr("日志写入失败，已停止 %1：%2（已保存 %3 行）").arg(name, lastStatus.error).arg(lastStatus.linesWritten);
        break;
    case LogFileWriter::Failure::FileRemoved:
        text = tr("日志文件已被删除，已停止 %1（已写入 %2 行）").arg(name).arg(lastStatus.linesWritten);
        break;
    case LogFileWriter::Failure::Stalled:
        text = tr("日志写入超时，已停止 %1（已写入 %2 行）").arg(name).arg(lastStatus.linesWritten);
        break;
    }
    if (lastStatus.linesDropped > 0)
        text += tr("，丢失 %1 行").arg(lastStatus.linesDropped);
    return text;
}

QString MeasurementLog::defaultFileName(const QDateTime &when)
{
    return when.toString(QStringLiteral("'lidar_log_'yyyyMMdd'_'HHmmss'.csv'"));
}
