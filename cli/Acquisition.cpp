#include "cli/Acquisition.h"

#include "cli/SensorLink.h"
#include "link/LinkLease.h"
#include "link/QTRNet.h"
#include "workflow/CommandSet.h"
#include "workflow/MeasurementFeed.h"

#include <limits>

namespace {
// While the endpoint pauses after a command, Stop waits this long and tries again.
constexpr int kRetryStopMs = 5;
// Stop's bytes are given this long to leave before the program ends.
constexpr int kDrainMs = 1000;
} // namespace

Acquisition::Acquisition(SensorLink *link, const CommandOptions::Amount &amount, QObject *parent)
    : QObject(parent)
    , link(link)
    , amount(amount)
    , pipeline(link->net())
{
    pipeline.listen();
    connect(pipeline.feed(), &MeasurementFeed::frameMeasured, this, &Acquisition::measured);
    connect(link, &SensorLink::vanished, this, [this] { end(Ending::Lost); });
    silence.setSingleShot(true);
    silence.setInterval(kSilenceMs);
    connect(&silence, &QTimer::timeout, this, &Acquisition::silent);
    duration.setSingleShot(true);
    duration.setTimerType(Qt::PreciseTimer);
    connect(&duration, &QTimer::timeout, this, &Acquisition::durationOver);
}

// Frames that arrive during Start's own pause are the acquisition's already.
void Acquisition::begin()
{
    running = true;
    silence.start();
    if (amount.seconds > 0)
        duration.start(int(qMin(amount.seconds * 1000.0, double(std::numeric_limits<int>::max()))));
    bool sent = false;
    {
        const LinkLease::Hold hold(link->net()->lease(), LinkLease::Holder::Acquisition);
        sent = hold && link->net()->sendCmd(0, CommandSet::kStart, 0);
    }
    if (!sent && !ending)
        end(link->net()->portOpen() ? Ending::Silent : Ending::Lost);
}

void Acquisition::end(Ending reason)
{
    if (ending)
        return;
    ending = true;
    running = false;
    why = reason;
    silence.stop();
    duration.stop();
    // Never from inside the frame that ended it: Stop's pause runs an event loop.
    if (!stopPosted) {
        stopPosted = true;
        QTimer::singleShot(0, this, &Acquisition::sendStop);
    }
}

void Acquisition::sendStop()
{
    QTRNet *net = link->net();
    if (net->portOpen() && (net->isBusy() || !net->lease().isFree())) {
        QTimer::singleShot(kRetryStopMs, this, &Acquisition::sendStop);
        return;
    }
    if (net->portOpen()) {
        const LinkLease::Hold hold(net->lease(), LinkLease::Holder::Acquisition);
        net->sendCmd(0, CommandSet::kStop, 0);
        link->drain(kDrainMs);
    }
    emit ended(why);
}

void Acquisition::measured(const MeasurementRecord &record)
{
    if (!running)
        return;
    ++counted;
    silence.start();
    emit frame(record);
    if (amount.frames > 0 && counted >= amount.frames)
        end(Ending::Reached);
}

void Acquisition::silent()
{
    end(Ending::Silent);
}

// A time that passed without a single frame is a device that did not answer.
void Acquisition::durationOver()
{
    end(counted > 0 ? Ending::Reached : Ending::Silent);
}

QString Acquisition::endingText() const
{
    switch (why) {
    case Ending::Silent:
        return counted == 0
            ? QStringLiteral("The device did not answer: no measurement frame within %1 ms of Start.").arg(kSilenceMs)
            : QStringLiteral("The device fell silent: no measurement frame for %1 ms after frame %2.")
                  .arg(kSilenceMs)
                  .arg(counted);
    case Ending::Lost:
        return QStringLiteral("The port %1 went away (device unplugged or reset) after %2 frames.")
            .arg(link->portName())
            .arg(counted);
    case Ending::OutputFailed:
        return QStringLiteral("Stopped after %1 frames: the output could not be written.").arg(counted);
    case Ending::Interrupted:
        return QStringLiteral("Interrupted after %1 frames; Stop sent.").arg(counted);
    case Ending::Reached:
        break;
    }
    return QString();
}
