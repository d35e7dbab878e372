#include "bench/BenchFrames.h"
#include "bench/BenchMain.h"
#include "bench/BenchWindow.h"
#include "app/PlotCursors.h"
#include "app/StatisticsWindow.h"
#include "tests/support/PtyPair.h"
#include "download/DownloadDialog.h"
#include "files/MeasurementLog.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/RollingStatistics.h"
#include "workflow/CommandSet.h"
#include "workflow/MeasurementProcessor.h"
#include "workflow/WorkflowTexts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <random>
#include <vector>

// The window side of the link: the measurement path per frame, the end-to-end
// run against the simulator at the link's byte rate, the download's turnaround
// per block, and the CPU used while waiting or idle.
namespace {

using Clock = std::chrono::steady_clock;

std::vector<QByteArray> frames(int points, int count)
{
    std::mt19937 rng(5);
    std::vector<QByteArray> out;
    for (int i = 0; i < count; ++i)
        out.push_back(BenchFrames::measurementFrame(points, quint32(i) * 1000u, rng));
    return out;
}

// Dispatch, statistics and text without widgets.
void measurementLogic(benchmark::State &state)
{
    const auto input = frames(int(state.range(0)), 64);
    MeasurementProcessor processor;
    std::size_t i = 0;
    for (auto _ : state) {
        const QByteArray &frame = input[i++ % input.size()];
        FrameOutcome outcome;
        processor.process(reinterpret_cast<const quint8 *>(frame.constData()) + 10,
                          std::size_t(frame.size()) - 11, outcome);
        benchmark::DoNotOptimize(WorkflowTexts::measurementText(outcome.info, processor.frameRate));
    }
}

void openMonitor(BenchWindow &bench)
{
    bench.window.findChild<QAction *>(QStringLiteral("actionTrafficMonitor"))->trigger();
}

// The same through the window: endpoint, parseLidarData, processMeasurement,
// msg_view into the message view.
// Args: points, monitor (1: the traffic monitor is open and recording).
void measurementWindow(benchmark::State &state)
{
    const auto input = frames(int(state.range(0)), 64);
    BenchWindow bench;
    if (state.range(1))
        openMonitor(bench);
    QTRNet *net = MainWindowProbe::net(bench.window);
    std::size_t i = 0;
    for (auto _ : state)
        net->receiveData(input[i++ % input.size()]);
    state.counters["shown"] = double(bench.frames);
}

int e2eSeconds()
{
    const int seconds = qEnvironmentVariableIntValue("LIDAR_E2E_SECONDS");
    return seconds > 0 ? seconds : 10;
}

// Lets the frames still in flight after the stop command arrive.
void drain(BenchWindow &bench)
{
    qint64 seen = -1;
    for (int round = 0; round < 30 && seen != bench.frames; ++round) {
        seen = bench.frames;
        EventPump::waitUntil(300);
    }
}

// Frames the simulator says it sent and dropped, -1 where it did not say.
struct SimCount {
    double sent = -1;
    double dropped = -1;
};

// Sends Stop, lets the last frames in and ends the simulator.
SimCount stopStream(BenchSim &sim, BenchWindow &bench)
{
    MainWindowProbe::net(bench.window)->sendCmd(0, CommandSet::kStop, 0);
    drain(bench);
    const auto m = QRegularExpression("frames sent (\\d+).*dropped (\\d+)").match(sim.finish());
    if (!m.hasMatch())
        return {};
    return {m.captured(1).toDouble(), m.captured(2).toDouble()};
}

// The simulator streams n-point frames at the link's byte rate into the
// window (a 1e6-point curve already drawn); frames sent against frames shown,
// and the share of a core this process used.
// Args: points, monitor (1: the traffic monitor is open all along).
void endToEnd(benchmark::State &state)
{
    const int points = int(state.range(0));
    const bool monitor = state.range(1) != 0;
    const int frameBytes = 11 + 15 * points + 4;
    const int rate = int(BenchFrames::kLinkBytesPerSecond / frameBytes);
    for (auto _ : state) {
        BenchSim sim;
        BenchWindow bench;
        if (!openOnSimulator(state, sim, bench, {"--rate", QString::number(rate), "--points", QString::number(points)}))
            return;
        if (monitor)
            openMonitor(bench);
        MainWindowProbe::net(bench.window)->sendCmd(0, CommandSet::kStart, 0);
        bench.extendCurve(1000000);
        CpuMeter meter;
        EventPump::waitUntil(e2eSeconds() * 1000);
        const double share = meter.share();
        const SimCount count = stopStream(sim, bench);
        const double sent = count.sent;
        state.counters["dropped_by_sim"] = count.dropped;
        state.SetIterationTime(meter.wallSeconds());
        state.counters["frames_per_s"] = rate;
        state.counters["sent"] = sent;
        state.counters["shown"] = double(bench.frames);
        state.counters["lost"] = sent - double(bench.frames);
        state.counters["cpu_share"] = share;
        state.counters["curve_points"] = MainWindowProbe::plot(bench.window)->graph(0)->dataCount();
    }
}

// Resident memory of this process.
double rssMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / (1024 * 1024) : -1;
}

// Link-limit streams for the log and the statistics window: n-point frames at
// the link's byte rate.
int linkRate(int points)
{
    return int(BenchFrames::kLinkBytesPerSecond / (11 + 15 * points + 4));
}

// The simulator streams at the link limit into the window; with log 1 every
// frame is logged to a file. Frames sent, frames logged, the CPU share of
// this process, and its resident memory at a sixth of the run (the 10th
// second of a 60 s run) and at the end.
void endToEndLog(benchmark::State &state)
{
    const int points = int(state.range(0));
    const bool logging = state.range(1) != 0;
    const int rate = linkRate(points);
    for (auto _ : state) {
        QTemporaryDir dir;
        BenchSim sim;
        BenchWindow bench;
        auto *log = bench.window.findChild<MeasurementLog *>();
        if (logging)
            log->start(dir.filePath("bench.csv"), MeasurementLog::Layout::FramePerLine);
        if (!openOnSimulator(state, sim, bench, {"--rate", QString::number(rate), "--points", QString::number(points)}))
            return;
        MainWindowProbe::net(bench.window)->sendCmd(0, CommandSet::kStart, 0);
        CpuMeter meter;
        EventPump::waitUntil(e2eSeconds() * 1000 / 6);
        const double rssEarly = rssMiB();
        EventPump::waitUntil(e2eSeconds() * 1000 * 5 / 6);
        const double share = meter.share();
        const double rssLate = rssMiB();
        const double sent = stopStream(sim, bench).sent;
        log->stop();
        state.SetIterationTime(meter.wallSeconds());
        state.counters["frames_per_s"] = rate;
        state.counters["sent"] = sent;
        state.counters["shown"] = double(bench.frames);
        state.counters["logged"] = logging ? double(log->status().linesWritten) : -1;
        state.counters["lost"] = sent - (logging ? double(log->status().linesWritten) : double(bench.frames));
        state.counters["cpu_share"] = share;
        state.counters["rss_early_mib"] = rssEarly;
        state.counters["rss_growth_mib"] = rssLate - rssEarly;
    }
}

// Everything the statistics window can be asked for at once: the span
// between two cursors, a quality gate, and the tab given (the drift and the
// Allan deviation run once a second whatever the tab).
void switchEverythingOn(StatisticsWindow *stats, int tab)
{
    stats->findChild<QSpinBox *>(QStringLiteral("minConfidenceBox"))->setValue(1);
    stats->findChild<QComboBox *>(QStringLiteral("windowBox"))->setCurrentIndex(StatisticsWindow::Span);
    stats->findChild<QTabWidget *>(QStringLiteral("statisticsTabs"))->setCurrentIndex(tab);
}

// The statistics window open while the simulator streams one-point frames
// at the link limit: over the last 10,000 frames (everything 0), or with
// everything switched on, its cursors placed after the first second and
// the overview (everything 1) or the quality plot (everything 2) shown.
void endToEndStatistics(benchmark::State &state)
{
    const int points = int(state.range(0));
    const int everything = int(state.range(1));
    const int rate = linkRate(points);
    for (auto _ : state) {
        BenchSim sim;
        BenchWindow bench;
        bench.window.findChild<QAction *>(QStringLiteral("actionStatistics"))->trigger();
        auto *stats = bench.window.findChild<StatisticsWindow *>();
        stats->findChild<QComboBox *>(QStringLiteral("windowBox"))->setCurrentIndex(2);
        if (!openOnSimulator(state, sim, bench, {"--rate", QString::number(rate), "--points", QString::number(points)}))
            return;
        MainWindowProbe::net(bench.window)->sendCmd(0, CommandSet::kStart, 0);
        EventPump::waitUntil(1000);
        if (everything)
            switchEverythingOn(stats, everything == 1 ? StatisticsWindow::OverviewTab : StatisticsWindow::QualityTab);
        const int slowBefore = stats->slowRefreshes();
        CpuMeter meter;
        EventPump::waitUntil(e2eSeconds() * 1000);
        const double share = meter.share();
        const double slowPerSecond = (stats->slowRefreshes() - slowBefore) / meter.wallSeconds();
        const double sent = stopStream(sim, bench).sent;
        state.SetIterationTime(meter.wallSeconds());
        state.counters["frames_per_s"] = rate;
        state.counters["lost"] = sent - double(bench.frames);
        state.counters["cpu_share"] = share;
        state.counters["counted"] = double(stats->statistics().total());
        state.counters["drift_allan_per_s"] = slowPerSecond;
    }
}

double median(std::vector<double> v);

// CPU time of the calling thread: on a shared machine, wall time measures
// the other jobs as well.
double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// A measurement record of a sensor warming up: 30 mm off at first, settling
// with a 20-minute time constant, 3 mm of noise, every 50th frame blanked.
class WarmingSensor {
public:
    WarmingSensor() { record.distances.resize(1); }
    const MeasurementRecord &next()
    {
        const double seconds = double(frame) * 0.003;
        const auto d = qint16(std::lround(1500 + 30 * std::exp(-seconds / 1200) + noise(rng)));
        record.hostNanoseconds = frame * 3000000;
        record.distances[0] = d;
        record.info.average = d;
        record.info.confidence = quint8(60 + frame % 40);
        record.info.peak = quint32(20000 + frame % 997);
        record.blanked = frame % 50 == 0;
        ++frame;
        return record;
    }

private:
    MeasurementRecord record;
    qint64 frame = 0;
    std::mt19937 rng {9};
    std::normal_distribution<double> noise {0, 3};
};

// The statistics window open on a run of 1,000,000 frames (one every 3 ms:
// 55 minutes) with everything switched on and the given tab shown; then for
// 20 s, every 250 ms, the frames of that quarter second arrive and the window
// refreshes. The CPU time of each refresh: those that also ran the drift and
// the Allan deviation, and the others; the first of the former carries the
// Allan deviation's start over the whole run and is given apart.
void statisticsWindowRefresh(benchmark::State &state)
{
    constexpr int kFrames = 1000000;
    constexpr int kPerTick = 83;
    const int tab = int(state.range(0));
    for (auto _ : state) {
        MeasurementFeed feed;
        StatisticsWindow stats(&feed);
        stats.resize(720, 560);
        stats.show();
        switchEverythingOn(&stats, tab);
        WarmingSensor sensor;
        for (int i = 0; i < kFrames; ++i)
            emit feed.frameMeasured(sensor.next());
        PlotCursors *cursors = stats.timeCursors();
        cursors->place(PlotCursors::Cursor::A, 600);
        cursors->place(PlotCursors::Cursor::B, 3000);
        std::vector<double> withSlow, without;
        double first = -1;
        const int slowBefore = stats.slowRefreshes();
        CpuMeter meter;
        while (meter.wallSeconds() < 20) {
            for (int i = 0; i < kPerTick; ++i)
                emit feed.frameMeasured(sensor.next());
            const int slow = stats.slowRefreshes();
            const double begin = threadCpuMs();
            stats.refresh();
            const double ms = threadCpuMs() - begin;
            if (stats.slowRefreshes() == slow)
                without.push_back(ms);
            else if (first < 0)
                first = ms;
            else
                withSlow.push_back(ms);
            EventPump::waitUntil(StatisticsWindow::kRefreshMs);
        }
        state.SetIterationTime(meter.wallSeconds());
        state.counters["first_with_allan_ms"] = first;
        state.counters["with_drift_allan_ms_median"] = median(withSlow);
        state.counters["with_drift_allan_ms_max"] = withSlow.empty() ? -1 : *std::max_element(withSlow.begin(), withSlow.end());
        state.counters["plain_ms_median"] = median(without);
        state.counters["plain_ms_max"] = without.empty() ? -1 : *std::max_element(without.begin(), without.end());
        state.counters["drift_allan_per_s"] = double(stats.slowRefreshes() - slowBefore) / meter.wallSeconds();
        state.counters["series_mib"] = double(stats.series().bytes()) / (1 << 20);
    }
}

// One frame entering a full window of n frames and the oldest leaving it,
// then the figures read back (mean, deviation, minimum, maximum, median).
void statisticsSlide(benchmark::State &state)
{
    const int size = int(state.range(0));
    std::mt19937 rng(3);
    std::normal_distribution<double> spread(1500, 20);
    std::vector<qint16> values(std::size_t(size) * 4);
    for (qint16 &v : values)
        v = qint16(std::lround(spread(rng)));
    WindowStatistics window;
    for (int i = 0; i < size; ++i)
        window.add(values[std::size_t(i)], false);
    std::size_t in = std::size_t(size), out = 0;
    for (auto _ : state) {
        window.remove(values[out], false);
        window.add(values[in], false);
        out = (out + 1) % values.size();
        in = (in + 1) % values.size();
        benchmark::DoNotOptimize(window.summary());
    }
}

// What every frame costs the statistics window: all four windows for both
// measures brought up to date.
void statisticsPerFrame(benchmark::State &state)
{
    RollingStatistics stats;
    std::mt19937 rng(3);
    std::normal_distribution<double> spread(1500, 20);
    qint64 t = 0;
    for (auto _ : state) {
        const qint16 v = qint16(std::lround(spread(rng)));
        stats.add({t += 325000, v, v, false});
    }
}

// The window on a line that floats at 0xAA (every byte position a header
// claiming 43,701 bytes), fed at the link's byte rate from a pseudo-terminal,
// then 2,000 one-point measurement frames: the share of a core, the rate the
// line was taken at, and how many of the frames beyond the line's longest
// claim were shown (all 700 should be; earlier ones may be swallowed by a
// claim whose checksum happens to match, as the frame format allows).
void headerLine(benchmark::State &state)
{
    constexpr int kFrames = 2000;
    constexpr int kBeyondClaims = 1300; // 1,300 frames of 34 bytes pass 43,701 bytes
    for (auto _ : state) {
        PtyPair pty;
        BenchWindow bench;
        if (!pty.isValid() || !bench.open(pty.portName())) {
            state.SkipWithError("pseudo-terminal not available");
            return;
        }
        int beyond = 0;
        QObject::connect(MainWindowProbe::net(bench.window), &QTRNet::dataReady, &bench.window, [&](TRData *pack) {
            if (pack->cmd == 0x02 && pack->data.size() == 19)
                beyond += qFromLittleEndian<quint32>(pack->data.data() + 15) / 1000u >= quint32(kBeyondClaims);
        });
        const QByteArray slice(1024, char(0xAA));
        CpuMeter meter;
        qint64 written = 0;
        while (meter.wallSeconds() < e2eSeconds()) {
            const auto due = qint64(BenchFrames::kLinkBytesPerSecond * meter.wallSeconds());
            for (; written < due; written += slice.size())
                pty.write(slice);
            EventPump::waitUntil(5);
        }
        const double share = meter.share();
        const double taken = double(written) / meter.wallSeconds();
        std::mt19937 rng(3);
        QByteArray frames;
        for (int i = 0; i < kFrames; ++i)
            frames += BenchFrames::measurementFrame(1, quint32(i) * 1000u, rng);
        pty.write(frames);
        EventPump::waitUntil(10000, [&] { return beyond >= kFrames - kBeyondClaims; });
        state.SetIterationTime(meter.wallSeconds());
        state.counters["cpu_share"] = share;
        state.counters["bytes_per_s"] = taken;
        state.counters["frames_after"] = beyond;
    }
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A firmware download against the simulator acknowledging at once: from each
// acknowledgement's arrival to the next block's bytes leaving the port.
void downloadTurnaround(benchmark::State &state)
{
    constexpr int kBlocks = 512;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString image = dir.filePath("image.bin");
        QFile file(image);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(kBlocks * 64, '\x5A'));
        file.close();
        BenchSim sim;
        BenchWindow bench;
        if (!openOnSimulator(state, sim, bench))
            return;
        bool failed = false;
        UserPrompts::setOpenFileChooser([&](QWidget *, const QString &, const QString &, const QString &) { return image; });
        UserPrompts::setCriticalBox([&](QWidget *, const QString &, const QString &) { failed = true; });
        std::vector<Clock::time_point> acks, writes;
        QObject::connect(MainWindowProbe::net(bench.window), &QTRNet::dataReady, &bench.window,
                         [&](TRData *pack) { if (pack->cmd == 0x10) acks.push_back(Clock::now()); });
        QObject::connect(MainWindowProbe::port(bench.window), &QSerialPort::bytesWritten, &bench.window,
                         [&](qint64) { writes.push_back(Clock::now()); });
        auto *dialog = bench.window.findChild<DownloadDialog *>();
        QMetaObject::invokeMethod(dialog, "filePath");
        const auto begin = Clock::now();
        QMetaObject::invokeMethod(dialog, "on_startDownload_clicked");
        EventPump::waitUntil(120000, [dialog] { return !dialog->transferActive(); });
        const double total = std::chrono::duration<double>(Clock::now() - begin).count();
        std::vector<double> turnaround;
        std::size_t w = 0;
        for (const auto &ack : acks) {
            while (w < writes.size() && writes[w] < ack)
                ++w;
            if (w < writes.size())
                turnaround.push_back(std::chrono::duration<double, std::micro>(writes[w] - ack).count());
        }
        state.SetIterationTime(total);
        state.counters["failed"] = failed;
        state.counters["acks"] = double(acks.size());
        state.counters["turnaround_us_median"] = median(turnaround);
        std::sort(turnaround.begin(), turnaround.end());
        state.counters["turnaround_us_p90"] = turnaround.empty() ? -1 : turnaround[turnaround.size() * 9 / 10];
        UserPrompts::setOpenFileChooser({});
        UserPrompts::setCriticalBox({});
    }
}

// CPU share during a 1 s QTRNet::waitMs.
void waitCpu(benchmark::State &state)
{
    QSerialPort port;
    auto *net = new QTRNet(&port);
    for (auto _ : state) {
        CpuMeter meter;
        net->waitMs(1000);
        state.counters["cpu_share"] = meter.share();
        state.SetIterationTime(meter.wallSeconds());
    }
}

// CPU share of the window with its port open on a quiet simulator.
void idleCpu(benchmark::State &state)
{
    for (auto _ : state) {
        BenchSim sim;
        BenchWindow bench;
        if (!openOnSimulator(state, sim, bench))
            return;
        EventPump::waitUntil(500);
        CpuMeter meter;
        EventPump::waitUntil(3000);
        state.counters["cpu_share"] = meter.share();
        state.SetIterationTime(meter.wallSeconds());
    }
}

} // namespace

BENCHMARK(measurementLogic)->ArgName("points")->Arg(1)->Arg(300);
BENCHMARK(statisticsSlide)->ArgName("window")->Arg(100)->Arg(10000);
BENCHMARK(statisticsPerFrame);
BENCHMARK(endToEndLog)->ArgNames({"points", "log"})->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond)
    ->Args({1, 0})->Args({1, 1})->Args({300, 0})->Args({300, 1});
BENCHMARK(endToEndStatistics)->ArgNames({"points", "everything"})->UseManualTime()->Iterations(1)
    ->Unit(benchmark::kMillisecond)->Args({1, 0})->Args({1, 1})->Args({1, 2});
BENCHMARK(statisticsWindowRefresh)->ArgName("tab")->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond)
    ->Arg(0)->Arg(1)->Arg(2)->Arg(3);
BENCHMARK(measurementWindow)->ArgNames({"points", "monitor"})->Args({1, 0})->Args({300, 0})->Args({1, 1})->Args({300, 1});
BENCHMARK(headerLine)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(waitCpu)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(idleCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(downloadTurnaround)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(endToEnd)->ArgNames({"points", "monitor"})->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond)
    ->Args({1, 0})->Args({10, 0})->Args({100, 0})->Args({300, 0})->Args({1, 1});

LIDAR_GUI_BENCHMARK_MAIN()
