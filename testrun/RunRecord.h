#pragma once

#include "workflow/UnitIdentity.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

// What an accuracy run leaves behind: the unit it judged, the plan it ran,
// every step's figures with each limit and its outcome, and the verdict.
// One record is what the results store keeps, the report shows and the
// command-line tool prints; nothing in it refers to a window or a database.
namespace TestRun {

enum class Verdict { Pass, Fail, Incomplete };

// A limit's outcome; a limit the plan does not set is not checked.
enum class Outcome { Pass, Fail, NotChecked };

// The unit as it identified itself at the start of the run.
using UnitIdentity = ::UnitIdentity;

// The limits a plan sets, each optional: an absent limit is not checked.
struct Limits {
    std::optional<double> biasMm;
    std::optional<double> biasPercent;
    std::optional<double> stdMm;
    std::optional<double> blankedPercent;
    std::optional<double> minRateHz;
};

// One check of a step: its outcome and the bound it was held to for this
// step (the bias bound, bias_mm + bias_percent/100 x reference, grows with
// the reference; the rate's is a minimum, the others maxima).
struct Check {
    Outcome outcome = Outcome::NotChecked;
    double bound = 0;
};

struct StepResult {
    int index = 0;          // from 0, in plan order
    double referenceMm = 0;
    qint64 framesKept = 0;  // counted towards the figures
    qint64 framesSeen = 0;  // collected, kept or not (settle frames excluded)
    double meanMm = 0;
    double biasMm = 0;      // mean - reference
    double stdMm = 0;       // sample standard deviation (n - 1)
    double minMm = 0;
    double maxMm = 0;
    double medianMm = 0;
    double blankedPercent = 0;
    double rateHz = 0;
    Limits limits;          // as in force for this step
    Check bias;
    Check std;
    Check blanked;
    Check rate;
    Verdict verdict = Verdict::Incomplete;
    QString error;          // why the step ended without a verdict of its own
};

struct RunRecord {
    qint64 runId = 0;       // given by the store; 0 until stored
    UnitIdentity unit;
    QString planName;
    QString planJson;       // the plan exactly as run
    QDateTime startedUtc;
    QDateTime finishedUtc;  // invalid while the run goes on
    QString host;
    QString operatorName;   // the login name
    QString toolVersion;
    std::vector<StepResult> steps;
    Verdict verdict = Verdict::Incomplete;
};

} // namespace TestRun
