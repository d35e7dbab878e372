#pragma once

#include "workflow/SpanStatistics.h"

// SpanStatistics::over for a range of entries that moves a little from one
// call to the next, as a window's range does while frames arrive (the last
// N frames, everything since Start, a span reaching past the newest frame):
// a call pays for the entries that entered or left the range since the
// previous one, not for the whole range. It starts over when the series was
// thinned or cleared, or the quantity or the gate changed. The newest entry
// of a thinned series, still taking frames, is taken in anew each call.
class SpanTracker {
public:
    SpanFigures figures(const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity quantity,
                        const QualityGate &gate = QualityGate());
    // The kept values of the range of the last call, for a histogram.
    const ValueCounts &values() const { return stats.counts(); }

private:
    void startOver(const FrameSeries &series, RollingStatistics::Quantity quantity, const QualityGate &gate);
    // Entries [from, to) into or out of the figures; their frames into `held` when `count`.
    void take(const FrameSeries &series, qint64 from, qint64 to, int sign, bool count);
    void moveHeld(const FrameSeries &series, qint64 from, qint64 to);
    void frameRate(const FrameSeries &series, SpanFigures &figures) const;

    const FrameSeries *source = nullptr;
    quint64 generation = 0;
    RollingStatistics::Quantity quantity = RollingStatistics::Quantity::FirstPoint;
    QualityGate gate;
    WindowStatistics stats;
    GateCount held;            // the frames of entries [heldFrom, heldTo)
    qint64 heldFrom = 0;       // settled entries in the figures
    qint64 heldTo = 0;
    qint64 provisionalFrom = 0; // entries in the figures for the last call only
    qint64 provisionalTo = 0;
};
