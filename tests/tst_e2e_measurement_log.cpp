#include "files/MeasurementLog.h"
#include "link/EventPump.h"
#include "tests/e2e/SimProcess.h"
#include "tests/e2e/WindowDriver.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/e2e/WindowDriver.h"

namespace {

// Reads the log the way a user's script would: Python's csv module, every
// row checked to have the header's fields, the frame numbers 1, 2, 3... and
// host_mono_s never going back; prints the row count and the bad frames.
const char kReadBack[] = R"(
import csv, re, sys
with open(sys.argv[1], newline='') as f:
    rows = csv.DictReader(f)
    n = 0
    bad = 0
    since_start = 0.0
    for row in rows:
        n += 1
        assert int(row['frame']) == n, row
        assert None not in row and None not in row.values(), row
        float(row['mean_mm']); float(row['std_dev_mm'])
        assert int(row['points']) == len(row['point_distances_mm'].split()), row
        assert re.fullmatch(r'\d+\.\d{6}', row['host_mono_s']), row
        assert float(row['host_mono_s']) >= since_start, row
        since_start = float(row['host_mono_s'])
        bad += int(row['bad_frames_before'])
print(n, bad)
)";

bool quietFor(int ms, const std::function<int()> &measure)
{
    const int before = measure();
    EventPump::waitUntil(ms);
    return measure() == before;
}

int seconds()
{
    const int s = qEnvironmentVariableIntValue("LIDAR_LOG_E2E_SECONDS");
    return s > 0 ? s : 6;
}

} // namespace

class tst_E2eMeasurementLog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void linkLimitRunIsLoggedFrameForFrame();

private:
    QTemporaryDir workDir;
};

void tst_E2eMeasurementLog::initTestCase()
{
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
}

// One-point frames at the link's byte rate (3,072 frames/s at 921,600 baud):
// the log holds exactly the frames the simulator sent, once and in order.
void tst_E2eMeasurementLog::linkLimitRunIsLoggedFrameForFrame()
{
    const QString path = workDir.filePath("limit.csv");
    SimProcess sim;
    QVERIFY(sim.start({"--rate", "3072", "--points", "1", "--distance", "1500"}));
    int logged = 0;
    {
        WindowDriver w;
        QVERIFY(w.window.presetPort(sim.port(), 921600));
        QString error;
        QVERIFY2(w.child<MeasurementLog>()->start(path, MeasurementLog::Layout::FramePerLine, &error),
                 qPrintable(error));
        w.click("pbStart");
        QVERIFY(w.portOpen());
        EventPump::waitUntil(seconds() * 1000);
        w.click("pbStop");
        QTRY_VERIFY_WITH_TIMEOUT(quietFor(500, [&] { return w.packets[0x02]; }), 30000);
        logged = w.packets[0x02];
        QVERIFY(logged > 1000);
        qInfo("%d frames in %d s", logged, seconds());
        w.window.close(); // flushes and closes the log
        QCOMPARE(w.child<MeasurementLog>()->status().linesWritten, qint64(logged));
        QCOMPARE(w.child<MeasurementLog>()->status().linesDropped, qint64(0));
    }
    QVERIFY(sim.terminate());
    const QRegularExpressionMatch counts = QRegularExpression("frames sent (\\d+), with a bad checksum (\\d+), dropped (\\d+)")
                                               .match(sim.errorOutput());
    QVERIFY(counts.hasMatch());
    QCOMPARE(logged, counts.captured(1).toInt() - counts.captured(3).toInt());
    if (counts.captured(3).toInt() > 0)
        qWarning("the simulator could not send %s frames", qPrintable(counts.captured(3)));

    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("no python3 to read the log back with");
    QProcess reader;
    reader.start(python, {"-c", QString::fromLatin1(kReadBack), path});
    QVERIFY(reader.waitForFinished(60000));
    QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
    const QList<QByteArray> printed = reader.readAllStandardOutput().trimmed().split(' ');
    QCOMPARE(printed.size(), 2);
    QCOMPARE(printed[0].toInt(), logged);
    QCOMPARE(printed[1].toInt(), counts.captured(2).toInt());
}

QTEST_MAIN(tst_E2eMeasurementLog)
#include "tst_e2e_measurement_log.moc"
