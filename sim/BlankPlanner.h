#pragma once

#include <QtGlobal>

#include <vector>

// Makes the host's quality filter blank a chosen share of frames. The filter
// counts poor points (noise above 90 or peak below 4000) up and good points
// down, between 0 and 30, but only while the previous frame's distances
// spread by more than 200 mm; a frame ends blanked when a count is above 18.
// The planner keeps a copy of that filter fed with every frame the host gets,
// spaces the blanked frames evenly, and for each frame chooses which points
// come out poor and whether the frame spreads its distances, so that the
// count reaches 19 on the frames to blank and stays at 18 or below on the
// others. Frames of one point never spread, so they are never blanked.
class BlankPlanner {
public:
    static constexpr qint32 kPoorNoiseAbove = 90;
    static constexpr quint32 kWeakPeakBelow = 4000;

    struct FramePlan {
        bool steering = false;  // false: the points keep their natural quality
        std::vector<bool> poor; // per point, when steering
        bool spread = false;    // the frame must spread its distances
    };

    void setShare(double percent);
    FramePlan plan(int points);
    // The frame as the host gets it (distances, noise and peak per point).
    void observe(const std::vector<qint16> &distances, const std::vector<quint16> &noise,
                 const std::vector<quint32> &peak);
    // The last planned and observed frame never reached the host: the next
    // one takes its place, so the share counts the frames the host gets.
    void frameLost();

private:
    struct Filter {
        double lastStdDev = 0;
        int noiseHits = 0;
        int peakHits = 0;
    };

    int framesBeforeNextBlank(qint64 accumulated) const;
    static int targetCount(int framesBefore, int points);

    Filter filter;
    Filter filterBefore;
    qint64 shareMilli = 0;  // thousandths of a percent
    qint64 accumulated = 0; // the spacing's running sum, below 100 percent
    qint64 accumulatedBefore = 0;
};
