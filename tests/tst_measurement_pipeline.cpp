#include "app/MainWindow.h"
#include "link/QTRNet.h"
#include "tests/support/DebugCapture.h"
#include "tests/support/Frames.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/MeasurementPipeline.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <vector>

struct MainWindowProbe {
    static MeasurementFeed *feed(MainWindow &w) { return w.measurementFeed; }
    static QTRNet *net(MainWindow &w) { return w.net; }
};

namespace {

struct Point {
    qint16 distance;
    quint16 noise;
    quint32 peak;
    quint8 confidence;
};

QByteArray measurement(const std::vector<Point> &points, quint32 timestamp)
{
    QByteArray payload(int(15 * points.size() + 4), '\0');
    auto *p = reinterpret_cast<uchar *>(payload.data());
    for (const Point &point : points) {
        qToLittleEndian<qint16>(point.distance, p);
        qToLittleEndian<quint16>(point.noise, p + 2);
        qToLittleEndian<quint32>(point.peak, p + 4);
        p[8] = point.confidence;
        p += 15;
    }
    qToLittleEndian<quint32>(timestamp, p);
    return encodedFrame(0x02, payload);
}

// What the listeners see of a record; the host's clocks differ between two feeds.
struct Seen {
    quint32 deviceTimestamp;
    qint16 distance;
    quint8 confidence;
    float average;
    float standardDeviation;
    quint16 pointRate;
    bool blanked;
    quint64 linkBadFrames;
    quint8 firstConfidence;
    std::vector<qint16> distances;

    bool operator==(const Seen &o) const
    {
        return deviceTimestamp == o.deviceTimestamp && distance == o.distance && confidence == o.confidence
            && average == o.average && standardDeviation == o.standardDeviation && pointRate == o.pointRate
            && blanked == o.blanked && linkBadFrames == o.linkBadFrames && firstConfidence == o.firstConfidence
            && distances == o.distances;
    }
};

void record(MeasurementFeed *feed, std::vector<Seen> &into)
{
    QObject::connect(feed, &MeasurementFeed::frameMeasured, feed, [&into](const MeasurementRecord &r) {
        into.push_back({r.deviceTimestamp, r.info.distance, r.info.confidence, r.info.average,
                        r.info.standardDeviation, r.pointRate, r.blanked, r.linkBadFrames, r.firstConfidence,
                        r.distances});
    });
}

// Frames of one and of several points, a run of noisy spread frames that the
// quality filter blanks, a damaged frame, a short one and answers of other codes.
QByteArray mixedTraffic()
{
    QByteArray bytes;
    quint32 t = 1000;
    for (int k = 0; k < 5; ++k)
        bytes += measurement({{qint16(1000 + k), 40, 30000, quint8(60 + k)}}, t += 10000);
    for (int k = 0; k < 12; ++k)
        bytes += measurement({{1000, 100, 30000, 50}, {1300, 100, 30000, 51}, {700, 100, 30000, 52}}, t += 10000);
    QByteArray damaged = measurement({{999, 0, 0, 0}}, t + 1);
    damaged[damaged.size() - 1] = char(damaged.at(damaged.size() - 1) ^ 0x55);
    bytes += damaged;
    bytes += encodedFrame(0x02, QByteArray(18, '\x01'));
    bytes += encodedFrame(0x14, QByteArray(52, '\0'));
    bytes += encodedFrame(0x10, QByteArray::fromHex("0201"));
    for (int k = 0; k < 4; ++k)
        bytes += measurement({{qint16(-3 - k), 40, 30000, 90}, {-4, 40, 30000, 91}}, t += 10000);
    return bytes;
}

} // namespace

class tst_MeasurementPipeline : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void headlessRecordsAreTheWindowsRecords();
    void shortMeasurementFrameIsDroppedWithTheWindowsLine();
    void onlyMeasurementFramesAreProcessed();

private:
    QTemporaryDir workDir;
};

void tst_MeasurementPipeline::initTestCase()
{
    QVERIFY(workDir.isValid());
    QDir::setCurrent(workDir.path());
}

// The same bytes into the window and into a pipeline without one, in one
// chunk and byte by byte: the same records, frame for frame.
void tst_MeasurementPipeline::headlessRecordsAreTheWindowsRecords()
{
    MainWindow window;
    std::vector<Seen> fromWindow;
    record(MainWindowProbe::feed(window), fromWindow);

    QSerialPort port;
    QTRNet net(&port);
    MeasurementPipeline pipeline(&net);
    pipeline.listen();
    pipeline.listen(); // a second call must not double the frames
    std::vector<Seen> headless;
    record(pipeline.feed(), headless);

    const QByteArray bytes = mixedTraffic();
    MainWindowProbe::net(window)->receiveData(bytes);
    for (char byte : bytes)
        net.receiveData(QByteArray(1, byte));

    QCOMPARE(int(fromWindow.size()), 21);
    QCOMPARE(int(headless.size()), int(fromWindow.size()));
    for (size_t i = 0; i < headless.size(); ++i)
        QVERIFY2(headless[i] == fromWindow[i], qPrintable(QString("frame %1").arg(i)));
    // The filter blanked some of the spread frames, and the damaged frame is
    // counted on every record after it.
    QVERIFY(std::any_of(headless.begin(), headless.end(), [](const Seen &s) { return s.blanked; }));
    QCOMPARE(headless.back().linkBadFrames, quint64(1));
    QCOMPARE(headless.back().distances, (std::vector<qint16>{-6, -4}));
    QCOMPARE(headless.back().average, -5.0f);
}

void tst_MeasurementPipeline::shortMeasurementFrameIsDroppedWithTheWindowsLine()
{
    QSerialPort port;
    QTRNet net(&port);
    MeasurementPipeline pipeline(&net);
    pipeline.listen();
    std::vector<Seen> seen;
    record(pipeline.feed(), seen);
    QSignalSpy dropped(&pipeline, &MeasurementPipeline::shortFrameDropped);

    DebugCapture debug;
    net.receiveData(encodedFrame(0x02, QByteArray(18, '\x07')));
    QCOMPARE(dropped.count(), 1);
    QVERIFY(seen.empty());
    QVERIFY(debug.contains("dropped frame 0x02: payload of 18 bytes, 19 needed"));
    QCOMPARE(pipeline.processor().lastTimestamp, quint32(0));

    net.receiveData(measurement({{500, 0, 0, 0}}, 1000000));
    QCOMPARE(int(seen.size()), 1);
    QCOMPARE(pipeline.processor().frameRate, quint16(0)); // 1 point in 1 s, smoothed over three
}

void tst_MeasurementPipeline::onlyMeasurementFramesAreProcessed()
{
    QSerialPort port;
    QTRNet net(&port);
    MeasurementPipeline pipeline(&net);
    TRData answer;
    answer.cmd = 0x14;
    answer.data.assign(52, 0);
    QVERIFY(!pipeline.process(answer));
    TRData frame;
    frame.cmd = 0x02;
    frame.data.assign(19, 0);
    frame.data[0] = 0x2C; // 300 mm
    frame.data[1] = 0x01;
    const FrameOutcome *outcome = pipeline.process(frame);
    QVERIFY(outcome);
    QCOMPARE(outcome->plotValue, 300);
}

QTEST_MAIN(tst_MeasurementPipeline)
#include "tst_measurement_pipeline.moc"
