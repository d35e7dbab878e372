#pragma once

#include "testrun/TestPlan.h"

#include <QString>

#include <limits>
#include <optional>

namespace TestRun {

// Why a plan was refused, naming the key and the step, so that a misspelled
// or impossible limit never lets a sensor pass unchecked.
struct PlanError {
    enum class Kind {
        NotJson,         // `detail` holds the parser's reason, `offset` where
        UnknownKey,
        DuplicateKey,
        WrongType,       // `expected` says what the key takes
        Missing,         // absent, or an empty name
        OutOfRange,      // `range` says what the key takes
        NoSteps,
        NoLimits,        // the step would judge nothing
        TooFewFramesForStd,
    };
    enum class Expected { Number, WholeNumber, Text, Object, List, QuantityName };

    Kind kind = Kind::NotJson;
    int step = -1; // from 0; -1 for the plan's own keys
    QString key;   // as the file spells it; "limits.std_mm" for a limit
    Expected expected = Expected::Number;
    double minimum = 0;
    double maximum = 0;
    bool minimumExcluded = false;
    QString detail;
    qint64 offset = 0;
};

struct ValueRange {
    double minimum;
    double maximum;
    bool minimumExcluded = false;
    bool contains(double v) const { return (minimumExcluded ? v > minimum : v >= minimum) && v <= maximum; }
};

namespace PlanRanges {
constexpr ValueRange kFrames{1, 10000000};
constexpr ValueRange kSettleS{0, 86400};
constexpr ValueRange kMinConfidence{0, 255};
constexpr ValueRange kCommandTimeoutS{0, 86400, true};
// The device reports distances as signed 16-bit millimetres.
constexpr ValueRange kReferenceMm{0, 32767, true};
constexpr ValueRange kLimit{0, std::numeric_limits<double>::max()};
} // namespace PlanRanges

// The first thing that makes `plan` unfit to run, or nothing. Checks what
// the JSON reader cannot: values in range, every step with its frame count,
// at least one limit per step, two frames at least where a deviation is bounded.
std::optional<PlanError> validatePlan(const TestPlan &plan);

} // namespace TestRun
