#include "results/ResultsWriter.h"

#include "results/ResultsCodes.h"
#include "results/ResultsDatabase.h"
#include "results/RunRows.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace {
QString placeholders(int count)
{
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}
} // namespace

bool ResultsWriter::insertRun(ResultsDatabase &db, const TestRun::RunRecord &run, qint64 &runId)
{
    const QString invalid = RunRows::invalidRun(run);
    if (!invalid.isEmpty())
        return db.fail(invalid);
    ResultsDatabase::Transaction transaction(db);
    return transaction.isActive() && insertRunRow(db, run, false, runId) && transaction.commit();
}

bool ResultsWriter::storeStep(ResultsDatabase &db, qint64 runId, const TestRun::StepResult &step)
{
    return storeSteps(db, runId, {step});
}

bool ResultsWriter::storeSteps(ResultsDatabase &db, qint64 runId, const std::vector<TestRun::StepResult> &steps)
{
    for (const TestRun::StepResult &step : steps) {
        const QString invalid = RunRows::invalidStep(step);
        if (!invalid.isEmpty())
            return db.fail(invalid);
    }
    ResultsDatabase::Transaction transaction(db);
    if (!transaction.isActive())
        return false;
    for (const TestRun::StepResult &step : steps) {
        if (!replaceStep(db, runId, step))
            return false;
    }
    return transaction.commit();
}

bool ResultsWriter::finishRun(ResultsDatabase &db, qint64 runId, const TestRun::RunRecord &run)
{
    if (!run.finishedUtc.isValid())
        return db.fail(tr("第 %1 次测试没有结束时间").arg(runId));
    ResultsDatabase::Transaction transaction(db);
    if (!transaction.isActive())
        return false;
    QSqlQuery query(db.connection());
    query.prepare(QStringLiteral("UPDATE runs SET finished_utc = ?, verdict = ? WHERE id = ?"));
    query.addBindValue(ResultsCodes::timeText(run.finishedUtc));
    query.addBindValue(ResultsCodes::verdictCode(run.verdict));
    query.addBindValue(runId);
    if (!query.exec())
        return db.fail(tr("无法记录第 %1 次测试的结束").arg(runId), query.lastError());
    if (query.numRowsAffected() != 1)
        return db.fail(tr("第 %1 次测试不在数据库中").arg(runId));
    return transaction.commit();
}

bool ResultsWriter::copyRun(ResultsDatabase &db, const TestRun::RunRecord &run, qint64 &runId)
{
    const QString invalid = RunRows::invalidRun(run);
    if (!invalid.isEmpty())
        return db.fail(invalid);
    ResultsDatabase::Transaction transaction(db);
    if (!transaction.isActive() || !insertRunRow(db, run, true, runId))
        return false;
    for (const TestRun::StepResult &step : run.steps) {
        const QString invalidStep = RunRows::invalidStep(step);
        if (!invalidStep.isEmpty())
            return db.fail(invalidStep);
        if (!replaceStep(db, runId, step))
            return false;
    }
    return transaction.commit();
}

bool ResultsWriter::insertRunRow(ResultsDatabase &db, const TestRun::RunRecord &run, bool withEnd, qint64 &runId)
{
    // SQLite gives the new row's id without RETURNING, which older SQLite
    // libraries (such as those built into Qt) do not know.
    const bool sqlite = db.backend() == ResultsLocation::Backend::SQLite;
    const QStringList columns = RunRows::runColumns();
    QSqlQuery query(db.connection());
    query.prepare(QStringLiteral("INSERT INTO runs (%1) VALUES (%2)%3")
                      .arg(columns.join(QStringLiteral(", ")), placeholders(columns.size()),
                           sqlite ? QString() : QStringLiteral(" RETURNING id")));
    RunRows::bindRun(query, run, withEnd);
    if (!query.exec() || (!sqlite && !query.next()))
        return db.fail(tr("无法记录测试"), query.lastError());
    bool ok = false;
    runId = (sqlite ? query.lastInsertId() : query.value(0)).toLongLong(&ok);
    query.finish();
    return (ok && runId > 0) || db.fail(tr("数据库没有给出测试的编号"));
}

bool ResultsWriter::replaceStep(ResultsDatabase &db, qint64 runId, const TestRun::StepResult &step)
{
    QSqlQuery remove(db.connection());
    remove.prepare(QStringLiteral("DELETE FROM steps WHERE run_id = ? AND step_index = ?"));
    remove.addBindValue(runId);
    remove.addBindValue(step.index);
    if (!remove.exec())
        return db.fail(tr("无法记录第 %1 步").arg(step.index + 1), remove.lastError());
    const QStringList columns = QStringList(QStringLiteral("run_id")) + RunRows::stepColumns();
    QSqlQuery insert(db.connection());
    insert.prepare(QStringLiteral("INSERT INTO steps (%1) VALUES (%2)")
                       .arg(columns.join(QStringLiteral(", ")), placeholders(columns.size())));
    RunRows::bindStep(insert, runId, step);
    if (!insert.exec())
        return db.fail(tr("无法记录第 %1 步").arg(step.index + 1), insert.lastError());
    return true;
}
