#pragma once

#include "workflow/FrameSeries.h"
#include "workflow/WindowStatistics.h"

// The figures of the frames between two cursors (区间 A–B): the same figures
// as the fixed windows, over the entries whose time lies between the two
// times and which the gate keeps. Once the series has thinned, each entry
// is one real frame standing for its run, so the figures are those of an
// even sample of the span.
struct SpanFigures {
    StatisticsSummary summary; // count: entries taken; frameRate: kept frames a second
    GateCount frames;          // frames of the span the gate kept, of all
    qint64 from = 0;           // entries [from, to) of the series
    qint64 to = 0;
};

namespace SpanStatistics {

// Entries with times in [min(aNs, bNs), max(aNs, bNs)].
SpanFigures between(const FrameSeries &series, qint64 aNs, qint64 bNs, RollingStatistics::Quantity quantity,
                    const QualityGate &gate = QualityGate());

// Entries [from, to).
SpanFigures over(const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity quantity,
                 const QualityGate &gate = QualityGate());

} // namespace SpanStatistics
