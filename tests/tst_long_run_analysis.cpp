#include "workflow/AllanDeviation.h"
#include "workflow/FrameSeries.h"
#include "workflow/MeasurementRecord.h"
#include "workflow/QualityScatter.h"
#include "workflow/SeriesColumns.h"
#include "workflow/SpanStatistics.h"
#include "workflow/SpanTracker.h"
#include "workflow/WarmUpDrift.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

namespace {

using Quantity = RollingStatistics::Quantity;
constexpr qint64 kMs = 1000000;

FrameSample frame(qint64 timeNs, int distance, bool blanked = false, quint8 confidence = 100, quint32 peak = 9000)
{
    FrameSample f;
    f.timeNs = timeNs;
    f.firstPoint = qint16(distance);
    f.frameMean = qint16(distance + 1);
    f.blanked = blanked;
    f.confidence = confidence;
    f.peak = peak;
    f.noise = 7;
    return f;
}

using DistanceAt = std::function<int(double)>;

// Frames every `intervalMs`, with the distance `at(seconds)`.
void fill(FrameSeries &series, int frames, int intervalMs, const DistanceAt &at)
{
    for (int i = 0; i < frames; ++i)
        series.add(frame(qint64(i) * intervalMs * kMs, at(i * intervalMs / 1000.0)));
}

// The overlapping Allan deviation as defined, window by window and frame by
// frame: averages over the present frames, a pair only where each window
// has half of its frames present, no window across a gap.
std::vector<AllanPoint> directAllan(const FrameSeries &s, Quantity q, const QualityGate &gate)
{
    std::vector<AllanPoint> out;
    // The newest entry of a thinned series may still grow: left out.
    const qint64 n = s.size() - (s.stride() > 1 ? 1 : 0);
    qint64 framesHeld = 0;
    for (qint64 i = 0; i < n; ++i)
        framesHeld += s.at(i).frames;
    std::vector<qint64> stretchOf(static_cast<std::size_t>(n));
    for (qint64 i = 1; i < n; ++i)
        stretchOf[std::size_t(i)] = stretchOf[std::size_t(i - 1)] + (s.at(i).gapBefore() ? 1 : 0);
    const auto window = [&](qint64 from, qint64 m, double *average) {
        double sum = 0, present = 0, frames = 0;
        for (qint64 k = from; k < from + m; ++k) {
            const FrameEntry &e = s.at(k);
            frames += e.frames;
            if (e.averaged > 0 && gate.passes(e.confidence, e.peak)) {
                sum += double(e.average(q)) * e.averaged;
                present += e.averaged;
            }
        }
        *average = present > 0 ? sum / present : 0;
        return present > 0 && 2 * present >= frames;
    };
    const double entrySeconds = s.frameIntervalNs() * double(framesHeld) / double(n) / 1e9;
    for (qint64 m : AllanDeviation::factors(n / 3)) {
        double sum = 0;
        qint64 terms = 0;
        for (qint64 i = 0; i + 2 * m <= n; ++i) {
            if (stretchOf[std::size_t(i)] != stretchOf[std::size_t(i + 2 * m - 1)])
                continue;
            double a = 0, b = 0;
            if (window(i, m, &a) && window(i + m, m, &b)) {
                sum += (b - a) * (b - a);
                ++terms;
            }
        }
        if (terms > 0)
            out.push_back({double(m) * entrySeconds, std::sqrt(sum / (2.0 * double(terms))), m, terms});
    }
    return out;
}

// Figures of a slice of frames, from the plain definitions.
StatisticsSummary directSummary(const std::vector<FrameSample> &frames, Quantity q)
{
    StatisticsSummary s;
    std::vector<double> v;
    qint64 blanked = 0;
    for (const FrameSample &f : frames) {
        v.push_back(q == Quantity::FirstPoint ? f.firstPoint : f.frameMean);
        blanked += f.blanked ? 1 : 0;
    }
    s.count = qint64(v.size());
    if (v.empty())
        return s;
    double sum = 0;
    for (double x : v)
        sum += x;
    s.mean = sum / double(v.size());
    double squares = 0;
    for (double x : v)
        squares += (x - s.mean) * (x - s.mean);
    s.stdDev = v.size() > 1 ? std::sqrt(squares / double(v.size() - 1)) : 0;
    std::sort(v.begin(), v.end());
    s.minimum = int(v.front());
    s.maximum = int(v.back());
    s.peakToPeak = s.maximum - s.minimum;
    const std::size_t h = v.size() / 2;
    s.median = v.size() % 2 ? v[h] : (v[h - 1] + v[h]) / 2;
    s.blankedShare = double(blanked) / double(v.size());
    if (v.size() > 1)
        s.frameRate = double(v.size() - 1) * 1e9 / double(frames.back().timeNs - frames.front().timeNs);
    return s;
}

} // namespace

Q_DECLARE_METATYPE(QualityGate)
Q_DECLARE_METATYPE(DistanceAt)

class LongRunAnalysisTest : public QObject {
    Q_OBJECT

private slots:
    void allanMatchesTheDirectComputation_data();
    void allanMatchesTheDirectComputation();
    void allanCarriedAcrossCallsEqualsAFreshComputation();
    void allanOfWhiteNoiseFallsAsInverseRootTau();
    void allanLeavesOutBlankedGatedFramesAndGaps();
    void allanTextHasTauAndDeviationColumns();
    void settleTime_data();
    void settleTime();
    void spanStatisticsEqualTheSliceComputedDirectly_data();
    void spanStatisticsEqualTheSliceComputedDirectly();
    void spanCarriedAcrossCallsEqualsAFreshComputation();
    void lastFramesAreFoundInThinnedEntries();
    void columnsKeepEveryExtremeAndBreakAtGaps();
    void scatterSplitsByTheGateAndBinsManyFrames();
    void seriesStaysWithinItsCapacityAndKeepsEveryFrameInItsAverages();
    void pausesAndLossesSplitTheSeries();
    void theDeviceClockTellsABusyHostFromALoss();
    void sampleTakesTheRecordsValues();
};

void LongRunAnalysisTest::allanMatchesTheDirectComputation_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("blankEvery");
    QTest::addColumn<QualityGate>("gate");
    QTest::addColumn<bool>("withGaps");
    QTest::newRow("every frame present") << 100000 << 0 << QualityGate() << false;
    QTest::newRow("blanked frames") << 100000 << 7 << QualityGate() << false;
    QTest::newRow("gate refusing some") << 100000 << 0 << QualityGate{50, 0} << false;
    QTest::newRow("gaps") << 100000 << 0 << QualityGate() << true;
    QTest::newRow("thinned, blanked, gaps") << 256 << 5 << QualityGate() << true;
}

void LongRunAnalysisTest::allanMatchesTheDirectComputation()
{
    QFETCH(int, capacity);
    QFETCH(int, blankEvery);
    QFETCH(QualityGate, gate);
    QFETCH(bool, withGaps);
    FrameSeries series(capacity);
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0, 8);
    std::uniform_int_distribution<int> confidence(0, 99);
    qint64 t = 0;
    for (int i = 0; i < 1500; ++i) {
        t += (withGaps && (i == 400 || i == 900)) ? 5000 * kMs : 3 * kMs;
        const bool blanked = blankEvery > 0 && i % blankEvery == 0;
        series.add(frame(t, 1000 + int(std::lround(noise(rng) + i * 0.01)), blanked, quint8(confidence(rng))));
    }
    const auto got = AllanDeviation().compute(series, Quantity::FirstPoint, gate);
    const auto want = directAllan(series, Quantity::FirstPoint, gate);
    QVERIFY(want.size() >= 8);
    QCOMPARE(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].factor, want[i].factor);
        QCOMPARE(got[i].terms, want[i].terms);
        QCOMPARE(got[i].tauSeconds, want[i].tauSeconds);
        QVERIFY2(std::fabs(got[i].deviation - want[i].deviation) <= 1e-9 * want[i].deviation,
                 qPrintable(QStringLiteral("m %1: %2 against %3").arg(got[i].factor).arg(got[i].deviation).arg(want[i].deviation)));
    }
}

// The window keeps one instance and asks again every second; whatever
// happened in between (frames, gaps, a thinning, a new gate or quantity, a
// clear), it must answer as a fresh computation would.
void LongRunAnalysisTest::allanCarriedAcrossCallsEqualsAFreshComputation()
{
    FrameSeries series(600);
    AllanDeviation carried;
    std::mt19937 rng(15);
    std::normal_distribution<double> noise(0, 8);
    std::uniform_int_distribution<int> confidence(0, 99);
    qint64 t = 0;
    QualityGate gate;
    Quantity quantity = Quantity::FirstPoint;
    for (int batch = 0; batch < 30; ++batch) {
        if (batch == 12)
            gate = QualityGate{30, 0};
        if (batch == 18)
            quantity = Quantity::FrameMean;
        if (batch == 22)
            series.clear();
        for (int i = 0; i < 137; ++i) {
            t += (batch == 5 && i == 60) || (batch == 25 && i == 3) ? 4000 * kMs : 3 * kMs;
            series.add(frame(t, 900 + int(std::lround(noise(rng))), i % 19 == 0, quint8(confidence(rng))));
        }
        const auto got = carried.compute(series, quantity, gate);
        const auto want = AllanDeviation().compute(series, quantity, gate);
        QCOMPARE(got.size(), want.size());
        for (std::size_t k = 0; k < got.size(); ++k) {
            QCOMPARE(got[k].factor, want[k].factor);
            QCOMPARE(got[k].terms, want[k].terms);
            QCOMPARE(got[k].tauSeconds, want[k].tauSeconds);
            QVERIFY2(std::fabs(got[k].deviation - want[k].deviation) <= 1e-9 * want[k].deviation,
                     qPrintable(QStringLiteral("batch %1, m %2").arg(batch).arg(got[k].factor)));
        }
    }
    QVERIFY(series.stride() > 1);
}

void LongRunAnalysisTest::allanOfWhiteNoiseFallsAsInverseRootTau()
{
    FrameSeries series;
    std::mt19937 rng(12);
    std::normal_distribution<double> noise(0, 20);
    fill(series, 200000, 3, [&](double) { return 1500 + int(std::lround(noise(rng))); });
    // Rounding to whole millimetres adds variance 1/12.
    const double sigma = std::sqrt(400.0 + 1.0 / 12);
    const auto points = AllanDeviation().compute(series, Quantity::FirstPoint);
    QCOMPARE(points.front().factor, qint64(1));
    QCOMPARE(points.front().tauSeconds, 0.003);
    QCOMPARE(points.back().factor, qint64(63096));
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int fitted = 0;
    for (const AllanPoint &p : points) {
        const double expected = sigma / std::sqrt(double(p.factor));
        // Fewer independent pairs at long tau: a wider tolerance there.
        const double tolerance = p.factor <= 100 ? 0.05 : p.factor <= 1000 ? 0.15 : 1.0;
        QVERIFY2(std::fabs(p.deviation / expected - 1) < tolerance,
                 qPrintable(QStringLiteral("m %1: %2 against %3").arg(p.factor).arg(p.deviation).arg(expected)));
        if (p.factor <= 1000) {
            const double x = std::log(p.tauSeconds), y = std::log(p.deviation);
            sx += x, sy += y, sxx += x * x, sxy += x * y, ++fitted;
        }
    }
    const double slope = (fitted * sxy - sx * sy) / (fitted * sxx - sx * sx);
    QVERIFY2(std::fabs(slope + 0.5) < 0.03, qPrintable(QString::number(slope)));
}

// Blanked frames read as junk, frames the gate refuses and a jump across a
// reconnection would all raise the deviation if they were taken in.
void LongRunAnalysisTest::allanLeavesOutBlankedGatedFramesAndGaps()
{
    std::mt19937 rng(13);
    std::normal_distribution<double> noise(0, 5);
    FrameSeries clean, spoiled;
    qint64 t = 0;
    for (int i = 0; i < 60000; ++i) {
        t += i == 30000 ? 3000 * kMs : 3 * kMs;
        const int d = 2000 + int(std::lround(noise(rng))) + (i >= 30000 ? 700 : 0);
        clean.add(frame(t, d));
        if (i % 13 == 0)
            spoiled.add(frame(t, 30000, true));
        else if (i % 17 == 0)
            spoiled.add(frame(t, -30000, false, 10));
        else
            spoiled.add(frame(t, d));
    }
    QualityGate gate{50, 0};
    const auto reference = AllanDeviation().compute(clean, Quantity::FirstPoint);
    const auto got = AllanDeviation().compute(spoiled, Quantity::FirstPoint, gate);
    QCOMPARE(got.size(), reference.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        QVERIFY2(got[i].deviation < 1.25 * reference[i].deviation && reference[i].deviation < 5.5,
                 qPrintable(QStringLiteral("m %1: %2, clean %3").arg(got[i].factor).arg(got[i].deviation).arg(reference[i].deviation)));
    const GateCount kept = spoiled.gateCount(0, spoiled.size(), gate);
    QCOMPARE(kept.total, qint64(60000));
    QCOMPARE(kept.kept, qint64(60000 - (60000 / 17 + 1) + (60000 / (13 * 17) + 1)));
}

void LongRunAnalysisTest::allanTextHasTauAndDeviationColumns()
{
    const QString text = AllanDeviation::text({{0.003, 20.25, 1, 100}, {1.5, 0.000123456789, 500, 3}});
    const QStringList lines = text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0].count(QLatin1Char('\t')), 1);
    QCOMPARE(lines[1], QStringLiteral("0.003\t20.25"));
    QCOMPARE(lines[2], QStringLiteral("1.5\t0.000123457"));
    QCOMPARE(lines[3], QString());
}

void LongRunAnalysisTest::settleTime_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<DistanceAt>("distance");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<double>("settle");
    // A step of 10 at 100 s: the 10 s mean is 1000 + (110 - t), within 2 of
    // its final 1000 from 108 s (107.99 s, its last frame at exactly 2 off).
    QTest::newRow("step settles at 108 s") << 30000 << DistanceAt([](double t) { return t < 100 ? 1010 : 1000; })
                                          << int(DriftResult::Settle::Settled) << 107.99;
    QTest::newRow("flat from the start settles with the first whole window")
        << 3000 << DistanceAt([](double) { return 1000; }) << int(DriftResult::Settle::Settled) << 10.0;
    QTest::newRow("a ramp of 1 mm/s never settles")
        << 30000 << DistanceAt([](double t) { return 1000 + int(t); }) << int(DriftResult::Settle::NeverSettled) << 0.0;
    QTest::newRow("a step in the last window never settled")
        << 30000 << DistanceAt([](double t) { return t < 295 ? 1000 : 1050; }) << int(DriftResult::Settle::NeverSettled) << 0.0;
    QTest::newRow("shorter than two windows") << 1990 << DistanceAt([](double) { return 1000; })
                                              << int(DriftResult::Settle::TooLittleData) << 0.0;
}

void LongRunAnalysisTest::settleTime()
{
    QFETCH(int, frames);
    QFETCH(DistanceAt, distance);
    QFETCH(int, outcome);
    QFETCH(double, settle);
    FrameSeries series;
    fill(series, frames, 10, distance);
    // Junk the gate refuses and blanked junk change nothing.
    series.add(frame(series.at(series.size() - 1).timeNs + 5 * kMs, 9000, false, 1));
    series.add(frame(series.at(series.size() - 1).timeNs + 1 * kMs, 9000, true));
    const DriftResult r = WarmUpDrift::compute(series, Quantity::FirstPoint, QualityGate{50, 0});
    QCOMPARE(int(r.settle), outcome);
    if (r.settle == DriftResult::Settle::Settled) {
        QVERIFY2(std::fabs(r.settleSeconds - settle) < 1e-6, qPrintable(QString::number(r.settleSeconds)));
        QCOMPARE(r.finalMean, double(distance(1e9)));
    }
    if (outcome != int(DriftResult::Settle::TooLittleData)) {
        QVERIFY(!r.curve.empty() && r.curve.size() <= std::size_t(WarmUpDrift::kMaxCurvePoints) + 1);
        QVERIFY(r.curve.front().seconds >= 10.0);
        QCOMPARE(r.curve.back().mean, r.finalMean);
    }
}

void LongRunAnalysisTest::spanStatisticsEqualTheSliceComputedDirectly_data()
{
    QTest::addColumn<qint64>("aMs");
    QTest::addColumn<qint64>("bMs");
    QTest::addColumn<QualityGate>("gate");
    QTest::newRow("a span in the middle") << qint64(3003) << qint64(9000) << QualityGate();
    QTest::newRow("cursors the other way round, on frames") << qint64(9003) << qint64(1500) << QualityGate();
    QTest::newRow("with the gate") << qint64(0) << qint64(30000) << QualityGate{40, 5000};
    QTest::newRow("the whole run") << qint64(-100) << qint64(100000) << QualityGate();
    QTest::newRow("one frame") << qint64(3001) << qint64(3004) << QualityGate();
    QTest::newRow("no frame") << qint64(3001) << qint64(3002) << QualityGate();
}

void LongRunAnalysisTest::spanStatisticsEqualTheSliceComputedDirectly()
{
    QFETCH(qint64, aMs);
    QFETCH(qint64, bMs);
    QFETCH(QualityGate, gate);
    std::mt19937 rng(14);
    std::normal_distribution<double> noise(0, 30);
    std::uniform_int_distribution<int> quality(0, 99);
    FrameSeries series;
    std::vector<FrameSample> slice;
    for (int i = 0; i < 10000; ++i) {
        const FrameSample f = frame(qint64(i) * 3 * kMs, 1200 + int(std::lround(noise(rng))), i % 11 == 0,
                                    quint8(quality(rng)), quint32(quality(rng) * 100));
        series.add(f);
        const qint64 ms = f.timeNs / kMs;
        if (ms >= std::min(aMs, bMs) && ms <= std::max(aMs, bMs) && gate.passes(f.confidence, f.peak))
            slice.push_back(f);
    }
    for (Quantity q : {Quantity::FirstPoint, Quantity::FrameMean}) {
        const SpanFigures got = SpanStatistics::between(series, aMs * kMs, bMs * kMs, q, gate);
        const StatisticsSummary want = directSummary(slice, q);
        QCOMPARE(got.summary.count, want.count);
        QCOMPARE(got.frames.kept, want.count);
        QCOMPARE(got.summary.minimum, want.minimum);
        QCOMPARE(got.summary.maximum, want.maximum);
        QCOMPARE(got.summary.peakToPeak, want.peakToPeak);
        QCOMPARE(got.summary.median, want.median);
        QVERIFY(std::fabs(got.summary.mean - want.mean) < 1e-9);
        QVERIFY(std::fabs(got.summary.stdDev - want.stdDev) < 1e-9);
        QVERIFY(std::fabs(got.summary.blankedShare - want.blankedShare) < 1e-12);
        QVERIFY(std::fabs(got.summary.frameRate - want.frameRate) < 1e-6);
    }
}

// The window asks four times a second for ranges that move along with the
// series: last N frames, everything, a span whose end lies past the newest
// frame; and jumps elsewhere when the user moves a cursor or changes the
// gate. Every answer must be the fresh one, through thinnings and a clear.
void LongRunAnalysisTest::spanCarriedAcrossCallsEqualsAFreshComputation()
{
    FrameSeries series(700);
    // One tracker per kind of range, each following its own as the series
    // grows, and one that jumps from kind to kind.
    constexpr int kKinds = 5;
    SpanTracker following[kKinds];
    SpanTracker jumping;
    std::mt19937 rng(16);
    std::normal_distribution<double> noise(0, 12);
    std::uniform_int_distribution<int> quality(0, 99);
    qint64 t = 0;
    QualityGate gate{30, 0};
    Quantity quantity = Quantity::FirstPoint;
    const auto check = [&](SpanTracker &tracker, qint64 from, qint64 to, const QString &where) {
        const SpanFigures got = tracker.figures(series, from, to, quantity, gate);
        const SpanFigures want = SpanStatistics::over(series, from, to, quantity, gate);
        QVERIFY2(got.from == want.from && got.to == want.to, qPrintable(where));
        QVERIFY2(got.frames.kept == want.frames.kept && got.frames.total == want.frames.total, qPrintable(where));
        QVERIFY2(got.summary.count == want.summary.count, qPrintable(where));
        QVERIFY2(got.summary.minimum == want.summary.minimum && got.summary.maximum == want.summary.maximum,
                 qPrintable(where));
        QVERIFY2(got.summary.median == want.summary.median, qPrintable(where));
        QVERIFY2(std::fabs(got.summary.mean - want.summary.mean) < 1e-9, qPrintable(where));
        QVERIFY2(std::fabs(got.summary.stdDev - want.summary.stdDev) < 1e-9, qPrintable(where));
        QVERIFY2(got.summary.blankedShare == want.summary.blankedShare, qPrintable(where));
        QVERIFY2(std::fabs(got.summary.frameRate - want.summary.frameRate) < 1e-6, qPrintable(where));
        QVERIFY2(tracker.values().total() == want.summary.count, qPrintable(where));
    };
    for (int batch = 0; batch < 60; ++batch) {
        if (batch == 20)
            gate = QualityGate{0, 4000};
        if (batch == 30)
            quantity = Quantity::FrameMean;
        if (batch == 45)
            series.clear();
        for (int i = 0; i < 53; ++i) {
            t += batch == 10 && i == 5 ? 3000 * kMs : 3 * kMs;
            series.add(frame(t, 1500 + int(std::lround(noise(rng))), i % 13 == 0, quint8(quality(rng)),
                             quint32(quality(rng) * 100)));
        }
        const qint64 n = series.size();
        const qint64 ranges[kKinds][2] = {
            {series.firstOfLastFrames(100), n}, {0, n}, {n / 3, n + 5}, {n / 2, n / 2 + 7}, {n, n}};
        for (int kind = 0; kind < kKinds; ++kind)
            check(following[kind], ranges[kind][0], ranges[kind][1], QStringLiteral("batch %1, range %2").arg(batch).arg(kind));
        check(jumping, ranges[batch % kKinds][0], ranges[batch % kKinds][1], QStringLiteral("batch %1, jumping").arg(batch));
    }
    QVERIFY(series.stride() > 1);
}

void LongRunAnalysisTest::lastFramesAreFoundInThinnedEntries()
{
    FrameSeries series(64);
    fill(series, 1000, 3, [](double) { return 1000; });
    QVERIFY(series.stride() > 4);
    for (qint64 frames : {1, 31, 100, 999, 1000, 5000}) {
        const qint64 from = series.firstOfLastFrames(frames);
        qint64 held = 0;
        for (qint64 i = from; i < series.size(); ++i)
            held += series.at(i).frames;
        QVERIFY2(held >= std::min<qint64>(frames, 1000), qPrintable(QString::number(frames)));
        QVERIFY(from == 0 || held - series.at(from).frames < frames);
    }
    QCOMPARE(FrameSeries().firstOfLastFrames(100), qint64(0));
}

// Every column of the reduction holds the lowest and highest value of its
// entries, the points stay in time order, and a gap leaves a NaN between
// the stretches and no point joining them.
void LongRunAnalysisTest::columnsKeepEveryExtremeAndBreakAtGaps()
{
    FrameSeries series;
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> jitter(-40, 40);
    qint64 t = 0;
    for (int i = 0; i < 20000; ++i) {
        t += i == 12000 ? 4000 * kMs : 3 * kMs;
        series.add(frame(t, 2000 + jitter(rng) + (i == 5000 ? 900 : 0)));
    }
    const int columns = 300;
    const qint64 origin = series.at(0).timeNs - 2000 * kMs; // Start went out 2 s before the first frame
    const SeriesColumns::Reduced r = SeriesColumns::reduce(series, Quantity::FirstPoint, origin, series.at(0).timeNs,
                                                           series.at(series.size() - 1).timeNs, columns);
    QVERIFY(r.found);
    QCOMPARE(r.maximum, double(series.at(5000).firstPoint));
    QVERIFY(r.points.size() <= std::size_t(4 * columns + 8));
    QCOMPARE(r.points.front().seconds, 2.0);
    int nans = 0;
    double top = 0;
    for (std::size_t i = 0; i < r.points.size(); ++i) {
        if (i > 0)
            QVERIFY(r.points[i].seconds >= r.points[i - 1].seconds);
        if (std::isnan(r.points[i].value)) {
            ++nans;
            // Between the last frame before the gap and the first after it.
            QVERIFY(r.points[i].seconds > double(series.at(11999).timeNs - origin) / 1e9);
            QVERIFY(r.points[i].seconds < double(series.at(12000).timeNs - origin) / 1e9);
        } else {
            top = std::max(top, r.points[i].value);
        }
    }
    QCOMPARE(nans, 1);
    QCOMPARE(top, double(series.at(5000).firstPoint));

    // A zoomed view: the entries in it and one beyond each end, nothing else.
    const qint64 from = series.at(100).timeNs, to = series.at(199).timeNs;
    const SeriesColumns::Reduced zoomed = SeriesColumns::reduce(series, Quantity::FirstPoint, origin, from, to, 1000);
    QCOMPARE(zoomed.points.size(), std::size_t(102));
    QCOMPARE(zoomed.points.front().seconds, double(series.at(99).timeNs - origin) / 1e9);
    QCOMPARE(zoomed.points.back().seconds, double(series.at(200).timeNs - origin) / 1e9);
    double low = 1e9, high = -1e9;
    for (qint64 i = 100; i < 200; ++i) {
        low = std::min(low, double(series.at(i).firstPoint));
        high = std::max(high, double(series.at(i).firstPoint));
    }
    QCOMPARE(zoomed.minimum, low);
    QCOMPARE(zoomed.maximum, high);
    QVERIFY(!SeriesColumns::reduce(FrameSeries(), Quantity::FirstPoint, 0, 0, 100, 10).found);
}

void LongRunAnalysisTest::scatterSplitsByTheGateAndBinsManyFrames()
{
    FrameSeries series;
    for (int i = 0; i < 20000; ++i)
        series.add(frame(qint64(i) * 3 * kMs, 1000 + i % 50, false, quint8(i % 100), quint32(1000 + i % 7)));
    const QualityGate gate{60, 0};
    const QualityScatter::Data few = QualityScatter::build(series, 100, 300, Quantity::FirstPoint,
                                                           QualityScatter::Measure::Confidence, gate);
    QVERIFY(!few.binned);
    QCOMPARE(few.kept.size(), std::size_t(80));
    QCOMPARE(few.refused.size(), std::size_t(120));
    for (const QualityScatter::Point &p : few.kept)
        QVERIFY(p.quality >= 60 && p.distance >= 1000 && p.distance < 1050);

    const QualityScatter::Data many = QualityScatter::build(series, 0, series.size(), Quantity::FirstPoint,
                                                            QualityScatter::Measure::Peak, gate);
    QVERIFY(many.binned);
    qint64 total = 0;
    for (qint64 c : many.counts)
        total += c;
    QCOMPARE(total, qint64(20000));
    // Whole-number values in whole-number bins: peaks 1000..1006 in 7
    // columns, distances 1000..1049 in 50 rows, none left empty between values.
    QCOMPARE(many.columns, 7);
    QCOMPARE(many.rows, 50);
    QCOMPARE(many.qualityLow, 1000.0);
    QCOMPARE(many.qualityHigh, 1007.0);
    QCOMPARE(many.counts[0], qint64(58)); // frames i = 0 (mod 350)
    for (qint64 c : many.counts)
        QVERIFY(c > 0);
    const QualityScatter::Data wide = QualityScatter::build(series, 0, series.size(), Quantity::FirstPoint,
                                                            QualityScatter::Measure::Confidence, gate);
    QCOMPARE(wide.columns, 100); // confidence 0..99
    QCOMPARE(wide.rows, 50);
}

void LongRunAnalysisTest::seriesStaysWithinItsCapacityAndKeepsEveryFrameInItsAverages()
{
    FrameSeries series(1000);
    double sum = 0;
    qint64 present = 0;
    for (int i = 0; i < 100000; ++i) {
        const bool blanked = i % 9 == 0;
        const int d = 1000 + (i * 7919) % 101;
        series.add(frame(qint64(i) * 3 * kMs, d, blanked));
        if (!blanked) {
            sum += d;
            ++present;
        }
        QVERIFY(series.size() <= 1000);
    }
    QCOMPARE(series.frames(), qint64(100000));
    QCOMPARE(series.stride(), 128);
    double entrySum = 0;
    qint64 frames = 0, averaged = 0;
    for (qint64 i = 0; i < series.size(); ++i) {
        const FrameEntry &e = series.at(i);
        frames += e.frames;
        averaged += e.averaged;
        entrySum += double(e.averageFirst) * e.averaged;
        QVERIFY(e.frames <= series.stride());
        // Each entry keeps the first of its frames.
        QCOMPARE(e.timeNs % (3 * kMs), qint64(0));
        QCOMPARE(e.firstPoint, qint16(1000 + (e.timeNs / (3 * kMs) * 7919) % 101));
    }
    QCOMPARE(frames, qint64(100000));
    QCOMPARE(averaged, present);
    QVERIFY(std::fabs(entrySum / double(averaged) - sum / double(present)) < 1e-3);
    QCOMPARE(series.gateCount(0, series.size(), QualityGate()).total, qint64(100000));
}

void LongRunAnalysisTest::pausesAndLossesSplitTheSeries()
{
    FrameSeries series;
    qint64 t = 0;
    const auto add = [&](qint64 stepNs) {
        t += stepNs;
        series.add(frame(t, 1000));
    };
    for (int i = 0; i < 100; ++i)
        add(3 * kMs + (i % 3) * kMs / 2);
    add(50 * kMs); // a hiccup, not a pause: under the 0.1 s floor
    add(2000 * kMs); // a pause
    series.markGap();
    add(3 * kMs);
    for (int i = 0; i < 40; ++i)
        add(1000 * kMs); // the rate drops for good: after a few frames that is normal
    std::vector<qint64> gaps;
    for (qint64 i = 0; i < series.size(); ++i)
        if (series.at(i).gapBefore())
            gaps.push_back(i);
    // The pause, the marked gap, and seven slow frames while the slow rate
    // is not yet the median.
    QCOMPARE(gaps, (std::vector<qint64>{101, 102, 103, 104, 105, 106, 107, 108, 109}));
    QVERIFY(std::fabs(series.frameIntervalNs() - (346.5 + 50 + 33 * 1000.0) * kMs / 133) < 1);
    QCOMPARE(series.lowerBound(series.at(50).timeNs), qint64(50));
    QCOMPARE(series.lowerBound(series.at(50).timeNs + 1), qint64(51));
}

// Frames every 3 ms by the device's clock; the host receives some late, in
// bursts, as a busy window does: no gap. Frames lost on the link: a gap,
// though the host's intervals look normal. The clock's wrap is no gap; a
// pause longer than a turn of it is.
void LongRunAnalysisTest::theDeviceClockTellsABusyHostFromALoss()
{
    FrameSeries series;
    qint64 host = 0, device = FrameSeries::kDeviceClockWrapUs - 150000;
    const auto add = [&](qint64 hostStepNs, qint64 deviceStepUs) {
        host += hostStepNs;
        device = (device + deviceStepUs) % FrameSeries::kDeviceClockWrapUs;
        FrameSample f = frame(host, 1000);
        f.deviceTimeUs = device;
        series.add(f);
    };
    for (int i = 0; i < 100; ++i) // through the clock's wrap
        add(3 * kMs, 3000);
    add(600 * kMs, 3000); // the host was busy
    for (int i = 0; i < 200; ++i)
        add(15000, 3000); // the frames it then read at once, 15 us apart
    for (int i = 0; i < 20; ++i)
        add(3 * kMs, 3000);
    add(3 * kMs, 400000); // 133 frames lost, the next read at once
    for (int i = 0; i < 20; ++i)
        add(3 * kMs, 3000);
    add(31000 * kMs, 1000000); // a pause of 31 s: the clock went round once
    add(3 * kMs, 3000);
    std::vector<qint64> gaps;
    for (qint64 i = 0; i < series.size(); ++i)
        if (series.at(i).gapBefore())
            gaps.push_back(i);
    QCOMPARE(gaps, (std::vector<qint64>{321, 342}));

    MeasurementRecord record;
    record.deviceTimestamp = 29999999;
    record.distances = {1};
    QCOMPARE(FrameSample::fromRecord(record).deviceTimeUs, qint64(29999999));
}

void LongRunAnalysisTest::sampleTakesTheRecordsValues()
{
    MeasurementRecord record;
    record.hostNanoseconds = 123456789;
    record.distances = {1510, 1490, 1600};
    record.info.average = 1533.9f;
    record.info.confidence = 77;
    record.info.noise = 12;
    record.info.peak = 65000;
    record.blanked = true;
    const FrameSample s = FrameSample::fromRecord(record);
    QCOMPARE(s.timeNs, qint64(123456789));
    QCOMPARE(s.firstPoint, qint16(1510));
    QCOMPARE(s.frameMean, qint16(1533));
    QCOMPARE(s.confidence, quint8(77));
    QCOMPARE(s.noise, quint16(12));
    QCOMPARE(s.peak, quint32(65000));
    QVERIFY(s.blanked);
}

QTEST_GUILESS_MAIN(LongRunAnalysisTest)
#include "tst_long_run_analysis.moc"
