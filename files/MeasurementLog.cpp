#include "files/MeasurementLog.h"

#include "workflow/MeasurementFeed.h"

#include <QDateTime>
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

bool MeasurementLog::start(const QString &newPath, Layout newLayout, QString *error)
{
    stop();
    auto newWriter = std::make_unique<LogFileWriter>(bufferBytes);
    if (!newWriter->open(newPath, MeasurementLogFormat::header(newLayout), error))
        return false;
    writer = std::move(newWriter);
    path = newPath;
    layout = newLayout;
    frames = 0;
    hostTime = {};
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
}

void MeasurementLog::record(const MeasurementRecord &r)
{
    line.clear();
    const int lines = MeasurementLogFormat::appendFrame(line, r, ++frames, layout, hostTime);
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
    }
    if (lastStatus.linesDropped > 0)
        text += tr("，丢失 %1 行").arg(lastStatus.linesDropped);
    return text;
}

QString MeasurementLog::defaultFileName(const QDateTime &when)
{
    return when.toString(QStringLiteral("'lidar_log_'yyyyMMdd'_'HHmmss'.csv'"));
}
