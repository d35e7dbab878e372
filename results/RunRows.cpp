#include "results/RunRows.h"

#include "results/ResultsCodes.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <cmath>
#include <limits>

namespace {

using TestRun::Check;
using TestRun::RunRecord;
using TestRun::StepResult;

// A figure as stored: not-a-number as NULL and zero without its sign, as
// SQLite keeps neither, so that both backends give back the same bits.
QVariant figure(double value)
{
    if (std::isnan(value))
        return QVariant(QVariant::Double);
    return value == 0 ? QVariant(0.0) : QVariant(value);
}

QVariant limit(const std::optional<double> &value)
{
    return value ? figure(*value) : QVariant(QVariant::Double);
}

// Qt binds a null QString as NULL; an empty text is still a text.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QLatin1String("")) : QVariant(value);
}

QVariant time(const QDateTime &value)
{
    return value.isValid() ? QVariant(ResultsCodes::timeText(value)) : QVariant(QVariant::String);
}

// Reads one row's values, keeping the first fault with the column it was in.
class RowReader {
    Q_DECLARE_TR_FUNCTIONS(RowReader)
public:
    RowReader(const QSqlQuery &query, QString subject)
        : query(query)
        , subject(std::move(subject))
    {
    }

    bool ok() const { return fault.isEmpty(); }
    QString error() const { return fault; }

    QString text(int col)
    {
        const QVariant v = query.value(col);
        if (v.isNull())
            return failed(col, tr("为空"), QString());
        return v.toString();
    }

    qint64 integer(int col, qint64 min, qint64 max)
    {
        const QVariant v = query.value(col);
        if (v.isNull())
            return failed(col, tr("为空"), 0);
        bool ok = false;
        qint64 n = 0;
        if (v.type() == QVariant::Double) {
            const double d = v.toDouble();
            ok = std::trunc(d) == d && std::abs(d) < 9.0e15;
            n = ok ? qint64(d) : 0;
        } else {
            n = v.toLongLong(&ok);
        }
        if (!ok)
            return failed(col, tr("%1 不是整数").arg(v.toString()), 0);
        if (n < min || n > max)
            return failed(col, tr("%1 超出范围 %2 至 %3").arg(n).arg(min).arg(max), 0);
        return n;
    }

    // NULL is a figure that was not a number.
    double real(int col)
    {
        const QVariant v = query.value(col);
        return v.isNull() ? std::numeric_limits<double>::quiet_NaN() : number(col, v);
    }

    std::optional<double> optionalReal(int col)
    {
        const QVariant v = query.value(col);
        if (v.isNull())
            return std::nullopt;
        return number(col, v);
    }

    QDateTime time(int col, bool nullable)
    {
        const QVariant v = query.value(col);
        if (v.isNull())
            return nullable ? QDateTime() : failed(col, tr("为空"), QDateTime());
        const QDateTime t = ResultsCodes::timeFromText(v.toString());
        if (!t.isValid())
            return failed(col, tr("%1 不是 UTC 时间").arg(v.toString()), QDateTime());
        return t;
    }

    TestRun::Verdict verdict(int col)
    {
        const QString code = text(col);
        const auto verdict = ResultsCodes::verdictFromCode(code);
        if (!ok())
            return TestRun::Verdict::Incomplete;
        return verdict ? *verdict : failed(col, tr("%1 不是已知的判定").arg(code), TestRun::Verdict::Incomplete);
    }

    Check check(int col)
    {
        Check check;
        const QString code = text(col);
        const auto outcome = ResultsCodes::outcomeFromCode(code);
        if (ok() && !outcome)
            failed(col, tr("%1 不是已知的结果").arg(code), 0);
        check.outcome = outcome.value_or(TestRun::Outcome::NotChecked);
        check.bound = real(col + 1);
        return check;
    }

    template <typename T>
    T failed(int col, const QString &why, T value)
    {
        if (fault.isEmpty())
            fault = tr("%1，%2 列：%3").arg(subject, query.record().fieldName(col), why);
        return value;
    }

private:
    double number(int col, const QVariant &v)
    {
        bool ok = false;
        const double d = v.toDouble(&ok);
        return ok ? d : failed(col, tr("%1 不是数").arg(v.toString()), 0.0);
    }

    const QSqlQuery &query;
    const QString subject;
    QString fault;
};

} // namespace

namespace RunRows {

QStringList runColumns()
{
    return {QStringLiteral("unit_id"),
            QStringLiteral("firmware"),
            QStringLiteral("hardware"),
            QStringLiteral("cal_ck"),
            QStringLiteral("cal_xtalk_cal"),
            QStringLiteral("cal_mp_cal"),
            QStringLiteral("cal_cg_cal"),
            QStringLiteral("cal_offset_cal"),
            QStringLiteral("cal_reftof"),
            QStringLiteral("cal_xtalk_peak"),
            QStringLiteral("cal_k"),
            QStringLiteral("cal_pileup_1"),
            QStringLiteral("cal_pileup_2"),
            QStringLiteral("cal_pileup_3"),
            QStringLiteral("cal_masum"),
            QStringLiteral("cal_bvd"),
            QStringLiteral("plan_name"),
            QStringLiteral("plan_json"),
            QStringLiteral("started_utc"),
            QStringLiteral("finished_utc"),
            QStringLiteral("host"),
            QStringLiteral("operator"),
            QStringLiteral("tool_version"),
            QStringLiteral("verdict")};
}

QStringList stepColumns()
{
    return {QStringLiteral("step_index"),
            QStringLiteral("reference_mm"),
            QStringLiteral("frames_kept"),
            QStringLiteral("frames_seen"),
            QStringLiteral("mean_mm"),
            QStringLiteral("bias_mm"),
            QStringLiteral("std_mm"),
            QStringLiteral("min_mm"),
            QStringLiteral("max_mm"),
            QStringLiteral("median_mm"),
            QStringLiteral("blanked_percent"),
            QStringLiteral("rate_hz"),
            QStringLiteral("limit_bias_mm"),
            QStringLiteral("limit_bias_percent"),
            QStringLiteral("limit_std_mm"),
            QStringLiteral("limit_blanked_percent"),
            QStringLiteral("limit_min_rate_hz"),
            QStringLiteral("bias_check"),
            QStringLiteral("bias_bound_mm"),
            QStringLiteral("std_check"),
            QStringLiteral("std_bound_mm"),
            QStringLiteral("blanked_check"),
            QStringLiteral("blanked_bound_percent"),
            QStringLiteral("rate_check"),
            QStringLiteral("rate_bound_hz"),
            QStringLiteral("verdict"),
            QStringLiteral("error")};
}

void bindRun(QSqlQuery &query, const RunRecord &run, bool withEnd)
{
    const CaliParam &cal = run.unit.calibration;
    const bool finished = withEnd && run.finishedUtc.isValid();
    for (const QVariant &value :
         {text(run.unit.unitId), text(run.unit.firmware), QVariant(qint64(run.unit.hardware)), QVariant(int(cal.ck)),
          QVariant(int(cal.xtalk_cal)), QVariant(int(cal.MP_cal)), QVariant(int(cal.cg_cal)),
          QVariant(int(cal.offset_cal)), QVariant(int(cal.reftof)), QVariant(qint64(cal.xtalk_peak)),
          QVariant(qint64(cal.k)), QVariant(qint64(cal.pileup_1)), QVariant(qint64(cal.pileup_2)),
          QVariant(qint64(cal.pileup_3)), QVariant(qint64(cal.masum)), QVariant(int(run.unit.bvd)),
          text(run.planName), text(run.planJson), time(run.startedUtc),
          finished ? time(run.finishedUtc) : QVariant(QVariant::String), text(run.host), text(run.operatorName),
          text(run.toolVersion),
          QVariant(ResultsCodes::verdictCode(finished ? run.verdict : TestRun::Verdict::Incomplete))})
        query.addBindValue(value);
}

void bindStep(QSqlQuery &query, qint64 runId, const StepResult &step)
{
    const TestRun::Limits &l = step.limits;
    for (const QVariant &value :
         {QVariant(runId), QVariant(step.index), figure(step.referenceMm), QVariant(step.framesKept),
          QVariant(step.framesSeen), figure(step.meanMm), figure(step.biasMm), figure(step.stdMm),
          figure(step.minMm), figure(step.maxMm), figure(step.medianMm), figure(step.blankedPercent),
          figure(step.rateHz), limit(l.biasMm), limit(l.biasPercent), limit(l.stdMm), limit(l.blankedPercent),
          limit(l.minRateHz), QVariant(ResultsCodes::outcomeCode(step.bias.outcome)), figure(step.bias.bound),
          QVariant(ResultsCodes::outcomeCode(step.std.outcome)), figure(step.std.bound),
          QVariant(ResultsCodes::outcomeCode(step.blanked.outcome)), figure(step.blanked.bound),
          QVariant(ResultsCodes::outcomeCode(step.rate.outcome)), figure(step.rate.bound),
          QVariant(ResultsCodes::verdictCode(step.verdict)), text(step.error)})
        query.addBindValue(value);
}

bool readRun(const QSqlQuery &query, RunRecord &run, QString *error)
{
    constexpr qint64 kInt32Min = std::numeric_limits<qint32>::min();
    constexpr qint64 kInt32Max = std::numeric_limits<qint32>::max();
    int c = 0;
    run = RunRecord();
    RowReader row(query, RowReader::tr("第 %1 次测试").arg(query.value(0).toString()));
    run.runId = row.integer(c++, 1, std::numeric_limits<qint64>::max());
    run.unit.unitId = row.text(c++);
    if (row.ok() && !ResultsCodes::isUnitId(run.unit.unitId))
        row.failed(c - 1, RowReader::tr("%1 不是 24 位小写十六进制数字").arg(run.unit.unitId), 0);
    run.unit.firmware = row.text(c++);
    run.unit.hardware = quint32(row.integer(c++, 0, 0xffffffffLL));
    CaliParam &cal = run.unit.calibration;
    cal.ck = quint8(row.integer(c++, 0, 255));
    cal.xtalk_cal = quint8(row.integer(c++, 0, 255));
    cal.MP_cal = quint8(row.integer(c++, 0, 255));
    cal.cg_cal = quint8(row.integer(c++, 0, 255));
    cal.offset_cal = qint16(row.integer(c++, -32768, 32767));
    cal.reftof = qint16(row.integer(c++, -32768, 32767));
    cal.xtalk_peak = quint32(row.integer(c++, 0, 0xffffffffLL));
    cal.k = qint32(row.integer(c++, kInt32Min, kInt32Max));
    cal.pileup_1 = qint32(row.integer(c++, kInt32Min, kInt32Max));
    cal.pileup_2 = qint32(row.integer(c++, kInt32Min, kInt32Max));
    cal.pileup_3 = qint32(row.integer(c++, kInt32Min, kInt32Max));
    cal.masum = qint32(row.integer(c++, kInt32Min, kInt32Max));
    run.unit.bvd = quint8(row.integer(c++, 0, 255));
    run.planName = row.text(c++);
    run.planJson = row.text(c++);
    run.startedUtc = row.time(c++, false);
    run.finishedUtc = row.time(c++, true);
    run.host = row.text(c++);
    run.operatorName = row.text(c++);
    run.toolVersion = row.text(c++);
    run.verdict = row.verdict(c++);
    // Only a run that was finished has a verdict of its own.
    if (!run.finishedUtc.isValid())
        run.verdict = TestRun::Verdict::Incomplete;
    if (!row.ok() && error)
        *error = row.error();
    return row.ok();
}

bool readStep(const QSqlQuery &query, qint64 &runId, StepResult &step, QString *error)
{
    int c = 0;
    step = StepResult();
    bool numbered = false;
    const int shownIndex = query.value(1).toInt(&numbered) + 1;
    RowReader row(query, RowReader::tr("第 %1 次测试的第 %2 步")
                             .arg(query.value(0).toString(),
                                  numbered ? QString::number(shownIndex) : query.value(1).toString()));
    runId = row.integer(c++, 1, std::numeric_limits<qint64>::max());
    step.index = int(row.integer(c++, 0, std::numeric_limits<int>::max()));
    step.referenceMm = row.real(c++);
    step.framesKept = row.integer(c++, 0, std::numeric_limits<qint64>::max());
    step.framesSeen = row.integer(c++, 0, std::numeric_limits<qint64>::max());
    for (double *figure : {&step.meanMm, &step.biasMm, &step.stdMm, &step.minMm, &step.maxMm, &step.medianMm,
                           &step.blankedPercent, &step.rateHz})
        *figure = row.real(c++);
    TestRun::Limits &l = step.limits;
    for (std::optional<double> *limit : {&l.biasMm, &l.biasPercent, &l.stdMm, &l.blankedPercent, &l.minRateHz})
        *limit = row.optionalReal(c++);
    for (Check *check : {&step.bias, &step.std, &step.blanked, &step.rate}) {
        *check = row.check(c);
        c += 2;
    }
    step.verdict = row.verdict(c++);
    step.error = row.text(c++);
    if (!row.ok() && error)
        *error = row.error();
    return row.ok();
}

QString invalidRun(const RunRecord &run)
{
    if (!ResultsCodes::isUnitId(run.unit.unitId))
        return RowReader::tr("单元编号 %1 不是 24 位小写十六进制数字").arg(run.unit.unitId);
    if (!run.startedUtc.isValid())
        return RowReader::tr("测试没有开始时间");
    return QString();
}

QString invalidStep(const StepResult &step)
{
    if (step.index < 0)
        return RowReader::tr("步骤序号 %1 为负").arg(step.index);
    if (step.framesKept < 0 || step.framesSeen < 0)
        return RowReader::tr("第 %1 步的帧数为负").arg(step.index + 1);
    return QString();
}

} // namespace RunRows
