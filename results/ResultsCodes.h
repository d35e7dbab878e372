#pragma once

#include "testrun/RunRecord.h"

#include <QDateTime>
#include <QString>

#include <optional>

// How the store writes verdicts, limit outcomes, unit ids and times, the
// same on every backend (and the same words the command-line tool prints).
namespace ResultsCodes {

// "PASS", "FAIL", "INCOMPLETE".
QString verdictCode(TestRun::Verdict verdict);
std::optional<TestRun::Verdict> verdictFromCode(const QString &code);

// "PASS", "FAIL", "not checked".
QString outcomeCode(TestRun::Outcome outcome);
std::optional<TestRun::Outcome> outcomeFromCode(const QString &code);

// True for exactly 24 lower-case hexadecimal digits: the three id words,
// leading zeros kept.
bool isUnitId(const QString &text);
// A unit id as a user may type it: surrounding blanks and upper case are
// forgiven, nothing else; empty when it is not 24 hexadecimal digits.
QString normalizedUnitId(const QString &text);

// UTC with milliseconds, fixed width ("2024-05-01T08:30:00.125Z"), so that
// text order is time order on every backend.
QString timeText(const QDateTime &time);
// Reads timeText() back (also without milliseconds); invalid for anything
// that is not an ISO 8601 UTC time.
QDateTime timeFromText(const QString &text);

} // namespace ResultsCodes
