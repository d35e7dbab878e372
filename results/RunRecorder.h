#pragma once

#include "results/ResultsLocation.h"
#include "testrun/RunRecord.h"

#include <QCoreApplication>
#include <QString>

#include <functional>
#include <memory>

class ResultsDatabase;

// Stores one accuracy run as it goes: the run's row when it starts, each
// finished step in its own transaction, then the finish time and verdict.
//
// A run is never lost to an unreachable database: when the configured one
// (a server, or a file other than the local one) cannot be opened or fails a
// write, at the start or in the middle of the run, the whole run as the
// record holds it (steps stored on the server included) is written to the
// local SQLite file, and the rest of the run goes there; notice() then says
// so, for the window and the command-line tool to show. The part already on
// the server stays there and reads as INCOMPLETE. When even the local file
// fails, the call returns false with error(), and the next call writes
// whatever is missing again.
//
// Each call takes the record as the runner holds it; run.runId is set to the
// run's id in the database that holds it now.
class RunRecorder {
    Q_DECLARE_TR_FUNCTIONS(RunRecorder)
public:
    explicit RunRecorder(const ResultsLocation &configured,
                         const ResultsLocation &local = ResultsLocation::localDefault());
    ~RunRecorder();
    RunRecorder(const RunRecorder &) = delete;
    RunRecorder &operator=(const RunRecorder &) = delete;

    bool start(TestRun::RunRecord &run);
    // `step` has just finished (it may be in run.steps already, or not yet);
    // a result of the same index stored before is replaced.
    bool storeStep(TestRun::RunRecord &run, const TestRun::StepResult &step);
    // The record's finish time and verdict.
    bool finish(TestRun::RunRecord &run);

    // Where the run is kept now (the configured database, or the local file).
    const ResultsLocation &location() const;
    bool usesLocalFallback() const { return fellBack; }
    // Why the run went to the local file; empty while it has not.
    QString notice() const { return fallbackNotice; }
    // Why the last call failed; empty after a call that stored.
    QString error() const { return lastError; }

private:
    bool store(TestRun::RunRecord &run, const std::function<bool(ResultsDatabase &)> &write);
    bool fallBack(TestRun::RunRecord &run, const QString &why);
    bool copyWhole(TestRun::RunRecord &run, const ResultsLocation &target);

    const ResultsLocation configured;
    const ResultsLocation local;
    std::unique_ptr<ResultsDatabase> db;
    bool fellBack = false;
    bool fallbackMidRun = false;
    QString fallbackReason;
    bool started = false;
    // A write failed since the run's row was made: the next call stores all
    // the record's steps again.
    bool behind = false;
    qint64 runId = 0;
    QString fallbackNotice;
    QString lastError;
};
