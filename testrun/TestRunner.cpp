#include "testrun/TestRunner.h"

#include "link/LinkTexts.h"
#include "link/QTRNet.h"
#include "testrun/LimitEvaluation.h"
#include "testrun/PlanValidation.h"
#include "testrun/RunOrigin.h"
#include "testrun/StepCommand.h"
#include "testrun/TestPlanJson.h"
#include "testrun/TestPlanTexts.h"
#include "workflow/CommandSet.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/UnitIdentifier.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace TestRun {

namespace {

const quint8 kZeroValue[4] = {0, 0, 0, 0};

QTRNet::Refusal refusalOf(const QTRNet &net)
{
    if (!net.portOpen())
        return QTRNet::Refusal::PortClosed;
    return net.isBusy() ? QTRNet::Refusal::Busy : QTRNet::Refusal::WriteFailed;
}

int milliseconds(double seconds)
{
    return int(std::min(std::ceil(seconds * 1000.0), 2.0e9));
}

} // namespace

TestRunner::TestRunner(QTRNet *net, MeasurementFeed *feed, QObject *parent)
    : QObject(parent)
    , net(net)
    , feed(feed)
    , identifier(new UnitIdentifier(net, this))
    , command(new StepCommand(this))
{
    connect(identifier, &UnitIdentifier::identified, this, &TestRunner::onIdentified);
    connect(identifier, &UnitIdentifier::failed, this, &TestRunner::onIdentificationFailed);
    connect(command, &StepCommand::finished, this, &TestRunner::onCommandFinished);
    for (QTimer *timer : {&settleTimer, &firstFrameTimer, &drainTimer})
        timer->setSingleShot(true);
    connect(&settleTimer, &QTimer::timeout, this, &TestRunner::onSettled);
    connect(&firstFrameTimer, &QTimer::timeout, this, [this] {
        failStep(tr("开始命令 (0x02) 后 %1 ms 内没有测量帧").arg(timing_.firstFrameMs), true);
    });
    connect(&gapTimer, &QTimer::timeout, this, &TestRunner::onGapCheck);
    connect(&drainTimer, &QTimer::timeout, this, &TestRunner::onDrained);
    connect(&progressTimer, &QTimer::timeout, this, [this] { emit progressChanged(progress()); });
}

TestRunner::~TestRunner()
{
    if (!isRunning())
        return;
    const bool acquiring = phase_ == Phase::Settling || phase_ == Phase::Collecting;
    stopTimers();
    command->kill();
    identifier->cancel();
    disconnectLink();
    if (acquiring && !linkLost)
        sendOwn(CommandSet::kStop);
    if (holdsLease)
        net->lease().release(LinkLease::Holder::TestRun);
}

QString TestRunner::targetPrompt(double referenceMm)
{
    return tr("将目标置于 %1 mm 处，然后按 继续").arg(QString::number(referenceMm));
}

bool TestRunner::start(const TestPlan &plan, const QByteArray &planJson, QString *why)
{
    const auto refuse = [why](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    if (isRunning())
        return refuse(tr("已有测试在运行"));
    if (const auto error = validatePlan(plan))
        return refuse(TestPlanTexts::errorText(*error));
    if (!net->lease().tryAcquire(LinkLease::Holder::TestRun))
        return refuse(tr("测试无法开始：%1").arg(LinkTexts::sendRefused(CommandSet::kStop, net->lease().holder())));
    holdsLease = true;
    ++generation;
    planned = resolveSteps(plan);
    run = RunRecord();
    run.planName = plan.name;
    run.planJson = QString::fromUtf8(planJson.isEmpty() ? planToJson(plan) : planJson);
    run.startedUtc = QDateTime::currentDateTimeUtc();
    run.host = RunOrigin::hostName();
    run.operatorName = RunOrigin::operatorName();
    run.toolVersion = RunOrigin::toolVersion();
    current = next = last = -1;
    linkLost = false;

    linkConnections << connect(feed, &MeasurementFeed::frameMeasured, this, &TestRunner::onFrame, Qt::DirectConnection)
                    << connect(net, &QTRNet::frameSent, this, &TestRunner::onFrameSent, Qt::DirectConnection)
                    << connect(net, &QTRNet::portClosing, this, &TestRunner::onPortClosing, Qt::DirectConnection);
    identifier->setAnswerTime(timing_.answerMs, timing_.answerAttempts);
    setPhase(Phase::Identifying);
    identifier->start(UnitIdentifier::Lease::HeldByCaller);
    return true;
}

void TestRunner::proceed()
{
    if (phase_ != Phase::WaitingForOperator)
        return;
    if (next < 0)
        endRun(true);
    else
        beginStep(next);
}

void TestRunner::retryStep()
{
    if (phase_ == Phase::WaitingForOperator && last >= 0)
        beginStep(last);
}

void TestRunner::abort()
{
    const QString why = tr("操作员中止");
    switch (phase_) {
    case Phase::Identifying:
        identifier->cancel();
        onIdentificationFailed(why);
        break;
    case Phase::RunningCommand:
    case Phase::Settling:
    case Phase::Collecting:
    case Phase::Stopping: failStep(why, true); break;
    case Phase::WaitingForOperator: endRun(false); break;
    case Phase::Idle:
    case Phase::Finished: break;
    }
}

StepProgress TestRunner::progress() const
{
    StepProgress p;
    p.step = current;
    if (current >= 0 && current < int(planned.size()))
        p.framesPlanned = planned[std::size_t(current)].frames;
    p.settling = phase_ == Phase::Settling;
    p.figures = step;
    collector.fillFigures(p.figures);
    evaluateStep(p.figures);
    return p;
}

void TestRunner::onIdentified(const UnitIdentity &unit)
{
    if (phase_ != Phase::Identifying)
        return;
    run.unit = unit;
    const quint64 running = generation;
    emit runStarted(run);
    if (running == generation && phase_ == Phase::Identifying)
        beforeStep(0);
}

void TestRunner::onIdentificationFailed(const QString &why)
{
    if (phase_ != Phase::Identifying)
        return;
    stopTimers();
    disconnectLink();
    run.finishedUtc = QDateTime::currentDateTimeUtc();
    run.verdict = Verdict::Incomplete;
    if (holdsLease)
        net->lease().release(LinkLease::Holder::TestRun);
    holdsLease = false;
    setPhase(Phase::Finished);
    emit identificationFailed(why);
}

// Continue is awaited where the pace asks for the operator: to place the
// target for a step without a command, or to judge the step just done.
bool TestRunner::waitsBefore(int index) const
{
    const bool atEnd = index >= int(planned.size());
    switch (pace_) {
    case Pace::Unattended: return false;
    case Pace::Commands: return !atEnd && planned[std::size_t(index)].command.isEmpty();
    case Pace::Operator: return last >= 0 || (!atEnd && planned[std::size_t(index)].command.isEmpty());
    }
    return true;
}

void TestRunner::beforeStep(int index)
{
    const bool atEnd = index >= int(planned.size());
    if (!waitsBefore(index)) {
        if (atEnd)
            endRun(true);
        else
            beginStep(index);
        return;
    }
    next = atEnd ? -1 : index;
    setPhase(Phase::WaitingForOperator);
    emit waitingForOperator();
}

void TestRunner::beginStep(int index)
{
    const ResolvedStep &s = planned[std::size_t(index)];
    current = index;
    next = -1;
    step = StepResult();
    step.index = index;
    step.referenceMm = s.referenceMm;
    step.limits = s.limits;
    collector.restart(s.quantity, s.minConfidence);
    if (s.command.isEmpty()) {
        startAcquisition();
        return;
    }
    setPhase(Phase::RunningCommand);
    emit commandStarted(index, s.command);
    command->start(s.command, s.commandTimeoutS);
}

// A failed command leaves the operator to retry the step when one paces the run.
void TestRunner::onCommandFinished(bool ok, const QString &why)
{
    if (phase_ != Phase::RunningCommand)
        return;
    if (ok)
        startAcquisition();
    else
        failStep(why, pace_ != Pace::Operator);
}

void TestRunner::startAcquisition()
{
    const ResolvedStep &s = planned[std::size_t(current)];
    frameSeen = false;
    framesSinceCheck = 0;
    if (!sendOwn(CommandSet::kStart)) {
        failStep(LinkTexts::sendRefused(CommandSet::kStart, refusalOf(*net)), true);
        return;
    }
    firstFrameTimer.start(timing_.firstFrameMs);
    progressTimer.start(timing_.progressMs);
    if (s.settleS > 0) {
        setPhase(Phase::Settling);
        settleTimer.start(milliseconds(s.settleS));
    } else {
        setPhase(Phase::Collecting);
    }
    emit acquisitionStarted(current);
}

// Per frame: a few comparisons and the collector's fixed number of steps.
void TestRunner::onFrame(const MeasurementRecord &record)
{
    if (phase_ != Phase::Settling && phase_ != Phase::Collecting)
        return;
    ++framesSinceCheck;
    if (!frameSeen) {
        frameSeen = true;
        firstFrameTimer.stop();
        gapTimer.start(timing_.frameGapMs);
    }
    if (phase_ != Phase::Collecting)
        return;
    collector.add(record);
    if (collector.framesSeen() >= planned[std::size_t(current)].frames)
        stopAcquisition();
}

void TestRunner::onSettled()
{
    if (phase_ == Phase::Settling)
        setPhase(Phase::Collecting);
}

// Frames stopped coming for a whole interval (between one and two of them).
void TestRunner::onGapCheck()
{
    if (framesSinceCheck == 0)
        failStep(tr("超过 %1 ms 没有收到测量帧").arg(timing_.frameGapMs), true);
    else
        framesSinceCheck = 0;
}

// Only the endpoint's own encoding is read: address and command follow the
// four header bytes.
void TestRunner::onFrameSent(const QByteArray &frame)
{
    if (sendingOwn || frame.size() < 6 || quint8(frame.at(4)) != 0 || quint8(frame.at(5)) != CommandSet::kStop)
        return;
    if (phase_ != Phase::Settling && phase_ != Phase::Collecting)
        return;
    // Inside someone else's send: acted on afterwards.
    const quint64 running = generation;
    QTimer::singleShot(0, this, [this, running] {
        if (running == generation && (phase_ == Phase::Settling || phase_ == Phase::Collecting))
            failStep(tr("采集被另一条停止命令中断"), true);
    });
}

// Emitted inside the port's close: noted there, acted on afterwards.
void TestRunner::onPortClosing()
{
    if (!isRunning() || linkLost)
        return;
    linkLost = true;
    const quint64 running = generation;
    QTimer::singleShot(0, this, [this, running] {
        if (running != generation || !isRunning())
            return;
        const QString why = tr("连接已断开（串口已关闭）");
        switch (phase_) {
        case Phase::Identifying: break; // the identifier hears it itself
        case Phase::WaitingForOperator: endRun(false); break;
        default: failStep(why, true); break;
        }
    });
}

void TestRunner::stopAcquisition()
{
    stopTimers();
    if (!sendOwn(CommandSet::kStop)) {
        failStep(LinkTexts::sendRefused(CommandSet::kStop, refusalOf(*net)), true);
        return;
    }
    setPhase(Phase::Stopping);
    drainTimer.start(timing_.drainMs);
}

void TestRunner::onDrained()
{
    if (phase_ == Phase::Stopping)
        finishStep();
}

void TestRunner::finishStep()
{
    collector.fillFigures(step);
    evaluateStep(step);
    keepStep(step);
    last = current;
    const quint64 running = generation;
    emit progressChanged(progress());
    emit stepFinished(step);
    if (running == generation && phase_ == Phase::Stopping)
        beforeStep(current + 1);
}

// The figures so far stay with the error, for the record; the error makes
// the step INCOMPLETE whatever they show.
void TestRunner::failStep(const QString &why, bool endsRun)
{
    const bool acquiring = phase_ == Phase::Settling || phase_ == Phase::Collecting;
    stopTimers();
    command->kill();
    if (acquiring && !linkLost)
        sendOwn(CommandSet::kStop);
    collector.fillFigures(step);
    step.error = why;
    evaluateStep(step);
    keepStep(step);
    last = current;
    const quint64 running = generation;
    emit stepFinished(step);
    if (running != generation || !isRunning())
        return;
    if (endsRun) {
        endRun(false);
        return;
    }
    next = current + 1 < int(planned.size()) ? current + 1 : -1;
    setPhase(Phase::WaitingForOperator);
    emit waitingForOperator();
}

// A retried step's new result replaces the earlier one.
void TestRunner::keepStep(const StepResult &result)
{
    auto same = std::find_if(run.steps.begin(), run.steps.end(),
                             [&](const StepResult &s) { return s.index == result.index; });
    if (same != run.steps.end())
        *same = result;
    else
        run.steps.push_back(result);
}

void TestRunner::endRun(bool complete)
{
    stopTimers();
    command->kill();
    identifier->cancel();
    disconnectLink();
    run.finishedUtc = QDateTime::currentDateTimeUtc();
    run.verdict = complete ? runVerdict(run.steps, planned.size()) : Verdict::Incomplete;
    if (holdsLease)
        net->lease().release(LinkLease::Holder::TestRun);
    holdsLease = false;
    setPhase(Phase::Finished);
    emit runFinished(run);
}

bool TestRunner::sendOwn(quint8 cmd)
{
    sendingOwn = true;
    const bool sent = net->sendData(0, cmd, kZeroValue, sizeof kZeroValue, 0);
    sendingOwn = false;
    return sent;
}

void TestRunner::setPhase(Phase phase)
{
    if (phase == phase_)
        return;
    phase_ = phase;
    emit phaseChanged(phase);
}

void TestRunner::stopTimers()
{
    for (QTimer *timer : {&settleTimer, &firstFrameTimer, &gapTimer, &drainTimer, &progressTimer})
        timer->stop();
}

void TestRunner::disconnectLink()
{
    for (const QMetaObject::Connection &c : qAsConst(linkConnections))
        disconnect(c);
    linkConnections.clear();
}

} // namespace TestRun
