#include "link/LinkStats.h"

namespace {
constexpr qint64 kRateWindowMs = 1000;
} // namespace

LinkStats::LinkStats(const LinkCounters &source, QObject *parent)
    : QObject(parent)
    , source(source)
{
}

LinkCounters LinkStats::totals() const
{
    LinkCounters now = source;
    now.shortPayloads = shortPayloads;
    return now;
}

LinkCounters LinkStats::sinceOpen()
{
    const LinkCounters now = totals();
    if (closed && !(now == closedAt)) {
        openedAt = closedAt;
        closed = false;
    }
    return now - openedAt;
}

void LinkStats::portClosing()
{
    sinceOpen(); // settles a session that began since the last close
    closedAt = totals();
    closed = true;
}

void LinkStats::sample(qint64 ms)
{
    newest = (newest + 1) % int(samples.size());
    samples[std::size_t(newest)] = {ms, totals()};
    sampleCount = qMin(sampleCount + 1, int(samples.size()));
}

// From the newest sample back to the latest one at least a second older, or
// the oldest kept.
double LinkStats::rate(quint64 LinkCounters::*field) const
{
    if (sampleCount < 2)
        return 0;
    const Sample &last = samples[std::size_t(newest)];
    const Sample *from = nullptr;
    for (int k = 1; k < sampleCount; ++k) {
        from = &samples[std::size_t((newest - k + int(samples.size())) % int(samples.size()))];
        if (last.ms - from->ms >= kRateWindowMs)
            break;
    }
    const qint64 span = last.ms - from->ms;
    if (span <= 0)
        return 0;
    return double(last.counts.*field - from->counts.*field) * 1000.0 / double(span);
}
