#include "cli/RunCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/InputLines.h"
#include "cli/RunLines.h"
#include "cli/SensorLink.h"
#include "link/QTRNet.h"
#include "testrun/TestRunner.h"
#include "workflow/CommandSet.h"
#include "workflow/MeasurementPipeline.h"

namespace {
// Stop's bytes are given this long to leave before the program ends.
constexpr int kDrainMs = 1000;
const quint8 kZeroValue[4] = {0, 0, 0, 0};
} // namespace

RunCommand::RunCommand(const Options &options, QObject *parent)
    : CliCommand(parent)
    , options(options)
    , link(new SensorLink(options.port.name, options.port.baudRate, this))
    , pipeline(new MeasurementPipeline(link->net(), this))
    , runner(new TestRun::TestRunner(link->net(), pipeline->feed(), this))
    , session(new RunSession(runner, options.outputs, this))
    , input(new InputLines(this))
{
    using TestRun::TestRunner;
    pipeline->listen();
    runner->setPace(options.unattended ? TestRunner::Pace::Unattended : TestRunner::Pace::Commands);
    connect(runner, &TestRunner::runStarted, this, &RunCommand::onRunStarted);
    connect(runner, &TestRunner::identificationFailed, this, &RunCommand::onIdentificationFailed);
    connect(runner, &TestRunner::waitingForOperator, this, &RunCommand::onWaiting);
    connect(runner, &TestRunner::commandStarted, this, [](int step, const QString &command) {
        Console::message(QStringLiteral("step %1: running %2").arg(step + 1).arg(command));
    });
    connect(runner, &TestRunner::acquisitionStarted, this, [this](int step) {
        Console::message(QStringLiteral("step %1: collecting %2 frames")
                             .arg(step + 1)
                             .arg(runner->steps()[std::size_t(step)].frames));
    });
    connect(runner, &TestRunner::stepFinished, this, &RunCommand::onStepFinished);
    connect(session, &RunSession::storeNotice, this, [](const QString &text) { Console::message(text); });
    connect(session, &RunSession::storeFailed, this, [](const QString &why) {
        Console::message(QStringLiteral("cannot store the run: %1").arg(why));
    });
    connect(session, &RunSession::finished, this, &RunCommand::onKept);
    connect(input, &InputLines::line, runner, &TestRunner::proceed);
    connect(input, &InputLines::ended, this, [this] {
        Console::message(QStringLiteral("No more input: the run is aborted."));
        runner->abort();
    });
}

// What uses the link goes before it.
RunCommand::~RunCommand()
{
    delete session;
    delete runner;
    delete pipeline;
}

QString RunCommand::prompt(double referenceMm)
{
    return QStringLiteral("Place the target at %1 mm and press Enter").arg(QString::number(referenceMm));
}

void RunCommand::start()
{
    if (!link->open()) {
        Console::message(link->openFailure());
        return end(ExitCode::kPort);
    }
    QString why;
    if (!runner->start(options.plan, options.planJson, &why)) {
        Console::message(QStringLiteral("The run cannot start: %1").arg(why));
        return end(ExitCode::kFile);
    }
    Console::message(QStringLiteral("Identifying the unit on %1...").arg(link->portName()));
}

void RunCommand::onRunStarted(const TestRun::RunRecord &record)
{
    // One pass, so that a "%5" in the plan's name stays as it is.
    Console::message(QStringLiteral("unit %1, firmware %2, hardware %3; plan \"%4\", %5 steps")
                         .arg(record.unit.unitId, record.unit.firmware, QString::number(record.unit.hardware),
                              record.planName, QString::number(runner->steps().size())));
}

void RunCommand::onWaiting()
{
    const int next = runner->nextStep();
    if (next < 0)
        return runner->proceed();
    Console::message(prompt(runner->steps()[std::size_t(next)].referenceMm));
    input->request();
}

void RunCommand::onStepFinished(const TestRun::StepResult &step)
{
    if (!Console::data(RunLines::step(step) + QLatin1Char('\n')))
        outputFailed = true;
}

void RunCommand::onIdentificationFailed(const QString &why)
{
    if (signalCaught)
        return end(ExitCode::interrupted(signalCaught));
    Console::message(QStringLiteral("The unit did not identify itself: %1").arg(why));
    end(ExitCode::kDevice);
}

void RunCommand::onKept(const TestRun::RunRecord &record)
{
    const RunSession::Outcome &outcome = session->outcome();
    if (!Console::data(RunLines::verdict(record, runner->steps().size()) + QLatin1Char('\n')))
        outputFailed = true;
    if (outcome.stored)
        Console::message(QStringLiteral("Stored as run %1 in %2.").arg(record.runId).arg(outcome.storedIn));
    for (const QString &report : outcome.reports)
        Console::message(QStringLiteral("Report written: %1").arg(report));
    for (const QString &why : outcome.reportErrors)
        Console::message(QStringLiteral("cannot write the report: %1").arg(why));
    if (!outcome.lotError.isEmpty())
        Console::message(QStringLiteral("cannot add the run to the lot summary: %1").arg(outcome.lotError));
    end(exitCodeOf(record));
}

// The verdict says how the unit fared; a PASS whose record or report did
// not get written is no success a script may rely on.
int RunCommand::exitCodeOf(const TestRun::RunRecord &record) const
{
    if (signalCaught)
        return ExitCode::interrupted(signalCaught);
    switch (record.verdict) {
    case TestRun::Verdict::Fail: return ExitCode::kRunFailed;
    case TestRun::Verdict::Incomplete: return ExitCode::kIncomplete;
    case TestRun::Verdict::Pass: break;
    }
    const RunSession::Outcome &outcome = session->outcome();
    const bool kept = outcome.stored && outcome.reportErrors.isEmpty() && outcome.lotError.isEmpty();
    return kept && !outputFailed ? ExitCode::kSuccess : ExitCode::kFile;
}

// A Stop the runner does not send itself (it sends one when it was
// acquiring) goes out here, so the device is left stopped whatever the
// moment of the signal. A second signal ends the program at once.
void RunCommand::interrupt(int signal, int)
{
    if (signalCaught)
        return end(ExitCode::interrupted(signalCaught));
    signalCaught = signal;
    if (!runner->isRunning())
        return end(ExitCode::interrupted(signal));
    using Phase = TestRun::TestRunner::Phase;
    const bool acquiring = runner->phase() == Phase::Settling || runner->phase() == Phase::Collecting;
    QTRNet *net = link->net();
    if (!acquiring && net->portOpen())
        net->sendData(0, CommandSet::kStop, kZeroValue, sizeof kZeroValue, 0);
    Console::message(QStringLiteral("Interrupted: the run is aborted, Stop sent."));
    runner->abort();
}

void RunCommand::end(int exitCode)
{
    link->drain(kDrainMs);
    finish(exitCode);
}
