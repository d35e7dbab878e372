#include "workflow/MeasurementProcessor.h"

#include "workflow/MeasurementPoint.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

int MeasurementProcessor::pointCount(std::size_t len)
{
    // Signed on purpose: a payload of 0..3 bytes must not wrap to a huge count.
    const long long n = (static_cast<long long>(len) - 19) / 15 + 1;
    return n < 0 ? 0 : static_cast<int>(n);
}

bool MeasurementProcessor::process(const quint8 *payload, std::size_t len, FrameOutcome &out)
{
    if (!payload || len < kMinimumPayload)
        return false;
    const int n = pointCount(len);
    framePoints = quint16(n);
    updateRate(n, qFromLittleEndian<quint32>(payload + MeasurementPoint::kSize * std::size_t(n)));

    MeasurementPoint point;
    for (int i = 0; i < n; ++i) {
        parseMeasurementPoint(payload + MeasurementPoint::kSize * std::size_t(i), MeasurementPoint::kSize, point);
        if (windowCount < kWindowCapacity) {
            windowSamples[windowCount++] = point.distance;
            windowSum += point.distance;
        }
        judgePoint(point.noise, point.peak);
    }

    out.info = closeWindow();
    out.info.confidence = point.confidence;
    out.info.noise = point.noise;
    out.info.peak = point.peak;
    out.info.reftof = point.reftof;
    const bool blanked = peakHits > kBlankAbove || noiseHits > kBlankAbove;
    if (blanked)
        out.info.distance = 0;
    out.blanked = blanked;
    out.plotValue = blanked ? 0 : qint32(out.info.average);
    return true;
}

void MeasurementProcessor::updateRate(int points, quint32 timestamp)
{
    quint32 dt = timestamp - lastTimestamp;
    if (timestamp <= lastTimestamp)
        dt += kTimestampWrap;
    if (dt == 0) // 30,000,000 then 0: the wrap lands exactly on zero
        dt = kTimestampWrap;
    lastTimestamp = timestamp;
    // 64 bits: n * 1,000,000 leaves 32 bits from n = 4,295.
    rateHistory[rateIndex] = quint16(quint64(points) * 1000000u / dt);
    rateIndex = (rateIndex + 1) % 3;
    frameRate = quint16(rateHistory[0] + rateHistory[1] + rateHistory[2]) / 3;
}

void MeasurementProcessor::judgePoint(quint16 noise, quint32 peak)
{
    const bool judged = lastStdDev > kJudgedStdDev;
    noiseHits = std::clamp<qint16>(noiseHits + (judged && noise > kNoisyAbove ? 1 : -1), 0, kHitsMax);
    peakHits = std::clamp<qint16>(peakHits + (judged && peak < kWeakBelow ? 1 : -1), 0, kHitsMax);
}

LidarDisplayInfo MeasurementProcessor::closeWindow()
{
    const qint32 mean = windowSum / windowCount; // truncates toward zero
    varianceSum = 0;
    for (int i = 0; i < windowCount; ++i) {
        // 64 bits: a deviation can reach 65,535, whose square leaves int.
        const qint64 deviation = qint64(windowSamples[i]) - mean;
        varianceSum += float(deviation * deviation);
    }
    const float sd = std::sqrt(varianceSum / float(windowCount));

    LidarDisplayInfo info;
    info.distance = windowSamples[0];
    info.average = float(mean);
    info.standardDeviation = sd;

    lastStdDev = sd;
    varianceSum = 0;
    windowCount = 0;
    windowSum = 0;
    return info;
}
