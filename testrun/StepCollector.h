#pragma once

#include "testrun/RunRecord.h"
#include "testrun/TestPlan.h"
#include "workflow/MeasurementRecord.h"
#include "workflow/WindowStatistics.h"

#include <QtGlobal>

namespace TestRun {

// The figures of one step while its frames come in, for the live display
// and the step's result. Frames whose first point's confidence is below
// the step's minimum are seen but not kept ("n of m frames kept"); the
// blanked share and the rate are of every frame seen, so that a confidence
// floor cannot hide a sensor that blanks or stalls. Each frame costs a fixed
// number of steps; the figures come from the statistics window's own code.
class StepCollector {
public:
    explicit StepCollector(Quantity quantity = Quantity::FirstPoint, int minConfidence = 0);

    // Forgets every frame (a step begins or is retried).
    void restart(Quantity quantity, int minConfidence);
    void add(const MeasurementRecord &record);

    qint64 framesSeen() const { return seen; }
    qint64 framesKept() const { return kept.counts().total(); }

    // Count, mean, sample deviation, minimum, maximum and median of the kept
    // frames; blanked share and frame rate of the frames seen.
    StatisticsSummary summary() const;
    // Writes the figures into `step`, the bias against step.referenceMm
    // (0 while no frame is kept). Leaves the limits, checks and verdict alone.
    void fillFigures(StepResult &step) const;

private:
    Quantity quantity;
    int minConfidence;
    WindowStatistics kept;
    qint64 seen = 0;
    qint64 blankedSeen = 0;
    qint64 firstNs = 0;
    qint64 lastNs = 0;
};

} // namespace TestRun
