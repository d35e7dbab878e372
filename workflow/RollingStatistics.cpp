#include "workflow/RollingStatistics.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kSizes[RollingStatistics::kWindows] = {100, 1000, 10000, 0};
constexpr qint64 kHistory = 10000;
constexpr RollingStatistics::Quantity kQuantities[] = {RollingStatistics::Quantity::FirstPoint,
                                                       RollingStatistics::Quantity::FrameMean};
} // namespace

RollingStatistics::Sample RollingStatistics::sampleOf(const MeasurementRecord &record)
{
    Sample sample;
    sample.timeNs = record.hostNanoseconds;
    sample.firstPoint = record.distances.empty() ? 0 : record.distances.front();
    sample.frameMean = qint16(record.info.average);
    sample.blanked = record.blanked;
    return sample;
}

RollingStatistics::RollingStatistics()
    : ring(std::size_t(kHistory))
{
}

int RollingStatistics::windowSize(int window)
{
    return kSizes[window];
}

void RollingStatistics::add(const Sample &sample)
{
    const std::size_t slot = std::size_t(added % kHistory);
    for (int w = 0; w < kWindows; ++w) {
        const qint64 size = kSizes[w];
        if (size == 0 || added < size)
            continue;
        // The frame leaving this window is `size` back; read before the slot is reused.
        const Sample &leaving = ring[std::size_t((added - size) % kHistory)];
        for (Quantity q : kQuantities)
            stats(w, q).remove(leaving.value(q), leaving.blanked);
    }
    ring[slot] = sample;
    if (added == 0)
        firstTimeNs = sample.timeNs;
    ++added;
    for (int w = 0; w < kWindows; ++w)
        for (Quantity q : kQuantities)
            stats(w, q).add(sample.value(q), sample.blanked);
}

void RollingStatistics::reset()
{
    for (auto &window : windows)
        for (WindowStatistics &s : window)
            s = WindowStatistics();
    added = 0;
    firstTimeNs = 0;
}

qint64 RollingStatistics::historySize() const
{
    return std::min(added, kHistory);
}

const RollingStatistics::Sample &RollingStatistics::recent(qint64 back) const
{
    return ring[std::size_t((added - 1 - back) % kHistory)];
}

StatisticsSummary RollingStatistics::summary(int window, Quantity quantity) const
{
    StatisticsSummary s = stats(window, quantity).summary();
    if (s.count < 2)
        return s;
    const qint64 oldestNs = window == kSinceStart ? firstTimeNs : recent(s.count - 1).timeNs;
    const qint64 span = recent(0).timeNs - oldestNs;
    if (span > 0)
        s.frameRate = double(s.count - 1) * 1e9 / double(span);
    return s;
}

int RollingStatistics::automaticBinWidth(int window, Quantity quantity) const
{
    return automaticBinWidthOf(stats(window, quantity).counts());
}

Histogram RollingStatistics::histogram(int window, Quantity quantity, int binWidth) const
{
    return histogramOf(stats(window, quantity).counts(), binWidth);
}

int RollingStatistics::automaticBinWidthOf(const ValueCounts &counts)
{
    const qint64 n = counts.total();
    if (n < 2)
        return 1;
    const int iqr = counts.kth((3 * n) / 4) - counts.kth(n / 4);
    return std::max(1, int(std::ceil(2.0 * iqr / std::cbrt(double(n)))));
}

Histogram RollingStatistics::histogramOf(const ValueCounts &counts, int binWidth)
{
    Histogram h;
    const qint64 n = counts.total();
    if (n == 0)
        return h;
    const int low = counts.kth(0);
    const int span = counts.kth(n - 1) - low + 1;
    int width = binWidth > 0 ? binWidth : automaticBinWidthOf(counts);
    width = std::max(width, (span + kMaxBins - 1) / kMaxBins);
    h.first = low;
    h.width = width;
    const int bins = (span + width - 1) / width;
    h.counts.resize(std::size_t(bins));
    qint64 below = 0;
    for (int i = 0; i < bins; ++i) {
        const qint64 upTo = counts.countBelow(low + (i + 1) * width);
        h.counts[std::size_t(i)] = upTo - below;
        below = upTo;
    }
    return h;
}
