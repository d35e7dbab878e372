#include "link/EventPump.h"

#include <QCoreApplication>
#include <QTimer>
#include <QtTest>

// Waits that keep the application's events flowing, and how they end.
class tst_EventPump : public QObject {
    Q_OBJECT
private slots:
    void conditionMetInTheBatchThatQuitsIsReportedMet_data();
    void conditionMetInTheBatchThatQuitsIsReportedMet();
    void quitWithoutTheConditionIsReportedAsQuitting();

private:
    // Runs `body` inside the application's own loop, as the program does,
    // and ends that loop afterwards so the next test starts unquit.
    static void insideApplicationLoop(const std::function<void()> &body)
    {
        QTimer::singleShot(0, QCoreApplication::instance(), [&] {
            body();
            QCoreApplication::exit(0);
        });
        QTimer guard;
        connect(&guard, &QTimer::timeout, QCoreApplication::instance(), [] { QCoreApplication::exit(99); });
        guard.start(20000);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

void tst_EventPump::conditionMetInTheBatchThatQuitsIsReportedMet_data()
{
    QTest::addColumn<bool>("quitFirst");
    QTest::newRow("condition, then quit") << false;
    QTest::newRow("quit, then condition") << true;
}

void tst_EventPump::conditionMetInTheBatchThatQuitsIsReportedMet()
{
    QFETCH(bool, quitFirst);
    EventPump::Outcome outcome = EventPump::Outcome::TimedOut;
    insideApplicationLoop([&] {
        bool met = false;
        QObject batch;
        // Posted together, so one pass of the event loop runs both.
        if (quitFirst)
            QTimer::singleShot(0, &batch, [] { QCoreApplication::quit(); });
        QTimer::singleShot(0, &batch, [&met] { met = true; });
        if (!quitFirst)
            QTimer::singleShot(0, &batch, [] { QCoreApplication::quit(); });
        outcome = EventPump::waitUntil(10000, [&met] { return met; });
    });
    QCOMPARE(int(outcome), int(EventPump::Outcome::Done));
}

void tst_EventPump::quitWithoutTheConditionIsReportedAsQuitting()
{
    EventPump::Outcome outcome = EventPump::Outcome::TimedOut;
    insideApplicationLoop([&] {
        QTimer::singleShot(10, QCoreApplication::instance(), [] { QCoreApplication::quit(); });
        outcome = EventPump::waitUntil(10000, [] { return false; });
    });
    QCOMPARE(int(outcome), int(EventPump::Outcome::Quitting));
}

QTEST_GUILESS_MAIN(tst_EventPump)
#include "tst_eventpump.moc"
