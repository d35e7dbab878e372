#include "report/ReportDocument.h"

#include "report/ReportCharts.h"
#include "report/ReportFormat.h"
#include "testrun/LinearityFit.h"
#include "testrun/TestPlanJson.h"

#include <QStringList>

#include <cmath>
#include <optional>

using namespace TestRun;

namespace ReportDocument {

namespace {

const QString kPassColour = QStringLiteral("#2e7d32");
const QString kFailColour = QStringLiteral("#c62828");
const QString kIncompleteColour = QStringLiteral("#b26a00");
const QString kPassBackground = QStringLiteral("#e8f5e9");
const QString kFailBackground = QStringLiteral("#ffebee");
// Figures keep to one line; the table's text may wrap.
const QString kNumberCell = QStringLiteral("align=\"right\" style=\"white-space:nowrap\"");
const QString kNoValue = QStringLiteral("\u2014");
const QString kTableAttributes = QStringLiteral("width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\"");

QString esc(const QString &s)
{
    return s.toHtmlEscaped();
}

QString verdictColour(Verdict v)
{
    return v == Verdict::Pass ? kPassColour : v == Verdict::Fail ? kFailColour : kIncompleteColour;
}

QString factRows(const QList<QPair<QString, QString>> &facts, int perRow)
{
    QString rows;
    for (int i = 0; i < facts.size(); i += perRow) {
        rows += QStringLiteral("<tr>");
        for (int j = i; j < std::min(i + perRow, int(facts.size())); ++j)
            rows += QStringLiteral("<th align=\"left\">%1</th><td>%2</td>").arg(esc(facts[j].first), esc(facts[j].second));
        rows += QStringLiteral("</tr>\n");
    }
    return rows;
}

QString factTable(const QString &id, const QList<QPair<QString, QString>> &facts, int perRow)
{
    return QStringLiteral("<table id=\"%1\" %2>\n%3</table>\n").arg(id, kTableAttributes, factRows(facts, perRow));
}

QString unitSection(const UnitIdentity &unit)
{
    const CaliParam &c = unit.calibration;
    const QList<QPair<QString, QString>> calibration = {
        {"ck", QString::number(c.ck)},
        {"xtalk_cal", QString::number(c.xtalk_cal)},
        {"MP_cal", QString::number(c.MP_cal)},
        {"cg_cal", QString::number(c.cg_cal)},
        {"offset_cal", QString::number(c.offset_cal)},
        {"reftof", QString::number(c.reftof)},
        {"xtalk_peak", QString::number(c.xtalk_peak)},
        {"masum", QString::number(c.masum)},
        {"k", QString::number(c.k)},
        {"pileup_1", QString::number(c.pileup_1)},
        {"pileup_2", QString::number(c.pileup_2)},
        {"pileup_3", QString::number(c.pileup_3)},
        {"bvd", QString::number(unit.bvd)},
    };
    return QStringLiteral("<h2>Unit</h2>\n")
        + factTable(QStringLiteral("unit"),
                    {{"Unit id", unit.unitId}, {"Firmware", unit.firmware}, {"Hardware", QString::number(unit.hardware)}}, 3)
        + QStringLiteral("<h3>Calibration parameters</h3>\n") + factTable(QStringLiteral("calibration"), calibration, 5);
}

QString runSection(const RunRecord &r)
{
    return QStringLiteral("<h2>Run</h2>\n")
        + factTable(QStringLiteral("run"),
                    {{"Plan", r.planName},
                     {"Started (UTC)", ReportFormat::utcTime(r.startedUtc)},
                     {"Finished (UTC)", r.finishedUtc.isValid() ? ReportFormat::utcTime(r.finishedUtc) : QString("not finished")},
                     {"Host", r.host},
                     {"Operator", r.operatorName},
                     {"Tool version", r.toolVersion}},
                    2);
}

QString numberCell(const QString &name, const QString &text)
{
    return QStringLiteral("<td class=\"%1\" %2>%3</td>").arg(name, kNumberCell, text);
}

// One limit's cell: the value, the bound it was held to and the outcome, one
// a line, so that twelve columns fit a portrait page.
QString checkCell(const QString &name, const QString &value, const Check &check, const QString &boundText)
{
    const bool checked = check.outcome != Outcome::NotChecked;
    const QString background =
        !checked ? QString() : check.outcome == Outcome::Pass ? kPassBackground : kFailBackground;
    QString cell = QStringLiteral("<td class=\"%1\" align=\"right\" style=\"white-space:nowrap%2\">"
                                  "<span class=\"value\">%3</span><br/>")
                       .arg(name, background.isEmpty() ? QString() : QStringLiteral("; background-color:") + background, value);
    if (checked)
        cell += QStringLiteral("<span class=\"limit\">%1</span><br/>").arg(esc(boundText));
    return cell + QStringLiteral("<span class=\"outcome\">%1</span></td>").arg(ReportFormat::outcomeName(check.outcome));
}

QString stepRow(const StepResult &s)
{
    using namespace ReportFormat;
    const bool kept = s.framesKept > 0;
    const auto mm = [kept](double v) { return kept ? millimetres(v) : kNoValue; };
    const auto whole = [kept](double v) { return kept ? QString::number(v, 'f', v == std::floor(v) ? 0 : 1) : kNoValue; };
    QString row = QStringLiteral("<tr class=\"step\"><td class=\"index\" %2>%1</td>").arg(s.index + 1).arg(kNumberCell);
    row += numberCell(QStringLiteral("reference"), referenceName(s.referenceMm));
    row += numberCell(QStringLiteral("frames"), QStringLiteral("%1 / %2").arg(s.framesKept).arg(s.framesSeen));
    row += numberCell(QStringLiteral("mean"), mm(s.meanMm)) + numberCell(QStringLiteral("min"), whole(s.minMm))
        + numberCell(QStringLiteral("max"), whole(s.maxMm)) + numberCell(QStringLiteral("median"), whole(s.medianMm));
    row += checkCell(QStringLiteral("bias"), mm(s.biasMm), s.bias, QStringLiteral("\u00b1") + limitValue(s.bias.bound));
    row += checkCell(QStringLiteral("std"), s.framesKept > 1 ? millimetres(s.stdMm) : kNoValue, s.std,
                     QStringLiteral("\u2264\u00a0") + limitValue(s.std.bound));
    row += checkCell(QStringLiteral("blanked"), s.framesSeen > 0 ? percent(s.blankedPercent) : kNoValue, s.blanked,
                     QStringLiteral("\u2264\u00a0") + limitValue(s.blanked.bound));
    row += checkCell(QStringLiteral("rate"), s.framesSeen > 1 ? hertz(s.rateHz) : kNoValue, s.rate,
                     QStringLiteral("\u2265\u00a0") + limitValue(s.rate.bound));
    row += QStringLiteral("<td class=\"verdict\" style=\"color:%1; font-weight:bold; white-space:nowrap\">%2</td></tr>\n")
               .arg(verdictColour(s.verdict), verdictName(s.verdict));
    if (!s.error.isEmpty())
        row += QStringLiteral("<tr class=\"error\"><td colspan=\"12\" style=\"color:%1\">Step %2: %3</td></tr>\n")
                   .arg(kIncompleteColour)
                   .arg(s.index + 1)
                   .arg(esc(s.error));
    return row;
}

QString notRunRow(int index, double referenceMm)
{
    return QStringLiteral("<tr class=\"not-run\"><td class=\"index\">%1</td>%2"
                          "<td colspan=\"10\" style=\"color:%3\">not run</td></tr>\n")
        .arg(index + 1)
        .arg(numberCell(QStringLiteral("reference"), ReportFormat::referenceName(referenceMm)), kIncompleteColour);
}

QString stepsSection(const RunRecord &r, const std::optional<TestPlan> &plan)
{
    QString html = QStringLiteral("<h2>Steps</h2>\n<table id=\"steps\" %1 style=\"font-size:8pt\">\n<tr>").arg(kTableAttributes);
    for (const char *h : {"Step", "Ref.<br/>(mm)", "Kept /<br/>seen", "Mean<br/>(mm)", "Min<br/>(mm)", "Max<br/>(mm)",
                          "Median<br/>(mm)", "Bias<br/>(mm)", "Std dev<br/>(mm)", "Blanked<br/>(%)", "Rate<br/>(Hz)", "Verdict"})
        html += QStringLiteral("<th style=\"white-space:nowrap\">%1</th>").arg(QLatin1String(h));
    html += QStringLiteral("</tr>\n");
    for (const StepResult &s : r.steps)
        html += stepRow(s);
    if (plan)
        for (std::size_t i = r.steps.size(); i < plan->steps.size(); ++i)
            html += notRunRow(int(i), plan->steps[i].referenceMm);
    return html + QStringLiteral("</table>\n<p style=\"font-size:8pt\">Bias = mean \u2212 reference, within "
                                 "\u00b1(bias_mm + bias_percent/100 \u00d7 reference). Std dev: sample standard "
                                 "deviation (n \u2212 1) of the frames kept. Blanked share and rate: of every frame "
                                 "collected.</p>\n");
}

QString failedChecks(const StepResult &s)
{
    QStringList names;
    const std::pair<const Check &, const char *> checks[] = {
        {s.bias, "bias"}, {s.std, "standard deviation"}, {s.blanked, "blanked share"}, {s.rate, "frame rate"}};
    for (const auto &c : checks)
        if (c.first.outcome == Outcome::Fail)
            names << QLatin1String(c.second);
    return names.join(QStringLiteral(", "));
}

QString verdictReason(const RunRecord &r, std::size_t planned)
{
    QStringList reasons;
    const QString at = QStringLiteral("step %1 at %2 mm");
    for (const StepResult &s : r.steps) {
        const QString where = at.arg(s.index + 1).arg(ReportFormat::referenceName(s.referenceMm));
        if (s.verdict == Verdict::Fail)
            reasons << QStringLiteral("%1 failed: %2").arg(where, failedChecks(s));
        else if (s.verdict == Verdict::Incomplete)
            reasons << QStringLiteral("%1 did not finish: %2").arg(where, s.error.isEmpty() ? QString("nothing checked") : s.error);
    }
    if (r.steps.size() < planned)
        reasons << QStringLiteral("%1 of %2 planned steps run").arg(r.steps.size()).arg(planned);
    if (reasons.isEmpty())
        return r.verdict == Verdict::Pass ? QStringLiteral("Every step passed every checked limit.") : QString();
    return reasons.join(QStringLiteral("; ")) + QLatin1Char('.');
}

QString verdictSection(const RunRecord &r, std::size_t planned)
{
    return QStringLiteral("<p id=\"verdict\" style=\"font-size:40pt; font-weight:bold; color:%1; margin:0\">%2</p>\n"
                          "<p id=\"verdict-reason\">%3</p>\n")
        .arg(verdictColour(r.verdict), ReportFormat::verdictName(r.verdict), esc(verdictReason(r, planned)));
}

QString linearitySection(const RunRecord &r)
{
    const LinearityFit fit = fitLinearity(r.steps);
    QString html = QStringLiteral("<h2>Linearity</h2>\n");
    if (!fit.fitted()) {
        const QString why = fit.status == LinearityFit::Status::ReferencesEqual
            ? QStringLiteral("every step is at the same reference distance")
            : QStringLiteral("fewer than two steps have figures");
        return html + QStringLiteral("<p id=\"linearity\">Not computed: %1.</p>\n").arg(why);
    }
    return html + QStringLiteral("<p>Least-squares line of the measured mean against the reference over %1 steps: "
                                 "mean = slope \u00d7 reference + offset.</p>\n")
                      .arg(fit.points)
        + factTable(QStringLiteral("linearity"),
                    {{"Slope", QString::number(fit.slope, 'f', 6)},
                     {"Offset (mm)", ReportFormat::millimetres(fit.offsetMm)},
                     {"R\u00b2", QString::number(fit.rSquared, 'f', 6)},
                     {"Largest residual (mm)", QStringLiteral("%1 at %2 mm")
                                                   .arg(ReportFormat::millimetres(fit.largestResidualMm),
                                                        ReportFormat::referenceName(fit.largestResidualAtMm))}},
                    4);
}

QString figuresSection(const Figures &figures)
{
    const QString img = QStringLiteral("<p><img src=\"%1\" width=\"%2\" height=\"%3\" alt=\"%4\"/></p>\n");
    const int w = ReportCharts::kSize.width(), h = ReportCharts::kSize.height();
    return img.arg(figures.errorChart).arg(w).arg(h).arg(QStringLiteral("Error against distance"))
        + img.arg(figures.deviationChart).arg(w).arg(h).arg(QStringLiteral("Standard deviation against distance"));
}

} // namespace

QString html(const RunRecord &r, const Figures &figures)
{
    const std::optional<TestPlan> plan = parsePlan(r.planJson.toUtf8());
    const std::size_t planned = plan ? plan->steps.size() : r.steps.size();
    const QString title = QStringLiteral("Accuracy report: unit %1, %2").arg(r.unit.unitId, r.planName);
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
                                  "<title>%1</title>\n<style>body { font-family: sans-serif; font-size: 10pt; } "
                                  "table { border-collapse: collapse; } th { background-color: #f0f0f0; }</style>\n"
                                  "</head>\n<body>\n<h1>Accuracy report</h1>\n")
                       .arg(esc(title));
    html += verdictSection(r, planned);
    html += unitSection(r.unit);
    html += runSection(r);
    html += stepsSection(r, plan);
    html += figuresSection(figures);
    html += linearitySection(r);
    html += QStringLiteral("<h2>Plan as run</h2>\n<pre id=\"plan\" style=\"font-size:7pt\">%1</pre>\n").arg(esc(r.planJson));
    return html + QStringLiteral("</body>\n</html>\n");
}

} // namespace ReportDocument
