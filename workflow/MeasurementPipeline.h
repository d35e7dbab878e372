#pragma once

#include "workflow/MeasurementFeed.h"
#include "workflow/MeasurementProcessor.h"

#include <QObject>

class QTRNet;
struct TRData;

// The window's processing of measurement frames without the window: every
// packet of the endpoint goes in, every measurement frame comes out of the
// feed as a MeasurementRecord, computed exactly as the window computes the
// text it shows (rate, mean, deviation, quality filter). Other packets and
// frames too short to hold a point are passed over.
class MeasurementPipeline : public QObject {
    Q_OBJECT
public:
    explicit MeasurementPipeline(QObject *parent = nullptr);

    // Takes every packet of `net` from now on; its receive counters give the
    // records' count of frames the link lost.
    void attach(QTRNet *net);
    void take(const TRData &pack);

    MeasurementFeed &feed() { return measurementFeed; }
    const MeasurementProcessor &processor() const { return measurement; }
    // Measurement frames processed, and those dropped as too short.
    quint64 framesProcessed() const { return processed; }
    quint64 framesTooShort() const { return tooShort; }

private:
    MeasurementProcessor measurement;
    MeasurementFeed measurementFeed;
    quint64 processed = 0;
    quint64 tooShort = 0;
};
