#pragma once

#include "testrun/RunRecord.h"

#include <QColor>

// The colours the test windows give verdicts and limit outcomes.
namespace VerdictStyle {

inline QColor passColor() { return QColor(0, 128, 0); }
inline QColor failColor() { return QColor(192, 0, 0); }
inline QColor incompleteColor() { return QColor(160, 100, 0); }

inline QColor verdictColor(TestRun::Verdict v)
{
    switch (v) {
    case TestRun::Verdict::Pass: return passColor();
    case TestRun::Verdict::Fail: return failColor();
    case TestRun::Verdict::Incomplete: return incompleteColor();
    }
    return QColor();
}

} // namespace VerdictStyle
