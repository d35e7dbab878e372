#include "workflow/RollingStatistics.h"
#include "workflow/ValueCounts.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

namespace {

using Quantity = RollingStatistics::Quantity;
using Sample = RollingStatistics::Sample;

// The figures computed the plain way, over a copy of the window's values.
StatisticsSummary twoPass(const std::vector<Sample> &all, qint64 windowSize, Quantity q)
{
    const qint64 n = windowSize == 0 ? qint64(all.size()) : std::min<qint64>(windowSize, qint64(all.size()));
    std::vector<double> v;
    qint64 blanked = 0;
    for (auto it = all.end() - n; it != all.end(); ++it) {
        v.push_back(it->value(q));
        blanked += it->blanked;
    }
    StatisticsSummary s;
    s.count = n;
    long double sum = 0;
    for (double x : v)
        sum += x;
    s.mean = double(sum / n);
    long double squares = 0;
    for (double x : v)
        squares += (x - (long double)s.mean) * (x - (long double)s.mean);
    s.stdDev = n > 1 ? double(std::sqrt(squares / (n - 1))) : 0;
    std::sort(v.begin(), v.end());
    s.minimum = int(v.front());
    s.maximum = int(v.back());
    s.peakToPeak = s.maximum - s.minimum;
    s.median = n % 2 ? v[std::size_t(n / 2)] : (v[std::size_t(n / 2 - 1)] + v[std::size_t(n / 2)]) / 2;
    s.blankedShare = double(blanked) / double(n);
    return s;
}

std::vector<Sample> randomSamples(const QString &kind, int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> full(-32768, 32767);
    std::normal_distribution<double> nearFar(30000, 3);
    std::bernoulli_distribution coin(0.5);
    std::bernoulli_distribution rare(0.03);
    std::vector<Sample> out;
    for (int i = 0; i < count; ++i) {
        Sample s;
        s.timeNs = qint64(i) * 1000000;
        if (kind == "full range") {
            s.firstPoint = qint16(full(rng));
            s.frameMean = qint16(full(rng));
        } else if (kind == "extremes only") {
            s.firstPoint = coin(rng) ? qint16(32767) : qint16(-32768);
            s.frameMean = coin(rng) ? qint16(32767) : qint16(32766);
        } else {
            s.firstPoint = qint16(std::lround(nearFar(rng)));
            s.frameMean = qint16(30000 + i % 3);
        }
        s.blanked = rare(rng);
        out.push_back(s);
    }
    return out;
}

} // namespace

class tst_RollingStatistics : public QObject {
    Q_OBJECT
private slots:
    void everyWindowMatchesATwoPassReference_data();
    void everyWindowMatchesATwoPassReference();
    void histogramCountsAddUpToTheWindowCount_data();
    void histogramCountsAddUpToTheWindowCount();
    void automaticBinWidthFollowsTheSpread();
    void frameRateComesFromTheArrivalTimes();
    void resetForgetsEveryFrame();
    void orderStatisticsReachBothEndsOfTheRange();
};

void tst_RollingStatistics::everyWindowMatchesATwoPassReference_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("frames");
    QTest::newRow("full 16-bit range, windows half full") << "full range" << 5000;
    QTest::newRow("full 16-bit range, every window sliding") << "full range" << 23457;
    QTest::newRow("only the extremes of the range") << "extremes only" << 12001;
    // A large offset with a small spread is what ruins a plain sum of squares.
    QTest::newRow("far target, spread of a few units") << "far and steady" << 20000;
}

// Compared at several moments of the run, so windows are checked while
// filling, just full and long after their first frame left them.
void tst_RollingStatistics::everyWindowMatchesATwoPassReference()
{
    QFETCH(QString, kind);
    QFETCH(int, frames);
    const std::vector<Sample> all = randomSamples(kind, frames, 11);
    RollingStatistics stats;
    std::vector<Sample> seen;
    const int checkpoints[] = {1, 2, 99, 100, 101, 1000, 1001, 9999, 10000, 10001, frames};
    for (const Sample &s : all) {
        stats.add(s);
        seen.push_back(s);
        if (std::find(std::begin(checkpoints), std::end(checkpoints), int(seen.size())) == std::end(checkpoints))
            continue;
        for (int w = 0; w < RollingStatistics::kWindows; ++w) {
            for (Quantity q : {Quantity::FirstPoint, Quantity::FrameMean}) {
                const StatisticsSummary got = stats.summary(w, q);
                const StatisticsSummary want = twoPass(seen, RollingStatistics::windowSize(w), q);
                const QByteArray where = QByteArray::number(int(seen.size())) + " frames, window " + QByteArray::number(w);
                QVERIFY2(got.count == want.count, where);
                QVERIFY2(qAbs(got.mean - want.mean) <= 1e-9 * qMax(1.0, qAbs(want.mean)), where);
                QVERIFY2(qAbs(got.stdDev - want.stdDev) <= 1e-9 * qMax(1.0, want.stdDev), where);
                QVERIFY2(got.minimum == want.minimum && got.maximum == want.maximum, where);
                QVERIFY2(got.peakToPeak == want.peakToPeak, where);
                QVERIFY2(got.median == want.median, where);
                QVERIFY2(qAbs(got.blankedShare - want.blankedShare) < 1e-12, where);
            }
        }
    }
}

void tst_RollingStatistics::histogramCountsAddUpToTheWindowCount_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("binWidth");
    QTest::newRow("steady target, automatic width") << "far and steady" << 0;
    QTest::newRow("steady target, width 1") << "far and steady" << 1;
    QTest::newRow("steady target, width 7") << "far and steady" << 7;
    QTest::newRow("full range, width 1 is widened to the bin limit") << "full range" << 1;
    QTest::newRow("only the extremes, automatic width") << "extremes only" << 0;
}

void tst_RollingStatistics::histogramCountsAddUpToTheWindowCount()
{
    QFETCH(QString, kind);
    QFETCH(int, binWidth);
    RollingStatistics stats;
    for (const Sample &s : randomSamples(kind, 12345, 3))
        stats.add(s);
    for (int w = 0; w < RollingStatistics::kWindows; ++w) {
        const StatisticsSummary s = stats.summary(w, Quantity::FirstPoint);
        const Histogram h = stats.histogram(w, Quantity::FirstPoint, binWidth);
        QCOMPARE(std::accumulate(h.counts.begin(), h.counts.end(), qint64(0)), s.count);
        QVERIFY(int(h.counts.size()) <= RollingStatistics::kMaxBins);
        QCOMPARE(h.first, s.minimum);
        QVERIFY(h.first + int(h.counts.size()) * h.width > s.maximum);
        QVERIFY(h.counts.front() > 0 && h.counts.back() > 0);
        if (binWidth > 0 && kind != "full range")
            QCOMPARE(h.width, binWidth);
    }
}

void tst_RollingStatistics::automaticBinWidthFollowsTheSpread()
{
    RollingStatistics narrow, wide;
    std::mt19937 rng(1);
    std::normal_distribution<double> unit(0, 1);
    for (int i = 0; i < 1000; ++i) {
        const double z = unit(rng);
        narrow.add({i, qint16(std::lround(1500 + 2 * z)), 0, false});
        wide.add({i, qint16(std::lround(1500 + 200 * z)), 0, false});
    }
    // Freedman-Diaconis: 2 IQR / cbrt(n), IQR about 1.35 sigma.
    QVERIFY(narrow.automaticBinWidth(1, Quantity::FirstPoint) <= 2);
    const int w = wide.automaticBinWidth(1, Quantity::FirstPoint);
    QVERIFY2(w >= 45 && w <= 65, QByteArray::number(w));
}

void tst_RollingStatistics::frameRateComesFromTheArrivalTimes()
{
    RollingStatistics stats;
    // 500 frames 2 ms apart, then 500 frames 1 ms apart.
    qint64 t = 5000000000;
    for (int i = 0; i < 1000; ++i) {
        stats.add({t, 100, 100, false});
        t += i < 500 ? 2000000 : 1000000;
    }
    QCOMPARE(stats.summary(0, Quantity::FirstPoint).frameRate, 1000.0);
    const double sinceStart = stats.summary(RollingStatistics::kSinceStart, Quantity::FirstPoint).frameRate;
    QCOMPARE(sinceStart, 999 * 1e9 / (500 * 2e6 + 499 * 1e6));
    RollingStatistics single;
    single.add({1, 5, 5, false});
    QCOMPARE(single.summary(0, Quantity::FirstPoint).frameRate, 0.0);
}

void tst_RollingStatistics::resetForgetsEveryFrame()
{
    RollingStatistics stats;
    for (int i = 0; i < 300; ++i)
        stats.add({i, qint16(i), qint16(-i), i % 2 == 0});
    stats.reset();
    QCOMPARE(stats.summary(0, Quantity::FirstPoint).count, qint64(0));
    QCOMPARE(stats.historySize(), qint64(0));
    QVERIFY(stats.histogram(3, Quantity::FrameMean).counts.empty());
    stats.add({1, 7, 7, true});
    const StatisticsSummary s = stats.summary(RollingStatistics::kSinceStart, Quantity::FirstPoint);
    QCOMPARE(s.count, qint64(1));
    QCOMPARE(s.median, 7.0);
    QCOMPARE(s.blankedShare, 1.0);
}

void tst_RollingStatistics::orderStatisticsReachBothEndsOfTheRange()
{
    ValueCounts counts;
    for (qint16 v : {qint16(32767), qint16(-32768), qint16(0), qint16(-32768)})
        counts.add(v);
    QCOMPARE(counts.kth(0), qint16(-32768));
    QCOMPARE(counts.kth(1), qint16(-32768));
    QCOMPARE(counts.kth(2), qint16(0));
    QCOMPARE(counts.kth(3), qint16(32767));
    QCOMPARE(counts.countBelow(-32768), qint64(0));
    QCOMPARE(counts.countBelow(-32767), qint64(2));
    QCOMPARE(counts.countBelow(32768), qint64(4));
    counts.remove(-32768);
    QCOMPARE(counts.kth(0), qint16(-32768));
    QCOMPARE(counts.total(), qint64(3));
}

QTEST_GUILESS_MAIN(tst_RollingStatistics)
#include "tst_rolling_statistics.moc"
