#pragma once

#include "cli/CliCommand.h"
#include "cli/CommandOptions.h"
#include "runsession/RunSession.h"
#include "testrun/TestPlan.h"

#include <QByteArray>

class InputLines;
class MeasurementPipeline;
class SensorLink;

namespace TestRun {
class TestRunner;
struct RunRecord;
struct StepResult;
}

// `run`: an accuracy run of a plan by the window's own runner, kept by a
// run session (the results store, the report, the lot summary). Before a
// step without a command it asks on standard error for the target to be
// placed and waits for a line on standard input, unless unattended (--yes);
// the end of that input aborts the run. Each step's line and the run's
// verdict go to standard output. A signal aborts the run: Stop is sent and
// the run is kept as INCOMPLETE.
class RunCommand : public CliCommand {
    Q_OBJECT
public:
    struct Options {
        CommandOptions::Port port;
        TestRun::TestPlan plan;
        QByteArray planJson; // the file's bytes, kept as the plan run
        RunSession::Outputs outputs;
        bool unattended = false;
    };

    explicit RunCommand(const Options &options, QObject *parent = nullptr);
    ~RunCommand() override;
    void start() override;
    void interrupt(int signal, int count) override;

    // "Place the target at 1000 mm and press Enter".
    static QString prompt(double referenceMm);

private:
    void onRunStarted(const TestRun::RunRecord &record);
    void onWaiting();
    void onStepFinished(const TestRun::StepResult &step);
    void onIdentificationFailed(const QString &why);
    void onKept(const TestRun::RunRecord &record);
    int exitCodeOf(const TestRun::RunRecord &record) const;
    void end(int exitCode);

    Options options;
    SensorLink *link;
    MeasurementPipeline *pipeline;
    TestRun::TestRunner *runner;
    RunSession *session;
    InputLines *input;
    bool outputFailed = false;
    int signalCaught = 0;
};
