#pragma once

#include "testrun/RunRecord.h"

#include <vector>

namespace TestRun {

// The least-squares line of measured mean against reference over the steps
// that have figures: measured = slope x reference + offset.
struct LinearityFit {
    enum class Status { Fitted, TooFewPoints, ReferencesEqual };

    Status status = Status::TooFewPoints;
    int points = 0;
    double slope = 0;
    double offsetMm = 0;
    // 1 when the line explains every point, including the degenerate case of
    // equal measured means (a slope of 0 then shows the fault).
    double rSquared = 0;
    double largestResidualMm = 0; // signed: measured - fitted, largest in size
    double largestResidualAtMm = 0; // the reference where it occurs

    bool fitted() const { return status == Status::Fitted; }
};

struct FitPoint {
    double referenceMm = 0;
    double measuredMm = 0;
};

LinearityFit fitLine(const std::vector<FitPoint> &points);
// Over the steps without an error that kept at least one frame.
LinearityFit fitLinearity(const std::vector<StepResult> &steps);

} // namespace TestRun
