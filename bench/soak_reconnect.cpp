// The window against the simulator at the link limit (one-point frames) for a
// set time while the simulator unplugs itself and comes back every period:
// frames sent and counted per connected stretch, the time from each return
// to the first frame shown, and the CPU and resident memory of each minute.
// Not a Google Benchmark: one long run, one report.
//   soak_reconnect [--minutes M] [--period S] [--gap-ms G]
#include "bench/BenchFrames.h"
#include "bench/BenchWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>

#include <unistd.h>

#include <cstdio>
#include <vector>

namespace {

struct Options {
    double minutes = 10;
    int periodSeconds = 120;
    int gapMs = 2000;
};

Options parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"minutes", "Length of the run (default 10).", "M", "10"});
    parser.addOption({"period", "Seconds between unplugs (default 120).", "S", "120"});
    parser.addOption({"gap-ms", "How long the sensor stays away (default 2000).", "G", "2000"});
    parser.process(arguments);
    Options o;
    o.minutes = qMax(0.1, parser.value("minutes").toDouble());
    o.periodSeconds = qMax(1, parser.value("period").toInt());
    o.gapMs = qMax(0, parser.value("gap-ms").toInt());
    return o;
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : -1;
}

struct Minute {
    double cpuShare;
    double rssMiB;
    int curvePoints;
};

// What the run saw, as it happened.
struct Record {
    std::vector<qint64> counted;        // frames shown per stretch
    std::vector<qint64> sent;           // frames the simulator sent per stretch
    std::vector<double> latencyMs;      // return of the sensor to its first frame shown
    std::vector<double> noticeMs;       // unplug to the window showing the loss
    std::vector<Minute> minutes;
};

// Follows the simulator's error output and the window's link, and times the
// returns and losses.
class Watch {
public:
    Watch(BenchSim &sim, BenchWindow &bench, Record &record)
        : sim(sim), bench(bench), record(record)
    {
        clock.start();
        QObject::connect(&sim.process, &QProcess::readyReadStandardError, &bench.window, [this] { readSim(); });
        QObject::connect(MainWindowProbe::link(bench.window), &LinkSupervisor::stateChanged, &bench.window,
                         [this](LinkState s) { onState(s); });
        QObject::connect(MainWindowProbe::net(bench.window), &QTRNet::dataReady, &bench.window, [this](TRData *p) {
            if (p->cmd == 0x02 && backAt >= 0) {
                this->record.latencyMs.push_back(double(clock.nsecsElapsed() - backAt) / 1e6);
                backAt = -1;
            }
        });
    }

    void readSim()
    {
        pending += sim.process.readAllStandardError();
        int nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromLocal8Bit(pending.left(nl));
            pending.remove(0, nl + 1);
            const auto m = QRegularExpression("stretch \\d+: measurement frames sent (\\d+)").match(line);
            if (m.hasMatch())
                record.sent.push_back(m.captured(1).toLongLong());
            else if (line.contains(QLatin1String("unplugged")))
                unpluggedAt = clock.nsecsElapsed();
            else if (line.contains(QLatin1String("back on")))
                backAt = clock.nsecsElapsed();
        }
    }

    void onState(LinkState state)
    {
        if (state != LinkState::Disconnected)
            return;
        readSim();
        closeStretch();
        if (unpluggedAt >= 0)
            record.noticeMs.push_back(double(clock.nsecsElapsed() - unpluggedAt) / 1e6);
        unpluggedAt = -1;
    }

    void closeStretch()
    {
        record.counted.push_back(bench.frames - framesAtStretch);
        framesAtStretch = bench.frames;
    }

private:
    BenchSim &sim;
    BenchWindow &bench;
    Record &record;
    QElapsedTimer clock;
    QByteArray pending;
    qint64 framesAtStretch = 0;
    qint64 unpluggedAt = -1;
    qint64 backAt = -1;
};

void printReport(const Options &o, const Record &r, double frameRate)
{
    QTextStream out(stdout);
    out << "soak: " << o.minutes << " min at n = 1 (" << frameRate << " frames/s), unplugged every "
        << o.periodSeconds << " s for " << o.gapMs << " ms\n\n";
    out << "| stretch | frames sent | frames shown | lost |\n|---|---|---|---|\n";
    for (std::size_t i = 0; i < r.counted.size(); ++i) {
        const qint64 sent = i < r.sent.size() ? r.sent[i] : -1;
        out << "| " << i + 1 << " | " << sent << " | " << r.counted[i] << " | " << sent - r.counted[i] << " |\n";
    }
    out << "\n| return | unplug to loss shown (ms) | back to first frame shown (ms) |\n|---|---|---|\n";
    for (std::size_t i = 0; i < r.latencyMs.size() || i < r.noticeMs.size(); ++i)
        out << "| " << i + 1 << " | " << (i < r.noticeMs.size() ? r.noticeMs[i] : -1) << " | "
            << (i < r.latencyMs.size() ? r.latencyMs[i] : -1) << " |\n";
    out << "\n| minute | CPU (share of a core) | RSS (MiB) | curve points |\n|---|---|---|---|\n";
    for (std::size_t i = 0; i < r.minutes.size(); ++i)
        out << "| " << i + 1 << " | " << QString::number(r.minutes[i].cpuShare, 'f', 3) << " | "
            << QString::number(r.minutes[i].rssMiB, 'f', 1) << " | " << r.minutes[i].curvePoints << " |\n";
    if (r.minutes.size() > 1) {
        const Minute &a = r.minutes.front(), &b = r.minutes.back();
        out << "\nRSS growth from minute 1 to " << r.minutes.size() << ": "
            << QString::number((b.rssMiB - a.rssMiB) * 1024 * 1024 / 1e6, 'f', 2) << " MB; the curve's own "
            << b.curvePoints - a.curvePoints << " points at 17.3 B: "
            << QString::number((b.curvePoints - a.curvePoints) * 17.3 / 1e6, 'f', 2) << " MB\n";
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Options o = parse(app.arguments());
    QTemporaryDir dir;
    QDir::setCurrent(dir.path()); // the window's settings file goes there
    const QString link = dir.filePath(QStringLiteral("ttyLidar"));
    const int rate = int(BenchFrames::kLinkBytesPerSecond / (11 + 15 + 4));

    BenchSim sim;
    if (!sim.start({"--link", link, "--rate", QString::number(rate), "--points", "1", "--idle-exit", "0",
                    "--vanish-every", QString::number(o.periodSeconds), "--vanish-for", QString::number(o.gapMs)})) {
        std::fprintf(stderr, "soak: the simulator did not start\n");
        return 1;
    }
    BenchWindow bench;
    Record record;
    Watch watch(sim, bench, record);
    if (!bench.open(link)) {
        std::fprintf(stderr, "soak: cannot open %s\n", qPrintable(link));
        return 1;
    }
    bench.window.findChild<QAbstractButton *>(QStringLiteral("pbStart"))->click();

    const int totalMinutes = int(o.minutes + 0.999);
    QElapsedTimer run;
    run.start();
    for (int minute = 0; minute < totalMinutes; ++minute) {
        CpuMeter meter;
        const qint64 end = qMin<qint64>(qint64((minute + 1) * 60000.0), qint64(o.minutes * 60000.0));
        EventPump::waitUntil(int(end - run.elapsed()));
        record.minutes.push_back({meter.share(), residentMiB(),
                                  MainWindowProbe::plot(bench.window)->graph(0)->dataCount()});
        std::fprintf(stderr, "soak: minute %d, %lld frames shown\n", minute + 1, static_cast<long long>(bench.frames));
    }

    // The last stretch ends with Stop, so that nothing is in flight when the
    // simulator counts it.
    bench.window.findChild<QAbstractButton *>(QStringLiteral("pbStop"))->click();
    EventPump::waitUntil(1000);
    watch.closeStretch();
    sim.process.terminate();
    sim.process.waitForFinished(10000);
    watch.readSim();
    printReport(o, record, rate);
    return 0;
}
