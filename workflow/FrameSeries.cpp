#include "workflow/FrameSeries.h"

#include "workflow/MeasurementRecord.h"

#include <algorithm>

FrameSample FrameSample::fromRecord(const MeasurementRecord &record)
{
    FrameSample s;
    s.timeNs = record.hostNanoseconds;
    s.deviceTimeUs = record.deviceTimestamp;
    s.firstPoint = record.distances.empty() ? 0 : record.distances.front();
    s.frameMean = qint16(record.info.average);
    s.blanked = record.blanked;
    s.confidence = record.info.confidence;
    s.noise = record.info.noise;
    s.peak = record.info.peak;
    return s;
}

FrameSeries::FrameSeries(qint64 capacity)
    : maxEntries(std::max<qint64>(capacity, 2))
{
    chunks.reserve(std::size_t((maxEntries + kChunkMask) >> kChunkShift));
}

void FrameSeries::clear()
{
    ++rewrites;
    count = 0;
    framesTaken = 0;
    currentStride = 1;
    gapPending = false;
    lastTimeNs = 0;
    lastDeviceTimeUs = -1;
    hostIntervals = IntervalJudge();
    deviceIntervals = IntervalJudge();
    intervalSumNs = 0;
    intervals = 0;
}

void FrameSeries::markGap()
{
    gapPending = true;
}

// Judged against the median of the recent intervals, so that a rate that
// drops for good becomes the new normal after a few frames.
bool FrameSeries::IntervalJudge::judge(qint64 intervalNs)
{
    bool gap = false;
    const int held = std::min(count, kRecentIntervals);
    if (held > 0 && intervalNs > kMinGapNs) {
        qint64 sorted[kRecentIntervals];
        std::copy(recent, recent + held, sorted);
        std::nth_element(sorted, sorted + held / 2, sorted + held);
        gap = intervalNs > kGapFactor * sorted[held / 2];
    }
    recent[count % kRecentIntervals] = intervalNs;
    ++count;
    return gap;
}

bool FrameSeries::isGap(const FrameSample &frame)
{
    const qint64 hostNs = frame.timeNs - lastTimeNs;
    const bool hostGap = hostIntervals.judge(hostNs);
    if (frame.deviceTimeUs < 0 || lastDeviceTimeUs < 0)
        return hostGap;
    const qint64 deviceUs = ((frame.deviceTimeUs - lastDeviceTimeUs) % kDeviceClockWrapUs + kDeviceClockWrapUs)
        % kDeviceClockWrapUs;
    const bool deviceGap = deviceIntervals.judge(deviceUs * 1000);
    return deviceGap || hostNs >= kDeviceClockWrapUs * 1000;
}

bool FrameSeries::add(const FrameSample &frame)
{
    bool gap = gapPending;
    if (framesTaken > 0) {
        const qint64 interval = frame.timeNs - lastTimeNs;
        gap = isGap(frame) || gap;
        if (!gap && interval >= 0) {
            intervalSumNs += double(interval);
            ++intervals;
        }
    }
    FrameEntry e{};
    e.timeNs = frame.timeNs;
    e.peak = frame.peak;
    e.firstPoint = frame.firstPoint;
    e.frameMean = frame.frameMean;
    e.noise = frame.noise;
    e.confidence = frame.confidence;
    e.frames = 1;
    e.averaged = frame.blanked ? 0 : 1;
    e.averageFirst = frame.blanked ? 0.0f : float(frame.firstPoint);
    e.averageMean = frame.blanked ? 0.0f : float(frame.frameMean);
    e.flags = quint8((frame.blanked ? FrameEntry::kBlanked : 0) | (gap && framesTaken > 0 ? FrameEntry::kGapBefore : 0));

    if (count > 0 && !gap && entry(count - 1).frames < currentStride) {
        entry(count - 1) = merged(entry(count - 1), e);
    } else if (count == maxEntries && currentStride >= kMaxStride) {
        return false;
    } else {
        push(e);
    }
    gapPending = false;
    lastTimeNs = frame.timeNs;
    lastDeviceTimeUs = frame.deviceTimeUs;
    ++framesTaken;
    return true;
}

void FrameSeries::push(const FrameEntry &e)
{
    if (count == maxEntries) {
        thin(false);
        if (count > maxEntries * 3 / 4)
            thin(true);
        currentStride *= 2;
    }
    if (std::size_t(count >> kChunkShift) == chunks.size())
        chunks.emplace_back(new FrameEntry[std::size_t(kChunkMask + 1)]);
    entry(count++) = e;
}

FrameEntry FrameSeries::merged(const FrameEntry &a, const FrameEntry &b)
{
    FrameEntry m = a;
    m.frames = quint16(a.frames + b.frames);
    m.averaged = quint16(a.averaged + b.averaged);
    if (m.averaged > 0) {
        m.averageFirst = (a.averageFirst * a.averaged + b.averageFirst * b.averaged) / m.averaged;
        m.averageMean = (a.averageMean * a.averaged + b.averageMean * b.averaged) / m.averaged;
    }
    return m;
}

// Merges neighbours in pairs into entries of at most twice the stride, in
// place. Across a gap only when asked: the entry would then straddle it.
void FrameSeries::thin(bool acrossGaps)
{
    ++rewrites;
    qint64 kept = 0;
    for (qint64 i = 0; i < count;) {
        FrameEntry e = entry(i);
        const bool pair = i + 1 < count && (acrossGaps || !entry(i + 1).gapBefore())
            && e.frames + entry(i + 1).frames <= 2 * currentStride;
        if (pair)
            e = merged(e, entry(i + 1));
        i += pair ? 2 : 1;
        entry(kept++) = e;
    }
    count = kept;
}

double FrameSeries::frameIntervalNs() const
{
    return intervals > 0 ? intervalSumNs / double(intervals) : 0.0;
}

qint64 FrameSeries::lowerBound(qint64 timeNs) const
{
    qint64 lo = 0, hi = count;
    while (lo < hi) {
        const qint64 mid = (lo + hi) / 2;
        if (at(mid).timeNs < timeNs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

qint64 FrameSeries::firstOfLastFrames(qint64 frames) const
{
    qint64 i = count;
    for (qint64 held = 0; i > 0 && held < frames; --i)
        held += at(i - 1).frames;
    return i;
}

GateCount FrameSeries::gateCount(qint64 from, qint64 to, const QualityGate &gate) const
{
    GateCount c;
    for (qint64 i = std::max<qint64>(from, 0); i < std::min(to, count); ++i) {
        const FrameEntry &e = at(i);
        c.total += e.frames;
        if (gate.passes(e.confidence, e.peak))
            c.kept += e.frames;
    }
    return c;
}

std::size_t FrameSeries::bytes() const
{
    return sizeof(*this) + chunks.capacity() * sizeof(chunks[0])
        + chunks.size() * std::size_t(kChunkMask + 1) * sizeof(FrameEntry);
}
