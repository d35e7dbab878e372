#include "link/EventPump.h"
#include "tests/e2e/SimProcess.h"
#include "tests/e2e/WindowDriver.h"
#include "tests/support/DebugCapture.h"

#include <QDir>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The measurement text, every number captured in order.
const QRegularExpression kMeasurementText(
    "^distance:(-?\\d+)\\nconfidence:(\\d+)\\nstandarddeviation:([-+.e\\d]+)\\ndistance_average:([-+.e\\d]+)"
    "\\nframe rate:(\\d+)\\npeak:(\\d+)\\nnoise:(\\d+)\\nreftof:(-?\\d+)$");

bool quietFor(int ms, const std::function<int()> &measure)
{
    const int before = measure();
    EventPump::waitUntil(ms);
    return measure() == before;
}

// The figures of the simulated sensor near 1500: a steady, clean echo.
void verifyPlausibleMeasurement(const QString &text)
{
    const QRegularExpressionMatch m = kMeasurementText.match(text);
    QVERIFY2(m.hasMatch(), qPrintable(text));
    QVERIFY(qAbs(m.captured(4).toDouble() - 1500) < 100);
    QVERIFY(m.captured(2).toInt() <= 100);
    QVERIFY(m.captured(6).toInt() >= 4000);
    QVERIFY(m.captured(7).toInt() <= 90);
    QVERIFY(qAbs(m.captured(8).toInt() - 120) < 15);
}

} // namespace

class AcquisitionEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startShowsLiveDataStopEndsItClearEmptiesTheCurve();
    void systemInformationShowsTheSensorsIdentity();
    void everyGoodFrameReachesTheWindowThroughANoisyLine();
    void vanishedSensorClosesThePortAndStartReopensTheNextOne();
    void sensorUnpluggedAndBackUnderItsNameIsFollowedWithoutLoss();

private:
    QTemporaryDir workDir;
};

// The window keeps its settings file in the working directory.
void AcquisitionEndToEnd::initTestCase()
{
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
}

void AcquisitionEndToEnd::startShowsLiveDataStopEndsItClearEmptiesTheCurve()
{
    SimProcess sim;
    QVERIFY(sim.start({"--distance", "1500", "--points", "10", "--rate", "50"}));
    WindowDriver w;
    // The way the demo script hands the simulator's port to the window.
    QVERIFY(w.window.presetPort(sim.port(), 230400));
    QVERIFY(!w.portOpen());

    w.click("pbStart");
    QVERIFY(w.portOpen());
    QTRY_VERIFY_WITH_TIMEOUT(kMeasurementText.match(w.message()).hasMatch(), 20000);
    verifyPlausibleMeasurement(w.message());
    QTRY_VERIFY_WITH_TIMEOUT(w.curvePoints() >= 30, 20000);
    const int grown = w.curvePoints();
    QTRY_VERIFY_WITH_TIMEOUT(w.curvePoints() > grown, 20000);

    w.click("pbStop");
    QTRY_VERIFY_WITH_TIMEOUT(quietFor(400, [&] { return w.packets[0x02]; }), 20000);
    const QString lastText = w.message();
    QVERIFY(quietFor(500, [&] { return w.curvePoints(); }));

    w.click("pbClear");
    QCOMPARE(w.curvePoints(), 0);
    EventPump::waitUntil(300);
    QCOMPARE(w.curvePoints(), 0);
    QCOMPARE(w.message(), lastText);
}

void AcquisitionEndToEnd::systemInformationShowsTheSensorsIdentity()
{
    SimProcess sim;
    QVERIFY(sim.start({}));
    WindowDriver w;
    w.choosePort(sim.port(), true);
    QVERIFY(w.portOpen());

    w.click("pbGetConfig");
    QTRY_COMPARE_WITH_TIMEOUT(w.message(),
                              QStringLiteral("softversion:1.3.7\nhardversion:2\nmcu id:33002b3538510c20363733"),
                              20000);
    QCOMPARE(w.packets[0x02], 0);
}

void AcquisitionEndToEnd::everyGoodFrameReachesTheWindowThroughANoisyLine()
{
    SimProcess sim;
    QVERIFY(sim.start({"--garbage", "25", "--bad-checksum", "40", "--rate", "100"}));
    WindowDriver w;
    w.choosePort(sim.port(), false);
    w.click("pbStart");
    QTRY_VERIFY_WITH_TIMEOUT(w.packets[0x02] >= 60 && w.curvePoints() >= 30, 30000);
    verifyPlausibleMeasurement(w.message());

    w.click("pbStop");
    QTRY_VERIFY_WITH_TIMEOUT(quietFor(400, [&] { return w.packets[0x02]; }), 20000);
    QVERIFY(sim.terminate());
    const QRegularExpressionMatch counts = QRegularExpression(
        "sent (\\d+), with a bad checksum (\\d+), dropped (\\d+)").match(sim.errorOutput());
    QVERIFY(counts.hasMatch());
    QVERIFY(counts.captured(2).toInt() > 0);
    QCOMPARE(counts.captured(3).toInt(), 0);
    QCOMPARE(w.packets[0x02], counts.captured(1).toInt() - counts.captured(2).toInt());
}

void AcquisitionEndToEnd::vanishedSensorClosesThePortAndStartReopensTheNextOne()
{
    DebugCapture debug;
    WindowDriver w;
    {
        SimProcess first;
        QVERIFY(first.start({"--rate", "100"}));
        w.choosePort(first.port(), false);
        w.click("pbStart");
        QTRY_VERIFY_WITH_TIMEOUT(w.packets[0x02] > 5, 20000);
        first.kill();
        QTRY_VERIFY_WITH_TIMEOUT(!w.portOpen(), 30000);
    }
    QVERIFY(debug.contains(QStringLiteral("Info:雷达拔出")));

    SimProcess second;
    QVERIFY(second.start({"--rate", "100"}));
    w.choosePort(second.port(), false);
    const int before = w.packets[0x02];
    w.click("pbStart");
    QVERIFY(w.portOpen());
    QTRY_VERIFY_WITH_TIMEOUT(w.packets[0x02] > before + 5, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(w.curvePoints() > 0, 20000);
    verifyPlausibleMeasurement(w.message());
}

// The simulator unplugs itself and comes back as a fresh sensor under the same
// link: the window shows the loss, reopens the port by itself, sends Start
// once more, and keeps the curve; every frame of the first stretch arrived.
void AcquisitionEndToEnd::sensorUnpluggedAndBackUnderItsNameIsFollowedWithoutLoss()
{
    const QString link = workDir.filePath(QStringLiteral("ttyLidarBack"));
    SimProcess sim;
    QVERIFY(sim.start({"--link", link, "--vanish-every", "4", "--vanish-for", "1000", "--rate", "100", "--verbose"}));
    WindowDriver w;
    QLabel *state = w.child<QLabel>("linkStateLabel");
    w.choosePort(link, false);
    w.click("pbStart");
    QTRY_VERIFY_WITH_TIMEOUT(w.packets[0x02] > 20, 20000);
    QVERIFY(state->text().endsWith(QStringLiteral("采集中")));

    QTRY_VERIFY_WITH_TIMEOUT(state->text().endsWith(QStringLiteral("已断开")), 20000);
    const int firstStretch = w.packets[0x02];
    const int pointsBefore = w.curvePoints();
    QTRY_VERIFY_WITH_TIMEOUT(state->text().endsWith(QStringLiteral("采集中")), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(w.packets[0x02] > firstStretch + 20, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(w.curvePoints() > pointsBefore, 20000);
    verifyPlausibleMeasurement(w.message());

    QVERIFY(sim.terminate());
    const QString log = sim.errorOutput();
    QCOMPARE(log.count(QStringLiteral("command 0x02")), 2);
    const QRegularExpressionMatch stretch = QRegularExpression("stretch 1: measurement frames sent (\\d+)").match(log);
    QVERIFY2(stretch.hasMatch(), qPrintable(log));
    QCOMPARE(firstStretch, stretch.captured(1).toInt());
}

QTEST_MAIN(AcquisitionEndToEnd)
#include "tst_e2e_acquisition.moc"
