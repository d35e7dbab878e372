#include "files/LogFileWriter.h"
#include "files/MeasurementLog.h"
#include "files/MeasurementLogFormat.h"
#include "tests/support/FileSizeLimit.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/MeasurementProcessor.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <clocale>
#include <ctime>
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
                                  "point_rate_per_s,peak,noise,reftof,blanked,point_distances_mm"));
    const QList<QByteArray> first = lines[1].split(',');
    QCOMPARE(first.size(), 14);
    QCOMPARE(first[0], QByteArray("1"));
    QCOMPARE(first.mid(2), (QList<QByteArray>{"1000000", "4", "100", "203", "101", "1.6583124", "1", "20003", "43",
                                              "-7", "0", "100 101 102 104"}));
    const QList<QByteArray> second = lines[2].split(',');
    // Rate: 2 points over 1 ms is 2000 /s, averaged with 4 and 0 over three frames.
    QCOMPARE(second.mid(0, 1) + second.mid(2), (QList<QByteArray>{"2", "1001000", "2", "-3", "201", "-3", "0.70710677", "668",
                                                                  "20001", "41", "-7", "0", "-3 -4"}));
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
    QVERIFY(lines[0].endsWith(",blanked,point,point_distance_mm"));
    const char *expected[][3] = {{"1", "1", "1500"}, {"1", "2", "1510"}, {"1", "3", "1490"}, {"2", "1", "7"}};
    for (int i = 0; i < 4; ++i) {
        const QList<QByteArray> f = lines[i + 1].split(',');
        QCOMPARE(f.size(), 15);
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
    QCOMPARE(lines[1].split(',').size(), 14);
    QCOMPARE(lines[1].split(',')[7], QByteArray("0.70710677"));
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
    QVERIFY(a[1].startsWith("1,") && a[1].endsWith(",1"));
    QVERIFY(a[2].startsWith("2,") && a[2].endsWith(",2"));
    QVERIFY(b[0].startsWith("frame,"));
    QVERIFY(b[1].startsWith("1,") && b[1].endsWith(",3"));
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
    QVERIFY(writer.open(dir.filePath("tight.csv"), "head\n", nullptr));
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

QTEST_GUILESS_MAIN(tst_MeasurementLog)
#include "tst_measurement_log.moc"
