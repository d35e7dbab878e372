#pragma once

#include "workflow/QualityGate.h"
#include "workflow/RollingStatistics.h"

#include <QtGlobal>

#include <memory>
#include <vector>

struct MeasurementRecord;

// One frame as the since-Start series takes it in.
struct FrameSample {
    qint64 timeNs = 0; // monotonic, on the host
    // The device's own clock for the frame, microseconds wrapping at
    // FrameSeries::kDeviceClockWrapUs; -1 when not known.
    qint64 deviceTimeUs = -1;
    qint16 firstPoint = 0;
    qint16 frameMean = 0;
    bool blanked = false;
    // The frame's record values the quality gate judges (its last point's).
    quint8 confidence = 0;
    quint16 noise = 0;
    quint32 peak = 0;

    static FrameSample fromRecord(const MeasurementRecord &record);
};

// One entry of the series: a frame, or once the series has thinned, a run
// of `frames` consecutive frames. Its own fields are those of the run's
// first frame, so that every figure over entries is a figure over real
// frames; the averages cover every frame of the run that was not blanked,
// so that averaging over time (drift, Allan deviation) still sees all.
struct FrameEntry {
    static constexpr quint8 kBlanked = 1;
    static constexpr quint8 kGapBefore = 2; // a pause or loss before it: a new stretch begins

    qint64 timeNs;
    quint32 peak;
    float averageFirst;
    float averageMean;
    qint16 firstPoint;
    qint16 frameMean;
    quint16 noise;
    quint16 frames;
    quint16 averaged; // frames in the averages: those not blanked
    quint8 confidence;
    quint8 flags;

    bool blanked() const { return flags & kBlanked; }
    bool gapBefore() const { return flags & kGapBefore; }
    qint16 value(RollingStatistics::Quantity q) const
    {
        return q == RollingStatistics::Quantity::FirstPoint ? firstPoint : frameMean;
    }
    double average(RollingStatistics::Quantity q) const
    {
        return q == RollingStatistics::Quantity::FirstPoint ? averageFirst : averageMean;
    }
};

// Every frame since Start, 32 bytes each, in chunks of 2^kChunkShift
// entries that are never moved. Memory is bounded by `capacity` entries
// (32 MiB at the default): when full, neighbouring entries merge in pairs
// and each new entry takes twice as many frames (the stride doubles). At
// one frame every 3 ms the default holds 52 minutes frame by frame and a
// week with entries of 256 frames (0.8 s); at the link's 3,072 frames a
// second, a week in entries of 2,048 frames. Memory freed by a merge is
// kept for the entries still to come.
//
// Gaps split the run into stretches: markGap() (a pause, a reconnection),
// and any interval more than kGapFactor times the median of the last 16 and
// at least kMinGapNs. Where the frames carry the device's clock, that clock
// judges the interval: a host busy for a moment receives frames late but
// none is missing, while frames lost on the link leave a jump in it; only
// intervals longer than a turn of that clock go by the host's. Merges never
// join entries across a gap while they can avoid it.
class FrameSeries {
public:
    static constexpr int kChunkShift = 14;
    static constexpr qint64 kDefaultCapacity = qint64(1) << 20;
    static constexpr int kMaxStride = 1 << 15;
    static constexpr int kGapFactor = 10;
    static constexpr qint64 kMinGapNs = 100000000;
    static constexpr qint64 kDeviceClockWrapUs = 30000000;

    explicit FrameSeries(qint64 capacity = kDefaultCapacity);

    // False (and nothing kept) only once the stride has reached kMaxStride
    // and the series is full: over four months at the link's frame rate.
    bool add(const FrameSample &frame);
    void markGap();
    void clear();

    qint64 size() const { return count; }
    const FrameEntry &at(qint64 i) const { return chunks[std::size_t(i >> kChunkShift)][std::size_t(i & kChunkMask)]; }
    // Frames taken in since the clear, and how many the newest entries take.
    qint64 frames() const { return framesTaken; }
    int stride() const { return currentStride; }
    qint64 capacity() const { return maxEntries; }
    // Changes whenever entries already held are rewritten (a clear, a
    // thinning), so that work carried over from earlier entries can tell.
    quint64 generation() const { return rewrites; }
    // The mean interval between frames of one stretch; 0 below two frames.
    double frameIntervalNs() const;

    // The first entry whose time is at least `timeNs` (size() when none).
    qint64 lowerBound(qint64 timeNs) const;
    // The first of the newest entries that together hold `frames` frames
    // (0 when all of them hold fewer); walks back over them.
    qint64 firstOfLastFrames(qint64 frames) const;
    // Frames of entries [from, to) the gate keeps, of all of them.
    GateCount gateCount(qint64 from, qint64 to, const QualityGate &gate) const;

    std::size_t bytes() const;

private:
    static constexpr qint64 kChunkMask = (qint64(1) << kChunkShift) - 1;
    static constexpr int kRecentIntervals = 16;

    FrameEntry &entry(qint64 i) { return chunks[std::size_t(i >> kChunkShift)][std::size_t(i & kChunkMask)]; }
    void push(const FrameEntry &e);
    void thin(bool acrossGaps);
    // Recent intervals of one clock, and whether a new one is a gap among them.
    struct IntervalJudge {
        qint64 recent[kRecentIntervals] = {};
        int count = 0;
        bool judge(qint64 intervalNs);
    };
    bool isGap(const FrameSample &frame);
    static FrameEntry merged(const FrameEntry &a, const FrameEntry &b);

    qint64 maxEntries;
    std::vector<std::unique_ptr<FrameEntry[]>> chunks;
    qint64 count = 0;
    qint64 framesTaken = 0;
    int currentStride = 1;
    bool gapPending = false;
    qint64 lastTimeNs = 0;
    qint64 lastDeviceTimeUs = -1;
    IntervalJudge hostIntervals;
    IntervalJudge deviceIntervals;
    double intervalSumNs = 0;
    qint64 intervals = 0;
    quint64 rewrites = 0;
};
