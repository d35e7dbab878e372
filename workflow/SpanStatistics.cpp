#include "workflow/SpanStatistics.h"

#include <algorithm>
#include <limits>

namespace SpanStatistics {

SpanFigures between(const FrameSeries &series, qint64 aNs, qint64 bNs, RollingStatistics::Quantity quantity,
                    const QualityGate &gate)
{
    const qint64 from = series.lowerBound(std::min(aNs, bNs));
    const qint64 hi = std::max(aNs, bNs);
    const qint64 to = hi == std::numeric_limits<qint64>::max() ? series.size() : series.lowerBound(hi + 1);
    return over(series, from, to, quantity, gate);
}

SpanFigures over(const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity quantity,
                 const QualityGate &gate)
{
    SpanFigures figures;
    figures.from = std::max<qint64>(from, 0);
    figures.to = std::max(figures.from, std::min(to, series.size()));
    WindowStatistics stats;
    const FrameEntry *firstKept = nullptr;
    const FrameEntry *lastKept = nullptr;
    for (qint64 i = figures.from; i < figures.to; ++i) {
        const FrameEntry &e = series.at(i);
        figures.frames.total += e.frames;
        if (!gate.passes(e.confidence, e.peak))
            continue;
        figures.frames.kept += e.frames;
        stats.add(e.value(quantity), e.blanked());
        firstKept = firstKept ? firstKept : &e;
        lastKept = &e;
    }
    figures.summary = stats.summary();
    // As the fixed windows count it: frames after the first, over the time
    // from the first to the last.
    if (firstKept && lastKept != firstKept && lastKept->timeNs > firstKept->timeNs)
        figures.summary.frameRate = double(figures.frames.kept - lastKept->frames) * 1e9
            / double(lastKept->timeNs - firstKept->timeNs);
    return figures;
}

} // namespace SpanStatistics
