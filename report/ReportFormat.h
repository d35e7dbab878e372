#pragma once

#include "testrun/RunRecord.h"

#include <QString>

// How the report and the lot summary write figures and outcomes. Reports are
// records for people who may not read the window's language: English.
namespace ReportFormat {

// Millimetres of a mean, bias or deviation: 3 decimals, so a step of the
// mean over 500 frames (0.002 mm) still shows.
QString millimetres(double v);
// A limit as the plan gives it, without trailing zeros.
QString limitValue(double v);
QString percent(double v);
QString hertz(double v);
QString verdictName(TestRun::Verdict v); // "PASS", "FAIL", "INCOMPLETE"
QString outcomeName(TestRun::Outcome o); // "PASS", "FAIL", "not checked"
// ISO 8601 UTC with seconds ("2026-12-07T19:31:29Z"); empty when invalid.
QString utcTime(const QDateTime &t);
// The reference as a column or file name part: "500", "1250.5".
QString referenceName(double referenceMm);
// A CSV cell: quoted, inner quotes doubled, when it holds a comma, a quote or a line end.
QString csvField(const QString &s);

} // namespace ReportFormat
