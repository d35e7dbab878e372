#pragma once

#include "testrun/LimitEvaluation.h"
#include "testrun/TestPlanJson.h"

// A run as the runner would leave it, for the report's tests and benchmark:
// `steps` steps 250 mm apart from 500 mm, limits of the plan (bias 20 mm +
// 1 %, std 15 mm, rate 50 Hz; blanked share not checked), the second step
// with its own std limit of 5 mm, which its 5.75 mm fails.
inline TestRun::RunRecord sampleRun(int steps)
{
    using namespace TestRun;
    TestPlan plan;
    plan.name = QStringLiteral("Accuracy 0.5-4 m");
    plan.frames = 500;
    plan.settleS = 1;
    plan.limits.biasMm = 20;
    plan.limits.biasPercent = 1;
    plan.limits.stdMm = 15;
    plan.limits.minRateHz = 50;
    for (int i = 0; i < steps; ++i) {
        PlanStep step;
        step.referenceMm = 500 + 250 * i;
        if (i == 1)
            step.limits.stdMm = 5;
        plan.steps.push_back(step);
    }

    RunRecord run;
    run.unit.unitId = QStringLiteral("0033002b3538510c20363733");
    run.unit.firmware = QStringLiteral("1.2.3");
    run.unit.hardware = 5;
    run.unit.calibration.ck = 7;
    run.unit.calibration.offset_cal = -10;
    run.unit.calibration.xtalk_peak = 4294967295u;
    run.unit.calibration.pileup_3 = -123456;
    run.unit.bvd = 42;
    run.planName = plan.name;
    run.planJson = QString::fromUtf8(planToJson(plan));
    run.startedUtc = QDateTime(QDate(2026, 12, 7), QTime(19, 31, 29), Qt::UTC);
    run.finishedUtc = run.startedUtc.addSecs(60 * steps);
    run.host = QStringLiteral("bench-3");
    run.operatorName = QStringLiteral("mlee");
    run.toolVersion = QStringLiteral("1.0.0");
    for (int i = 0; i < steps; ++i) {
        const ResolvedStep planned = resolveStep(plan, i);
        StepResult s;
        s.index = i;
        s.referenceMm = planned.referenceMm;
        s.limits = planned.limits;
        s.framesKept = 500 - i;
        s.framesSeen = 500;
        s.meanMm = s.referenceMm + 1.25 * (i + 1);
        s.biasMm = s.meanMm - s.referenceMm;
        s.stdMm = 2 + 3.5 * (i % 2) + 0.25 * i;
        s.minMm = s.referenceMm - 8;
        s.maxMm = s.referenceMm + 11;
        s.medianMm = s.referenceMm + 1.5;
        s.blankedPercent = 0.2 * i;
        s.rateHz = 100.5;
        evaluateStep(s);
        run.steps.push_back(s);
    }
    run.verdict = runVerdict(run.steps, plan.steps.size());
    return run;
}
