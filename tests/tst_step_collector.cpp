#include "testrun/StepCollector.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/MeasurementProcessor.h"

#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

using namespace TestRun;

Q_DECLARE_METATYPE(TestRun::Quantity)

namespace {

struct Frame {
    qint64 ns;
    std::vector<qint16> distances;
    quint8 firstConfidence;
    bool blanked;
};

MeasurementRecord recordOf(const Frame &f)
{
    MeasurementRecord r;
    r.hostNanoseconds = f.ns;
    r.distances = f.distances;
    r.firstConfidence = f.firstConfidence;
    r.blanked = f.blanked;
    qint32 sum = 0;
    for (qint16 d : f.distances)
        sum += d;
    r.info.average = float(sum / qint32(f.distances.size())); // truncated, as the processor does
    return r;
}

std::vector<Frame> randomFrames(int count)
{
    std::mt19937 rng(21);
    std::normal_distribution<double> distance(1000, 12);
    std::uniform_int_distribution<int> points(1, 6), confidence(0, 100), gap(900000, 1100000);
    std::vector<Frame> frames;
    qint64 ns = 5000000000;
    for (int i = 0; i < count; ++i) {
        Frame f{ns, {}, quint8(confidence(rng)), i % 37 == 0};
        for (int p = points(rng); p > 0; --p)
            f.distances.push_back(qint16(std::lround(distance(rng))));
        frames.push_back(f);
        ns += gap(rng);
    }
    return frames;
}

QByteArray point(qint16 distance, quint8 confidence)
{
    QByteArray bytes(15, '\0');
    qToLittleEndian(distance, bytes.data());
    bytes[8] = char(confidence);
    return bytes;
}

} // namespace

class StepCollectorTest : public QObject {
    Q_OBJECT

private slots:
    void figuresMatchADirectComputation_data()
    {
        QTest::addColumn<Quantity>("quantity");
        QTest::addColumn<int>("minConfidence");
        QTest::newRow("first point, every frame") << Quantity::FirstPoint << 0;
        QTest::newRow("first point, confidence 40 and up") << Quantity::FirstPoint << 40;
        QTest::newRow("frame mean, confidence 75 and up") << Quantity::FrameMean << 75;
    }

    void figuresMatchADirectComputation()
    {
        QFETCH(Quantity, quantity);
        QFETCH(int, minConfidence);
        const auto frames = randomFrames(2001);
        StepCollector collector(quantity, minConfidence);
        for (const Frame &f : frames)
            collector.add(recordOf(f));

        std::vector<double> kept;
        int blanked = 0;
        for (const Frame &f : frames) {
            blanked += f.blanked ? 1 : 0;
            if (f.firstConfidence < minConfidence)
                continue;
            kept.push_back(quantity == Quantity::FirstPoint ? f.distances.front() : recordOf(f).info.average);
        }
        const double n = double(kept.size());
        double mean = 0;
        for (double v : kept)
            mean += v;
        mean /= n;
        double squares = 0;
        for (double v : kept)
            squares += (v - mean) * (v - mean);
        std::sort(kept.begin(), kept.end());
        const std::size_t half = kept.size() / 2;
        const double median = kept.size() % 2 ? kept[half] : (kept[half - 1] + kept[half]) / 2;

        StepResult step;
        step.referenceMm = 990;
        collector.fillFigures(step);
        QCOMPARE(step.framesSeen, qint64(frames.size()));
        QCOMPARE(step.framesKept, qint64(kept.size()));
        QVERIFY(step.framesKept < step.framesSeen || minConfidence == 0);
        QVERIFY(qAbs(step.meanMm - mean) < 1e-9);
        QVERIFY(qAbs(step.biasMm - (mean - 990)) < 1e-9);
        QVERIFY(qAbs(step.stdMm - std::sqrt(squares / (n - 1))) < 1e-9);
        QCOMPARE(step.minMm, kept.front());
        QCOMPARE(step.maxMm, kept.back());
        QCOMPARE(step.medianMm, median);
        QVERIFY(qAbs(step.blankedPercent - 100.0 * blanked / double(frames.size())) < 1e-12);
        const double span = double(frames.back().ns - frames.front().ns) / 1e9;
        QVERIFY(qAbs(step.rateHz - double(frames.size() - 1) / span) < 1e-9);
    }

    void restartForgetsTheFramesAndTakesNewSettings()
    {
        StepCollector collector(Quantity::FirstPoint, 0);
        for (const Frame &f : randomFrames(50))
            collector.add(recordOf(f));
        collector.restart(Quantity::FrameMean, 101);
        QCOMPARE(collector.framesSeen(), qint64(0));
        collector.add(recordOf({1, {10, 20}, 100, false}));
        collector.add(recordOf({2, {30, 50}, 101, false}));
        StepResult step;
        step.referenceMm = 40;
        collector.fillFigures(step);
        QCOMPARE(step.framesSeen, qint64(2));
        QCOMPARE(step.framesKept, qint64(1));
        QCOMPARE(step.meanMm, 40.0);
        QCOMPARE(step.biasMm, 0.0);
    }

    void noFrameKeptGivesNoBias()
    {
        StepCollector collector(Quantity::FirstPoint, 50);
        collector.add(recordOf({1, {700}, 10, true}));
        StepResult step;
        step.referenceMm = 500;
        collector.fillFigures(step);
        QCOMPARE(step.framesKept, qint64(0));
        QCOMPARE(step.framesSeen, qint64(1));
        QCOMPARE(step.biasMm, 0.0);
        QCOMPARE(step.blankedPercent, 100.0);
        QCOMPARE(step.rateHz, 0.0);
    }

    // The filter needs the first point's confidence, which the display record
    // does not keep (it shows the last point's).
    void feedCarriesTheFirstPointsConfidence()
    {
        const QByteArray payload = point(1000, 7) + point(1002, 200) + QByteArray(4, '\0');
        MeasurementProcessor processor;
        FrameOutcome outcome;
        QVERIFY(processor.process(reinterpret_cast<const quint8 *>(payload.constData()), std::size_t(payload.size()),
                                  outcome));
        MeasurementFeed feed;
        StepCollector collector(Quantity::FirstPoint, 8);
        quint8 first = 0, last = 0;
        connect(&feed, &MeasurementFeed::frameMeasured, this, [&](const MeasurementRecord &r) {
            first = r.firstConfidence;
            last = r.info.confidence;
            collector.add(r);
        });
        feed.publish(reinterpret_cast<const quint8 *>(payload.constData()), std::size_t(payload.size()), outcome, 0);
        QCOMPARE(first, quint8(7));
        QCOMPARE(last, quint8(200));
        QCOMPARE(collector.framesSeen(), qint64(1));
        QCOMPARE(collector.framesKept(), qint64(0));
    }
};

QTEST_GUILESS_MAIN(StepCollectorTest)
#include "tst_step_collector.moc"
