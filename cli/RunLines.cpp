#include "cli/RunLines.h"

#include "report/ReportFormat.h"

#include <QStringList>

namespace RunLines {

namespace {

QString checked(const TestRun::Check &check)
{
    if (check.outcome == TestRun::Outcome::NotChecked)
        return QStringLiteral("(not checked)");
    return QStringLiteral("(%1, limit %2)")
        .arg(ReportFormat::outcomeName(check.outcome), ReportFormat::limitValue(check.bound));
}

QString place(const TestRun::StepResult &s)
{
    return QStringLiteral("step %1 at %2 mm").arg(s.index + 1).arg(ReportFormat::referenceName(s.referenceMm));
}

QString failedChecks(const TestRun::StepResult &s)
{
    QStringList names;
    const std::pair<const char *, const TestRun::Check *> checks[] = {
        {"bias", &s.bias}, {"std", &s.std}, {"blanked", &s.blanked}, {"rate", &s.rate}};
    for (const auto &c : checks)
        if (c.second->outcome == TestRun::Outcome::Fail)
            names << QLatin1String(c.first);
    return names.join(QStringLiteral(", "));
}

} // namespace

QString step(const TestRun::StepResult &s)
{
    QStringList parts = {
        QStringLiteral("step %1").arg(s.index + 1),
        ReportFormat::referenceName(s.referenceMm) + QStringLiteral(" mm"),
        ReportFormat::verdictName(s.verdict),
        QStringLiteral("frames %1 of %2").arg(s.framesKept).arg(s.framesSeen),
        QStringLiteral("mean %1 mm").arg(ReportFormat::millimetres(s.meanMm)),
        QStringLiteral("bias %1 mm ").arg(ReportFormat::millimetres(s.biasMm)) + checked(s.bias),
        QStringLiteral("std %1 mm ").arg(ReportFormat::millimetres(s.stdMm)) + checked(s.std),
        QStringLiteral("blanked %1 % ").arg(ReportFormat::percent(s.blankedPercent)) + checked(s.blanked),
        QStringLiteral("rate %1 Hz ").arg(ReportFormat::hertz(s.rateHz)) + checked(s.rate),
    };
    if (!s.error.isEmpty())
        parts << QStringLiteral("error: ") + s.error.simplified();
    return parts.join(QStringLiteral("  "));
}

QString verdict(const TestRun::RunRecord &run, std::size_t plannedSteps)
{
    QStringList why;
    for (const TestRun::StepResult &s : run.steps) {
        if (s.verdict == TestRun::Verdict::Fail)
            why << place(s) + QStringLiteral(": ") + failedChecks(s);
        else if (s.verdict == TestRun::Verdict::Incomplete)
            why << place(s) + QStringLiteral(": ")
                    + (s.error.isEmpty() ? QStringLiteral("no limit could be checked") : s.error.simplified());
    }
    if (run.steps.size() < plannedSteps)
        why << QStringLiteral("%1 of %2 steps not run").arg(plannedSteps - run.steps.size()).arg(plannedSteps);
    QString line = QStringLiteral("verdict: ") + ReportFormat::verdictName(run.verdict);
    if (run.verdict != TestRun::Verdict::Pass && !why.isEmpty())
        line += QStringLiteral(" (") + why.join(QStringLiteral("; ")) + QLatin1Char(')');
    return line;
}

} // namespace RunLines
