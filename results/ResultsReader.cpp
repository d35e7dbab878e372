#include "results/ResultsReader.h"

#include "results/ResultsCodes.h"
#include "results/ResultsDatabase.h"
#include "results/RunRows.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <algorithm>

namespace {
QString runSelect()
{
    return QStringLiteral("SELECT id, %1 FROM runs").arg(RunRows::runColumns().join(QStringLiteral(", ")));
}

void bindAll(QSqlQuery &query, const QVariantList &values)
{
    for (const QVariant &value : values)
        query.addBindValue(value);
}
} // namespace

ResultsReader::ResultsReader(const ResultsLocation &location)
    : where(location)
{
}

ResultsReader::~ResultsReader() = default;

bool ResultsReader::open()
{
    lastError.clear();
    if (db && db->isOpen())
        return true;
    db = std::make_unique<ResultsDatabase>(where);
    if (db->open(ResultsDatabase::Mode::ReadOnly))
        return true;
    lastError = db->error();
    db.reset();
    return false;
}

bool ResultsReader::runs(const RunFilter &filter, std::vector<TestRun::RunRecord> &out)
{
    out.clear();
    QStringList conditions;
    QVariantList values;
    if (!filter.unitId.isEmpty()) {
        const QString unit = ResultsCodes::normalizedUnitId(filter.unitId);
        if (unit.isEmpty()) {
            lastError = tr("单元编号 %1 应为 24 位十六进制数字（三个 8 位的字，保留前导零）").arg(filter.unitId);
            return false;
        }
        conditions << QStringLiteral("unit_id = ?");
        values << unit;
    }
    if (filter.verdict == TestRun::Verdict::Incomplete) {
        conditions << QStringLiteral("(verdict = 'INCOMPLETE' OR finished_utc IS NULL)");
    } else if (filter.verdict) {
        conditions << QStringLiteral("verdict = ? AND finished_utc IS NOT NULL");
        values << ResultsCodes::verdictCode(*filter.verdict);
    }
    if (filter.fromUtc.isValid()) {
        conditions << QStringLiteral("started_utc >= ?");
        values << ResultsCodes::timeText(filter.fromUtc);
    }
    if (filter.toUtc.isValid()) {
        conditions << QStringLiteral("started_utc < ?");
        values << ResultsCodes::timeText(filter.toUtc);
    }
    if (filter.last < 0) {
        lastError = tr("显示的测试数 %1 不能为负").arg(filter.last);
        return false;
    }
    if (!open())
        return false;
    if (!db->hasSchema())
        return true;

    QString tail;
    if (!conditions.isEmpty())
        tail += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    tail += QStringLiteral(" ORDER BY started_utc DESC, id DESC");
    if (filter.last > 0)
        tail += QStringLiteral(" LIMIT %1").arg(filter.last);
    QSqlQuery query(db->connection());
    query.prepare(runSelect() + tail);
    bindAll(query, values);
    if (!query.exec()) {
        db->fail(tr("无法读取测试"), query.lastError());
        lastError = db->error();
        return false;
    }
    while (query.next()) {
        TestRun::RunRecord run;
        if (!RunRows::readRun(query, run, &lastError)) {
            lastError = tr("结果数据库 %1：%2").arg(where.displayText(), lastError);
            out.clear();
            return false;
        }
        out.push_back(std::move(run));
    }
    if (!filter.withSteps || out.empty())
        return true;
    if (attachSteps(QStringLiteral("run_id IN (SELECT id FROM runs%1)").arg(tail), values, out))
        return true;
    out.clear();
    return false;
}

bool ResultsReader::run(qint64 runId, TestRun::RunRecord &out)
{
    out = TestRun::RunRecord();
    if (!open())
        return false;
    if (db->hasSchema()) {
        QSqlQuery query(db->connection());
        query.prepare(runSelect() + QStringLiteral(" WHERE id = ?"));
        query.addBindValue(runId);
        if (!query.exec()) {
            db->fail(tr("无法读取测试"), query.lastError());
            lastError = db->error();
            return false;
        }
        if (query.next()) {
            std::vector<TestRun::RunRecord> found(1);
            if (!RunRows::readRun(query, found.front(), &lastError)) {
                lastError = tr("结果数据库 %1：%2").arg(where.displayText(), lastError);
                return false;
            }
            if (!attachSteps(QStringLiteral("run_id = ?"), {runId}, found))
                return false;
            out = std::move(found.front());
            return true;
        }
    }
    lastError = tr("结果数据库 %1 中没有第 %2 次测试").arg(where.displayText()).arg(runId);
    return false;
}

bool ResultsReader::unitTrend(const QString &unitId, std::vector<TrendPoint> &out)
{
    out.clear();
    RunFilter filter;
    filter.unitId = unitId;
    filter.withSteps = true;
    std::vector<TestRun::RunRecord> found;
    if (!runs(filter, found))
        return false;
    std::reverse(found.begin(), found.end());
    for (const TestRun::RunRecord &run : found) {
        for (const TestRun::StepResult &step : run.steps)
            out.push_back({run.runId, run.startedUtc, run.verdict, step.index, step.referenceMm, step.biasMm,
                           step.verdict});
    }
    return true;
}

// The steps that `condition` selects, into the records of their runs.
bool ResultsReader::attachSteps(const QString &condition, const QVariantList &values,
                                std::vector<TestRun::RunRecord> &runs)
{
    QHash<qint64, TestRun::RunRecord *> byId;
    for (TestRun::RunRecord &run : runs)
        byId.insert(run.runId, &run);
    QSqlQuery query(db->connection());
    query.prepare(QStringLiteral("SELECT run_id, %1 FROM steps WHERE %2 ORDER BY run_id, step_index")
                      .arg(RunRows::stepColumns().join(QStringLiteral(", ")), condition));
    bindAll(query, values);
    if (!query.exec()) {
        db->fail(tr("无法读取步骤"), query.lastError());
        lastError = db->error();
        return false;
    }
    while (query.next()) {
        qint64 runId = 0;
        TestRun::StepResult step;
        if (!RunRows::readStep(query, runId, step, &lastError)) {
            lastError = tr("结果数据库 %1：%2").arg(where.displayText(), lastError);
            return false;
        }
        if (TestRun::RunRecord *run = byId.value(runId))
            run->steps.push_back(std::move(step));
    }
    return true;
}
