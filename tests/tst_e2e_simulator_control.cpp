#include "tests/e2e/SimHost.h"
#include "tests/e2e/SimProcess.h"
#include "workflow/MeasurementProcessor.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

constexpr int kMeasurement = 0x02;

// What a shell's `echo ... > PATH` does: open, write, close.
bool writeControl(const QString &path, const QByteArray &bytes)
{
    QFile pipe(path);
    return pipe.open(QIODevice::WriteOnly) && pipe.write(bytes) == bytes.size();
}

double frameSpread(const TRData &frame)
{
    const int n = simPointCount(frame);
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += simPoint(frame, i).distance;
    double squares = 0;
    for (int i = 0; i < n; ++i)
        squares += std::pow(simPoint(frame, i).distance - sum / n, 2);
    return std::sqrt(squares / n);
}

std::vector<TRData> measurements(const HostLink &host, size_t from = 0)
{
    std::vector<TRData> frames;
    for (size_t i = from; i < host.got.size(); ++i)
        if (host.got[i].cmd == kMeasurement)
            frames.push_back(host.got[i]);
    return frames;
}

// The simulator streaming to a host, with its control input at `control`
// ("-" for standard input).
struct ControlledSim {
    QTemporaryDir dir;
    QString control;
    SimProcess sim;
    std::unique_ptr<HostLink> host;

    bool start(const QString &input, const QStringList &more = {})
    {
        control = input == "-" ? input : dir.filePath(input);
        if (!sim.start(QStringList {"--control", control, "--rate", "100", "--verbose"} + more))
            return false;
        host = std::make_unique<HostLink>(sim.port());
        return host->open() && host->net->sendCmd(0, kMeasurement, 0);
    }
    bool send(const QByteArray &lines)
    {
        return control == "-" ? sim.writeInput(lines) : writeControl(control, lines);
    }
    int frames() const { return host->count(kMeasurement); }
    const TRData &lastFrame() const { return *host->last(kMeasurement); }
};

} // namespace

class SimulatorControlTest : public QObject {
    Q_OBJECT

private slots:
    void controlLinesMoveWhatTheSensorSees_data();
    void controlLinesMoveWhatTheSensorSees();
    void blankedShareIsWhatTheToolsFilterMakes_data();
    void blankedShareIsWhatTheToolsFilterMakes();
    void badControlLinesAreReportedAndSkipped();
    void controlPipeNeverHoldsTheStreamAndGoesAtTheEnd();
    void controlPipeNeverReplacesAFile();
    void warmUpDriftSettlesFromTheFirstStart();
};

// Sent while the sensor streams: from some frame on, every frame shows the
// new setting.
void SimulatorControlTest::controlLinesMoveWhatTheSensorSees_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<double>("distance");
    QTest::addColumn<double>("spreadAtLeast");
    QTest::addColumn<double>("spreadAtMost");
    QTest::newRow("distance") << "sim.ctl" << QByteArray("distance 1000\n") << 1000.0 << 0.0 << 1.0;
    QTest::newRow("bias") << "sim.ctl" << QByteArray("bias 50\n") << 1550.0 << 0.0 << 1.0;
    QTest::newRow("distance and a negative bias") << "sim.ctl" << QByteArray("distance 800\nbias -25\n") << 775.0
                                                  << 0.0 << 1.0;
    QTest::newRow("jitter") << "sim.ctl" << QByteArray("jitter 100\n") << 1500.0 << 80.0 << 120.0;
    QTest::newRow("last line without its newline") << "sim.ctl" << QByteArray("distance 2500") << 2500.0 << 0.0
                                                    << 1.0;
    QTest::newRow("standard input") << "-" << QByteArray("distance 2000\n") << 2000.0 << 0.0 << 1.0;
}

void SimulatorControlTest::controlLinesMoveWhatTheSensorSees()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, lines);
    QFETCH(double, distance);
    QFETCH(double, spreadAtLeast);
    QFETCH(double, spreadAtMost);
    ControlledSim s;
    QVERIFY(s.start(input, {"--jitter", "0"}));
    QTRY_VERIFY_WITH_TIMEOUT(s.frames() >= 5, 10000);
    QVERIFY(std::abs(simPoint(s.lastFrame(), 0).distance - 1500) <= 16);
    QVERIFY(s.send(lines));

    // The target wanders by up to 1 % of its distance; the jitter of one
    // point reaches 4 standard deviations at most here.
    const double near = std::max(1500.0, distance) * 0.01 + 4 * spreadAtMost + 1;
    const auto changed = [&](const TRData &f) {
        return std::abs(simPoint(f, 0).distance - distance) <= near
            && (spreadAtLeast == 0 || frameSpread(f) > spreadAtLeast / 3);
    };
    QTRY_VERIFY_WITH_TIMEOUT(changed(s.lastFrame()), 10000);
    const size_t from = s.host->got.size();
    QTRY_VERIFY_WITH_TIMEOUT(measurements(*s.host, from).size() >= 30, 10000);
    double squares = 0;
    int points = 0;
    for (const TRData &f : measurements(*s.host, from)) {
        QVERIFY2(std::abs(simPoint(f, 0).distance - distance) <= near,
                 qPrintable(QString::number(simPoint(f, 0).distance)));
        squares += std::pow(frameSpread(f), 2) * simPointCount(f);
        points += simPointCount(f);
    }
    const double spread = std::sqrt(squares / points);
    QVERIFY2(spread >= spreadAtLeast && spread <= spreadAtMost, qPrintable(QString::number(spread)));
    QVERIFY(s.sim.isRunning());
}

// Every frame goes through the tool's own processing; what it blanks is the
// share that counts.
void SimulatorControlTest::blankedShareIsWhatTheToolsFilterMakes_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("percent");
    QTest::newRow("from the command line") << QStringList {"--blank", "20"} << QByteArray() << 20.0;
    QTest::newRow("by a control line") << QStringList() << QByteArray("blank 40\n") << 40.0;
    QTest::newRow("off by a control line") << QStringList {"--blank", "30"} << QByteArray("blank 0\n") << 0.0;
}

void SimulatorControlTest::blankedShareIsWhatTheToolsFilterMakes()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, line);
    QFETCH(double, percent);
    ControlledSim s;
    QVERIFY(s.start("sim.ctl", options + QStringList {"--rate", "200"}));
    MeasurementProcessor tool;
    std::vector<bool> blanked;
    const auto processAll = [&] {
        const std::vector<TRData> frames = measurements(*s.host);
        for (size_t i = blanked.size(); i < frames.size(); ++i) {
            FrameOutcome out;
            tool.process(frames[i].data.data(), frames[i].data.size(), out);
            blanked.push_back(out.blanked);
        }
    };
    QTRY_VERIFY_WITH_TIMEOUT(s.frames() >= 10, 10000);
    size_t from = 0;
    if (!line.isEmpty()) {
        QVERIFY(s.send(line));
        QTRY_VERIFY_WITH_TIMEOUT(s.sim.errorOutput().contains("control: " + line.trimmed()), 10000);
        // What was on its way before the line was read is not counted.
        processAll();
        from = blanked.size() + 30;
    }
    QTRY_VERIFY_WITH_TIMEOUT(s.frames() >= int(from) + 400, 20000);
    processAll();
    const long count = std::count(blanked.begin() + long(from), blanked.begin() + long(from) + 400, true);
    QVERIFY2(std::abs(count / 4.0 - percent) <= 2.0, qPrintable(QString("%1 of 400 blanked").arg(count)));
}

void SimulatorControlTest::badControlLinesAreReportedAndSkipped()
{
    ControlledSim s;
    QVERIFY(s.start("sim.ctl", {"--jitter", "0"}));
    QTRY_VERIFY_WITH_TIMEOUT(s.frames() >= 5, 10000);
    const QList<QByteArray> bad {"distanse 1000", "distance", "distance 900 mm", "blank 101", "jitter -1",
                                 "bias 1e2", QByteArray("\x01\x02\xff distance", 12), QByteArray(3000, 'x')};
    QVERIFY(s.send(bad.join('\n') + '\n'));
    QTRY_VERIFY_WITH_TIMEOUT(s.sim.errorOutput().count("lidar-sim: control: ignored") == bad.size()
                                 && s.sim.errorOutput().contains("longer than 1024 bytes"),
                             10000);
    const QString errors = s.sim.errorOutput();
    for (const char *shown : {"\"distanse 1000\"", "\"blank 101\"", "\"??? distance\""})
        QVERIFY2(errors.contains(shown), qPrintable(errors));
    const int before = s.frames();
    QTRY_VERIFY_WITH_TIMEOUT(s.frames() >= before + 10, 10000);
    QVERIFY(std::abs(simPoint(s.lastFrame(), 0).distance - 1500) <= 16);

    QVERIFY(s.send("distance 900\n"));
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(simPoint(s.lastFrame(), 0).distance - 900) <= 10, 10000);
    QVERIFY(s.sim.terminate());
}

// A writer that stops mid-line holds nothing up: frames go on with the old
// target until the line is finished. At the end the pipe goes.
void SimulatorControlTest::controlPipeNeverHoldsTheStreamAndGoesAtTheEnd()
{
    ControlledSim s;
    QVERIFY(s.start("sim.ctl", {"--jitter", "0"}));
    QVERIFY(QFileInfo(s.control).exists());
    QTRY_VERIFY_WITH_TIMEOUT(s.frames() >= 5, 10000);
    const int writer = ::open(QFile::encodeName(s.control).constData(), O_WRONLY);
    QVERIFY(writer >= 0);
    QCOMPARE(::write(writer, "distance 700", 12), ssize_t(12));
    const int before = s.frames();
    QTRY_VERIFY_WITH_TIMEOUT(s.frames() >= before + 50, 10000);
    QVERIFY(std::abs(simPoint(s.lastFrame(), 0).distance - 1500) <= 16);
    QCOMPARE(::write(writer, "\n", 1), ssize_t(1));
    QTRY_VERIFY_WITH_TIMEOUT(std::abs(simPoint(s.lastFrame(), 0).distance - 700) <= 8, 10000);
    ::close(writer);

    QVERIFY(s.sim.terminate());
    QVERIFY(!QFileInfo::exists(s.control));
}

void SimulatorControlTest::controlPipeNeverReplacesAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("notes.txt");
    const QString link = dir.filePath("lidar");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me\n");
    }
    QProcess sim;
    sim.start(SimProcess::program(), {"--control", path, "--link", link});
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 1);
    QVERIFY(sim.readAllStandardOutput().isEmpty());
    QVERIFY(sim.readAllStandardError().contains("not a named pipe"));
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep me\n"));
    QVERIFY(!QFileInfo(link).isSymLink());
}

// The distance starts off by the drift at the first Start and settles with
// its time constant, read from the frames' own timestamps.
void SimulatorControlTest::warmUpDriftSettlesFromTheFirstStart()
{
    SimProcess sim;
    QVERIFY(sim.start({"--drift", "400", "--drift-tau", "1", "--points", "1", "--jitter", "0", "--rate", "50"}));
    HostLink host(sim.port());
    QVERIFY(host.open());
    QVERIFY(host.net->sendCmd(0, kMeasurement, 0));
    QTRY_VERIFY_WITH_TIMEOUT(host.count(kMeasurement) >= 120, 20000);
    const std::vector<TRData> frames = measurements(host);
    const auto timestamp = [](const TRData &f) { return qFromLittleEndian<quint32>(f.data.data() + 15); };
    const quint32 t0 = timestamp(frames.front());
    for (const TRData &f : frames) {
        const double t = double((timestamp(f) + 30000000u - t0) % 30000000u) / 1e6;
        const double expected = 1500 + 400 * std::exp(-t);
        QVERIFY2(std::abs(simPoint(f, 0).distance - expected) <= 16,
                 qPrintable(QString("%1 mm at %2 s").arg(simPoint(f, 0).distance).arg(t)));
    }
    QVERIFY(simPoint(frames.front(), 0).distance >= 1880);
    QVERIFY(simPoint(frames.back(), 0).distance <= 1560);
}

QTEST_GUILESS_MAIN(SimulatorControlTest)
#include "tst_e2e_simulator_control.moc"
