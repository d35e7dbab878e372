#pragma once

#include "testrun/PlanValidation.h"
#include "testrun/TestPlan.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace TestRun {

// Reads a plan in its JSON format and validates it. A key the format does
// not know, a key given twice, a value of the wrong type or out of range
// refuses the whole plan; `error` then names the key and the step.
std::optional<TestPlan> parsePlan(const QByteArray &json, PlanError *error = nullptr);

// The plan in its JSON format, keys in the format's order, two-level
// indentation, one line per step; parsePlan gives the same plan back.
QByteArray planToJson(const TestPlan &plan);

// The file's plan, or nothing with `why` set to a text for the user (the
// file unreadable, or the plan's first fault). `json` receives the file's
// bytes, which a run keeps as the plan it ran.
std::optional<TestPlan> readPlanFile(const QString &path, QString *why, QByteArray *json = nullptr);
// Writes all of it or leaves the file as it was.
bool writePlanFile(const QString &path, const TestPlan &plan, QString *why);

} // namespace TestRun
