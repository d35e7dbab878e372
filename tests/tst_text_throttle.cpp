#include "workflow/MeasurementTextPacer.h"
#include "workflow/TextThrottle.h"
#include "workflow/WorkflowTexts.h"

#include <QtTest>

#include <optional>

namespace {
LidarDisplayInfo infoWithDistance(qint16 distance)
{
    LidarDisplayInfo info;
    info.distance = distance;
    info.average = distance;
    info.confidence = 7;
    return info;
}
} // namespace

class tst_TextThrottle : public QObject {
    Q_OBJECT
private slots:
    void firstWriteIsAtOnceLaterOnesWaitForTheFlush();
    void droppedWriteNeverHappens();
    void writesAfterTheIntervalAreAtOnce();
    void pacedTextIsMadeFromTheNewestValues();
    void pacedTextNeverOverwritesAnAnswer();
};

void tst_TextThrottle::firstWriteIsAtOnceLaterOnesWaitForTheFlush()
{
    TextThrottle throttle(60000);
    QVERIFY(!throttle.takePending());
    QVERIFY(throttle.offer());
    QVERIFY(!throttle.offer());
    QVERIFY(!throttle.offer());
    QVERIFY(throttle.takePending());
    QVERIFY(!throttle.takePending());
}

void tst_TextThrottle::droppedWriteNeverHappens()
{
    TextThrottle throttle(60000);
    QVERIFY(throttle.offer());
    QVERIFY(!throttle.offer());
    throttle.drop();
    QVERIFY(!throttle.takePending());
}

void tst_TextThrottle::writesAfterTheIntervalAreAtOnce()
{
    TextThrottle throttle(0);
    QVERIFY(throttle.offer());
    QVERIFY(throttle.offer());
    QVERIFY(!throttle.takePending());
}

// Frames arriving faster than the interval: the first is shown at once, the
// flush shows the last one's text with the rate that came with it.
void tst_TextThrottle::pacedTextIsMadeFromTheNewestValues()
{
    MeasurementTextPacer pacer(60000);
    QCOMPARE(pacer.offer(infoWithDistance(100), 10), WorkflowTexts::measurementText(infoWithDistance(100), 10));
    QCOMPARE(pacer.offer(infoWithDistance(200), 20), std::nullopt);
    QCOMPARE(pacer.offer(infoWithDistance(-300), 30), std::nullopt);
    QCOMPARE(pacer.takePending(), WorkflowTexts::measurementText(infoWithDistance(-300), 30));
    QCOMPARE(pacer.takePending(), std::nullopt);
}

void tst_TextThrottle::pacedTextNeverOverwritesAnAnswer()
{
    MeasurementTextPacer pacer(60000);
    QVERIFY(pacer.offer(infoWithDistance(100), 10));
    QCOMPARE(pacer.offer(infoWithDistance(200), 20), std::nullopt);
    pacer.drop();
    QCOMPARE(pacer.takePending(), std::nullopt);
    // The next frame waits for the interval like any other.
    QCOMPARE(pacer.offer(infoWithDistance(300), 30), std::nullopt);
    QCOMPARE(pacer.takePending(), WorkflowTexts::measurementText(infoWithDistance(300), 30));
}

QTEST_GUILESS_MAIN(tst_TextThrottle)
#include "tst_text_throttle.moc"
