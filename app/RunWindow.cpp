#include "app/RunWindow.h"

#include "app/StepFiguresView.h"
#include "app/TestRunSettings.h"
#include "app/VerdictStyle.h"
#include "report/ReportFormat.h"
#include "results/ResultsCodes.h"
#include "runsession/RunSession.h"
#include "testrun/PlanApprovals.h"
#include "testrun/TestPlanJson.h"
#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

using Phase = TestRun::TestRunner::Phase;
using TestRun::StepResult;
using TestRun::TestRunner;
using TestRun::Verdict;

namespace {

enum Column { StepColumn, Reference, Frames, Mean, Bias, Std, VerdictColumn, ColumnCount };

QLabel *wrappingLabel(const char *objectName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(objectName));
    label->setWordWrap(true);
    return label;
}

void setColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

RunWindow::RunWindow(QTRNet *net, MeasurementFeed *feed, const TestRunSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , runner(new TestRunner(net, feed, this))
    , session(new RunSession(runner, RunSession::Outputs(), this))
    , settings(settings)
    , openPort([] { return true; })
    , reportFolder(QStringLiteral("reports"))
    , approvalsFile(PlanApprovals::defaultFile())
{
    setObjectName(QStringLiteral("runWindow"));
    setWindowTitle(tr("运行测试计划"));

    planSummary = wrappingLabel("planSummary", this);
    unitLabel = wrappingLabel("unitLabel", this);
    promptLabel = wrappingLabel("promptLabel", this);
    QFont promptFont = promptLabel->font();
    promptFont.setBold(true);
    promptFont.setPointSizeF(promptFont.pointSizeF() * 1.25);
    promptLabel->setFont(promptFont);
    figures = new StepFiguresView(this);
    noticeLabel = wrappingLabel("storeNotice", this);
    setColor(noticeLabel, VerdictStyle::incompleteColor());
    errorLabel = wrappingLabel("errorLabel", this);
    setColor(errorLabel, VerdictStyle::failColor());

    auto *middle = new QHBoxLayout;
    middle->addWidget(figures);
    middle->addWidget(buildStepsTable(), 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buildPlanRow());
    layout->addWidget(planSummary);
    layout->addWidget(unitLabel);
    layout->addWidget(promptLabel);
    layout->addLayout(middle, 1);
    layout->addWidget(buildEnd());
    layout->addWidget(noticeLabel);
    layout->addWidget(errorLabel);
    layout->addLayout(buildButtons());

    connect(runner, &TestRunner::phaseChanged, this, &RunWindow::updateButtons);
    connect(runner, &TestRunner::runStarted, this, &RunWindow::onRunStarted);
    connect(runner, &TestRunner::identificationFailed, this, &RunWindow::onIdentificationFailed);
    connect(runner, &TestRunner::waitingForOperator, this, &RunWindow::onWaiting);
    connect(runner, &TestRunner::commandStarted, this, &RunWindow::onCommandStarted);
    connect(runner, &TestRunner::acquisitionStarted, this, &RunWindow::onAcquisitionStarted);
    connect(runner, &TestRunner::progressChanged, this, &RunWindow::onProgress);
    connect(runner, &TestRunner::stepFinished, this, &RunWindow::onStepFinished);
    connect(runner, &TestRunner::runFinished, this, &RunWindow::onRunFinished);
    connect(session, &RunSession::storeNotice, this, &RunWindow::showNotice);
    connect(session, &RunSession::finished, this, &RunWindow::onSessionFinished);

    showNotice(QString());
    unitLabel->setText(tr("设备：尚未识别"));
    promptLabel->setText(tr("选择测试计划，连接设备，然后按 开始测试"));
    updateButtons();
    resize(880, 640);
}

QLayout *RunWindow::buildPlanRow()
{
    planEdit = new QLineEdit(this);
    planEdit->setObjectName(QStringLiteral("planFile"));
    planEdit->setReadOnly(true);
    browseButton = new QPushButton(tr("选择..."), this);
    browseButton->setObjectName(QStringLiteral("browsePlan"));
    startButton = new QPushButton(tr("开始测试"), this);
    startButton->setObjectName(QStringLiteral("startRun"));
    connect(browseButton, &QPushButton::clicked, this, &RunWindow::browsePlan);
    connect(startButton, &QPushButton::clicked, this, &RunWindow::startRun);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("测试计划"), this));
    row->addWidget(planEdit, 1);
    row->addWidget(browseButton);
    row->addWidget(startButton);
    return row;
}

QWidget *RunWindow::buildStepsTable()
{
    stepsTable = new QTableWidget(0, ColumnCount, this);
    stepsTable->setObjectName(QStringLiteral("stepsTable"));
    stepsTable->setHorizontalHeaderLabels(
        {tr("步骤"), tr("参考 (mm)"), tr("帧"), tr("均值 (mm)"), tr("偏差 (mm)"), tr("标准差 (mm)"), tr("结论")});
    stepsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stepsTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    stepsTable->setSelectionMode(QAbstractItemView::SingleSelection);
    stepsTable->verticalHeader()->setVisible(false);
    stepsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    stepsTable->horizontalHeader()->setStretchLastSection(true);
    return stepsTable;
}

// Hidden until a run ends: the verdict in large letters beside what it rests
// on and where the run was kept.
QWidget *RunWindow::buildEnd()
{
    endBox = new QFrame(this);
    endBox->setObjectName(QStringLiteral("runEnd"));
    static_cast<QFrame *>(endBox)->setFrameShape(QFrame::StyledPanel);
    verdictLabel = new QLabel(endBox);
    verdictLabel->setObjectName(QStringLiteral("verdictLabel"));
    QFont big = verdictLabel->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 3);
    verdictLabel->setFont(big);
    verdictLabel->setAlignment(Qt::AlignCenter);
    detailLabel = wrappingLabel("verdictDetail", endBox);
    fitLabel = wrappingLabel("fitLabel", endBox);
    whereLabel = wrappingLabel("whereLabel", endBox);
    whereLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *texts = new QVBoxLayout;
    for (QLabel *label : {detailLabel, fitLabel, whereLabel})
        texts->addWidget(label);
    auto *row = new QHBoxLayout(endBox);
    row->addWidget(verdictLabel);
    row->addSpacing(12);
    row->addLayout(texts, 1);
    endBox->hide();
    return endBox;
}

QLayout *RunWindow::buildButtons()
{
    autoContinue = new QCheckBox(tr("有命令的步骤自动进行"), this);
    autoContinue->setObjectName(QStringLiteral("autoContinue"));
    autoContinue->setToolTip(tr("勾选时，只在需要放置目标的步骤前等待 继续；否则每一步之后都等待，以便重测"));
    continueButton = new QPushButton(tr("继续"), this);
    continueButton->setObjectName(QStringLiteral("continueButton"));
    retryButton = new QPushButton(tr("重测此步"), this);
    retryButton->setObjectName(QStringLiteral("retryButton"));
    abortButton = new QPushButton(tr("中止"), this);
    abortButton->setObjectName(QStringLiteral("abortButton"));
    connect(continueButton, &QPushButton::clicked, runner, &TestRunner::proceed);
    connect(retryButton, &QPushButton::clicked, runner, &TestRunner::retryStep);
    connect(abortButton, &QPushButton::clicked, runner, &TestRunner::abort);
    auto *row = new QHBoxLayout;
    row->addWidget(autoContinue);
    row->addStretch();
    for (QPushButton *b : {continueButton, retryButton, abortButton})
        row->addWidget(b);
    return row;
}

void RunWindow::browsePlan()
{
    const QString folder = planPath.isEmpty() ? QStringLiteral(".") : QFileInfo(planPath).path();
    const QString path =
        UserPrompts::getOpenFileName(this, tr("选择测试计划"), folder, tr("测试计划 (*.json);;所有文件 (*)"));
    if (!path.isEmpty())
        choosePlan(path);
}

bool RunWindow::choosePlan(const QString &path)
{
    if (isRunning())
        return false;
    planPath = QFileInfo(path).absoluteFilePath();
    planEdit->setText(QDir::toNativeSeparators(planPath));
    endBox->hide();
    figures->show();
    promptLabel->show();
    showNotice(QString());
    errorLabel->clear();
    figures->clear();
    QString why;
    plan = TestRun::readPlanFile(planPath, &why, &planBytes);
    if (!plan) {
        planBytes.clear();
        planSummary->clear();
        stepsTable->setRowCount(0);
        showError(why);
        updateButtons();
        return false;
    }
    const auto commands = TestRun::planCommands(*plan);
    planSummary->setText(commands.empty() ? tr("%1：%2 个步骤").arg(plan->name).arg(plan->steps.size())
                                          : tr("%1：%2 个步骤，其中 %3 个运行命令")
                                                .arg(plan->name)
                                                .arg(plan->steps.size())
                                                .arg(commands.size()));
    fillSteps(TestRun::resolveSteps(*plan));
    updateButtons();
    return true;
}

// A plan's commands run with the operator's rights: a file not agreed to in
// this very content is shown and asked about first.
bool RunWindow::commandsAgreed()
{
    const auto commands = TestRun::planCommands(*plan);
    PlanApprovals approvals(approvalsFile);
    if (commands.empty() || approvals.isApproved(planPath, planBytes))
        return true;
    QStringList lines;
    for (const auto &c : commands)
        lines << tr("第 %1 步（%2 mm）：%3").arg(c.stepIndex + 1).arg(ReportFormat::referenceName(c.referenceMm), c.command);
    const QString text = tr("测试计划 %1 会在步骤开始前用系统 shell 运行下列命令：\n\n%2\n\n"
                            "计划中的命令就是程序，以你的权限运行：只运行读过并信任的计划。\n运行这些命令吗？")
                             .arg(QDir::toNativeSeparators(planPath), lines.join(QLatin1Char('\n')));
    if (UserPrompts::question(this, tr("运行计划中的命令？"), text, QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return false;
    QString why;
    if (!approvals.approve(planPath, planBytes, &why))
        showError(why); // agreed for this run; asked again next time
    return true;
}

bool RunWindow::startRun()
{
    if (isRunning() || planPath.isEmpty() || !choosePlan(planPath))
        return false;
    if (!settings.outputs) {
        showError(tr("设置 %1 无效：%2。测试没有开始。").arg(RunSession::databaseKey(), settings.error));
        return false;
    }
    if (!commandsAgreed()) {
        showError(tr("计划中的命令未获同意：测试没有开始。"));
        return false;
    }
    if (!openPort()) {
        showError(tr("串口没有打开，也无法打开：请先在 设置 中选择串口。"));
        return false;
    }
    RunSession::Outputs outputs = *settings.outputs;
    outputs.reportFolder = QDir::current().absoluteFilePath(reportFolder);
    session->setOutputs(outputs);
    runner->setPace(autoContinue->isChecked() ? TestRunner::Pace::Commands : TestRunner::Pace::Operator);
    QString why;
    if (!runner->start(*plan, planBytes, &why)) {
        showError(why);
        return false;
    }
    unitLabel->setText(tr("设备：正在识别..."));
    promptLabel->setText(tr("正在识别设备：停止采集，读取设备信息和校准参数"));
    updateButtons();
    return true;
}

bool RunWindow::mayEndRun()
{
    if (!isRunning())
        return true;
    const auto answer = UserPrompts::question(this, tr("中止测试？"),
                                              tr("测试正在进行。中止它吗？已完成的步骤会保存，测试记为 INCOMPLETE。"),
                                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return false;
    runner->abort();
    return true;
}

void RunWindow::closeEvent(QCloseEvent *event)
{
    if (!mayEndRun()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void RunWindow::fillSteps(const std::vector<TestRun::ResolvedStep> &steps)
{
    stepsTable->clearContents();
    stepsTable->setRowCount(int(steps.size()));
    for (const auto &s : steps) {
        stepsTable->setItem(s.index, StepColumn, cell(QString::number(s.index + 1)));
        stepsTable->setItem(s.index, Reference, cell(ReportFormat::referenceName(s.referenceMm)));
        stepsTable->setItem(s.index, Frames, cell(QString::number(s.frames)));
        if (!s.command.isEmpty())
            stepsTable->item(s.index, StepColumn)->setToolTip(tr("命令：%1").arg(s.command));
    }
}

void RunWindow::updateButtons()
{
    const bool running = isRunning();
    const bool waiting = runner->phase() == Phase::WaitingForOperator;
    startButton->setEnabled(!running && !planPath.isEmpty());
    browseButton->setEnabled(!running);
    autoContinue->setEnabled(!running);
    continueButton->setEnabled(waiting);
    retryButton->setEnabled(waiting && runner->lastStep() >= 0);
    abortButton->setEnabled(running);
}

// The run went to the local file instead of the configured store.
void RunWindow::showNotice(const QString &text)
{
    noticeLabel->setText(text);
    noticeLabel->setVisible(!text.isEmpty());
}

void RunWindow::showError(const QString &text)
{
    errorLabel->setText(text);
}

QString RunWindow::stepName(int index) const
{
    const auto &steps = runner->steps();
    if (index < 0 || index >= int(steps.size()))
        return tr("第 %1 步").arg(index + 1);
    return tr("第 %1 步（%2 mm）").arg(index + 1).arg(ReportFormat::referenceName(steps[size_t(index)].referenceMm));
}

void RunWindow::onRunStarted(const TestRun::RunRecord &record)
{
    unitLabel->setText(tr("设备：%1    固件 %2    硬件 %3")
                           .arg(record.unit.unitId, record.unit.firmware)
                           .arg(record.unit.hardware));
    fillSteps(runner->steps());
}

void RunWindow::onIdentificationFailed(const QString &why)
{
    unitLabel->setText(tr("设备：未识别"));
    promptLabel->clear();
    showError(tr("无法识别设备，测试没有开始：%1").arg(why));
    updateButtons();
}

// The last step's outcome above the prompt, so the operator can judge
// whether to measure it again before going on.
void RunWindow::onWaiting()
{
    const int next = runner->nextStep();
    const int last = runner->lastStep();
    QString text;
    if (next < 0) {
        text = tr("所有步骤已测完：按 继续 结束测试");
    } else {
        const auto &step = runner->steps()[size_t(next)];
        text = step.command.isEmpty() ? TestRunner::targetPrompt(step.referenceMm)
                                      : tr("按 继续 开始%1，先运行它的命令").arg(stepName(next));
        if (last < 0)
            figures->showStep(step);
    }
    if (last >= 0) {
        const auto &steps = runner->record().steps;
        const auto found = std::find_if(steps.begin(), steps.end(), [last](const StepResult &s) { return s.index == last; });
        if (found != steps.end())
            text = tr("%1：%2").arg(stepName(last), found->error.isEmpty() ? ResultsCodes::verdictCode(found->verdict)
                                                                         : found->error)
                + QLatin1Char('\n') + text;
    }
    promptLabel->setText(text);
    updateButtons();
}

void RunWindow::onCommandStarted(int step, const QString &command)
{
    promptLabel->setText(tr("%1：正在运行命令 %2").arg(stepName(step), command));
    figures->showStep(runner->steps()[size_t(step)]);
    stepsTable->selectRow(step);
}

void RunWindow::onAcquisitionStarted(int step)
{
    const auto &resolved = runner->steps()[size_t(step)];
    promptLabel->setText(tr("%1：正在测量，共 %2 帧").arg(stepName(step)).arg(resolved.frames));
    figures->showStep(resolved);
    stepsTable->selectRow(step);
}

void RunWindow::onProgress(const TestRun::StepProgress &progress)
{
    figures->showFigures(progress.figures, progress.framesPlanned, progress.settling);
}

void RunWindow::onStepFinished(const StepResult &s)
{
    if (s.index < 0 || s.index >= stepsTable->rowCount())
        return;
    const qint64 planned = runner->steps()[size_t(s.index)].frames;
    if (s.error.isEmpty())
        figures->showFigures(s, planned, false);
    const bool figuresKnown = s.framesKept > 0;
    const auto mm = [figuresKnown](double v) { return figuresKnown ? ReportFormat::millimetres(v) : QString(); };
    stepsTable->setItem(s.index, Frames,
                        cell(s.framesKept == s.framesSeen ? QString::number(s.framesSeen)
                                                          : QStringLiteral("%1 / %2").arg(s.framesKept).arg(s.framesSeen)));
    stepsTable->setItem(s.index, Mean, cell(mm(s.meanMm)));
    stepsTable->setItem(s.index, Bias, cell(mm(s.biasMm)));
    stepsTable->setItem(s.index, Std, cell(s.framesKept > 1 ? ReportFormat::millimetres(s.stdMm) : QString()));
    auto *verdict = new QTableWidgetItem(ResultsCodes::verdictCode(s.verdict));
    verdict->setForeground(VerdictStyle::verdictColor(s.verdict));
    verdict->setToolTip(s.error);
    stepsTable->setItem(s.index, VerdictColumn, verdict);
}

void RunWindow::onRunFinished(const TestRun::RunRecord &record)
{
    // The verdict takes the place of the step's live figures and prompt.
    figures->hide();
    promptLabel->hide();
    verdictLabel->setText(ResultsCodes::verdictCode(record.verdict));
    setColor(verdictLabel, VerdictStyle::verdictColor(record.verdict));
    detailLabel->setText(verdictDetail(record));
    fitLabel->setText(fitText());
    stepsTable->clearSelection(); // the verdicts' colours show whole
    endBox->show();
    updateButtons();
}

QString RunWindow::verdictDetail(const TestRun::RunRecord &record) const
{
    const size_t planned = runner->steps().size();
    QStringList failed;
    for (const StepResult &s : record.steps) {
        if (!s.error.isEmpty() && record.verdict == Verdict::Incomplete)
            return tr("未完成：%1：%2").arg(stepName(s.index), s.error);
        if (s.verdict == Verdict::Fail)
            failed << stepName(s.index);
    }
    if (record.verdict == Verdict::Incomplete && record.steps.size() < planned)
        return tr("未完成：只测了 %1 / %2 个步骤").arg(record.steps.size()).arg(planned);
    if (record.verdict == Verdict::Pass)
        return tr("全部 %1 个步骤都在限值内").arg(planned);
    return tr("超出限值：%1").arg(failed.join(tr("，")));
}

QString RunWindow::fitText() const
{
    const TestRun::LinearityFit fit = runner->linearity();
    switch (fit.status) {
    case TestRun::LinearityFit::Status::TooFewPoints:
        return tr("线性拟合：有数据的步骤少于两个");
    case TestRun::LinearityFit::Status::ReferencesEqual:
        return tr("线性拟合：各步骤的参考距离相同");
    case TestRun::LinearityFit::Status::Fitted:
        break;
    }
    return tr("线性拟合：斜率 %1，偏移 %2 mm，R² %3，最大残差 %4 mm（%5 mm 处）")
        .arg(QString::number(fit.slope, 'f', 6), ReportFormat::millimetres(fit.offsetMm),
             QString::number(fit.rSquared, 'f', 6), ReportFormat::millimetres(fit.largestResidualMm),
             ReportFormat::referenceName(fit.largestResidualAtMm));
}

void RunWindow::onSessionFinished()
{
    const RunSession::Outcome &out = session->outcome();
    QStringList lines;
    lines << (out.stored ? tr("结果：%1").arg(out.storedIn) : tr("结果未能保存：%1").arg(out.storeError));
    for (const QString &file : out.reports)
        lines << tr("报告：%1").arg(QDir::toNativeSeparators(file));
    for (const QString &error : out.reportErrors)
        lines << tr("报告未能写入：%1").arg(error);
    if (!out.lotCsv.isEmpty())
        lines << tr("批次汇总：%1").arg(QDir::toNativeSeparators(QFileInfo(out.lotCsv).absoluteFilePath()));
    if (!out.lotError.isEmpty())
        lines << tr("批次汇总未能写入：%1").arg(out.lotError);
    whereLabel->setText(lines.join(QLatin1Char('\n')));
    showNotice(out.storeNotice);
}
