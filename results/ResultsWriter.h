#pragma once

#include "testrun/RunRecord.h"

#include <QCoreApplication>

class ResultsDatabase;

// Writes a run into an open results database, each call in a transaction of
// its own, so a failure leaves what was stored before it as it was. False
// with the reason in the database's error().
class ResultsWriter {
    Q_DECLARE_TR_FUNCTIONS(ResultsWriter)
public:
    // The run's row as it starts: no finish time, INCOMPLETE. Gives its id.
    static bool insertRun(ResultsDatabase &db, const TestRun::RunRecord &run, qint64 &runId);
    // One finished step; a step of the same index stored before (a retried
    // step) is replaced.
    static bool storeStep(ResultsDatabase &db, qint64 runId, const TestRun::StepResult &step);
    // Every step of the record at once (after a failed write: catching up).
    static bool storeSteps(ResultsDatabase &db, qint64 runId, const std::vector<TestRun::StepResult> &steps);
    // The finish time and the run's verdict.
    static bool finishRun(ResultsDatabase &db, qint64 runId, const TestRun::RunRecord &run);
    // The whole record in one transaction: the run's row (finished or not, as
    // the record says) and all its steps. Gives the new run's id.
    static bool copyRun(ResultsDatabase &db, const TestRun::RunRecord &run, qint64 &runId);

private:
    static bool insertRunRow(ResultsDatabase &db, const TestRun::RunRecord &run, bool withEnd, qint64 &runId);
    static bool replaceStep(ResultsDatabase &db, qint64 runId, const TestRun::StepResult &step);
};
