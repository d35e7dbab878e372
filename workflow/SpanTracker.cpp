#include "workflow/SpanTracker.h"

#include <algorithm>

void SpanTracker::startOver(const FrameSeries &series, RollingStatistics::Quantity q, const QualityGate &g)
{
    source = &series;
    generation = series.generation();
    quantity = q;
    gate = g;
    if (stats.counts().total() > 0)
        stats = WindowStatistics();
    held = GateCount();
    heldFrom = heldTo = 0;
    provisionalFrom = provisionalTo = 0;
}

void SpanTracker::take(const FrameSeries &series, qint64 from, qint64 to, int sign, bool count)
{
    for (qint64 i = from; i < to; ++i) {
        const FrameEntry &e = series.at(i);
        const bool kept = gate.passes(e.confidence, e.peak);
        if (kept) {
            if (sign > 0)
                stats.add(e.value(quantity), e.blanked());
            else
                stats.remove(e.value(quantity), e.blanked());
        }
        if (count) {
            held.total += sign * e.frames;
            held.kept += kept ? sign * e.frames : 0;
        }
    }
}

// From the held range to [from, to), by its ends or anew, whichever takes
// fewer entries.
void SpanTracker::moveHeld(const FrameSeries &series, qint64 from, qint64 to)
{
    const bool overlap = from < heldTo && heldFrom < to;
    const qint64 byEnds = std::abs(from - heldFrom) + std::abs(to - heldTo);
    if (!overlap || byEnds > to - from) {
        if (stats.counts().total() > 0)
            stats = WindowStatistics();
        held = GateCount();
        take(series, from, to, +1, true);
    } else {
        if (from < heldFrom)
            take(series, from, heldFrom, +1, true);
        else
            take(series, heldFrom, from, -1, true);
        if (to > heldTo)
            take(series, heldTo, to, +1, true);
        else
            take(series, to, heldTo, -1, true);
    }
    heldFrom = from;
    heldTo = to;
}

// As SpanStatistics counts it: kept frames after the first kept entry's
// own, over the time from the first kept entry to the last.
void SpanTracker::frameRate(const FrameSeries &series, SpanFigures &figures) const
{
    if (figures.frames.kept == 0)
        return;
    qint64 first = figures.from;
    while (first < figures.to && !gate.passes(series.at(first).confidence, series.at(first).peak))
        ++first;
    qint64 last = figures.to - 1;
    while (last > first && !gate.passes(series.at(last).confidence, series.at(last).peak))
        --last;
    const FrameEntry &a = series.at(first);
    const FrameEntry &b = series.at(last);
    if (last != first && b.timeNs > a.timeNs)
        figures.summary.frameRate = double(figures.frames.kept - b.frames) * 1e9 / double(b.timeNs - a.timeNs);
}

SpanFigures SpanTracker::figures(const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity q,
                                 const QualityGate &g)
{
    if (source != &series || generation != series.generation() || quantity != q || !(gate == g)
        || heldTo > series.size())
        startOver(series, q, g);
    else
        take(series, provisionalFrom, provisionalTo, -1, false);

    SpanFigures figures;
    figures.from = std::max<qint64>(from, 0);
    figures.to = std::max(figures.from, std::min(to, series.size()));
    const qint64 settled = series.size() - (series.stride() > 1 ? 1 : 0);
    const qint64 settledTo = std::max(figures.from, std::min(figures.to, settled));
    moveHeld(series, figures.from, settledTo);

    provisionalFrom = settledTo;
    provisionalTo = figures.to;
    take(series, provisionalFrom, provisionalTo, +1, false);
    figures.frames = held;
    for (qint64 i = provisionalFrom; i < provisionalTo; ++i) {
        const FrameEntry &e = series.at(i);
        figures.frames.total += e.frames;
        figures.frames.kept += gate.passes(e.confidence, e.peak) ? e.frames : 0;
    }
    figures.summary = stats.summary();
    frameRate(series, figures);
    return figures;
}
