#include "testrun/TestPlan.h"

namespace TestRun {

Limits mergedLimits(const Limits &plan, const Limits &step)
{
    Limits out = plan;
    if (step.biasMm)
        out.biasMm = step.biasMm;
    if (step.biasPercent)
        out.biasPercent = step.biasPercent;
    if (step.stdMm)
        out.stdMm = step.stdMm;
    if (step.blankedPercent)
        out.blankedPercent = step.blankedPercent;
    if (step.minRateHz)
        out.minRateHz = step.minRateHz;
    return out;
}

ResolvedStep resolveStep(const TestPlan &plan, int index)
{
    const PlanStep &step = plan.steps[std::size_t(index)];
    ResolvedStep out;
    out.index = index;
    out.referenceMm = step.referenceMm;
    out.frames = step.frames.value_or(plan.frames.value_or(0));
    out.settleS = step.settleS.value_or(plan.settleS);
    out.quantity = step.quantity.value_or(plan.quantity);
    out.minConfidence = step.minConfidence.value_or(plan.minConfidence);
    out.limits = mergedLimits(plan.limits, step.limits);
    out.command = step.command;
    out.commandTimeoutS = plan.commandTimeoutS;
    return out;
}

std::vector<ResolvedStep> resolveSteps(const TestPlan &plan)
{
    std::vector<ResolvedStep> out;
    out.reserve(plan.steps.size());
    for (std::size_t i = 0; i < plan.steps.size(); ++i)
        out.push_back(resolveStep(plan, int(i)));
    return out;
}

std::vector<PlanCommand> planCommands(const TestPlan &plan)
{
    std::vector<PlanCommand> out;
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        const PlanStep &step = plan.steps[i];
        if (!step.command.isEmpty())
            out.push_back({int(i), step.referenceMm, step.command});
    }
    return out;
}

bool operator==(const Limits &a, const Limits &b)
{
    return a.biasMm == b.biasMm && a.biasPercent == b.biasPercent && a.stdMm == b.stdMm
        && a.blankedPercent == b.blankedPercent && a.minRateHz == b.minRateHz;
}

bool operator==(const PlanStep &a, const PlanStep &b)
{
    return a.referenceMm == b.referenceMm && a.frames == b.frames && a.settleS == b.settleS
        && a.quantity == b.quantity && a.minConfidence == b.minConfidence && a.limits == b.limits
        && a.command == b.command;
}

bool operator==(const TestPlan &a, const TestPlan &b)
{
    return a.name == b.name && a.frames == b.frames && a.settleS == b.settleS && a.quantity == b.quantity
        && a.minConfidence == b.minConfidence && a.limits == b.limits && a.commandTimeoutS == b.commandTimeoutS
        && a.steps == b.steps;
}

} // namespace TestRun
