#pragma once

#include "testrun/RunRecord.h"

#include <optional>
#include <vector>

// The limits of an accuracy run as pure functions of a step's figures.
namespace TestRun {

// Differences this small (in the figure's own unit: mm, %, Hz) are the
// rounding of double arithmetic, never a measured difference: a mean over
// at most 10^7 whole-millimetre frames moves in steps of 10^-7 mm. So a
// figure that lands on its limit passes however the last bit rounded.
constexpr double kLimitTolerance = 1e-9;

bool withinMaximum(double value, double maximum);
bool withinMinimum(double value, double minimum);

// bias_mm + bias_percent/100 x reference; an absent part counts as 0;
// nothing when both are absent.
std::optional<double> biasBound(const Limits &limits, double referenceMm);

// A check that needs frames the step does not have fails: an unproven
// figure never passes. The bias and the deviation need kept frames (two for
// the deviation), the blanked share and the rate frames seen; the rate of
// fewer than two frames is 0.
Check checkBias(const Limits &limits, double referenceMm, double meanMm, qint64 framesKept);
Check checkStd(const Limits &limits, double stdMm, qint64 framesKept);
Check checkBlanked(const Limits &limits, double blankedPercent, qint64 framesSeen);
Check checkRate(const Limits &limits, double rateHz, qint64 framesSeen);

// Fills the step's four checks from its figures and step.limits, then its
// verdict: Incomplete when the step has an error or checked nothing, Pass
// when every checked limit passed, Fail otherwise.
void evaluateStep(StepResult &step);

// Pass only when all `plannedSteps` steps are there and passed; any step
// Incomplete (or missing) makes the run Incomplete, even after a failed
// step; Fail otherwise.
Verdict runVerdict(const std::vector<StepResult> &steps, std::size_t plannedSteps);

} // namespace TestRun
