#pragma once

#include "testrun/RunRecord.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class QSqlQuery;

// The columns of a run and of a step, bound and read back in one order so
// that the two cannot drift apart. Reading checks every value: a NULL where
// the schema forbids one, a wrong type, a number out of range or an unknown
// verdict gives an error naming the run and the column, never a guess.
namespace RunRows {

// runs' columns after id, and steps' columns after run_id.
QStringList runColumns();
QStringList stepColumns();

// `withEnd`: the record's finish time and verdict; without, the run has just
// started (no finish time, INCOMPLETE).
void bindRun(QSqlQuery &query, const TestRun::RunRecord &run, bool withEnd);
void bindStep(QSqlQuery &query, qint64 runId, const TestRun::StepResult &step);

// Reads a row of "id, runColumns()" / "run_id, stepColumns()".
bool readRun(const QSqlQuery &query, TestRun::RunRecord &run, QString *error);
bool readStep(const QSqlQuery &query, qint64 &runId, TestRun::StepResult &step, QString *error);

// What the store refuses to write: an empty reason when `run` is sound.
QString invalidRun(const TestRun::RunRecord &run);
QString invalidStep(const TestRun::StepResult &step);

} // namespace RunRows
