#include "link/EventPump.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
// Exit codes of our own loop; anything else came from QCoreApplication::exit
// (or -1 from a loop started after quit), that is, the application is quitting.
constexpr int kDeadline = 0x5EAD11;
constexpr int kDone = 0x5EAD12;
} // namespace

namespace EventPump {

Outcome waitUntil(int ms, const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (done && done())
            return Outcome::Done;
        const qint64 left = qint64(ms) - clock.elapsed();
        if (left <= 0)
            return Outcome::TimedOut;

        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&loop] { loop.exit(kDeadline); });
        QMetaObject::Connection watch;
        if (done) {
            watch = QObject::connect(QAbstractEventDispatcher::instance(),
                                     &QAbstractEventDispatcher::aboutToBlock, &loop,
                                     [&loop, &done] {
                                         if (done())
                                             loop.exit(kDone);
                                     });
        }
        deadline.start(int(left));
        const int code = loop.exec();
        QObject::disconnect(watch);
        if (code != kDeadline && code != kDone)
            return (done && done()) ? Outcome::Done : Outcome::Quitting;
        // A deadline wake-up re-checks the clock: timers may fire a little early.
    }
}

bool applicationQuitting()
{
    // A fresh event loop refuses to run once quitting has begun.
    constexpr int kRan = 1;
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe] { probe.exit(kRan); });
    return probe.exec() != kRan;
}

} // namespace EventPump
