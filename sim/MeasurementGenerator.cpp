#include "sim/MeasurementGenerator.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kWanderStep = 0.02;

template <typename T>
T clampTo(double v)
{
    const double lo = double(std::numeric_limits<T>::min());
    const double hi = double(std::numeric_limits<T>::max());
    return T(std::lround(std::clamp(v, lo, hi)));
}

} // namespace

MeasurementGenerator::MeasurementGenerator(int points, const Scene &scene, const WarmUp &warmUp, unsigned seed)
    : points(points)
    , view(scene)
    , warmUp(warmUp)
    , rng(seed)
    , distances(size_t(points))
    , noises(size_t(points))
    , peaks(size_t(points))
{
}

std::vector<quint8> MeasurementGenerator::nextPayload(quint64 micros, double warmSeconds)
{
    std::vector<quint8> payload(size_t(points) * kPointBytes + 4, 0);
    phase += kWanderStep;
    const double target = view.distanceMm + std::abs(view.distanceMm) * view.wanderPercent / 100.0 * std::sin(phase);
    const double drift = warmUp.offsetMm == 0 ? 0 : warmUp.offsetMm * std::exp(-warmSeconds / warmUp.tauSeconds);
    const double seen = target + view.biasMm + drift;
    const double nearness = 1000.0 / std::max(std::abs(target), 100.0);
    planner.setShare(view.blankPercent);
    const BlankPlanner::FramePlan plan = planner.plan(points);
    for (int i = 0; i < points; ++i) {
        const double aim = seen + (plan.spread ? spreadOffset(i, points) : 0);
        const Point p = writePoint(payload.data() + size_t(i) * kPointBytes, aim, nearness, plan, i);
        distances[size_t(i)] = p.distance;
        noises[size_t(i)] = p.noise;
        peaks[size_t(i)] = p.peak;
    }
    planner.observe(distances, noises, peaks);
    qToLittleEndian<quint32>(quint32(micros % kTimestampWrap), payload.data() + size_t(points) * kPointBytes);
    return payload;
}

// The first point stays where it is, and the others pair up around it, so a
// spread frame keeps both its first distance and its mean (but for two
// points, where only the first can stay).
double MeasurementGenerator::spreadOffset(int index, int points)
{
    if (index == 0)
        return 0;
    if (index % 2 == 0)
        return -kSpreadMm;
    return index == points - 1 && points > 2 ? 0 : kSpreadMm;
}

// Stronger echoes for nearer targets; noise and confidence follow the echo.
// A frame the planner steers gets poor points (noisy and weak) where it says,
// and good ones elsewhere.
MeasurementGenerator::Point MeasurementGenerator::writePoint(quint8 *p, double aim, double nearness,
                                                             const BlankPlanner::FramePlan &plan, int index)
{
    const double d = aim + view.jitterMm * unit(rng);
    double peak = std::max(0.0, 30000.0 * nearness + 800.0 * unit(rng));
    double noise = std::max(0.0, 40.0 + 6.0 * unit(rng));
    if (plan.steering && plan.poor[size_t(index)]) {
        noise += 110.0;
        peak = std::min(peak * 0.1, double(BlankPlanner::kWeakPeakBelow - 1));
    } else if (plan.steering) {
        noise = std::min(noise, double(BlankPlanner::kPoorNoiseAbove));
        peak = std::max(peak, double(BlankPlanner::kWeakPeakBelow));
    }
    const double confidence = 100.0 - std::min(100.0, std::abs(d - aim) * 2.0) * 0.3;
    const Point point {clampTo<qint16>(d), clampTo<quint16>(noise), quint32(std::min(peak, 4.0e9))};
    qToLittleEndian<qint16>(point.distance, p);
    qToLittleEndian<quint16>(point.noise, p + 2);
    qToLittleEndian<quint32>(point.peak, p + 4);
    p[8] = clampTo<quint8>(confidence);
    qToLittleEndian<qint16>(clampTo<qint16>(120.0 + 1.5 * unit(rng)), p + 13);
    return point;
}
