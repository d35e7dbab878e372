#include "files/LogFileWriter.h"
#include "files/MeasurementLog.h"
#include "files/MeasurementLogFormat.h"
#include "link/QTRNet.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Frames.h"
#include "tests/support/StalledDisk.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/MeasurementProcessor.h"

#include <QDateTime>
#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <clocale>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using Layout = MeasurementLog::Layout;

// A payload of the given distances; noise, peak, confidence and reftof
// derived from the frame number so that every line differs.
std::vector<quint8> payload(const std::vector<qint16> &distances, quint32 timestamp)
{
    std::vector<quint8> bytes(15 * distances.size() + 4, 0);
    for (std::size_t i = 0; i < distances.size(); ++i) {
        quint8 *p = bytes.data() + 15 * i;
        qToLittleEndian<qint16>(distances[i], p);
        qToLittleEndian<quint16>(quint16(40 + i), p + 2);
        qToLittleEndian<quint32>(20000 + quint32(i), p + 4);
        p[8] = quint8(200 + i);
        qToLittleEndian<qint16>(qint16(-7), p + 13);
    }
    qToLittleEndian<quint32>(timestamp, bytes.data() + 15 * distances.size());
    return bytes;
}

// Runs frames through the processor and the feed, as the window does.
struct FeedRig {
    MeasurementProcessor processor;
    MeasurementFeed feed;

    void send(const std::vector<qint16> &distances, quint32 timestamp)
    {
        const std::vector<quint8> bytes = payload(distances, timestamp);
        FrameOutcome outcome;
        QVERIFY(processor.process(bytes.data(), bytes.size(), outcome));
        feed.publish(bytes.data(), bytes.size(), outcome, processor.frameRate);
    }
};

QList<QByteArray> linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray all = file.readAll();
    if (!all.isEmpty() && !all.endsWith('\n'))
        return {"<file ends inside a line>"};
    QList<QByteArray> lines = all.split('\n');
    lines.removeLast();
    return lines;
}

bool waitForStop(MeasurementLog &log)
{
    return QTest::qWaitFor([&] { return !log.isRunning(); }, 20000);
}

bool waitForLinesWritten(MeasurementLog &log, qint64 lines)
{
    return QTest::qWaitFor([&] { return log.status().linesWritten == lines; }, 20000);
}

// A record as the feed would publish it, at `ns` on the feed's clock after
// `badSoFar` damaged frames on the link.
MeasurementRecord recordAt(qint64 ns, quint64 badSoFar, std::vector<qint16> distances)
{
    MeasurementRecord r;
    r.hostMsecsSinceEpoch = 1733580000123;
    r.hostNanoseconds = ns;
    r.linkBadFrames = badSoFar;
    r.distances = std::move(distances);
    return r;
}

QList<QByteArray> lastFields(const std::string &line, int count)
{
    QList<QByteArray> fields = QByteArray::fromStdString(line).trimmed().split(',');
    return fields.mid(fields.size() - count);
}

QByteArray measurementFrame(qint16 distance, quint32 timestamp)
{
    const std::vector<quint8> bytes = payload({distance}, timestamp);
    return encodedFrame(0x02, QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size())));
}

QByteArray withBadChecksum(QByteArray frame)
{
    frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
    return frame;
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_MeasurementLog : public QObject {
    Q_OBJECT
private slots:
    void frameLineHoldsEveryFieldInTheHeadersOrder();
    void pointLayoutGivesOneLineAPointWithTheFrameNumber();
    void hostTimeIsIso8601WithMillisecondsAndTheLocalOffset();
    void germanLocaleStillWritesADecimalPoint();
    void secondLogHoldsOnlyItsOwnFrames();
    void fullDiskStopsTheLogKeepingWholeLines();
    void fullBufferCountsEveryLineItCouldNotKeep();
    void removedFileStopsTheLog();
    void unwritablePlaceIsRefusedWithTheReason();
    void hostTimeCarriesAnOffsetOfHoursAndMinutes_data();
    void hostTimeCarriesAnOffsetOfHoursAndMinutes();
    void lastColumnsGiveSecondsSinceTheStartAndBadFramesSinceThePreviousRow();
    void headlessFeedCountsTheLinksBadFramesBeforeEachRow();
    void removedFileCountsNoLineAfterTheDeletionAsWritten_data();
    void removedFileCountsNoLineAfterTheDeletionAsWritten();
    void diskFullEndsTheFileAtTheLastWholeLine_data();
    void diskFullEndsTheFileAtTheLastWholeLine();
    void onlyRegularFilesOrNewPathsAreOpened_data();
    void onlyRegularFilesOrNewPathsAreOpened();
    void stalledDiskHoldsStartAndStopNoLongerThanTheWait();
    void runningLogsOwnFileIsNeverReplaced();
    void appendTakesOnlyAFileWithTheSameColumnsAndWholeLines_data();
    void appendTakesOnlyAFileWithTheSameColumnsAndWholeLines();
};

void tst_MeasurementLog::frameLineHoldsEveryFieldInTheHeadersOrder()
{
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    const QString path = dir.filePath("run.csv");
    QVERIFY(log.start(path, Layout::FramePerLine));
    rig.send({100, 101, 102, 104}, 1000000);
    rig.send({-3, -4}, 1001000);
    log.stop();

    const QList<QByteArray> lines = linesOf(path);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QByteArray("frame,host_time,device_time_us,points,distance_mm,confidence,mean_mm,std_dev_mm,"
                                  "point_rate_per_s,peak,noise,reftof,blanked,point_distances_mm,host_mono_s,"
                                  "bad_frames_before"));
    const QList<QByteArray> first = lines[1].split(',');
    QCOMPARE(first.size(), 16);
    QCOMPARE(first[0], QByteArray("1"));
    QCOMPARE(first.mid(2, 12), (QList<QByteArray>{"1000000", "4", "100", "203", "101", "1.6583124", "1", "20003", "43",
                                                  "-7", "0", "100 101 102 104"}));
    const QList<QByteArray> second = lines[2].split(',');
    // Rate: 2 points over 1 ms is 2000 /s, averaged with 4 and 0 over three frames.
    QCOMPARE(second.mid(0, 1) + second.mid(2, 12), (QList<QByteArray>{"2", "1001000", "2", "-3", "201", "-3", "0.70710677",
                                                                      "668", "20001", "41", "-7", "0", "-3 -4"}));
    const QRegularExpression seconds("^\\d+\\.\\d{6}$");
    QVERIFY2(seconds.match(QString::fromLatin1(first[14])).hasMatch(), first[14].constData());
    QVERIFY(second[14].toDouble() >= first[14].toDouble());
    QCOMPARE(first[15] + second[15], QByteArray("00"));
    QCOMPARE(log.status().linesWritten, qint64(2));
    QVERIFY(log.statusText().contains("run.csv"));
}

void tst_MeasurementLog::pointLayoutGivesOneLineAPointWithTheFrameNumber()
{
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    const QString path = dir.filePath("points.csv");
    QVERIFY(log.start(path, Layout::PointPerLine));
    rig.send({1500, 1510, 1490}, 5);
    rig.send({7}, 10);
    log.stop();

    const QList<QByteArray> lines = linesOf(path);
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines[0].endsWith(",blanked,point,point_distance_mm,host_mono_s,bad_frames_before"));
    const char *expected[][3] = {{"1", "1", "1500"}, {"1", "2", "1510"}, {"1", "3", "1490"}, {"2", "1", "7"}};
    for (int i = 0; i < 4; ++i) {
        const QList<QByteArray> f = lines[i + 1].split(',');
        QCOMPARE(f.size(), 17);
        QCOMPARE(f[0], QByteArray(expected[i][0]));
        QCOMPARE(f[13], QByteArray(expected[i][1]));
        QCOMPARE(f[14], QByteArray(expected[i][2]));
    }
    QCOMPARE(log.status().linesWritten, qint64(4));
}

// In a zone with summer time, so that the offset changes between the moments.
void tst_MeasurementLog::hostTimeIsIso8601WithMillisecondsAndTheLocalOffset()
{
    const QByteArray savedZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    MeasurementLogFormat::HostTime format;
    QStringList texts;
    const qint64 moments[] = {0, 1733580000123, 1733580000999, 1733580001000, 1751328000005, -1};
    for (qint64 ms : moments) {
        std::string text;
        format.append(text, ms);
        const QString s = QString::fromStdString(text);
        QVERIFY2(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$").match(s).hasMatch(),
                 qPrintable(s));
        const QDateTime back = QDateTime::fromString(s, Qt::ISODateWithMs);
        QCOMPARE(back.toMSecsSinceEpoch(), ms);
        QCOMPARE(back.offsetFromUtc(), QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc());
        texts << s;
    }
    if (savedZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedZone);
    tzset();
    if (QFileInfo::exists("/usr/share/zoneinfo/Europe/Berlin")) {
        QCOMPARE(texts[1], QStringLiteral("2024-12-07T15:00:00.123+01:00"));
        QCOMPARE(texts[4], QStringLiteral("2025-07-01T02:00:00.005+02:00"));
        QCOMPARE(texts[5], QStringLiteral("1970-01-01T00:59:59.999+01:00"));
    }
}

void tst_MeasurementLog::germanLocaleStillWritesADecimalPoint()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char *cLocale = std::setlocale(LC_ALL, "de_DE.UTF-8");
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    const QString path = dir.filePath("de.csv");
    QVERIFY(log.start(path, Layout::FramePerLine));
    rig.send({1000, 1001}, 1000);
    log.stop();
    QLocale::setDefault(saved);
    std::setlocale(LC_ALL, "C");

    const QList<QByteArray> lines = linesOf(path);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[1].split(',').size(), 16);
    QCOMPARE(lines[1].split(',')[7], QByteArray("0.70710677"));
    QVERIFY(lines[1].split(',')[14].contains('.'));
    if (!cLocale)
        qInfo("the C library has no German locale here; Qt's was set");
}

void tst_MeasurementLog::secondLogHoldsOnlyItsOwnFrames()
{
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    QVERIFY(log.start(dir.filePath("a.csv"), Layout::FramePerLine));
    rig.send({1}, 1000);
    rig.send({2}, 2000);
    QVERIFY(log.start(dir.filePath("b.csv"), Layout::FramePerLine)); // ends the first
    rig.send({3}, 3000);
    log.stop();
    rig.send({4}, 4000); // after stop: nowhere

    const QList<QByteArray> a = linesOf(dir.filePath("a.csv"));
    const QList<QByteArray> b = linesOf(dir.filePath("b.csv"));
    QCOMPARE(a.size(), 3);
    QCOMPARE(b.size(), 2);
    QVERIFY(a[1].startsWith("1,") && a[1].split(',')[13] == "1");
    QVERIFY(a[2].startsWith("2,") && a[2].split(',')[13] == "2");
    QVERIFY(b[0].startsWith("frame,"));
    QVERIFY(b[1].startsWith("1,") && b[1].split(',')[13] == "3");
}

// A file-size limit stands in for a full disk: the writes past it fail.
void tst_MeasurementLog::fullDiskStopsTheLogKeepingWholeLines()
{
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    QSignalSpy failed(&log, &MeasurementLog::failed);
    const QString path = dir.filePath("full.csv");
    {
        FileSizeLimit limit(20000);
        QVERIFY(log.start(path, Layout::FramePerLine));
        quint32 t = 0;
        for (int i = 0; i < 3000 && log.isRunning(); ++i) {
            rig.send({qint16(1500 + i % 7), 1501, 1502}, t += 1000);
            if (i % 100 == 0)
                QTest::qWait(20);
        }
        QVERIFY(waitForStop(log));
    }
    QCOMPARE(failed.count(), 1);
    const QList<QByteArray> lines = linesOf(path);
    QVERIFY(lines.size() > 10);
    QCOMPARE(qint64(lines.size() - 1), log.status().linesWritten);
    QCOMPARE(QFileInfo(path).size(), log.status().bytesWritten);
    QVERIFY(QFileInfo(path).size() <= 20000);
    for (int i = 1; i < lines.size(); ++i)
        QCOMPARE(lines[i].split(',')[0].toInt(), i);
    QCOMPARE(log.status().failure, LogFileWriter::Failure::WriteFailed);
    QVERIFY(!log.status().error.isEmpty());
    QVERIFY2(log.statusText().contains(log.status().error), qPrintable(log.statusText()));
    // The feed goes on for others; the stopped log takes no more.
    rig.send({1}, 1);
}

void tst_MeasurementLog::fullBufferCountsEveryLineItCouldNotKeep()
{
    QTemporaryDir dir;
    LogFileWriter writer(512);
    QVERIFY(writer.open(dir.filePath("tight.csv"), "head\n", LogFileWriter::Mode::Replace, nullptr));
    const QByteArray line(49, 'x');
    const QByteArray withEnd = line + '\n';
    int refused = 0;
    for (int i = 0; i < 20000; ++i)
        refused += writer.append(withEnd.constData(), std::size_t(withEnd.size()), 1) ? 0 : 1;
    writer.close();
    const LogFileWriter::Status s = writer.status();
    QVERIFY(refused > 0);
    QCOMPARE(s.linesDropped, qint64(refused));
    QCOMPARE(s.linesWritten + s.linesDropped, qint64(20000));
    QCOMPARE(qint64(linesOf(dir.filePath("tight.csv")).size()), 1 + s.linesWritten);
}

void tst_MeasurementLog::removedFileStopsTheLog()
{
#ifndef Q_OS_UNIX
    QSKIP("only systems that let an open file be deleted");
#endif
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    QSignalSpy failed(&log, &MeasurementLog::failed);
    const QString path = dir.filePath("gone.csv");
    QVERIFY(log.start(path, Layout::FramePerLine));
    rig.send({1}, 1000);
    QVERIFY(QFile::remove(path));
    quint32 t = 1000;
    QVERIFY(QTest::qWaitFor([&] {
        rig.send({2}, t += 1000);
        return !log.isRunning();
    }, 20000));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(log.status().failure, LogFileWriter::Failure::FileRemoved);
    QVERIFY(!log.statusText().isEmpty());
}

void tst_MeasurementLog::unwritablePlaceIsRefusedWithTheReason()
{
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    QString error;
    QVERIFY(!log.start(dir.filePath("no/such/folder/x.csv"), Layout::FramePerLine, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!log.isRunning());
    rig.send({1}, 1000);
}

// POSIX zone rules, so that no zone database is needed.
void tst_MeasurementLog::hostTimeCarriesAnOffsetOfHoursAndMinutes_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QString>("expected");
    QTest::newRow("+05:30") << QByteArray("<+0530>-5:30") << "2024-12-07T19:30:00.123+05:30";
    QTest::newRow("+05:45") << QByteArray("<+0545>-5:45") << "2024-12-07T19:45:00.123+05:45";
    QTest::newRow("-03:30") << QByteArray("<-0330>3:30") << "2024-12-07T10:30:00.123-03:30";
    QTest::newRow("+12:45, the next day") << QByteArray("<+1245>-12:45") << "2024-12-08T02:45:00.123+12:45";
}

void tst_MeasurementLog::hostTimeCarriesAnOffsetOfHoursAndMinutes()
{
    QFETCH(QByteArray, zone);
    QFETCH(QString, expected);
    const QByteArray savedZone = qgetenv("TZ");
    qputenv("TZ", zone);
    tzset();
    MeasurementLogFormat::HostTime format;
    std::string text;
    format.append(text, 1733580000123); // 14:00:00.123 UTC
    if (savedZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedZone);
    tzset();
    QCOMPARE(QString::fromStdString(text), expected);
    QCOMPARE(QDateTime::fromString(expected, Qt::ISODateWithMs).toMSecsSinceEpoch(), qint64(1733580000123));
}

void tst_MeasurementLog::lastColumnsGiveSecondsSinceTheStartAndBadFramesSinceThePreviousRow()
{
    using MeasurementLogFormat::Rows;
    const qint64 start = 5000000000;
    Rows frameRows(Layout::FramePerLine, start, 7);
    Rows pointRows(Layout::PointPerLine, start, 7);
    struct Step {
        qint64 ns;
        quint64 badSoFar;
        QList<QByteArray> expected;
    };
    const Step steps[] = {
        {start, 7, {"0.000000", "0"}},               // lost before the start: not this log's
        {start + 1999, 9, {"0.000001", "2"}},        // whole microseconds
        {start + 1250000000, 9, {"1.250000", "0"}},
        {start + 3600123456789, 12, {"3600.123456", "3"}},
        {start + 3601000000000, 2, {"3601.000000", "2"}}, // a new link counts from zero
    };
    for (const Step &step : steps) {
        std::string frameLine, pointLines;
        QCOMPARE(frameRows.append(frameLine, recordAt(step.ns, step.badSoFar, {10, 20})), 1);
        QCOMPARE(pointRows.append(pointLines, recordAt(step.ns, step.badSoFar, {10, 20})), 2);
        QCOMPARE(lastFields(frameLine, 2), step.expected);
        const std::size_t firstEnd = pointLines.find('\n') + 1;
        QCOMPARE(lastFields(pointLines.substr(0, firstEnd), 2), step.expected);
        QCOMPARE(lastFields(pointLines.substr(firstEnd), 2), step.expected);
    }
}

// No window: an endpoint fed bytes, the processor and the feed, as any writer
// of the log's rows would wire them.
void tst_MeasurementLog::headlessFeedCountsTheLinksBadFramesBeforeEachRow()
{
    QSerialPort port;
    QTRNet net(&port);
    MeasurementProcessor processor;
    MeasurementFeed feed;
    feed.setLinkCounters(&net.counters());
    QObject::connect(&net, &QTRNet::dataReady, &feed, [&](TRData *pack) {
        FrameOutcome outcome;
        if (pack->cmd == 0x02 && processor.process(pack->data.data(), pack->data.size(), outcome))
            feed.publish(pack->data.data(), pack->data.size(), outcome, processor.frameRate);
    });
    net.receiveData(withBadChecksum(measurementFrame(1, 1000)) + measurementFrame(2, 2000));

    QTemporaryDir dir;
    MeasurementLog log(&feed);
    const QString path = dir.filePath("headless.csv");
    QVERIFY(log.start(path, Layout::FramePerLine));
    net.receiveData(measurementFrame(3, 3000));
    net.receiveData(withBadChecksum(measurementFrame(4, 4000)) + measurementFrame(5, 5000));
    net.receiveData(withBadChecksum(measurementFrame(6, 6000)) + withBadChecksum(measurementFrame(7, 7000))
                    + measurementFrame(8, 8000));
    net.receiveData(measurementFrame(9, 9000).left(12) + measurementFrame(10, 10000)); // cut short
    log.stop();

    const QList<QByteArray> lines = linesOf(path);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0].split(',').mid(13), (QList<QByteArray>{"point_distances_mm", "host_mono_s", "bad_frames_before"}));
    const QByteArray expected[][2] = {{"3", "0"}, {"5", "1"}, {"8", "2"}, {"10", "1"}};
    for (int i = 0; i < 4; ++i) {
        const QList<QByteArray> f = lines[i + 1].split(',');
        QCOMPARE(f[13], expected[i][0]);
        QCOMPARE(f[15], expected[i][1]);
    }
}

void tst_MeasurementLog::removedFileCountsNoLineAfterTheDeletionAsWritten_data()
{
    QTest::addColumn<int>("linesAfter");
    QTest::newRow("nothing after the deletion") << 0;
    QTest::newRow("20 lines after the deletion") << 20;
}

// Stopped at once: before the writer's once-a-second sync could notice.
void tst_MeasurementLog::removedFileCountsNoLineAfterTheDeletionAsWritten()
{
#ifndef Q_OS_UNIX
    QSKIP("only systems that let an open file be deleted");
#endif
    QFETCH(int, linesAfter);
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    const QString path = dir.filePath("gone.csv");
    QVERIFY(log.start(path, Layout::FramePerLine));
    quint32 t = 0;
    for (int i = 0; i < 10; ++i)
        rig.send({qint16(i)}, t += 1000);
    QVERIFY(waitForLinesWritten(log, 10));
    QVERIFY(QFile::remove(path));
    for (int i = 0; i < linesAfter; ++i)
        rig.send({qint16(i)}, t += 1000);
    log.stop();

    QCOMPARE(log.status().failure, LogFileWriter::Failure::FileRemoved);
    QCOMPARE(log.status().linesWritten, qint64(10));
    QCOMPARE(log.status().linesDropped, qint64(linesAfter));
    QVERIFY2(log.statusText().startsWith(QStringLiteral("日志文件已被删除")), qPrintable(log.statusText()));
}

void tst_MeasurementLog::diskFullEndsTheFileAtTheLastWholeLine_data()
{
    QTest::addColumn<int>("room"); // bytes the disk takes after the header
    QTest::addColumn<int>("keptLines");
    QTest::newRow("full just before a line's newline") << 39 << 3;
    QTest::newRow("full right after a newline") << 30 << 3;
    QTest::newRow("full inside a line") << 34 << 3;
    QTest::newRow("full inside the first line") << 4 << 0;
}

// A file-size limit stands in for a full disk.
void tst_MeasurementLog::diskFullEndsTheFileAtTheLastWholeLine()
{
    QFETCH(int, room);
    QFETCH(int, keptLines);
    QTemporaryDir dir;
    const QString path = dir.filePath("full.csv");
    const std::string header = "head\n";
    const QByteArray lines = "line-0001\nline-0002\nline-0003\nline-0004\nline-0005\n";
    LogFileWriter writer;
    {
        FileSizeLimit limit(rlim_t(header.size()) + rlim_t(room));
        QVERIFY(writer.open(path, header, LogFileWriter::Mode::Replace, nullptr));
        QVERIFY(writer.append(lines.constData(), std::size_t(lines.size()), 5));
        writer.close();
    }
    const LogFileWriter::Status s = writer.status();
    QCOMPARE(readFile(path), QByteArray::fromStdString(header) + lines.left(10 * keptLines));
    QCOMPARE(s.failure, LogFileWriter::Failure::WriteFailed);
    QCOMPARE(s.linesWritten, qint64(keptLines));
    QCOMPARE(s.linesDropped, qint64(5 - keptLines));
    QCOMPARE(s.bytesWritten, QFileInfo(path).size());
}

void tst_MeasurementLog::onlyRegularFilesOrNewPathsAreOpened_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("fifo without a reader") << "fifo";
    QTest::newRow("device") << "device";
    QTest::newRow("folder") << "folder";
    QTest::newRow("link to a fifo") << "link";
}

void tst_MeasurementLog::onlyRegularFilesOrNewPathsAreOpened()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath("pipe");
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    if (kind == "device")
        path = QStringLiteral("/dev/null");
    else if (kind == "folder")
        path = dir.path();
    else if (kind == "link")
        QVERIFY(QFile::link(dir.filePath("pipe"), path = dir.filePath("link.csv")));
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    QString error;
    bool started = false;
    std::atomic<int> reader {-1};
    {
        // An open that waits for the FIFO's reader is given one.
        Watchdog dog(20, [&] { reader = ::open(QFile::encodeName(dir.filePath("pipe")).constData(), O_RDONLY | O_NONBLOCK); });
        started = log.start(path, Layout::FramePerLine, &error);
    }
    if (reader >= 0)
        ::close(reader);
    QVERIFY(!started);
    QCOMPARE(error, QStringLiteral("不是普通文件"));
    QVERIFY(!log.isRunning());
}

void tst_MeasurementLog::stalledDiskHoldsStartAndStopNoLongerThanTheWait()
{
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    StalledDisk disk;
    Watchdog dog(30, [&] { disk.release(); });
    log.setFileAccessHook(disk.hook());
    QVERIFY(log.start(dir.filePath("slow.csv"), Layout::FramePerLine));
    quint32 t = 0;
    for (int i = 0; i < 3; ++i)
        rig.send({1}, t += 1000);
    QVERIFY(waitForLinesWritten(log, 3));
    disk.block();
    for (int i = 0; i < 5; ++i)
        rig.send({2}, t += 1000);
    QVERIFY(QTest::qWaitFor([&] { return disk.holdsAWriter(); }, 20000));
    log.stop();
    QVERIFY(!log.isRunning());
    QCOMPARE(log.status().failure, LogFileWriter::Failure::Stalled);
    QCOMPARE(log.status().linesWritten, qint64(3));
    QCOMPARE(log.status().linesDropped, qint64(5));
    QVERIFY2(log.statusText().startsWith(QStringLiteral("日志写入超时")) && log.statusText().endsWith(QStringLiteral("丢失 5 行")),
             qPrintable(log.statusText()));

    // The caller goes on: another disk takes a new log at once.
    log.setFileAccessHook({});
    QVERIFY(log.start(dir.filePath("fast.csv"), Layout::FramePerLine));
    rig.send({3}, t += 1000);
    log.stop();
    QCOMPARE(log.status().linesWritten, qint64(1));

    log.setFileAccessHook(disk.hook());
    QString error;
    QVERIFY(!log.start(dir.filePath("never.csv"), Layout::FramePerLine, &error));
    QCOMPARE(error, QStringLiteral("文件在 2 秒内没有打开"));
    QVERIFY(!log.isRunning());
    disk.release();
    // The thread given up opens the file late and leaves it alone; only then may the folder go.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dir.filePath("never.csv")), 20000);
}

void tst_MeasurementLog::runningLogsOwnFileIsNeverReplaced()
{
    QTemporaryDir dir;
    FeedRig rig;
    MeasurementLog log(&rig.feed);
    const QString path = dir.filePath("own.csv");
    QVERIFY(log.start(path, Layout::FramePerLine));
    quint32 t = 0;
    for (int i = 0; i < 50; ++i)
        rig.send({qint16(i)}, t += 1000);
    QVERIFY(waitForLinesWritten(log, 50));

    QString error;
    for (const QString &samePath : {path, dir.path() + "/./own.csv"}) {
        QVERIFY(!log.start(samePath, Layout::FramePerLine, &error, MeasurementLog::Mode::Replace));
        QVERIFY(!error.isEmpty());
        QVERIFY(log.isRunning());
    }
    QVERIFY(log.isOwnFile(dir.path() + "/./own.csv"));
    QVERIFY(log.start(path, Layout::FramePerLine, &error, MeasurementLog::Mode::Append));
    for (int i = 50; i < 55; ++i)
        rig.send({qint16(i)}, t += 1000);
    log.stop();

    const QList<QByteArray> lines = linesOf(path);
    QCOMPARE(lines.size(), 56);
    QVERIFY(lines[0].startsWith("frame,"));
    for (int i = 1; i <= 55; ++i) {
        const QList<QByteArray> f = lines[i].split(',');
        QCOMPARE(f[0].toInt(), i);
        QCOMPARE(f[13].toInt(), i - 1);
    }
}

void tst_MeasurementLog::appendTakesOnlyAFileWithTheSameColumnsAndWholeLines_data()
{
    const QByteArray frameHeader = QByteArray::fromStdString(MeasurementLogFormat::header(Layout::FramePerLine));
    const QByteArray pointHeader = QByteArray::fromStdString(MeasurementLogFormat::header(Layout::PointPerLine));
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("appendable");
    QTest::addColumn<int>("nextFrame");
    QTest::newRow("same columns") << frameHeader + "6,a\n7,b\n" << true << 8;
    QTest::newRow("only the header") << frameHeader << true << 1;
    QTest::newRow("empty") << QByteArray() << true << 1;
    QTest::newRow("the other layout") << pointHeader + "7,b\n" << false << 0;
    QTest::newRow("last line cut") << frameHeader + "6,a\n7,b" << false << 0;
    QTest::newRow("not a log") << QByteArray("hello\n") << false << 0;
}

void tst_MeasurementLog::appendTakesOnlyAFileWithTheSameColumnsAndWholeLines()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, appendable);
    QFETCH(int, nextFrame);
    QTemporaryDir dir;
    const QString path = dir.filePath("old.csv");
    QVERIFY(writeFile(path, content));
    QCOMPARE(MeasurementLog::appendable(path, Layout::FramePerLine), appendable);

    FeedRig rig;
    MeasurementLog log(&rig.feed);
    QString error;
    QCOMPARE(log.start(path, Layout::FramePerLine, &error, MeasurementLog::Mode::Append), appendable);
    rig.send({1}, 1000);
    log.stop();
    const QByteArray now = readFile(path);
    if (!appendable) {
        QCOMPARE(now, content);
        QVERIFY(!error.isEmpty());
        return;
    }
    const QByteArray kept = content.isEmpty() ? QByteArray::fromStdString(MeasurementLogFormat::header(Layout::FramePerLine))
                                              : content;
    QVERIFY(now.startsWith(kept));
    QVERIFY2(now.mid(kept.size()).startsWith(QByteArray::number(nextFrame) + ','), now.constData());
    QCOMPARE(now.count('\n'), kept.count('\n') + 1);
}

QTEST_GUILESS_MAIN(tst_MeasurementLog)
#include "tst_measurement_log.moc"
