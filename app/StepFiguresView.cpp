#include "app/StepFiguresView.h"

#include "app/VerdictStyle.h"
#include "report/ReportFormat.h"
#include "testrun/LimitEvaluation.h"

#include <QGridLayout>
#include <QLabel>
#include <QVariant>

using TestRun::Outcome;

namespace {

QString signedMillimetres(double v)
{
    const QString text = ReportFormat::millimetres(v);
    return v > 0 && text != ReportFormat::millimetres(0) ? QLatin1Char('+') + text : text;
}

} // namespace

StepFiguresView::StepFiguresView(QWidget *parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("stepFigures"));
    const QString names[FigureCount] = {tr("帧"), tr("均值"), tr("偏差"), tr("标准差"), tr("屏蔽比例"), tr("帧率")};
    auto *grid = new QGridLayout(this);
    for (int f = 0; f < FigureCount; ++f) {
        values[f] = new QLabel(this);
        values[f]->setObjectName(QStringLiteral("figure%1").arg(f));
        values[f]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        limitTexts[f] = new QLabel(this);
        limitTexts[f]->setObjectName(QStringLiteral("limit%1").arg(f));
        grid->addWidget(new QLabel(names[f], this), f, 0);
        grid->addWidget(values[f], f, 1);
        grid->addWidget(limitTexts[f], f, 2);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(FigureCount, 1);
    clear();
}

void StepFiguresView::clear()
{
    setTitle(tr("当前步骤"));
    for (int f = 0; f < FigureCount; ++f) {
        setValue(Figure(f), QStringLiteral("—"));
        limitTexts[f]->clear();
    }
}

void StepFiguresView::showStep(const TestRun::ResolvedStep &step)
{
    clear();
    setTitle(tr("第 %1 步：%2 mm").arg(step.index + 1).arg(ReportFormat::referenceName(step.referenceMm)));
    setValue(Frames, QStringLiteral("0 / %1").arg(step.frames));
    showLimits(step.limits, step.referenceMm);
}

void StepFiguresView::showLimits(const TestRun::Limits &limits, double referenceMm)
{
    const QString notChecked = tr("不检查");
    const auto bias = TestRun::biasBound(limits, referenceMm);
    limitTexts[Bias]->setText(bias ? tr("≤ ±%1 mm").arg(ReportFormat::limitValue(*bias)) : notChecked);
    limitTexts[Std]->setText(limits.stdMm ? tr("≤ %1 mm").arg(ReportFormat::limitValue(*limits.stdMm)) : notChecked);
    limitTexts[Blanked]->setText(limits.blankedPercent ? tr("≤ %1 %").arg(ReportFormat::limitValue(*limits.blankedPercent))
                                                       : notChecked);
    limitTexts[Rate]->setText(limits.minRateHz ? tr("≥ %1 Hz").arg(ReportFormat::limitValue(*limits.minRateHz))
                                               : notChecked);
}

void StepFiguresView::showFigures(const TestRun::StepResult &s, qint64 framesPlanned, bool settling)
{
    showLimits(s.limits, s.referenceMm);
    if (settling) {
        setValue(Frames, tr("稳定中（丢弃帧）"));
        return;
    }
    // Frames below the confidence floor count towards N but not the figures.
    setValue(Frames, s.framesKept == s.framesSeen
                         ? QStringLiteral("%1 / %2").arg(s.framesSeen).arg(framesPlanned)
                         : tr("%1 / %2，保留 %3").arg(s.framesSeen).arg(framesPlanned).arg(s.framesKept));
    if (s.framesKept == 0) {
        for (Figure f : {Mean, Bias, Std})
            setValue(f, QStringLiteral("—"));
    } else {
        setValue(Mean, ReportFormat::millimetres(s.meanMm) + QStringLiteral(" mm"));
        setValue(Bias, signedMillimetres(s.biasMm) + QStringLiteral(" mm"), s.bias.outcome);
        setValue(Std, s.framesKept < 2 ? QStringLiteral("—") : ReportFormat::millimetres(s.stdMm) + QStringLiteral(" mm"),
                 s.std.outcome);
    }
    setValue(Blanked, ReportFormat::percent(s.blankedPercent) + QStringLiteral(" %"), s.blanked.outcome);
    setValue(Rate, ReportFormat::hertz(s.rateHz) + QStringLiteral(" Hz"), s.rate.outcome);
}

void StepFiguresView::setValue(Figure figure, const QString &text, Outcome outcome)
{
    QLabel *label = values[figure];
    label->setText(text);
    QString name;
    QPalette palette = this->palette();
    if (outcome != Outcome::NotChecked) {
        const bool pass = outcome == Outcome::Pass;
        name = pass ? QStringLiteral("pass") : QStringLiteral("fail");
        palette.setColor(QPalette::WindowText, pass ? VerdictStyle::passColor() : VerdictStyle::failColor());
    }
    label->setProperty("outcome", name);
    label->setPalette(palette);
}
