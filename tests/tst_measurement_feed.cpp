#include "workflow/MeasurementFeed.h"
#include "workflow/MeasurementProcessor.h"

#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace {

// One accepted one-point frame through the feed, as the window publishes it.
void publishOne(MeasurementFeed &feed, qint16 distance)
{
    std::vector<quint8> bytes(15 + 4, 0);
    bytes[0] = quint8(distance);
    bytes[1] = quint8(distance >> 8);
    MeasurementProcessor processor;
    FrameOutcome outcome;
    QVERIFY(processor.process(bytes.data(), bytes.size(), outcome));
    feed.publish(bytes.data(), bytes.size(), outcome, processor.frameRate);
}

// Two listeners counting the points they were given.
struct Listeners {
    MeasurementFeed feed;
    std::unique_ptr<QObject> first = std::make_unique<QObject>();
    QObject second;
    QMetaObject::Connection firstConnection;
    int firstHeard = 0;
    int secondHeard = 0;

    Listeners()
    {
        firstConnection = QObject::connect(&feed, &MeasurementFeed::frameMeasured, first.get(),
                                           [this](const MeasurementRecord &r) { firstHeard += r.points(); });
        listenWithSecond();
    }
    void listenWithSecond()
    {
        QObject::connect(&feed, &MeasurementFeed::frameMeasured, &second,
                         [this](const MeasurementRecord &r) { secondHeard += r.points(); });
    }
};

using Step = std::function<void(Listeners &)>;

} // namespace

Q_DECLARE_METATYPE(Step)

class tst_MeasurementFeed : public QObject {
    Q_OBJECT
private slots:
    void recordsReachEveryListenerLeft_data();
    void recordsReachEveryListenerLeft();
};

void tst_MeasurementFeed::recordsReachEveryListenerLeft_data()
{
    QTest::addColumn<Step>("change");
    QTest::addColumn<int>("firstHears");
    QTest::addColumn<int>("secondHears");

    QTest::newRow("both stay") << Step([](Listeners &) {}) << 1 << 1;
    QTest::newRow("first disconnected by signal and receiver") << Step([](Listeners &l) {
        QObject::disconnect(&l.feed, &MeasurementFeed::frameMeasured, l.first.get(), nullptr);
    }) << 0 << 1;
    // Qt holds its connection lock while it tells the feed of this one.
    QTest::newRow("first disconnected by its connection")
        << Step([](Listeners &l) { QObject::disconnect(l.firstConnection); }) << 0 << 1;
    QTest::newRow("first destroyed") << Step([](Listeners &l) { l.first.reset(); }) << 0 << 1;
    QTest::newRow("everything disconnected at once") << Step([](Listeners &l) { l.feed.disconnect(); }) << 0 << 0;
    QTest::newRow("all gone, then one listens again") << Step([](Listeners &l) {
        l.feed.disconnect();
        l.listenWithSecond();
    }) << 0 << 1;
}

// The feed remembers whether anyone listens instead of asking per frame:
// whatever the order of connects and disconnects, every listener left hears
// every frame.
void tst_MeasurementFeed::recordsReachEveryListenerLeft()
{
    QFETCH(Step, change);
    QFETCH(int, firstHears);
    QFETCH(int, secondHears);
    Listeners listeners;
    change(listeners);
    publishOne(listeners.feed, 1234);
    QCOMPARE(listeners.firstHeard, firstHears);
    QCOMPARE(listeners.secondHeard, secondHears);
}

QTEST_GUILESS_MAIN(tst_MeasurementFeed)
#include "tst_measurement_feed.moc"
