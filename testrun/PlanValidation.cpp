#include "testrun/PlanValidation.h"

#include <cmath>

namespace TestRun {

namespace {

std::optional<PlanError> outOfRange(int step, const QString &key, const ValueRange &range)
{
    PlanError e;
    e.kind = PlanError::Kind::OutOfRange;
    e.step = step;
    e.key = key;
    e.minimum = range.minimum;
    e.maximum = range.maximum;
    e.minimumExcluded = range.minimumExcluded;
    return e;
}

std::optional<PlanError> check(double value, const ValueRange &range, int step, const QString &key)
{
    if (std::isfinite(value) && range.contains(value))
        return std::nullopt;
    return outOfRange(step, key, range);
}

template<typename T>
std::optional<PlanError> checkOptional(const std::optional<T> &value, const ValueRange &range, int step,
                                       const QString &key)
{
    return value ? check(double(*value), range, step, key) : std::nullopt;
}

std::optional<PlanError> checkLimits(const Limits &limits, int step)
{
    const std::pair<const std::optional<double> &, const char *> all[] = {
        {limits.biasMm, "limits.bias_mm"},
        {limits.biasPercent, "limits.bias_percent"},
        {limits.stdMm, "limits.std_mm"},
        {limits.blankedPercent, "limits.blanked_percent"},
        {limits.minRateHz, "limits.min_rate_hz"},
    };
    for (const auto &[value, key] : all)
        if (auto e = checkOptional(value, PlanRanges::kLimit, step, QLatin1String(key)))
            return e;
    return std::nullopt;
}

PlanError simple(PlanError::Kind kind, int step, const QString &key)
{
    PlanError e;
    e.kind = kind;
    e.step = step;
    e.key = key;
    return e;
}

bool anyLimit(const Limits &l)
{
    return l.biasMm || l.biasPercent || l.stdMm || l.blankedPercent || l.minRateHz;
}

std::optional<PlanError> checkStep(const TestPlan &plan, int index)
{
    const PlanStep &step = plan.steps[std::size_t(index)];
    if (auto e = check(step.referenceMm, PlanRanges::kReferenceMm, index, QStringLiteral("reference_mm")))
        return e;
    if (auto e = checkOptional(step.frames, PlanRanges::kFrames, index, QStringLiteral("frames")))
        return e;
    if (auto e = checkOptional(step.settleS, PlanRanges::kSettleS, index, QStringLiteral("settle_s")))
        return e;
    if (auto e = checkOptional(step.minConfidence, PlanRanges::kMinConfidence, index, QStringLiteral("min_confidence")))
        return e;
    if (auto e = checkLimits(step.limits, index))
        return e;
    const ResolvedStep resolved = resolveStep(plan, index);
    if (resolved.frames == 0)
        return simple(PlanError::Kind::Missing, index, QStringLiteral("frames"));
    if (!anyLimit(resolved.limits))
        return simple(PlanError::Kind::NoLimits, index, QStringLiteral("limits"));
    if (resolved.limits.stdMm && resolved.frames < 2)
        return simple(PlanError::Kind::TooFewFramesForStd, index, QStringLiteral("limits.std_mm"));
    return std::nullopt;
}

} // namespace

std::optional<PlanError> validatePlan(const TestPlan &plan)
{
    if (plan.name.trimmed().isEmpty())
        return simple(PlanError::Kind::Missing, -1, QStringLiteral("name"));
    if (auto e = checkOptional(plan.frames, PlanRanges::kFrames, -1, QStringLiteral("frames")))
        return e;
    if (auto e = check(plan.settleS, PlanRanges::kSettleS, -1, QStringLiteral("settle_s")))
        return e;
    if (auto e = check(plan.minConfidence, PlanRanges::kMinConfidence, -1, QStringLiteral("min_confidence")))
        return e;
    if (auto e = check(plan.commandTimeoutS, PlanRanges::kCommandTimeoutS, -1, QStringLiteral("command_timeout_s")))
        return e;
    if (auto e = checkLimits(plan.limits, -1))
        return e;
    if (plan.steps.empty())
        return simple(PlanError::Kind::NoSteps, -1, QStringLiteral("steps"));
    for (std::size_t i = 0; i < plan.steps.size(); ++i)
        if (auto e = checkStep(plan, int(i)))
            return e;
    return std::nullopt;
}

} // namespace TestRun
