#include "curve/CurveColumns.h"
#include "curve/CurveStore.h"
#include "curve/CurveStoreFile.h"
#include "files/CurveTextWriter.h"
#include "workflow/AllanDeviation.h"
#include "workflow/FrameSeries.h"
#include "workflow/SpanStatistics.h"
#include "workflow/WarmUpDrift.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <string>

// The long-run storage and analysis: the curve store from a million to
// two hundred million points (a week at 333 points a second), and the
// statistics window's drift and Allan deviation over a million frames.
// Resident memory is the whole process's, read from the kernel: its peak
// (VmHWM, reset before each run) covers every moment, not only the samples.
namespace {

double statusMiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}

void resetPeakRss()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

constexpr int kColumns = 700; // the plot's key axis at its usual width
constexpr qint64 kTickNs = 30000000;

// A curve as the refresh appends it: ten equal values per 30 ms tick.
class LiveSource {
public:
    void appendTick(CurveStore &curve)
    {
        value += step(rng);
        for (int i = 0; i < 10; ++i)
            curve.append(value, timeNs);
        timeNs += kTickNs;
    }

private:
    std::mt19937 rng{3};
    std::uniform_int_distribution<int> step{-8, 8};
    double value = 1500;
    qint64 timeNs = 0;
};

void curveStorage(benchmark::State &state)
{
    const qint64 points = state.range(0);
    const bool timeAxis = state.range(1) != 0;
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStore curve(spill);
    LiveSource source;
    resetPeakRss();
    const double before = statusMiB("VmRSS");
    double sampledPeak = before;
    // CPU time: the machine is shared, and the wall clock counts the others.
    const std::clock_t started = std::clock();
    while (curve.size() < points) {
        source.appendTick(curve);
        if (curve.size() % (1 << 20) < 10)
            sampledPeak = std::max(sampledPeak, statusMiB("VmRSS"));
    }
    const double appendNs = double(std::clock() - started) / CLOCKS_PER_SEC * 1e9 / double(points);
    const CurveAxis axis = timeAxis ? CurveAxis::Time : CurveAxis::Points;
    std::size_t columns = 0;
    for (auto _ : state) {
        source.appendTick(curve);
        const double upper = curve.key(axis, curve.size() - 1);
        const auto reduced = CurveColumns::reduce(curve, axis, 0, upper, kColumns);
        const ValueRange range = curve.valueRange(0, curve.size());
        columns = reduced.size();
        benchmark::DoNotOptimize(range);
    }
    state.counters["append_ns_per_point"] = appendNs;
    state.counters["rss_before_MiB"] = before;
    state.counters["rss_peak_MiB"] = statusMiB("VmHWM");
    state.counters["rss_sampled_peak_MiB"] = sampledPeak;
    state.counters["store_heap_MiB"] = double(curve.residentBytes()) / 1048576.0;
    state.counters["mapped_MiB"] = double(spill->mappedBytes()) / 1048576.0;
    state.counters["spill_file_MiB"] = double(spill->fileBytes()) / 1048576.0;
    state.counters["columns"] = double(columns);
    if (curve.error() != CurveStore::Error::None)
        state.SkipWithError("the store refused points");
}

// Save every point as .cur text, then play the file back into new stores.
void curveFileRoundTrip(benchmark::State &state)
{
    const qint64 points = state.range(0);
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStore curve(spill);
    LiveSource source;
    while (curve.size() < points)
        source.appendTick(curve);
    const QString path = dir.filePath(QStringLiteral("run.cur"));
    double saveSeconds = 0, loadSeconds = 0;
    resetPeakRss();
    const double before = statusMiB("VmRSS");
    for (auto _ : state) {
        std::clock_t started = std::clock();
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Text);
        CurveTextWriter writer(&file);
        const bool saved = CurveStoreFile::write({&curve}, &writer) && writer.finish();
        file.close();
        saveSeconds = double(std::clock() - started) / CLOCKS_PER_SEC;
        started = std::clock();
        CurveStoreFile::Curves back;
        const bool loaded = CurveStoreFile::load(path, spill, &back);
        loadSeconds = double(std::clock() - started) / CLOCKS_PER_SEC;
        if (!saved || !loaded || back.size() != 1 || back[0]->size() != points)
            state.SkipWithError("round trip lost points");
    }
    state.counters["save_s"] = saveSeconds;
    state.counters["load_s"] = loadSeconds;
    state.counters["file_MiB"] = double(QFile(path).size()) / 1048576.0;
    state.counters["rss_before_MiB"] = before;
    state.counters["rss_peak_MiB"] = statusMiB("VmHWM");
}

// A warm-up: 30 mm settling with a 20-minute time constant, white noise of
// 3 mm, one frame every 3 ms; every `blankEvery`-th frame blanked.
void fillWarmUp(FrameSeries &series, qint64 frames, int blankEvery)
{
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 3);
    std::uniform_int_distribution<int> confidence(20, 100);
    for (qint64 i = 0; i < frames; ++i) {
        const double seconds = double(i) * 0.003;
        FrameSample f;
        f.timeNs = i * 3000000;
        f.firstPoint = qint16(std::lround(1000 + 30 * std::exp(-seconds / 1200) + noise(rng)));
        f.frameMean = f.firstPoint;
        f.blanked = blankEvery > 0 && i % blankEvery == 0;
        f.confidence = quint8(confidence(rng));
        f.peak = 9000;
        series.add(f);
    }
}

// A change of gate: the Allan deviation starts over (the instance keeps its
// memory, as the window's does), and the drift is computed anew.
void driftAndAllan(benchmark::State &state)
{
    FrameSeries series;
    fillWarmUp(series, state.range(0), int(state.range(1)));
    const int minConfidence = state.range(2) != 0 ? 30 : 0;
    AllanDeviation allanDeviation;
    std::size_t taus = 0;
    int flip = 0;
    for (auto _ : state) {
        // The gate moves by one step of confidence each time: the same work.
        const QualityGate gate{minConfidence + (flip ^= 1), 0};
        const auto allan = allanDeviation.compute(series, RollingStatistics::Quantity::FirstPoint, gate);
        const DriftResult drift = WarmUpDrift::compute(series, RollingStatistics::Quantity::FirstPoint, gate);
        taus = allan.size();
        benchmark::DoNotOptimize(drift);
    }
    state.counters["tau_values"] = double(taus);
    state.counters["series_MiB"] = double(series.bytes()) / 1048576.0;
}

// The window's refresh once a second: a second of frames more, then the
// Allan deviation carried on from the last call and the drift anew.
void allanRefresh(benchmark::State &state)
{
    FrameSeries series;
    fillWarmUp(series, 1000000, int(state.range(0)));
    AllanDeviation allan;
    allan.compute(series, RollingStatistics::Quantity::FirstPoint);
    FrameSample f;
    f.timeNs = series.at(series.size() - 1).timeNs;
    f.firstPoint = f.frameMean = 1000;
    f.confidence = 100;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < 333; ++i) {
            f.timeNs += 3000000;
            series.add(f);
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(allan.compute(series, RollingStatistics::Quantity::FirstPoint));
        benchmark::DoNotOptimize(WarmUpDrift::compute(series, RollingStatistics::Quantity::FirstPoint));
    }
}

void spanOverMillion(benchmark::State &state)
{
    FrameSeries series;
    fillWarmUp(series, 1000000, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(SpanStatistics::over(series, 0, series.size(), RollingStatistics::Quantity::FirstPoint));
}

void frameSeriesAdd(benchmark::State &state)
{
    FrameSeries series(1 << 16);
    FrameSample f;
    f.firstPoint = 1000;
    for (auto _ : state) {
        f.timeNs += 3000000;
        series.add(f);
    }
}

} // namespace

// Each size is set up once (the largest takes minutes): one call, a fixed
// number of refresh steps.
BENCHMARK(curveStorage)->ArgsProduct({{1000000, 10000000, 100000000, 200000000}, {0, 1}})
    ->Iterations(200)->Unit(benchmark::kMillisecond);
BENCHMARK(curveFileRoundTrip)->Arg(10000000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(driftAndAllan)->Args({1000000, 0, 0})->Args({1000000, 50, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(allanRefresh)->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(spanOverMillion)->Unit(benchmark::kMillisecond);
BENCHMARK(frameSeriesAdd);

BENCHMARK_MAIN();
