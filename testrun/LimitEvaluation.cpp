#include "testrun/LimitEvaluation.h"

#include <cmath>

namespace TestRun {

namespace {

Outcome outcomeOf(bool passed)
{
    return passed ? Outcome::Pass : Outcome::Fail;
}

} // namespace

bool withinMaximum(double value, double maximum)
{
    return value <= maximum + kLimitTolerance;
}

bool withinMinimum(double value, double minimum)
{
    return value >= minimum - kLimitTolerance;
}

std::optional<double> biasBound(const Limits &limits, double referenceMm)
{
    if (!limits.biasMm && !limits.biasPercent)
        return std::nullopt;
    return limits.biasMm.value_or(0) + limits.biasPercent.value_or(0) / 100.0 * referenceMm;
}

Check checkBias(const Limits &limits, double referenceMm, double meanMm, qint64 framesKept)
{
    const auto bound = biasBound(limits, referenceMm);
    if (!bound)
        return Check();
    return {outcomeOf(framesKept > 0 && withinMaximum(std::fabs(meanMm - referenceMm), *bound)), *bound};
}

Check checkStd(const Limits &limits, double stdMm, qint64 framesKept)
{
    if (!limits.stdMm)
        return Check();
    return {outcomeOf(framesKept > 1 && withinMaximum(stdMm, *limits.stdMm)), *limits.stdMm};
}

Check checkBlanked(const Limits &limits, double blankedPercent, qint64 framesSeen)
{
    if (!limits.blankedPercent)
        return Check();
    return {outcomeOf(framesSeen > 0 && withinMaximum(blankedPercent, *limits.blankedPercent)),
            *limits.blankedPercent};
}

Check checkRate(const Limits &limits, double rateHz, qint64 framesSeen)
{
    if (!limits.minRateHz)
        return Check();
    return {outcomeOf(framesSeen > 0 && withinMinimum(rateHz, *limits.minRateHz)), *limits.minRateHz};
}

void evaluateStep(StepResult &step)
{
    step.bias = checkBias(step.limits, step.referenceMm, step.meanMm, step.framesKept);
    step.std = checkStd(step.limits, step.stdMm, step.framesKept);
    step.blanked = checkBlanked(step.limits, step.blankedPercent, step.framesSeen);
    step.rate = checkRate(step.limits, step.rateHz, step.framesSeen);
    bool checked = false;
    bool failed = false;
    for (const Check *c : {&step.bias, &step.std, &step.blanked, &step.rate}) {
        checked = checked || c->outcome != Outcome::NotChecked;
        failed = failed || c->outcome == Outcome::Fail;
    }
    if (!step.error.isEmpty() || !checked)
        step.verdict = Verdict::Incomplete;
    else
        step.verdict = failed ? Verdict::Fail : Verdict::Pass;
}

Verdict runVerdict(const std::vector<StepResult> &steps, std::size_t plannedSteps)
{
    if (steps.size() < plannedSteps || steps.empty())
        return Verdict::Incomplete;
    bool failed = false;
    for (const StepResult &step : steps) {
        if (step.verdict == Verdict::Incomplete)
            return Verdict::Incomplete;
        failed = failed || step.verdict == Verdict::Fail;
    }
    return failed ? Verdict::Fail : Verdict::Pass;
}

} // namespace TestRun
