#include "link/EventPump.h"
#include "tests/e2e/SimHost.h"
#include "tests/e2e/SimProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <numeric>
#include <vector>

namespace {

QByteArray tagged(const char *tag, const QByteArray &data = {})
{
    QByteArray field(16, '\0');
    field.replace(0, int(qstrlen(tag)), tag);
    return field + data;
}

QByteArray patternImage(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 7 + i / 251) & 0xFF);
    return image;
}

} // namespace

class SimulatorTest : public QObject {
    Q_OBJECT

private slots:
    void streamHasTheRequestedShapeAndStopsOnCommand_data();
    void streamHasTheRequestedShapeAndStopsOnCommand();
    void requestsAreAnsweredWithTheirRecords_data();
    void requestsAreAnsweredWithTheirRecords();
    void downloadIsAcknowledgedAndStoredInOffsetOrder_data();
    void downloadIsAcknowledgedAndStoredInOffsetOrder();
    void acknowledgementFaultsStrikeTheChosenBlock_data();
    void acknowledgementFaultsStrikeTheChosenBlock();
    void everyGoodFrameGetsThroughGarbageAndBadChecksums();
    void sensorBackFromAnUnplugIsFreshlyPowered();
    void stretchesBetweenUnplugsAreCountedEachOnItsOwn();
    void endsOnSignalAndWhenItsPeerIsGoneForGood();
    void helpListsEveryOption();
    void badArgumentsAreRefused_data();
    void badArgumentsAreRefused();
};

void SimulatorTest::streamHasTheRequestedShapeAndStopsOnCommand_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("distance");
    QTest::newRow("one point near") << 1 << 300;
    QTest::newRow("ten points") << 10 << 1500;
    QTest::newRow("full frame far") << 300 << 4000;
}

void SimulatorTest::streamHasTheRequestedShapeAndStopsOnCommand()
{
    QFETCH(int, points);
    QFETCH(int, distance);
    SimProcess sim;
    QVERIFY(sim.start({"--points", QString::number(points), "--distance", QString::number(distance)}));
    HostLink host(sim.port());
    QVERIFY(host.open());
    QVERIFY(host.streamQuietFor(300));
    QVERIFY(host.net->sendCmd(0, 0x02, 0));
    QTRY_VERIFY_WITH_TIMEOUT(host.count(0x02) >= 6, 20000);

    const int spread = distance / 50 + 60;
    quint32 previous = 0;
    for (const TRData &frame : host.got) {
        QCOMPARE(int(frame.data.size()), 15 * points + 4);
        for (int i = 0; i < points; ++i) {
            const quint8 *p = frame.data.data() + 15 * i;
            QVERIFY(qAbs(qFromLittleEndian<qint16>(p) - distance) <= spread);
            QVERIFY(qFromLittleEndian<quint16>(p + 2) <= 90);
            QVERIFY(qFromLittleEndian<quint32>(p + 4) >= 4000);
            QVERIFY(p[8] <= 100);
        }
        const quint32 t = qFromLittleEndian<quint32>(frame.data.data() + 15 * points);
        QVERIFY(t < 30000000u);
        QVERIFY(&frame == &host.got.front() || (t + 30000000u - previous) % 30000000u > 0);
        previous = t;
    }

    QVERIFY(host.net->sendCmd(0, 0x0F, 0));
    EventPump::waitUntil(300);
    QVERIFY(host.streamQuietFor(500));
}

void SimulatorTest::requestsAreAnsweredWithTheirRecords_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("lastByte");
    const QByteArray zero4(4, '\0');
    QTest::newRow("device information") << 0x14 << zero4 << 52
                                        << QByteArray::fromHex("07000301" "02000000") << 0x00;
    QTest::newRow("calibration parameters and bvd") << 0x12 << zero4 << 33
                                                    << QByteArray::fromHex("01010100" "f6ff7800") << 0x5A;
    QTest::newRow("param cali accepted") << 0x27 << tagged("param cali") << 34 << QByteArray::fromHex("2701")
                                         << 0x00;
    QTest::newRow("param cali with another tag") << 0x27 << tagged("calibrate") << 34
                                                 << QByteArray::fromHex("2700") << 0x00;
}

void SimulatorTest::requestsAreAnsweredWithTheirRecords()
{
    QFETCH(int, cmd);
    QFETCH(QByteArray, request);
    QFETCH(int, length);
    QFETCH(QByteArray, head);
    QFETCH(int, lastByte);
    SimProcess sim;
    QVERIFY(sim.start({}));
    HostLink host(sim.port());
    QVERIFY(host.open());
    QVERIFY(host.send(0, quint8(cmd), request));
    QTRY_VERIFY_WITH_TIMEOUT(host.last(quint8(cmd)), 10000);
    const std::vector<quint8> &answer = host.last(quint8(cmd))->data;
    QCOMPARE(int(answer.size()), length);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(answer.data()), head.size()), head);
    QCOMPARE(int(answer.back()), lastByte);
    QCOMPARE(host.count(0x02), 0);
}

void SimulatorTest::downloadIsAcknowledgedAndStoredInOffsetOrder_data()
{
    QTest::addColumn<int>("startCode");
    QTest::addColumn<QByteArray>("startPayload");
    QTest::addColumn<int>("blockCode");
    QTest::addColumn<QByteArray>("blockTag");
    QTest::addColumn<int>("endCode");
    QTest::addColumn<QByteArray>("endPayload");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("faults");
    const QByteArray fwStart = tagged("start download");
    const QByteArray fwEnd = tagged("complete", QByteArray::fromHex("01000000"));
    const QByteArray lutEnd = QByteArray::fromHex("01000000");
    QTest::newRow("firmware of 200 bytes") << 0x0A << fwStart << 0x0B << tagged("downloading") << 0x0C << fwEnd
                                           << 200 << QStringList();
    QTest::newRow("calibration table of 68 bytes") << 0x07 << tagged("lut start") << 0x08 << tagged("lut transmit")
                                                   << 0x09 << lutEnd << 68 << QStringList();
    QTest::newRow("empty firmware") << 0x0A << fwStart << 0x0B << tagged("downloading") << 0x0C << fwEnd << 0
                                    << QStringList();
    QTest::newRow("firmware past 64 KiB, offsets wrap") << 0x0A << fwStart << 0x0B << tagged("downloading") << 0x0C
                                                        << fwEnd << 70000 << QStringList();
    QTest::newRow("delayed acknowledgements, noisy line")
        << 0x0A << fwStart << 0x0B << tagged("downloading") << 0x0C << fwEnd << 260
        << QStringList {"--ack-delay", "30", "--garbage", "9"};
}

void SimulatorTest::downloadIsAcknowledgedAndStoredInOffsetOrder()
{
    QFETCH(int, startCode);
    QFETCH(QByteArray, startPayload);
    QFETCH(int, blockCode);
    QFETCH(QByteArray, blockTag);
    QFETCH(int, endCode);
    QFETCH(QByteArray, endPayload);
    QFETCH(int, size);
    QFETCH(QStringList, faults);
    QTemporaryDir dir;
    const QString out = dir.filePath("received.bin");
    SimProcess sim;
    QVERIFY(sim.start(QStringList {"--image-out", out} + faults));
    HostLink host(sim.port());
    QVERIFY(host.open());

    const QByteArray image = patternImage(size);
    QCOMPARE(host.sendAndAwaitAck(quint8(startCode), startPayload, 0), 1);
    for (int at = 0; at < size; at += 64) {
        const int result = host.sendAndAwaitAck(quint8(blockCode), blockTag + image.mid(at, 64), quint16(at));
        QVERIFY2(result == 1, qPrintable(QString("block at %1").arg(at)));
    }
    QVERIFY(!QFile::exists(out));
    QCOMPARE(host.sendAndAwaitAck(quint8(endCode), endPayload, 0), 1);
    QFile received(out);
    QVERIFY(received.open(QIODevice::ReadOnly));
    QCOMPARE(received.readAll(), image);
}

void SimulatorTest::acknowledgementFaultsStrikeTheChosenBlock_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("faultyResult");
    QTest::newRow("failed acknowledgement") << "--ack-fail" << 0;
    QTest::newRow("dropped acknowledgement") << "--ack-drop" << -1;
}

void SimulatorTest::acknowledgementFaultsStrikeTheChosenBlock()
{
    QFETCH(QString, fault);
    QFETCH(int, faultyResult);
    SimProcess sim;
    QVERIFY(sim.start({fault, "2"}));
    HostLink host(sim.port());
    QVERIFY(host.open());
    QCOMPARE(host.sendAndAwaitAck(0x0A, tagged("start download"), 0), 1);
    const QByteArray image = patternImage(256);
    for (int block = 0; block < 4; ++block) {
        const int result = host.sendAndAwaitAck(0x0B, tagged("downloading", image.mid(block * 64, 64)),
                                                quint16(block * 64), block == 2 ? 800 : 5000);
        QCOMPARE(result, block == 2 ? faultyResult : 1);
    }
    // A new transfer counts its blocks afresh.
    QCOMPARE(host.sendAndAwaitAck(0x0A, tagged("start download"), 0), 1);
    QCOMPARE(host.sendAndAwaitAck(0x0B, tagged("downloading", image.left(64)), 0), 1);
}

void SimulatorTest::everyGoodFrameGetsThroughGarbageAndBadChecksums()
{
    SimProcess sim;
    QVERIFY(sim.start({"--garbage", "13", "--bad-checksum", "30", "--rate", "200", "--points", "4"}));
    HostLink host(sim.port());
    QVERIFY(host.open());
    QVERIFY(host.net->sendCmd(0, 0x02, 0));
    QTRY_VERIFY_WITH_TIMEOUT(host.count(0x02) >= 60, 20000);
    QVERIFY(host.net->sendCmd(0, 0x0F, 0));
    QTRY_VERIFY_WITH_TIMEOUT(host.streamQuietFor(400), 20000);
    // Bad frames the host never saw must be those it was sent damaged.
    QVERIFY(sim.terminate());
    const QRegularExpressionMatch counts = QRegularExpression(
        "sent (\\d+), with a bad checksum (\\d+), dropped (\\d+)").match(sim.errorOutput());
    QVERIFY(counts.hasMatch());
    const int sent = counts.captured(1).toInt();
    const int damaged = counts.captured(2).toInt();
    QVERIFY(damaged > 0);
    QCOMPARE(counts.captured(3).toInt(), 0);
    QCOMPARE(host.count(0x02), sent - damaged);
    for (const TRData &frame : host.got)
        QCOMPARE(int(frame.data.size()), 15 * 4 + 4);
}

// A sensor that was unplugged comes back as one just switched on: not
// streaming until Start, no transfer open (a block before a new start gets no
// answer), warming up afresh.
void SimulatorTest::sensorBackFromAnUnplugIsFreshlyPowered()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("lidar");
    SimProcess sim;
    QVERIFY(sim.start({"--link", link, "--vanish-every", "4", "--vanish-for", "300", "--points", "1", "--jitter",
                       "0", "--drift", "300", "--drift-tau", "1"}));
    const QByteArray image = patternImage(128);
    {
        HostLink host(link);
        QVERIFY(host.open());
        QVERIFY(host.net->sendCmd(0, 0x02, 0));
        QTRY_VERIFY_WITH_TIMEOUT(host.count(0x02) >= 20, 10000);
        QCOMPARE(host.sendAndAwaitAck(0x0A, tagged("start download"), 0), 1);
        QCOMPARE(host.sendAndAwaitAck(0x0B, tagged("downloading", image.left(64)), 0), 1);
        QTRY_VERIFY_WITH_TIMEOUT(sim.errorOutput().contains("back on"), 15000);
    }
    HostLink host(link);
    QVERIFY(host.open());
    QVERIFY(host.streamQuietFor(600));
    QCOMPARE(host.sendAndAwaitAck(0x0B, tagged("downloading", image.mid(64, 64)), 64, 800), -1);

    QVERIFY(host.net->sendCmd(0, 0x02, 0));
    QTRY_VERIFY_WITH_TIMEOUT(host.count(0x02) >= 1, 10000);
    const auto firstFrame = std::find_if(host.got.begin(), host.got.end(), [](const TRData &p) { return p.cmd == 0x02; });
    QVERIFY2(simPoint(*firstFrame, 0).distance >= 1770, "warms up again from its full drift");
    QCOMPARE(host.sendAndAwaitAck(0x0A, tagged("start download"), 0), 1);
    QCOMPARE(host.sendAndAwaitAck(0x0B, tagged("downloading", image.left(64)), 0), 1);
    QCOMPARE(sim.errorOutput().count("back on"), 1);
}

// The per-stretch figures of an unplugging simulator add up to its total:
// each counts its own stretch, not all since the start.
void SimulatorTest::stretchesBetweenUnplugsAreCountedEachOnItsOwn()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("lidar");
    SimProcess sim;
    QVERIFY(sim.start({"--link", link, "--vanish-every", "2", "--vanish-for", "300", "--rate", "100"}));
    QList<int> received;
    for (int stretch = 1; stretch <= 2; ++stretch) {
        QTRY_VERIFY_WITH_TIMEOUT(sim.errorOutput().count("back on") == stretch - 1 && QFileInfo::exists(link), 15000);
        HostLink host(link);
        QVERIFY(host.open());
        QVERIFY(host.net->sendCmd(0, 0x02, 0));
        QTRY_VERIFY_WITH_TIMEOUT(host.count(0x02) >= 20, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(sim.errorOutput().contains(QString("stretch %1:").arg(stretch)), 15000);
        received << host.count(0x02);
    }
    QVERIFY(sim.terminate());
    const QString log = sim.errorOutput();
    QList<qint64> stretches;
    QRegularExpressionMatchIterator it = QRegularExpression("stretch (\\d+): measurement frames sent (\\d+)").globalMatch(log);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QCOMPARE(m.captured(1).toInt(), stretches.size() + 1);
        stretches << m.captured(2).toLongLong();
    }
    const QRegularExpressionMatch total = QRegularExpression("\\bmeasurement frames sent (\\d+), with").match(log);
    QVERIFY2(stretches.size() >= 2 && total.hasMatch(), qPrintable(log));
    QCOMPARE(std::accumulate(stretches.begin(), stretches.end(), qint64(0)), total.captured(1).toLongLong());
    for (int i = 0; i < received.size(); ++i)
        QVERIFY2(stretches[i] >= received[i] && received[i] >= 20, qPrintable(log));
}

void SimulatorTest::endsOnSignalAndWhenItsPeerIsGoneForGood()
{
    SimProcess signalled;
    QVERIFY(signalled.start({}));
    QVERIFY(signalled.terminate());

    QTemporaryDir dir;
    const QString link = dir.filePath("lidar");
    SimProcess idle;
    QVERIFY(idle.start({"--idle-exit", "1", "--link", link}));
    QCOMPARE(QFileInfo(link).symLinkTarget(), idle.port());
    // Nobody has opened the port yet: it waits for its first host.
    QVERIFY(!idle.waitForExit(1800));
    {
        HostLink host(link);
        QVERIFY(host.open());
        QVERIFY(host.net->sendCmd(0, 0x02, 0));
        QTRY_VERIFY_WITH_TIMEOUT(host.count(0x02) > 0, 10000);
    }
    QVERIFY(idle.waitForExit(15000));
    QCOMPARE(idle.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

    // A host that had the port when it was unplugged, and never opened it
    // again: the idle time runs from the sensor's return.
    SimProcess unplugged;
    QVERIFY(unplugged.start({"--idle-exit", "1", "--link", link, "--vanish-every", "1", "--vanish-for", "200"}));
    {
        HostLink host(link);
        QVERIFY(host.open());
        QTRY_VERIFY_WITH_TIMEOUT(unplugged.errorOutput().contains("unplugged"), 10000);
    }
    QVERIFY(unplugged.waitForExit(15000));
    QCOMPARE(unplugged.exitCode(), 0);
}

void SimulatorTest::helpListsEveryOption()
{
    QProcess help;
    help.start(SimProcess::program(), {"--help"});
    QVERIFY(help.waitForFinished(10000));
    QCOMPARE(help.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    for (const char *option : {"--rate", "--points", "--distance", "--jitter", "--bias", "--blank", "--drift",
                               "--drift-tau", "--seed", "--control", "--link", "--image-out", "--garbage",
                               "--bad-checksum", "--ack-drop", "--ack-fail", "--ack-delay", "--idle-exit",
                               "--watch-pid", "--vanish-every", "--vanish-for", "--verbose", "--help",
                               "distance MM", "bias MM", "jitter MM", "blank PERCENT", "--wander", "wander PERCENT"})
        QVERIFY2(text.contains(option), option);
}

void SimulatorTest::badArgumentsAreRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no points") << QStringList {"--points", "0"};
    QTest::newRow("too many points") << QStringList {"--points", "301"};
    QTest::newRow("rate not a number") << QStringList {"--rate", "fast"};
    QTest::newRow("percent above 100") << QStringList {"--bad-checksum=101"};
    QTest::newRow("missing value") << QStringList {"--image-out"};
    QTest::newRow("unknown option") << QStringList {"--colour"};
    QTest::newRow("blank above 100") << QStringList {"--blank", "101"};
    QTest::newRow("wander above 100") << QStringList {"--wander", "101"};
    QTest::newRow("drift settling in no time") << QStringList {"--drift", "50", "--drift-tau", "0"};
    QTest::newRow("control without a path") << QStringList {"--control"};
}

void SimulatorTest::badArgumentsAreRefused()
{
    QFETCH(QStringList, args);
    QProcess sim;
    sim.start(SimProcess::program(), args);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY(sim.readAllStandardOutput().isEmpty());
    QVERIFY(!sim.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(SimulatorTest)
#include "tst_e2e_simulator.moc"
