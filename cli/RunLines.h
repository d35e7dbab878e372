#pragma once

#include "testrun/RunRecord.h"

#include <QString>

#include <cstddef>

// What `run` prints on standard output: one line per finished step with its
// figures, each checked limit's outcome and bound and the step's verdict,
// and at the end the run's verdict naming the steps that kept it from PASS.
namespace RunLines {

// "step 3  2000 mm  FAIL  frames 20 of 20  mean 2060.000 mm  bias 60.000 mm
// (FAIL, limit 40)  std 0.000 mm (PASS, limit 5)  blanked 0.00 % (not
// checked)  rate 100.0 Hz (not checked)", then "  error: WHY" when the step
// ended without a verdict of its own. Steps are counted from 1.
QString step(const TestRun::StepResult &step);
// "verdict: PASS", "verdict: FAIL (step 3 at 2000 mm: bias)", "verdict:
// INCOMPLETE (step 2 at 1000 mm: WHY; 2 of 4 steps not run)".
QString verdict(const TestRun::RunRecord &run, std::size_t plannedSteps);

} // namespace RunLines
