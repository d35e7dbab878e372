#include "sim/BlankPlanner.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 kWhole = 100000; // 100 percent in thousandths
constexpr double kJudgedStdDev = 200.0;
constexpr int kHitsMax = 30;
constexpr int kBlankedFrom = 19;

int step(int hits, bool up)
{
    return std::clamp(hits + (up ? 1 : -1), 0, kHitsMax);
}

} // namespace

void BlankPlanner::setShare(double percent)
{
    shareMilli = std::llround(std::clamp(percent, 0.0, 100.0) * 1000.0);
}

// How many frames pass unblanked before the next blanked one, counting from
// the frame whose spacing sum before it is `sum`.
int BlankPlanner::framesBeforeNextBlank(qint64 sum) const
{
    return int((kWhole - sum + shareMilli - 1) / shareMilli) - 1;
}

// The count a frame should end with: 19 on a frame to blank; before one, the
// lowest count from which the frames left can still climb to 19 in time.
int BlankPlanner::targetCount(int framesBefore, int points)
{
    if (framesBefore == 0)
        return kBlankedFrom;
    return std::max(0, kBlankedFrom - framesBefore * points);
}

BlankPlanner::FramePlan BlankPlanner::plan(int points)
{
    FramePlan p;
    accumulatedBefore = accumulated;
    if (shareMilli == 0)
        return p;
    p.steering = true;
    p.poor.assign(size_t(points), false);
    const int target = targetCount(framesBeforeNextBlank(accumulated), points);
    accumulated += shareMilli;
    if (accumulated >= kWhole)
        accumulated -= kWhole;

    // Good points first, then just enough poor ones to end at the target.
    const bool judged = filter.lastStdDev > kJudgedStdDev;
    int hits = std::max(filter.noiseHits, filter.peakHits);
    for (int i = 0; i < points; ++i) {
        const int left = points - 1 - i;
        const bool poor = judged && std::min(kHitsMax, step(hits, false) + left) < target;
        p.poor[size_t(i)] = poor;
        hits = step(hits, poor);
    }
    const int nextTarget = targetCount(framesBeforeNextBlank(accumulated), points);
    p.spread = points > 1 && nextTarget > std::max(0, hits - points);
    return p;
}

void BlankPlanner::frameLost()
{
    filter = filterBefore;
    accumulated = accumulatedBefore;
}

// The host's filter, step for step: the counts judge each point by the
// previous frame's spread, then the frame's own spread is taken around its
// mean truncated to whole millimetres.
void BlankPlanner::observe(const std::vector<qint16> &distances, const std::vector<quint16> &noise,
                           const std::vector<quint32> &peak)
{
    filterBefore = filter;
    const bool judged = filter.lastStdDev > kJudgedStdDev;
    qint64 sum = 0;
    for (size_t i = 0; i < distances.size(); ++i) {
        filter.noiseHits = step(filter.noiseHits, judged && noise[i] > kPoorNoiseAbove);
        filter.peakHits = step(filter.peakHits, judged && peak[i] < kWeakPeakBelow);
        sum += distances[i];
    }
    if (distances.empty())
        return;
    const qint64 mean = sum / qint64(distances.size());
    double squares = 0;
    for (qint16 d : distances)
        squares += double(d - mean) * double(d - mean);
    filter.lastStdDev = std::sqrt(squares / double(distances.size()));
}
