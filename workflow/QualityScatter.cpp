#include "workflow/QualityScatter.h"

#include <algorithm>
#include <cmath>

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

// Whole-number bins from `low` covering up to `high`: their count and width.
void wholeBins(double low, double high, int *bins, double *width)
{
    const double values = high - low + 1;
    *width = std::max(1.0, std::ceil(values / kBins));
    *bins = int(std::ceil(values / *width));
}

void fillHistogram(Data &data, const FrameSeries &series, qint64 from, qint64 to, RollingStatistics::Quantity quantity,
                   Measure measure)
{
    data.binned = true;
    double qLow = qualityOf(series.at(from), measure), qHigh = qLow;
    double dLow = series.at(from).value(quantity), dHigh = dLow;
    for (qint64 i = from; i < to; ++i) {
        const double q = qualityOf(series.at(i), measure), d = series.at(i).value(quantity);
        qLow = std::min(qLow, q);
        qHigh = std::max(qHigh, q);
        dLow = std::min(dLow, d);
        dHigh = std::max(dHigh, d);
    }
    double qWidth = 1, dWidth = 1;
    wholeBins(qLow, qHigh, &data.columns, &qWidth);
    wholeBins(dLow, dHigh, &data.rows, &dWidth);
    data.qualityLow = qLow;
    data.qualityHigh = qLow + data.columns * qWidth;
    data.distanceLow = dLow;
    data.distanceHigh = dLow + data.rows * dWidth;
    data.counts.assign(std::size_t(data.columns) * std::size_t(data.rows), 0);
    for (qint64 i = from; i < to; ++i) {
        const int column = std::min(int((qualityOf(series.at(i), measure) - qLow) / qWidth), data.columns - 1);
        const int row = std::min(int((series.at(i).value(quantity) - dLow) / dWidth), data.rows - 1);
        ++data.counts[std::size_t(row) * std::size_t(data.columns) + std::size_t(column)];
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
