#pragma once

#include "testrun/RunRecord.h"
#include "workflow/RollingStatistics.h"

#include <QString>

#include <optional>
#include <vector>

namespace TestRun {

// `first`: the frame's first point distance; `mean`: the frame mean.
using Quantity = RollingStatistics::Quantity;

// One step as the plan file gives it: only the keys the step sets itself;
// everything else comes from the plan.
struct PlanStep {
    double referenceMm = 0;
    std::optional<qint64> frames;
    std::optional<double> settleS;
    std::optional<Quantity> quantity;
    std::optional<int> minConfidence;
    Limits limits;   // each limit set here replaces the plan's, one by one
    QString command; // run by the system shell before the settle time; empty: none
};

// A test plan as its file holds it: the defaults, then the steps.
struct TestPlan {
    static constexpr double kDefaultCommandTimeoutS = 60;

    QString name;
    std::optional<qint64> frames; // may be left to the steps
    double settleS = 0;
    Quantity quantity = Quantity::FirstPoint;
    int minConfidence = 0;
    Limits limits;
    double commandTimeoutS = kDefaultCommandTimeoutS;
    std::vector<PlanStep> steps;
};

// A step with the plan's defaults filled in: what the runner carries out.
struct ResolvedStep {
    int index = 0; // from 0
    double referenceMm = 0;
    qint64 frames = 0;
    double settleS = 0;
    Quantity quantity = Quantity::FirstPoint;
    int minConfidence = 0;
    Limits limits;
    QString command;
    double commandTimeoutS = TestPlan::kDefaultCommandTimeoutS;
};

// A command the plan would run, for the question asked before a plan from
// an unknown file runs.
struct PlanCommand {
    int stepIndex = 0;
    double referenceMm = 0;
    QString command;
};

// The plan's limits with the step's own laid over them, limit by limit.
Limits mergedLimits(const Limits &plan, const Limits &step);
// `index` must be below plan.steps.size(). A step whose frames neither it
// nor the plan sets gets 0 (a plan that passed validation never has one).
ResolvedStep resolveStep(const TestPlan &plan, int index);
std::vector<ResolvedStep> resolveSteps(const TestPlan &plan);
std::vector<PlanCommand> planCommands(const TestPlan &plan);

bool operator==(const Limits &a, const Limits &b);
bool operator==(const PlanStep &a, const PlanStep &b);
bool operator==(const TestPlan &a, const TestPlan &b);
inline bool operator!=(const TestPlan &a, const TestPlan &b) { return !(a == b); }

} // namespace TestRun
