#pragma once

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
    MeasurementRecord record; // reused: no allocation per frame once grown
};
