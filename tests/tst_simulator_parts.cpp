#include "sim/ControlInput.h"
#include "sim/ControlLine.h"
#include "sim/FrameReader.h"
#include "sim/MeasurementGenerator.h"
#include "sim/Outbox.h"
#include "sim/PeerWatch.h"
#include "sim/SimDevice.h"
#include "workflow/MeasurementProcessor.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Scene sceneAt(double distance, double jitter, double blankPercent = 0)
{
    Scene scene;
    scene.distanceMm = distance;
    scene.jitterMm = jitter;
    scene.blankPercent = blankPercent;
    return scene;
}

qint16 firstDistance(const std::vector<quint8> &payload)
{
    return qFromLittleEndian<qint16>(payload.data());
}

TRData command(quint8 addr, quint8 cmd, std::vector<quint8> data = {})
{
    TRData pack;
    pack.addr = addr;
    pack.cmd = cmd;
    pack.data = std::move(data);
    return pack;
}

// Waits (boundedly) until the control input has something to read, then
// reads: the lines, and what went wrong as "problem: ...", in order.
std::vector<std::string> readWhenReady(ControlInput &input)
{
    pollfd pfd {input.fd(), POLLIN, 0};
    poll(&pfd, 1, 5000);
    std::vector<std::string> lines;
    for (const ControlInput::Line &line : input.readLines())
        lines.push_back(line.problem.empty() ? line.text : "problem: " + line.problem);
    return lines;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

} // namespace

class SimulatorPartsTest : public QObject {
    Q_OBJECT

private slots:
    void toolsFilterBlanksTheShareAsked_data();
    void toolsFilterBlanksTheShareAsked();
    void warmUpDriftDecaysWithItsTimeConstant();
    void targetWandersByItsShareOrStaysStill_data();
    void targetWandersByItsShareOrStaysStill();
    void controlLinesAreTakenOnlyWhole_data();
    void controlLinesAreTakenOnlyWhole();
    void controlPipeGivesLinesWithoutWaitingForWriters();
    void controlPipeNeverReplacesAnythingButAPipe();
    void powerCycleForgetsEverythingTheSensorWasDoing();
    void idleTimeAfterAnUnplugRunsFromTheReturn();
};

// The frames go through the tool's own processing, the judge of what the
// share came out as. Frames the filter lets through keep their first point
// (and, from three points on, their mean) on the target.
void SimulatorPartsTest::toolsFilterBlanksTheShareAsked_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("percent");
    QTest::addColumn<double>("distance");
    QTest::addColumn<double>("jitter");
    QTest::addColumn<int>("lostEvery");
    QTest::addColumn<double>("expected");
    QTest::newRow("ten points, one frame in ten") << 10 << 10.0 << 1500.0 << 6.0 << 0 << 10.0;
    QTest::newRow("ten points, every other frame") << 10 << 50.0 << 1500.0 << 6.0 << 0 << 50.0;
    QTest::newRow("ten points, every frame") << 10 << 100.0 << 1500.0 << 6.0 << 0 << 100.0;
    QTest::newRow("three points, one in five") << 3 << 20.0 << 1500.0 << 6.0 << 0 << 20.0;
    QTest::newRow("two points, a quarter") << 2 << 25.0 << 800.0 << 6.0 << 0 << 25.0;
    QTest::newRow("full frames, one in a hundred") << 300 << 1.0 << 1500.0 << 6.0 << 0 << 1.0;
    QTest::newRow("a fraction of a percent") << 20 << 2.5 << 1500.0 << 6.0 << 0 << 2.5;
    QTest::newRow("far target: weak echoes, frames spread by themselves") << 10 << 20.0 << 9000.0 << 300.0 << 0
                                                                           << 20.0;
    QTest::newRow("off, though the frames spread by themselves") << 10 << 0.0 << 1500.0 << 300.0 << 0 << 0.0;
    QTest::newRow("the host misses every seventh frame") << 10 << 30.0 << 1500.0 << 6.0 << 7 << 30.0;
    QTest::newRow("one point never spreads") << 1 << 20.0 << 1500.0 << 6.0 << 0 << 0.0;
}

void SimulatorPartsTest::toolsFilterBlanksTheShareAsked()
{
    QFETCH(int, points);
    QFETCH(double, percent);
    QFETCH(double, distance);
    QFETCH(double, jitter);
    QFETCH(int, lostEvery);
    QFETCH(double, expected);
    MeasurementGenerator generator(points, sceneAt(distance, jitter, percent), {}, 7);
    MeasurementProcessor tool;
    const double onTarget = distance * 0.01 + 5 * jitter + 1;
    int seen = 0;
    int blanked = 0;
    for (int frame = 0; frame < 2000; ++frame) {
        const std::vector<quint8> payload = generator.nextPayload(quint64(frame) * 20000, 0);
        if (lostEvery > 0 && frame % lostEvery == lostEvery - 1) {
            generator.frameLost();
            continue;
        }
        FrameOutcome out;
        QVERIFY(tool.process(payload.data(), payload.size(), out));
        ++seen;
        if (out.blanked) {
            ++blanked;
            continue;
        }
        QVERIFY2(std::abs(out.info.distance - distance) <= onTarget, qPrintable(QString::number(frame)));
        if (points >= 3)
            QVERIFY2(std::abs(out.info.average - distance) <= onTarget, qPrintable(QString::number(frame)));
    }
    QVERIFY2(std::abs(100.0 * blanked / seen - expected) <= 0.5,
             qPrintable(QString("%1 of %2 frames blanked").arg(blanked).arg(seen)));
}

void SimulatorPartsTest::warmUpDriftDecaysWithItsTimeConstant()
{
    for (const double offset : {400.0, -250.0}) {
        MeasurementGenerator generator(1, sceneAt(1500, 0), {offset, 2.0}, 1);
        for (const double t : {0.0, 1.0, 2.0, 4.0, 10.0}) {
            const double expected = 1500 + offset * std::exp(-t / 2.0);
            const qint16 got = firstDistance(generator.nextPayload(quint64(t * 1e6), t));
            // The target's slow wander is 1 % of its distance at most.
            QVERIFY2(std::abs(got - expected) <= 16, qPrintable(QString("%1 mm at %2 s").arg(got).arg(t)));
        }
    }
}

// Over a whole period of the wander (about 314 frames), without jitter.
void SimulatorPartsTest::targetWandersByItsShareOrStaysStill_data()
{
    QTest::addColumn<double>("wander");
    QTest::addColumn<double>("bias");
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("highest");
    QTest::newRow("by default 1 %") << 1.0 << 0.0 << 1980 << 2020;
    QTest::newRow("5 %, biased") << 5.0 << 40.0 << 1940 << 2140;
    QTest::newRow("still") << 0.0 << 0.0 << 2000 << 2000;
    QTest::newRow("still, biased") << 0.0 << -37.0 << 1963 << 1963;
}

void SimulatorPartsTest::targetWandersByItsShareOrStaysStill()
{
    QFETCH(double, wander);
    QFETCH(double, bias);
    QFETCH(int, lowest);
    QFETCH(int, highest);
    Scene scene = sceneAt(2000, 0);
    scene.biasMm = bias;
    if (wander != 1.0)
        scene.wanderPercent = wander;
    MeasurementGenerator generator(1, scene, {}, 1);
    int low = INT_MAX;
    int high = INT_MIN;
    for (int i = 0; i < 400; ++i) {
        const int d = firstDistance(generator.nextPayload(quint64(i) * 10000, 0));
        low = std::min(low, d);
        high = std::max(high, d);
    }
    QCOMPARE(low, lowest);
    QCOMPARE(high, highest);
}

void SimulatorPartsTest::controlLinesAreTakenOnlyWhole_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("applied");
    QTest::newRow("distance") << "distance 1000" << true << "distance 1000";
    QTest::newRow("blanks around, fraction, carriage return") << "  bias\t-2.5  \r" << true << "bias -2.5";
    QTest::newRow("sign and fraction") << "blank +7.5" << true << "blank 7.5";
    QTest::newRow("no jitter") << "jitter 0" << true << "jitter 0";
    QTest::newRow("every frame") << "blank 100" << true << "blank 100";
    QTest::newRow("nearest end of the range") << "distance -32768" << true << "distance -32768";
    QTest::newRow("empty") << "" << true << "";
    QTest::newRow("comment") << "# distance 1" << true << "";
    QTest::newRow("misspelt") << "distanse 1000" << false << "";
    QTest::newRow("capital") << "Distance 1000" << false << "";
    QTest::newRow("no value") << "distance" << false << "";
    QTest::newRow("two values") << "distance 10 20" << false << "";
    QTest::newRow("unit attached") << "distance 5mm" << false << "";
    QTest::newRow("exponent") << "distance 1e3" << false << "";
    QTest::newRow("not a number") << "distance nan" << false << "";
    QTest::newRow("infinite") << "bias inf" << false << "";
    QTest::newRow("hexadecimal") << "bias 0x10" << false << "";
    QTest::newRow("a point alone") << "distance ." << false << "";
    QTest::newRow("past the distance range") << "distance 32768" << false << "";
    QTest::newRow("negative jitter") << "jitter -1" << false << "";
    QTest::newRow("blank above 100") << "blank 100.1" << false << "";
    QTest::newRow("blank below 0") << "blank -0.5" << false << "";
    QTest::newRow("still target") << "wander 0" << true << "wander 0";
    QTest::newRow("wander above 100") << "wander 100.5" << false << "";
}

void SimulatorPartsTest::controlLinesAreTakenOnlyWhole()
{
    QFETCH(QString, line);
    QFETCH(bool, accepted);
    QFETCH(QString, applied);
    const Scene before = sceneAt(1500, 6, 0);
    Scene scene = before;
    std::string said;
    const std::string error = applyControlLine(line.toStdString(), scene, said);
    QCOMPARE(error.empty(), accepted);
    QCOMPARE(QString::fromStdString(said), applied);
    if (!accepted) {
        QVERIFY(scene.distanceMm == before.distanceMm && scene.biasMm == before.biasMm
                && scene.jitterMm == before.jitterMm && scene.blankPercent == before.blankPercent
                && scene.wanderPercent == before.wanderPercent);
    }
}

// Reads happen only when there is something, and never wait for a writer to
// finish its line; a writer that closes mid-line has given its last line;
// the pipe serves one writer after another.
void SimulatorPartsTest::controlPipeGivesLinesWithoutWaitingForWriters()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("sim.ctl").toStdString();
    ControlInput input;
    std::string error;
    QVERIFY2(input.open(path, error), error.c_str());
    struct stat st {};
    QVERIFY(stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
    int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    QVERIFY(writer >= 0);
    QVERIFY(writeAll(writer, "distance 1\nbias"));
    QCOMPARE(readWhenReady(input), std::vector<std::string> {"distance 1"});
    QVERIFY(input.readLines().empty());
    QVERIFY(writeAll(writer, " 2"));
    ::close(writer);
    std::vector<std::string> lines;
    for (int i = 0; i < 3 && lines.empty(); ++i)
        lines = readWhenReady(input);
    QCOMPARE(lines, std::vector<std::string> {"bias 2"});

    writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    QVERIFY(writer >= 0);
    QVERIFY(writeAll(writer, QByteArray(2000, 'x') + "\njitter 3\n"));
    ::close(writer);
    QCOMPARE(readWhenReady(input),
             (std::vector<std::string> {"problem: ignored a line longer than 1024 bytes", "jitter 3"}));

    input.close();
    QVERIFY(!QFile::exists(QString::fromStdString(path)));
}

void SimulatorPartsTest::controlPipeNeverReplacesAnythingButAPipe()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("notes.txt");
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me\n");
    }
    ControlInput refused;
    std::string error;
    QVERIFY(!refused.open(file.toStdString(), error));
    QVERIFY(error.find("not a named pipe") != std::string::npos);
    QFile kept(file);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep me\n"));

    // A pipe left over by a run that was killed is taken over; a file put in
    // the pipe's place while running is not removed at the end.
    const std::string pipe = dir.filePath("sim.ctl").toStdString();
    QCOMPARE(mkfifo(pipe.c_str(), 0600), 0);
    ControlInput input;
    QVERIFY2(input.open(pipe, error), error.c_str());
    QCOMPARE(::unlink(pipe.c_str()), 0);
    QVERIFY(QFile::copy(file, QString::fromStdString(pipe)));
    input.close();
    QVERIFY(QFile::exists(QString::fromStdString(pipe)));
}

// What a sensor was doing dies with its power: the stream, an open transfer,
// the replies it meant to send later, its warm-up. What it looks at stays.
void SimulatorPartsTest::powerCycleForgetsEverythingTheSensorWasDoing()
{
    SimOptions options;
    options.points = 1;
    options.jitter = 0;
    options.driftMm = 300;
    options.driftTauSeconds = 1;
    options.ackDelayMs = 100;
    Outbox out(0, 0, 1);
    SimDevice device(options, out);
    FrameReader host;
    const std::vector<quint8> tag(16, 0);

    device.handle(command(0, 0x02), 0);
    device.tick(5000000);
    QVERIFY(device.isStreaming());
    device.handle(command(1, 0x0A, tag), 5000000);
    QCOMPARE(out.nextDue(), quint64(5100000));
    device.scene().distanceMm = 1000;
    QVERIFY(firstDistance(host.feed(out.pendingBytes()).back().data) < 1520);

    device.powerCycle();
    QVERIFY(!device.isStreaming());
    QCOMPARE(device.nextDue(), std::numeric_limits<quint64>::max());
    QCOMPARE(out.nextDue(), std::numeric_limits<quint64>::max());
    device.handle(command(1, 0x0B, tag), 6000000);
    device.handle(command(1, 0x0C, tag), 6000000);
    QCOMPARE(out.nextDue(), std::numeric_limits<quint64>::max());

    const int before = out.pendingBytes().size();
    device.handle(command(0, 0x02), 7000000);
    device.tick(7000000);
    const std::vector<TRData> frames = host.feed(out.pendingBytes().mid(before));
    QCOMPARE(frames.size(), size_t(1));
    QVERIFY2(std::abs(firstDistance(frames.front().data) - 1300) <= 11, "warms up again, at the new distance");

    const int beforeAcks = out.pendingBytes().size();
    device.handle(command(1, 0x0A, tag), 7000000);
    device.handle(command(1, 0x0B, tag), 7000000);
    out.release(7100000);
    int acks = 0;
    for (const TRData &pack : host.feed(out.pendingBytes().mid(beforeAcks)))
        acks += pack.cmd == 0x10 && pack.data.size() == 2 && pack.data[1] == 1 ? 1 : 0;
    QCOMPARE(acks, 2);
}

void SimulatorPartsTest::idleTimeAfterAnUnplugRunsFromTheReturn()
{
    PeerWatch watch(1);
    watch.observe(true, 0);
    QVERIFY(!watch.goneForGood(10000000));
    watch.observe(false, 10000000);
    watch.portReplaced(20000000);
    watch.observe(true, 20100000);
    QVERIFY(!watch.present());
    QVERIFY(!watch.goneForGood(20900000));
    QVERIFY(watch.goneForGood(21000000));
}

QTEST_GUILESS_MAIN(SimulatorPartsTest)
#include "tst_simulator_parts.moc"
