#include "workflow/MeasurementProcessor.h"
#include "workflow/WorkflowTexts.h"

#include <QtEndian>
#include <QtTest>

#include <vector>

namespace {

struct Point {
    qint16 distance = 0;
    quint16 noise = 0;
    quint32 peak = 10000;
};

// A measurement payload laid out as the sensor sends it.
std::vector<quint8> framePayload(const QVector<Point> &points, quint32 timestamp)
{
    std::vector<quint8> bytes(15 * std::size_t(points.size()) + 4, 0);
    for (int i = 0; i < points.size(); ++i) {
        quint8 *p = bytes.data() + 15 * i;
        qToLittleEndian<qint16>(points[i].distance, p);
        qToLittleEndian<quint16>(points[i].noise, p + 2);
        qToLittleEndian<quint32>(points[i].peak, p + 4);
        p[8] = quint8(i + 1);
        qToLittleEndian<qint16>(qint16(-i), p + 13);
    }
    qToLittleEndian<quint32>(timestamp, bytes.data() + 15 * points.size());
    return bytes;
}

QVector<Point> distances(const QVector<int> &values)
{
    QVector<Point> points;
    for (int v : values)
        points.append({qint16(v), 0, 10000});
    return points;
}

FrameOutcome feed(MeasurementProcessor &proc, const QVector<Point> &points, quint32 timestamp = 1000000)
{
    const std::vector<quint8> payload = framePayload(points, timestamp);
    FrameOutcome out;
    if (!proc.process(payload.data(), payload.size(), out))
        qFatal("frame refused");
    return out;
}

quint16 lastRate(const MeasurementProcessor &proc)
{
    return proc.rateHistory[(proc.rateIndex + 2) % 3];
}

QString lineOf(const QString &text, const QString &key)
{
    for (const QString &line : text.split('\n'))
        if (line.startsWith(key + ':'))
            return line;
    return {};
}

} // namespace

class tst_MeasurementStatistics : public QObject {
    Q_OBJECT
private slots:
    void frameStatisticsFollowTheIntegerMean_data();
    void frameStatisticsFollowTheIntegerMean();
    void pointsBeyondTheWindowCountForRateAndLastPointOnly();
    void poorPointsBlankTheDistanceAfterARun_data();
    void poorPointsBlankTheDistanceAfterARun();
    void rateFollowsTimestampsAndAveragesThreeFrames_data();
    void rateFollowsTimestampsAndAveragesThreeFrames();
    void pointCountComesFromThePayloadLength_data();
    void pointCountComesFromThePayloadLength();
    void shortPayloadIsRefusedWithoutChangingState();
    void measurementTextHasEightLinesInOrder();
    void peakAbove16BitsIsShownWhole();
};

void tst_MeasurementStatistics::frameStatisticsFollowTheIntegerMean_data()
{
    QTest::addColumn<QVector<int>>("values");
    QTest::addColumn<QString>("distanceLine");
    QTest::addColumn<QString>("sdLine");
    QTest::addColumn<QString>("averageLine");

    QTest::newRow("four points") << QVector<int>{100, 101, 102, 104} << "distance:100"
                                 << "standarddeviation:1.65831" << "distance_average:101";
    QTest::newRow("negative mean truncates toward zero")
        << QVector<int>{-3, -4} << "distance:-3" << "standarddeviation:0.707107" << "distance_average:-3";
    QTest::newRow("one point has no deviation") << QVector<int>{777} << "distance:777" << "standarddeviation:0"
                                                << "distance_average:777";
    QTest::newRow("deviation square beyond 32 bits")
        << QVector<int>{-32768, -32768, -32768, 32767} << "distance:-32768" << "standarddeviation:28377.5"
        << "distance_average:-16384";
}

void tst_MeasurementStatistics::frameStatisticsFollowTheIntegerMean()
{
    QFETCH(QVector<int>, values);
    MeasurementProcessor proc;
    const FrameOutcome out = feed(proc, distances(values));
    const QString text = WorkflowTexts::measurementText(out.info, proc.frameRate);
    QTEST(lineOf(text, "distance"), "distanceLine");
    QTEST(lineOf(text, "standarddeviation"), "sdLine");
    QTEST(lineOf(text, "distance_average"), "averageLine");
    QCOMPARE(out.plotValue, qint32(out.info.average));
    QCOMPARE(out.info.confidence, quint8(values.size()));
    QCOMPARE(proc.windowCount, qint16(0));
    QCOMPARE(proc.lastStdDev, out.info.standardDeviation);
}

void tst_MeasurementStatistics::pointsBeyondTheWindowCountForRateAndLastPointOnly()
{
    // 4300 points: past the 300-sample window, and n * 1,000,000 leaves 32 bits.
    QVector<int> values(4300, 50);
    values[0] = 40;
    for (int i = 300; i < values.size(); ++i)
        values[i] = -30000;
    MeasurementProcessor proc;
    proc.lastTimestamp = 1000;
    const FrameOutcome out = feed(proc, distances(values), 2000);
    QCOMPARE(proc.framePoints, quint16(4300));
    QCOMPARE(out.info.distance, qint16(40));
    QCOMPARE(out.info.average, 49.0f); // (40 + 299 * 50) / 300, the later points ignored
    QCOMPARE(out.info.confidence, quint8(4300 & 0xFF)); // from the frame's last point
    QCOMPARE(out.info.reftof, qint16(-4299));
    QCOMPARE(lastRate(proc), quint16(4300000000ull / 1000 & 0xFFFF));
}

void tst_MeasurementStatistics::poorPointsBlankTheDistanceAfterARun_data()
{
    QTest::addColumn<quint16>("noise");
    QTest::addColumn<quint32>("peak");
    QTest::addColumn<int>("firstBlankedFrame");

    QTest::newRow("noisy points") << quint16(100) << quint32(10000) << 8;
    QTest::newRow("weak points") << quint16(0) << quint32(3999) << 8;
    QTest::newRow("noise 90 and peak 4000 are good") << quint16(90) << quint32(4000) << 0;
}

void tst_MeasurementStatistics::poorPointsBlankTheDistanceAfterARun()
{
    QFETCH(quint16, noise);
    QFETCH(quint32, peak);
    QFETCH(int, firstBlankedFrame);
    const QVector<Point> frame{{1000, noise, peak}, {1300, noise, peak}, {700, noise, peak}};
    MeasurementProcessor proc;
    for (int frameNo = 1; frameNo <= 20; ++frameNo) {
        const FrameOutcome out = feed(proc, frame);
        const bool blanked = firstBlankedFrame > 0 && frameNo >= firstBlankedFrame;
        QCOMPARE(out.info.distance, qint16(blanked ? 0 : 1000));
        QCOMPARE(out.plotValue, blanked ? 0 : 1000);
        QCOMPARE(out.info.average, 1000.0f);
    }
    QCOMPARE(qMax(proc.noiseHits, proc.peakHits), qint16(firstBlankedFrame ? 30 : 0));

    // Good points bring the counter down one at a time: 30 -> 18 takes four frames.
    const QVector<Point> good{{1000, 0, 10000}, {1300, 0, 10000}, {700, 0, 10000}};
    for (int i = 0; i < 3; ++i)
        feed(proc, good);
    QCOMPARE(feed(proc, good).info.distance, qint16(1000));
}

void tst_MeasurementStatistics::rateFollowsTimestampsAndAveragesThreeFrames_data()
{
    QTest::addColumn<QVector<int>>("points");
    QTest::addColumn<QVector<quint32>>("timestamps");
    QTest::addColumn<QVector<int>>("rates");
    QTest::addColumn<QVector<int>>("shownRates");

    QTest::newRow("start then 1 ms apart")
        << QVector<int>{10, 10, 10, 10} << QVector<quint32>{1000000, 1001000, 1002000, 1003000}
        << QVector<int>{10, 10000, 10000, 10000} << QVector<int>{3, 3336, 6670, 10000};
    QTest::newRow("timestamp wraps at 30,000,000")
        << QVector<int>{1, 1} << QVector<quint32>{29999500, 500} << QVector<int>{0, 1000} << QVector<int>{0, 333};
    QTest::newRow("equal timestamps count a whole wrap")
        << QVector<int>{30, 30} << QVector<quint32>{5000, 5000} << QVector<int>{6000, 1} << QVector<int>{2000, 2000};
    QTest::newRow("wrap landing on zero") << QVector<int>{60, 60} << QVector<quint32>{30000000, 0}
                                          << QVector<int>{2, 2} << QVector<int>{0, 1};
    QTest::newRow("rate keeps its low 16 bits")
        << QVector<int>{100} << QVector<quint32>{1000} << QVector<int>{100000 & 0xFFFF} << QVector<int>{34464 / 3};
    QTest::newRow("three-frame sum keeps its low 16 bits")
        << QVector<int>{30, 30, 30} << QVector<quint32>{1000, 2000, 3000} << QVector<int>{30000, 30000, 30000}
        << QVector<int>{10000, 20000, (90000 & 0xFFFF) / 3};
}

void tst_MeasurementStatistics::rateFollowsTimestampsAndAveragesThreeFrames()
{
    QFETCH(QVector<int>, points);
    QFETCH(QVector<quint32>, timestamps);
    QFETCH(QVector<int>, rates);
    QFETCH(QVector<int>, shownRates);
    MeasurementProcessor proc;
    for (int i = 0; i < points.size(); ++i) {
        const FrameOutcome out = feed(proc, distances(QVector<int>(points[i], 5)), timestamps[i]);
        QCOMPARE(int(lastRate(proc)), rates[i]);
        QCOMPARE(lineOf(WorkflowTexts::measurementText(out.info, proc.frameRate), "frame rate"),
                 QString("frame rate:%1").arg(shownRates[i]));
    }
}

void tst_MeasurementStatistics::pointCountComesFromThePayloadLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("points");
    for (int len = 0; len <= 3; ++len)
        QTest::newRow(qPrintable(QString("%1 bytes").arg(len))) << len << 0;
    QTest::newRow("19 bytes") << 19 << 1;
    QTest::newRow("33 bytes, tail ignored") << 33 << 1;
    QTest::newRow("34 bytes") << 34 << 2;
    QTest::newRow("longest payload") << 65535 << 4368;
}

void tst_MeasurementStatistics::pointCountComesFromThePayloadLength()
{
    QFETCH(int, length);
    QTEST(MeasurementProcessor::pointCount(std::size_t(length)), "points");
}

void tst_MeasurementStatistics::shortPayloadIsRefusedWithoutChangingState()
{
    MeasurementProcessor proc;
    feed(proc, distances({100, 400}), 500000);
    const quint16 rate = proc.frameRate;
    const float sd = proc.lastStdDev;
    std::vector<quint8> shortPayload(18, 0xFF);
    FrameOutcome out;
    for (std::size_t len = 0; len <= shortPayload.size(); ++len)
        QVERIFY(!proc.process(shortPayload.data(), len, out));
    QCOMPARE(proc.frameRate, rate);
    QCOMPARE(proc.lastStdDev, sd);
    QCOMPARE(proc.lastTimestamp, quint32(500000));

    // 33 bytes: one point; the timestamp sits right after it.
    std::vector<quint8> payload = framePayload(distances({250}), 700000);
    payload.resize(33, 0xEE);
    QVERIFY(proc.process(payload.data(), payload.size(), out));
    QCOMPARE(out.info.distance, qint16(250));
    QCOMPARE(proc.lastTimestamp, quint32(700000));
}

void tst_MeasurementStatistics::measurementTextHasEightLinesInOrder()
{
    LidarDisplayInfo info;
    info.distance = -12;
    info.confidence = 255;
    info.average = -12;
    info.standardDeviation = 0.5f;
    info.noise = 65535;
    info.peak = 4294967295u;
    info.reftof = -32768;
    QCOMPARE(WorkflowTexts::measurementText(info, 65535),
             QStringLiteral("distance:-12\nconfidence:255\nstandarddeviation:0.5\ndistance_average:-12\n"
                            "frame rate:65535\npeak:4294967295\nnoise:65535\nreftof:-32768"));
}

void tst_MeasurementStatistics::peakAbove16BitsIsShownWhole()
{
    MeasurementProcessor proc;
    const FrameOutcome out = feed(proc, {{500, 0, 10000}, {510, 0, 70000}});
    QCOMPARE(lineOf(WorkflowTexts::measurementText(out.info, proc.frameRate), "peak"), QString("peak:70000"));
}

QTEST_GUILESS_MAIN(tst_MeasurementStatistics)
#include "tst_measurement_statistics.moc"
