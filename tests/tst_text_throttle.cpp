#include "workflow/TextThrottle.h"

#include <QtTest>

class tst_TextThrottle : public QObject {
    Q_OBJECT
private slots:
    void firstTextIsWrittenAtOnceLaterOnesWaitForTheFlush();
    void droppedTextIsNeverWritten();
    void textsAfterTheIntervalAreWrittenAtOnce();
};

void tst_TextThrottle::firstTextIsWrittenAtOnceLaterOnesWaitForTheFlush()
{
    TextThrottle throttle(60000);
    QString text;
    QVERIFY(!throttle.takePending(text));
    QVERIFY(throttle.offer("a"));
    QVERIFY(!throttle.offer("b"));
    QVERIFY(!throttle.offer("c"));
    QVERIFY(throttle.takePending(text));
    QCOMPARE(text, QStringLiteral("c"));
    QVERIFY(!throttle.takePending(text));
}

void tst_TextThrottle::droppedTextIsNeverWritten()
{
    TextThrottle throttle(60000);
    QVERIFY(throttle.offer("a"));
    QVERIFY(!throttle.offer("b"));
    throttle.drop();
    QString text;
    QVERIFY(!throttle.takePending(text));
}

void tst_TextThrottle::textsAfterTheIntervalAreWrittenAtOnce()
{
    TextThrottle throttle(0);
    QVERIFY(throttle.offer("a"));
    QVERIFY(throttle.offer("b"));
    QString text;
    QVERIFY(!throttle.takePending(text));
}

QTEST_GUILESS_MAIN(tst_TextThrottle)
#include "tst_text_throttle.moc"
