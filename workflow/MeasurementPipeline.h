#pragma once

#include "workflow/MeasurementProcessor.h"

#include <QObject>

class MeasurementFeed;
class QTRNet;
struct TRData;

// The road of a measurement frame (0x02) from the endpoint to its listeners:
// the processor turns it into the window's values and the feed publishes
// the record, with the link's receive counters. The window hands it the
// frames its dispatcher routes here and keeps its plot and text to itself;
// a program without a window lets it listen to the endpoint. Both get the
// same records from the same code.
class MeasurementPipeline : public QObject {
    Q_OBJECT
public:
    // The records carry `net`'s counters; `net` must outlive the pipeline.
    explicit MeasurementPipeline(QTRNet *net, QObject *parent = nullptr);

    // From now on takes the measurement frames among every packet `net`
    // publishes; a handled frame shorter than its handler reads is dropped
    // with the window's diagnostic line.
    void listen();

    // Processes and publishes one measurement frame. Null, with nothing
    // changed, for any other code or a payload too short for one point and
    // the timestamp. Valid until the next frame.
    const FrameOutcome *process(const TRData &pack);

    MeasurementFeed *feed() const { return measurementFeed; }
    // The state carried from frame to frame: the smoothed rate, the quality counters.
    const MeasurementProcessor &processor() const { return measurement; }
    // Forgets that state, as a freshly started program has it.
    void restartProcessor() { measurement = MeasurementProcessor(); }

signals:
    // Only while listening: a measurement frame was dropped as too short.
    void shortFrameDropped();

private:
    void take(TRData *pack);

    QTRNet *net;
    MeasurementFeed *measurementFeed;
    MeasurementProcessor measurement;
    FrameOutcome outcome;
    bool listening = false;
};
