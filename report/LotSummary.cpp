#include "report/LotSummary.h"

#include "report/ReportFormat.h"
#include "testrun/TestPlanJson.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

using namespace TestRun;

namespace {

std::vector<double> plannedReferences(const RunRecord &record)
{
    std::vector<double> references;
    if (const auto plan = parsePlan(record.planJson.toUtf8())) {
        for (const PlanStep &s : plan->steps)
            references.push_back(s.referenceMm);
    } else {
        for (const StepResult &s : record.steps)
            references.push_back(s.referenceMm);
    }
    return references;
}

enum class FileState { Fits, New, Foreign, Unreadable };

// Whether `path` can take a row under `header`, and whether its last line
// lacks its end (a write cut short), which the next row must not join.
FileState stateOf(const QString &path, const QString &header, bool &needsLineEnd)
{
    needsLineEnd = false;
    QFile file(path);
    if (!file.exists() || file.size() == 0)
        return FileState::New;
    if (!file.open(QIODevice::ReadOnly))
        return FileState::Unreadable;
    QByteArray first = file.readLine();
    if (first.startsWith("\xEF\xBB\xBF"))
        first.remove(0, 3);
    while (first.endsWith('\n') || first.endsWith('\r'))
        first.chop(1);
    if (QString::fromUtf8(first) != header)
        return FileState::Foreign;
    file.seek(file.size() - 1);
    char last = 0;
    file.getChar(&last);
    needsLineEnd = last != '\n';
    return FileState::Fits;
}

QString sibling(const QString &path, int n)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.dir().filePath(QStringLiteral("%1-%2%3").arg(info.completeBaseName()).arg(n).arg(suffix));
}

} // namespace

QString LotSummary::pathFromSettings(const QSettings &settings)
{
    const QString path = settings.value(settingsKey()).toString();
    return path.isEmpty() ? defaultFile() : path;
}

QString LotSummary::header(const RunRecord &record)
{
    QStringList columns = {QStringLiteral("time"), QStringLiteral("unit_id"), QStringLiteral("plan"),
                           QStringLiteral("verdict")};
    const auto references = plannedReferences(record);
    for (std::size_t i = 0; i < references.size(); ++i) {
        const QString step = QStringLiteral("step%1_%2mm").arg(i + 1).arg(ReportFormat::referenceName(references[i]));
        columns << step + QStringLiteral("_bias_mm") << step + QStringLiteral("_std_mm");
    }
    return columns.join(QLatin1Char(','));
}

QString LotSummary::row(const RunRecord &record)
{
    QStringList cells = {ReportFormat::utcTime(record.startedUtc), ReportFormat::csvField(record.unit.unitId),
                         ReportFormat::csvField(record.planName), ReportFormat::verdictName(record.verdict)};
    const std::size_t planned = plannedReferences(record).size();
    for (std::size_t i = 0; i < planned; ++i) {
        const StepResult *s = i < record.steps.size() ? &record.steps[i] : nullptr;
        const bool figures = s && s->error.isEmpty();
        cells << (figures && s->framesKept > 0 ? ReportFormat::millimetres(s->biasMm) : QString())
              << (figures && s->framesKept > 1 ? ReportFormat::millimetres(s->stdMm) : QString());
    }
    return cells.join(QLatin1Char(','));
}

QString LotSummary::append(const QString &path, const RunRecord &record, QString *why)
{
    const QString head = header(record);
    QString target = path;
    FileState state = FileState::Foreign;
    bool needsLineEnd = false;
    for (int n = 1; n <= kMaxSiblings; ++n) {
        target = n == 1 ? path : sibling(path, n);
        state = stateOf(target, head, needsLineEnd);
        if (state != FileState::Foreign)
            break;
    }
    if (state == FileState::Foreign || state == FileState::Unreadable) {
        if (why)
            *why = state == FileState::Foreign ? tr("无法写入汇总 %1：它和旁边的 %2 个文件都属于别的测试计划").arg(path).arg(kMaxSiblings - 1)
                                               : tr("无法读取汇总 %1").arg(target);
        return QString();
    }
    QByteArray text;
    if (state == FileState::New)
        text += head.toUtf8() + '\n';
    if (needsLineEnd)
        text += '\n';
    text += row(record).toUtf8() + '\n';
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(text) != text.size() || !file.flush()) {
        if (why)
            *why = tr("无法写入汇总 %1：%2").arg(target, file.errorString());
        return QString();
    }
    return target;
}
