#include "report/RunsCsv.h"

#include "report/ReportFormat.h"

#include <QSaveFile>
#include <QStringList>

using namespace TestRun;
using ReportFormat::csvField;

namespace {

QStringList runCells(const RunRecord &run)
{
    return {QString::number(run.runId),
            ReportFormat::utcTime(run.startedUtc),
            csvField(run.unit.unitId),
            csvField(run.unit.firmware),
            QString::number(run.unit.hardware),
            csvField(run.planName),
            csvField(run.operatorName),
            csvField(run.host),
            ReportFormat::verdictName(run.verdict)};
}

QStringList stepCells(const StepResult &s)
{
    const bool figures = s.error.isEmpty() && s.framesKept > 0;
    const bool spread = figures && s.framesKept > 1;
    const bool seen = s.error.isEmpty() && s.framesSeen > 0;
    auto mm = [](bool shown, double v) { return shown ? ReportFormat::millimetres(v) : QString(); };
    return {QString::number(s.index + 1),
            ReportFormat::referenceName(s.referenceMm),
            QString::number(s.framesKept),
            QString::number(s.framesSeen),
            mm(figures, s.meanMm),
            mm(figures, s.biasMm),
            mm(spread, s.stdMm),
            mm(figures, s.minMm),
            mm(figures, s.maxMm),
            mm(figures, s.medianMm),
            seen ? ReportFormat::percent(s.blankedPercent) : QString(),
            seen ? ReportFormat::hertz(s.rateHz) : QString(),
            ReportFormat::verdictName(s.verdict),
            csvField(s.error)};
}

constexpr int kStepColumns = 14;

} // namespace

QString RunsCsv::header()
{
    return QStringLiteral("run_id,time,unit_id,firmware,hardware,plan,operator,host,verdict,"
                          "step,reference_mm,frames_kept,frames_seen,mean_mm,bias_mm,std_mm,min_mm,max_mm,"
                          "median_mm,blanked_percent,rate_hz,step_verdict,step_error");
}

QString RunsCsv::text(const std::vector<RunRecord> &runs)
{
    QStringList lines{header()};
    for (const RunRecord &run : runs) {
        const QStringList head = runCells(run);
        if (run.steps.empty())
            lines << (head + QVector<QString>(kStepColumns).toList()).join(QLatin1Char(','));
        for (const StepResult &s : run.steps)
            lines << (head + stepCells(s)).join(QLatin1Char(','));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool RunsCsv::write(const QString &path, const std::vector<RunRecord> &runs, QString *why)
{
    QSaveFile file(path);
    const QByteArray bytes = text(runs).toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (why)
        *why = tr("无法写入 %1：%2").arg(path, file.errorString());
    return false;
}
