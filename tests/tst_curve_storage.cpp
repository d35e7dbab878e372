#include "curve/CurveColumns.h"
#include "curve/CurveStore.h"
#include "curve/SpillFile.h"

#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <sys/resource.h>

namespace {

// 1,024 points a chunk: a few thousand points already spill several chunks.
constexpr int kSmallChunkShift = 10;

using Values = std::vector<double>;

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

Values walk(int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> step(-40, 40);
    Values v;
    double x = 1500;
    for (int i = 0; i < n; ++i)
        v.push_back(x += step(rng));
    return v;
}

ValueRange directRange(const Values &v, qint64 from, qint64 to)
{
    ValueRange r;
    for (qint64 i = from; i < to; ++i) {
        if (std::isnan(v[std::size_t(i)]))
            continue;
        if (!r.found)
            r = {v[std::size_t(i)], v[std::size_t(i)], true};
        r.lower = std::min(r.lower, v[std::size_t(i)]);
        r.upper = std::max(r.upper, v[std::size_t(i)]);
    }
    return r;
}

qint64 fileCount(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden).size();
}

} // namespace

Q_DECLARE_METATYPE(std::vector<double>)

class CurveStorageTest : public QObject {
    Q_OBJECT

private slots:
    void longRunIsReadBackWhole_data();
    void longRunIsReadBackWhole();
    void liveCurveSpillsTwoBytesAPointAndFourForItsTime();
    void valueRangeMatchesADirectScan();
    void timeKeysFindThePointsADirectSearchFinds();
    void timesBeyondOneHourInAChunkKeepFullWidth();
    void columnsMatchADirectReduction_data();
    void columnsMatchADirectReduction();
    void noColumnReachesAcrossAGap();
    void mappingsStayWithinTheBudget();
    void spillFileLeavesNothingBehind();
    void clearingEveryCurveEmptiesTheSpillFile();
    void fullDiskRefusesPointsAndKeepsWhatIsHeld();
    void unwritableFolderRefusesPointsPastTheFirstChunk();
    void pointsPastTheMaximumAreRefused();
};

void CurveStorageTest::longRunIsReadBackWhole_data()
{
    QTest::addColumn<Values>("values");
    QTest::newRow("frame means (16-bit)") << walk(20000, 1);
    Values halves;
    for (int i = 0; i < 20000; ++i)
        halves.push_back(1500.5 + (i % 97) * 0.25 - 40000);
    QTest::newRow("quarters beyond 16 bits (float)") << halves;
    Values decimals;
    for (int i = 0; i < 20000; ++i)
        decimals.push_back(1523.1 + i * 0.001);
    QTest::newRow("decimals (double)") << decimals;
    Values odd = walk(20000, 2);
    odd[5] = -0.0;
    odd[3000] = std::numeric_limits<double>::quiet_NaN();
    odd[7000] = 1e300;
    odd[9000] = -std::numeric_limits<double>::infinity();
    odd[19999] = 1e-310;
    QTest::newRow("NaN, -0, infinities, extremes") << odd;
}

void CurveStorageTest::longRunIsReadBackWhole()
{
    QFETCH(Values, values);
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStore curve(spill, kSmallChunkShift);
    for (double v : values)
        QVERIFY(curve.append(v));
    QCOMPARE(curve.size(), qint64(values.size()));
    QCOMPARE(curve.spilledChunks(), qint64(values.size()) >> kSmallChunkShift);

    Values back(values.size());
    curve.read(0, curve.size(), back.data());
    for (std::size_t i = 0; i < values.size(); ++i)
        QVERIFY2(sameBits(back[i], values[i]), qPrintable(QString::number(i)));
    for (qint64 i : {qint64(0), qint64(1023), qint64(1024), qint64(5000), curve.size() - 1})
        QVERIFY(sameBits(curve.value(i), values[std::size_t(i)]));
    QCOMPARE(curve.error(), CurveStore::Error::None);
}

void CurveStorageTest::liveCurveSpillsTwoBytesAPointAndFourForItsTime()
{
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStore curve(spill, kSmallChunkShift);
    const Values v = walk(4 * 1024 + 10, 3);
    for (std::size_t i = 0; i < v.size(); ++i)
        curve.append(v[i], qint64(i) * 3000000);
    QCOMPARE(spill->fileBytes(), 4 * 1024 * (2 + 4));
}

void CurveStorageTest::valueRangeMatchesADirectScan()
{
    QTemporaryDir dir;
    CurveStore curve(std::make_shared<SpillFile>(dir.path()), kSmallChunkShift);
    Values v = walk(50000 + 77, 4);
    for (int i = 0; i < 40; ++i)
        v[std::size_t(i * 997)] = std::numeric_limits<double>::quiet_NaN();
    // A whole block of NaN: its summary holds nothing.
    for (int i = 2048; i < 2048 + 256; ++i)
        v[std::size_t(i)] = std::numeric_limits<double>::quiet_NaN();
    for (double x : v)
        curve.append(x);

    std::mt19937 rng(5);
    std::uniform_int_distribution<qint64> at(0, qint64(v.size()));
    std::vector<std::pair<qint64, qint64>> spans = {{0, qint64(v.size())}, {2048, 2048 + 256}, {2040, 2300},
                                                    {1023, 1025}, {50000, 50077}, {7, 8}};
    for (int k = 0; k < 500; ++k) {
        qint64 a = at(rng), b = at(rng);
        spans.push_back({std::min(a, b), std::max(a, b)});
    }
    for (const auto &s : spans) {
        const ValueRange got = curve.valueRange(s.first, s.second);
        const ValueRange want = directRange(v, s.first, s.second);
        QCOMPARE(got.found, want.found);
        if (want.found) {
            QCOMPARE(got.lower, want.lower);
            QCOMPARE(got.upper, want.upper);
        }
    }
}

void CurveStorageTest::timeKeysFindThePointsADirectSearchFinds()
{
    QTemporaryDir dir;
    CurveStore curve(std::make_shared<SpillFile>(dir.path()), kSmallChunkShift);
    std::mt19937 rng(6);
    std::uniform_int_distribution<int> stepMs(0, 7);
    std::vector<qint64> timesMs;
    qint64 t = 5000;
    for (int i = 0; i < 20000; ++i) {
        t += stepMs(rng);
        timesMs.push_back(t);
        curve.append(i % 100, t * 1000000 + 123); // the odd nanoseconds are dropped
    }
    QVERIFY(curve.hasTimes());
    QCOMPARE(curve.timeOrigin(), timesMs[0] * 1000000);
    for (std::size_t i : {std::size_t(0), std::size_t(1500), std::size_t(19999)})
        QCOMPARE(curve.timeNs(qint64(i)), timesMs[i] * 1000000);
    curve.setTimeOrigin(5000 * qint64(1000000));
    std::uniform_real_distribution<double> key(-1.0, double(t - 5000) / 1000.0 + 1.0);
    for (int k = 0; k < 2000; ++k) {
        // Half-millisecond keys never fall on a point's time.
        const double seconds = std::floor(key(rng) * 1000.0) / 1000.0 + 0.0005;
        const qint64 want = std::lower_bound(timesMs.begin(), timesMs.end(), qint64(std::ceil(seconds * 1000.0 + 5000)))
            - timesMs.begin();
        QCOMPARE(curve.lowerBound(CurveAxis::Time, seconds), want);
    }
    QCOMPARE(curve.key(CurveAxis::Time, 1500), double(timesMs[1500] - 5000) / 1000.0);
    QCOMPARE(curve.key(CurveAxis::Points, 1500), 1500.0);
    QCOMPARE(curve.lowerBound(CurveAxis::Points, 10.2), qint64(11));
}

void CurveStorageTest::timesBeyondOneHourInAChunkKeepFullWidth()
{
    QTemporaryDir dir;
    CurveStore curve(std::make_shared<SpillFile>(dir.path()), kSmallChunkShift);
    const qint64 hourNs = qint64(3600) * 1000000000;
    std::vector<qint64> times;
    for (int i = 0; i < 3 * 1024; ++i) {
        // A two-hour pause inside the second chunk, and a clock going back.
        qint64 t = qint64(i) * 1000000 + (i >= 1500 ? 2 * hourNs : 0);
        if (i == 2500)
            t -= 5000000;
        times.push_back(i == 2500 ? times.back() : t);
        curve.append(1, t);
    }
    QCOMPARE(curve.spilledChunks(), qint64(3));
    for (int i : {0, 1499, 1500, 2047, 2048, 2499, 2500, 3071})
        QCOMPARE(curve.timeNs(i), times[std::size_t(i)]);
}

void CurveStorageTest::columnsMatchADirectReduction_data()
{
    QTest::addColumn<int>("axis");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::addColumn<int>("columns");
    QTest::newRow("points, whole curve, 541 px") << int(CurveAxis::Points) << 0.0 << 30020.0 << 541;
    QTest::newRow("points, zoomed into a chunk edge") << int(CurveAxis::Points) << 1000.5 << 1100.2 << 300;
    QTest::newRow("points, fewer points than columns") << int(CurveAxis::Points) << 50.0 << 80.0 << 500;
    QTest::newRow("points, range past the end") << int(CurveAxis::Points) << 29990.0 << 40000.0 << 100;
    QTest::newRow("time, whole curve") << int(CurveAxis::Time) << 0.0 << 95.3 << 541;
    QTest::newRow("time, middle") << int(CurveAxis::Time) << 30.2501 << 31.7499 << 127;
    QTest::newRow("one column") << int(CurveAxis::Time) << 10.0 << 20.0 << 1;
}

// Each point goes to the column whose key slice holds it, by the same
// slice edges, found by a plain pass over every point.
void CurveStorageTest::columnsMatchADirectReduction()
{
    QFETCH(int, axis);
    QFETCH(double, lower);
    QFETCH(double, upper);
    QFETCH(int, columns);
    const CurveAxis a = CurveAxis(axis);
    QTemporaryDir dir;
    CurveStore curve(std::make_shared<SpillFile>(dir.path()), kSmallChunkShift);
    const Values v = walk(30000, 7);
    std::vector<qint64> gaps = {5000, 5001, 17000};
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (std::find(gaps.begin(), gaps.end(), qint64(i)) != gaps.end())
            curve.markGap();
        curve.append(v[i], qint64(i) * 3000000 + (i >= 17000 ? qint64(4000000000) : 0));
    }
    const double width = (upper - lower) / columns;
    std::vector<std::vector<qint64>> groups(std::size_t(columns) + 2);
    for (qint64 i = 0; i < curve.size(); ++i) {
        const double k = curve.key(a, i);
        std::size_t g = 0;
        if (k > upper)
            g = std::size_t(columns) + 1;
        else if (k >= lower) {
            g = 1;
            while (int(g) < columns && k >= lower + double(g) * width)
                ++g;
        }
        groups[g].push_back(i);
    }
    // Only the nearest point outside each end takes part.
    if (!groups.front().empty())
        groups.front() = {groups.front().back()};
    if (!groups.back().empty())
        groups.back() = {groups.back().front()};

    std::vector<CurveColumn> want;
    for (const auto &group : groups) {
        std::size_t start = 0;
        for (std::size_t j = 0; j <= group.size(); ++j) {
            if (j < group.size() && (j == start || !curve.startsStretch(group[j])))
                continue;
            if (j == start)
                break;
            CurveColumn c;
            c.first = group[start];
            c.last = group[j - 1];
            c.firstValue = v[std::size_t(c.first)];
            c.lastValue = v[std::size_t(c.last)];
            const ValueRange r = directRange(v, c.first, c.last + 1);
            c.minimum = r.lower;
            c.maximum = r.upper;
            c.startsStretch = c.first > 0 && curve.startsStretch(c.first);
            want.push_back(c);
            start = j;
        }
    }
    const std::vector<CurveColumn> got = CurveColumns::reduce(curve, a, lower, upper, columns);
    QCOMPARE(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].first, want[i].first);
        QCOMPARE(got[i].last, want[i].last);
        QCOMPARE(got[i].firstKey, curve.key(a, want[i].first));
        QCOMPARE(got[i].lastKey, curve.key(a, want[i].last));
        QCOMPARE(got[i].firstValue, want[i].firstValue);
        QCOMPARE(got[i].lastValue, want[i].lastValue);
        QCOMPARE(got[i].minimum, want[i].minimum);
        QCOMPARE(got[i].maximum, want[i].maximum);
        QCOMPARE(got[i].startsStretch, want[i].startsStretch);
    }
}

void CurveStorageTest::noColumnReachesAcrossAGap()
{
    QTemporaryDir dir;
    CurveStore curve(std::make_shared<SpillFile>(dir.path()), kSmallChunkShift);
    for (int i = 0; i < 4000; ++i) {
        if (i == 1000 || i == 3000)
            curve.markGap();
        curve.append(i < 1000 ? 10 : i < 3000 ? 500 : 20, qint64(i) * 1000000);
    }
    QCOMPARE(curve.stretchStartsIn(0, 4000), (std::vector<qint64>{1000, 3000}));
    QCOMPARE(curve.stretchStartsIn(1000, 3000), std::vector<qint64>());
    // Ten columns of 400 points: the gaps fall inside columns 2 and 7.
    const auto columns = CurveColumns::reduce(curve, CurveAxis::Points, 0, 3999, 10);
    int starts = 0;
    for (const CurveColumn &c : columns) {
        const bool before = c.last < 1000, middle = c.first >= 1000 && c.last < 3000, after = c.first >= 3000;
        QVERIFY(before || middle || after);
        starts += c.startsStretch ? 1 : 0;
        QCOMPARE(c.startsStretch, c.first == 1000 || c.first == 3000);
    }
    QCOMPARE(starts, 2);
    QCOMPARE(columns.size(), std::size_t(12));
}

void CurveStorageTest::mappingsStayWithinTheBudget()
{
    QTemporaryDir dir;
    // Chunks of 4,096 doubles, 32 KiB each: long reads map them, three at once.
    auto spill = std::make_shared<SpillFile>(dir.path(), 3 * 32768);
    CurveStore curve(spill, 12);
    for (int i = 0; i < 10 * 4096; ++i)
        curve.append(i + 0.1);
    QCOMPARE(curve.spilledChunks(), qint64(10));
    Values back(std::size_t(curve.size()));
    curve.read(0, curve.size(), back.data());
    QCOMPARE(back[9 * 4096 + 5], 9 * 4096 + 5.1);
    QCOMPARE(spill->mappedBytes(), spill->mappedBudget());
    // Drawing reads a few blocks per column and maps nothing more.
    const auto columns = CurveColumns::reduce(curve, CurveAxis::Points, 0, double(curve.size()), 700);
    QCOMPARE(columns.back().maximum, 10 * 4096 - 1 + 0.1);
    QCOMPARE(spill->mappedBytes(), spill->mappedBudget());
}

void CurveStorageTest::spillFileLeavesNothingBehind()
{
    QTemporaryDir dir;
    {
        auto spill = std::make_shared<SpillFile>(dir.path());
        CurveStore curve(spill, kSmallChunkShift);
        for (int i = 0; i < 5000; ++i)
            curve.append(i);
        QVERIFY(spill->fileBytes() > 0);
#ifdef Q_OS_UNIX
        // Unlinked while open: even a crash leaves nothing.
        QCOMPARE(fileCount(dir.path()), qint64(0));
#endif
        QCOMPARE(curve.value(10), 10.0);
    }
    QCOMPARE(fileCount(dir.path()), qint64(0));
}

void CurveStorageTest::clearingEveryCurveEmptiesTheSpillFile()
{
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStore live(spill, kSmallChunkShift), other(spill, kSmallChunkShift);
    for (int i = 0; i < 5000; ++i) {
        live.append(i);
        other.append(-i);
    }
    live.clear();
    QVERIFY(spill->fileBytes() > 0);
    QCOMPARE(other.value(4000), -4000.0);
    other.clear();
    QCOMPARE(spill->fileBytes(), qint64(0));
    for (int i = 0; i < 3000; ++i)
        live.append(i * 2);
    QCOMPARE(live.value(2500), 5000.0);
    QCOMPARE(live.size(), qint64(3000));
}

// A file size limit stands in for a full disk: the write that meets it fails.
void CurveStorageTest::fullDiskRefusesPointsAndKeepsWhatIsHeld()
{
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStore curve(spill, kSmallChunkShift);
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 5 * 8192 + 100;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    qint64 taken = 0;
    while (taken < 100000 && curve.append(taken + 0.1))
        ++taken;
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    // Five chunks reached the file, the sixth stays in memory, full.
    QCOMPARE(taken, qint64(6 * 1024));
    QCOMPARE(curve.size(), taken);
    QCOMPARE(curve.error(), CurveStore::Error::SpillFailed);
    QVERIFY(!curve.errorString().isEmpty());
    QCOMPARE(spill->fileBytes(), qint64(5 * 8192));
    Values back(static_cast<std::size_t>(taken));
    curve.read(0, taken, back.data());
    for (qint64 i = 0; i < taken; ++i)
        QCOMPARE(back[std::size_t(i)], i + 0.1);
    // With room again, the store takes points again.
    QVERIFY(curve.append(1.5));
    QCOMPARE(curve.error(), CurveStore::Error::None);
    QCOMPARE(curve.value(taken), 1.5);
}

void CurveStorageTest::unwritableFolderRefusesPointsPastTheFirstChunk()
{
    QTemporaryDir dir;
    CurveStore curve(std::make_shared<SpillFile>(dir.filePath(QStringLiteral("missing"))), kSmallChunkShift);
    qint64 taken = 0;
    while (taken < 5000 && curve.append(1))
        ++taken;
    QCOMPARE(taken, qint64(1024));
    QCOMPARE(curve.error(), CurveStore::Error::SpillFailed);
    QCOMPARE(curve.valueRange(0, taken).upper, 1.0);
}

void CurveStorageTest::pointsPastTheMaximumAreRefused()
{
    QTemporaryDir dir;
    CurveStore curve(std::make_shared<SpillFile>(dir.path()), kSmallChunkShift, 3000);
    for (int i = 0; i < 3000; ++i)
        QVERIFY(curve.append(i));
    QVERIFY(!curve.append(1));
    QCOMPARE(curve.error(), CurveStore::Error::Full);
    QCOMPARE(curve.size(), qint64(3000));
    curve.clear();
    QVERIFY(curve.append(7));
    QCOMPARE(curve.error(), CurveStore::Error::None);
}

QTEST_GUILESS_MAIN(CurveStorageTest)
#include "tst_curve_storage.moc"
