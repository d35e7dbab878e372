#include "workflow/MeasurementFeed.h"

#include "workflow/MeasurementPoint.h"
#include "workflow/MeasurementProcessor.h"

#include <QDateTime>
#include <QMetaMethod>
#include <QtEndian>

namespace {
// The confidence byte of a point record (the processor keeps only the last point's).
constexpr std::size_t kFirstConfidenceOffset = 8;
} // namespace

MeasurementFeed::MeasurementFeed(QObject *parent)
    : QObject(parent)
{
    clock.start();
}

void MeasurementFeed::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&MeasurementFeed::frameMeasured)) {
        listened = true;
        recount = false;
    }
}

// Qt holds its connection lock here (and tells of a destroyed listener
// before removing it), so whether anyone is left is asked at the next frame.
// An invalid method: every signal was disconnected at once.
void MeasurementFeed::disconnectNotify(const QMetaMethod &signal)
{
    if (!signal.isValid() || signal == QMetaMethod::fromSignal(&MeasurementFeed::frameMeasured))
        recount = true;
}

void MeasurementFeed::publish(const quint8 *payload, std::size_t len, const FrameOutcome &outcome,
                              quint16 pointRate)
{
    if (recount) {
        recount = false;
        listened = isSignalConnected(QMetaMethod::fromSignal(&MeasurementFeed::frameMeasured));
    }
    if (!listened)
        return;
    const int n = MeasurementProcessor::pointCount(len);
    record.hostMsecsSinceEpoch = QDateTime::currentMSecsSinceEpoch();
    record.hostNanoseconds = clock.nsecsElapsed();
    record.deviceTimestamp = qFromLittleEndian<quint32>(payload + MeasurementPoint::kSize * std::size_t(n));
    record.info = outcome.info;
    record.pointRate = pointRate;
    record.blanked = outcome.blanked;
    record.linkBadFrames = linkBadFrames();
    record.firstConfidence = payload[kFirstConfidenceOffset];
    record.distances.resize(std::size_t(n));
    for (int i = 0; i < n; ++i)
        record.distances[std::size_t(i)] = qFromLittleEndian<qint16>(payload + MeasurementPoint::kSize * std::size_t(i));
    emit frameMeasured(record);
}
