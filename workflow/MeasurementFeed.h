#pragma once

#include "link/LinkCounters.h"
#include "workflow/MeasurementRecord.h"

#include <QElapsedTimer>
#include <QObject>

#include <cstddef>

struct FrameOutcome;

// Publishes one MeasurementRecord per processed measurement frame, for
// listeners beside the specified display (the measurement log, the
// statistics window). Builds the record only while someone listens.
class MeasurementFeed : public QObject {
    Q_OBJECT
public:
    explicit MeasurementFeed(QObject *parent = nullptr);

    // `payload` is the frame the processor accepted, `outcome` what it made
    // of it, `pointRate` its smoothed rate after the frame.
    void publish(const quint8 *payload, std::size_t len, const FrameOutcome &outcome, quint16 pointRate);

    // The monotonic clock of hostNanoseconds.
    qint64 nowNanoseconds() const { return clock.nsecsElapsed(); }

    // The receive counters of the link the frames come from, so that every
    // record says how many frames the link lost before it; null for none.
    // They must outlive the feed or be replaced first.
    void setLinkCounters(const LinkCounters *counters) { linkCounters = counters; }
    // Frames the link lost so far: failed checksums, which include frames cut short.
    quint64 linkBadFrames() const { return linkCounters ? linkCounters->badChecksums : 0; }

signals:
    // The record is valid only during the call.
    void frameMeasured(const MeasurementRecord &record);

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    // Kept as listeners come and go, so publish() asks Qt only after a
    // disconnection, not for every frame.
    bool listened = false;
    bool recount = false;
    QElapsedTimer clock;
    const LinkCounters *linkCounters = nullptr;
    MeasurementRecord record; // reused: no allocation per frame once grown
};
