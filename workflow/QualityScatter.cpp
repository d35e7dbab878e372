#include "workflow/QualityScatter.h"

#include <algorithm>

namespace QualityScatter {

double qualityOf(const FrameEntry &e, Measure measure)
{
    switch (measure) {
    case Measure::Peak:
        return e.peak;
    case Measure::Noise:
        return e.noise;
    case Measure::Confidence:
        return e.confidence;
    }
    return 0;
}

namespace {

int binOf(double v, double low, double high)
{
    if (high <= low)
        return 0;
    return std::clamp(int((v - low) / (high - low) * kBins), 0, kBins - 1);
}

void fillHistogram(Data &data, const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity quantity,
                   Measure measure)
{
    data.binned = true;
    data.qualityLow = data.qualityHigh = qualityOf(series.at(from), measure);
    data.distanceLow = data.distanceHigh = series.at(from).value(quantity);
    for (qint64 i = from; i < to; ++i) {
        const double q = qualityOf(series.at(i), measure), d = series.at(i).value(quantity);
        data.qualityLow = std::min(data.qualityLow, q);
        data.qualityHigh = std::max(data.qualityHigh, q);
        data.distanceLow = std::min(data.distanceLow, d);
        data.distanceHigh = std::max(data.distanceHigh, d);
    }
    // A bin's upper edge belongs to the next bin: widen so the largest value has one.
    data.qualityHigh += std::max(1.0, data.qualityHigh - data.qualityLow) / kBins;
    data.distanceHigh += std::max(1.0, data.distanceHigh - data.distanceLow) / kBins;
    data.counts.assign(std::size_t(kBins) * kBins, 0);
    for (qint64 i = from; i < to; ++i) {
        const int column = binOf(qualityOf(series.at(i), measure), data.qualityLow, data.qualityHigh);
        const int row = binOf(series.at(i).value(quantity), data.distanceLow, data.distanceHigh);
        ++data.counts[std::size_t(row) * kBins + std::size_t(column)];
    }
}

} // namespace

Data build(const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity quantity, Measure measure,
           const QualityGate &gate)
{
    Data data;
    from = std::max<qint64>(from, 0);
    to = std::min(to, series.size());
    if (from >= to)
        return data;
    if (to - from > kMaxPoints) {
        fillHistogram(data, series, from, to, quantity, measure);
        return data;
    }
    for (qint64 i = from; i < to; ++i) {
        const FrameEntry &e = series.at(i);
        const Point p{qualityOf(e, measure), double(e.value(quantity))};
        (gate.passes(e.confidence, e.peak) ? data.kept : data.refused).push_back(p);
    }
    return data;
}

} // namespace QualityScatter
