#include "workflow/WarmUpDrift.h"

#include <cmath>

namespace WarmUpDrift {

namespace {

struct Weighted {
    double sum = 0;
    double weight = 0;
};

Weighted weighted(const FrameEntry &e, RollingStatistics::Quantity quantity, const QualityGate &gate)
{
    if (e.averaged == 0 || !gate.passes(e.confidence, e.peak))
        return {};
    return {e.average(quantity) * e.averaged, double(e.averaged)};
}

// The trailing window (t - window, t] at entry `last`.
Weighted windowAt(const FrameSeries &series, qint64 last, qint64 windowNs, RollingStatistics::Quantity quantity,
                  const QualityGate &gate)
{
    Weighted total;
    const qint64 end = series.at(last).timeNs;
    for (qint64 i = last; i >= 0 && series.at(i).timeNs > end - windowNs; --i) {
        const Weighted w = weighted(series.at(i), quantity, gate);
        total.sum += w.sum;
        total.weight += w.weight;
    }
    return total;
}

} // namespace

DriftResult compute(const FrameSeries &series, RollingStatistics::Quantity quantity, const QualityGate &gate,
                    double windowSeconds, double band)
{
    DriftResult result;
    const qint64 n = series.size();
    // A window over 30 years is no window; NaN fails every comparison.
    if (n == 0 || !(windowSeconds > 0 && windowSeconds < 1e9) || !(band >= 0))
        return result;
    const qint64 windowNs = qint64(windowSeconds * 1e9);
    const Weighted last = windowAt(series, n - 1, windowNs, quantity, gate);
    if (last.weight <= 0)
        return result;
    result.finalMean = last.sum / last.weight;

    const qint64 t0 = series.at(0).timeNs;
    const double step = double(series.at(n - 1).timeNs - t0) / 1e9 / kMaxCurvePoints;
    double nextCurveSeconds = 0;
    double firstSeconds = -1, lastSeconds = -1, inBandSince = -1;
    Weighted window;
    qint64 left = 0;
    for (qint64 i = 0; i < n; ++i) {
        const FrameEntry &e = series.at(i);
        const Weighted w = weighted(e, quantity, gate);
        window.sum += w.sum;
        window.weight += w.weight;
        for (; series.at(left).timeNs <= e.timeNs - windowNs; ++left) {
            const Weighted gone = weighted(series.at(left), quantity, gate);
            window.sum -= gone.sum;
            window.weight -= gone.weight;
        }
        // A weight that is zero in exact terms may be left a hair above it.
        if (e.timeNs - t0 < windowNs || window.weight < 0.5)
            continue;
        const double seconds = double(e.timeNs - t0) / 1e9;
        const double mean = window.sum / window.weight;
        if (firstSeconds < 0)
            firstSeconds = seconds;
        lastSeconds = seconds;
        if (std::fabs(mean - result.finalMean) > band)
            inBandSince = -1;
        else if (inBandSince < 0)
            inBandSince = seconds;
        if (seconds >= nextCurveSeconds || i == n - 1) {
            result.curve.push_back({seconds, mean});
            nextCurveSeconds = seconds + step;
        }
    }
    if (firstSeconds < 0 || lastSeconds - firstSeconds < windowSeconds)
        return result;
    if (inBandSince < 0 || lastSeconds - inBandSince < windowSeconds) {
        result.settle = DriftResult::Settle::NeverSettled;
        return result;
    }
    result.settle = DriftResult::Settle::Settled;
    result.settleSeconds = inBandSince;
    return result;
}

} // namespace WarmUpDrift
