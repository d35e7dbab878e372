#pragma once

#include "results/ResultsLocation.h"
#include "testrun/RunRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class ResultsDatabase;

// Which stored runs to list; every part optional.
struct RunFilter {
    QString unitId;                          // 24 hexadecimal digits; empty: every unit
    std::optional<TestRun::Verdict> verdict; // INCOMPLETE includes runs never finished
    QDateTime fromUtc;                       // started at or after; invalid: no bound
    QDateTime toUtc;                         // started before; invalid: no bound
    int last = 0;                            // only the newest N; 0: all
    bool withSteps = false;                  // fill each run's steps too
};

// One step of one run, for a unit's bias trend across its runs.
struct TrendPoint {
    qint64 runId = 0;
    QDateTime startedUtc;
    TestRun::Verdict runVerdict = TestRun::Verdict::Incomplete;
    int stepIndex = 0;
    double referenceMm = 0;
    double biasMm = 0; // not a number for a step without figures
    TestRun::Verdict stepVerdict = TestRun::Verdict::Incomplete;
};

// Reads stored runs for the results window and `lidar-cli results`; it
// never changes the database (an SQLite file must exist; a database without
// the store's tables holds no runs). Times are UTC. Every call returns false
// with error() on a database it cannot read or a value it cannot trust
// (named by run and column), and never hands out a partial answer.
class ResultsReader {
    Q_DECLARE_TR_FUNCTIONS(ResultsReader)
public:
    explicit ResultsReader(const ResultsLocation &location);
    ~ResultsReader();
    ResultsReader(const ResultsReader &) = delete;
    ResultsReader &operator=(const ResultsReader &) = delete;

    // Newest first (by start time, then by id).
    bool runs(const RunFilter &filter, std::vector<TestRun::RunRecord> &out);
    // One run with its steps in plan order; false when there is no such run.
    bool run(qint64 runId, TestRun::RunRecord &out);
    // Every step of every run of the unit, oldest run first, steps in order.
    bool unitTrend(const QString &unitId, std::vector<TrendPoint> &out);

    const ResultsLocation &location() const { return where; }
    QString error() const { return lastError; }

private:
    bool open();
    bool attachSteps(const QString &condition, const QVariantList &values, std::vector<TestRun::RunRecord> &runs);

    const ResultsLocation where;
    std::unique_ptr<ResultsDatabase> db;
    QString lastError;
};
