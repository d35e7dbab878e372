#include "sim/MeasurementGenerator.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kDriftStep = 0.02;
constexpr double kDriftShare = 0.01; // of the distance, at most

template <typename T>
T clampTo(double v)
{
    const double lo = double(std::numeric_limits<T>::min());
    const double hi = double(std::numeric_limits<T>::max());
    return T(std::lround(std::clamp(v, lo, hi)));
}

} // namespace

MeasurementGenerator::MeasurementGenerator(int points, int distance, int jitter, unsigned seed)
    : points(points)
    , distance(distance)
    , jitter(jitter)
    , rng(seed)
{
}

std::vector<quint8> MeasurementGenerator::nextPayload(quint64 micros)
{
    std::vector<quint8> payload(size_t(points) * kPointBytes + 4, 0);
    phase += kDriftStep;
    const double target = distance + std::abs(distance) * kDriftShare * std::sin(phase);
    for (int i = 0; i < points; ++i)
        writePoint(payload.data() + size_t(i) * kPointBytes, target);
    qToLittleEndian<quint32>(quint32(micros % kTimestampWrap), payload.data() + size_t(points) * kPointBytes);
    return payload;
}

// Stronger echoes for nearer targets; noise and confidence follow the echo.
void MeasurementGenerator::writePoint(quint8 *p, double target)
{
    const double d = target + jitter * unit(rng);
    const double nearness = 1000.0 / std::max(std::abs(target), 100.0);
    const double peak = std::max(0.0, 30000.0 * nearness + 800.0 * unit(rng));
    const double noise = std::max(0.0, 40.0 + 6.0 * unit(rng));
    const double confidence = 100.0 - std::min(100.0, std::abs(d - target) * 2.0) * 0.3;
    qToLittleEndian<qint16>(clampTo<qint16>(d), p);
    qToLittleEndian<quint16>(clampTo<quint16>(noise), p + 2);
    qToLittleEndian<quint32>(quint32(std::min(peak, 4.0e9)), p + 4);
    p[8] = clampTo<quint8>(confidence);
    qToLittleEndian<qint16>(clampTo<qint16>(120.0 + 1.5 * unit(rng)), p + 13);
}
