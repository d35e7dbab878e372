#include "runsession/RunSession.h"

#include "report/LotSummary.h"
#include "report/RunReport.h"
#include "results/RunRecorder.h"
#include "testrun/TestRunner.h"

#include <QDir>
#include <QSettings>

#include <algorithm>

std::optional<RunSession::Outputs> RunSession::Outputs::fromSettings(const QSettings &settings, QString *why)
{
    Outputs outputs;
    const auto location = ResultsLocation::parse(settings.value(databaseKey()).toString(), why);
    if (!location)
        return std::nullopt;
    outputs.results = *location;
    outputs.lotCsv = LotSummary::pathFromSettings(settings);
    return outputs;
}

RunSession::RunSession(TestRun::TestRunner *runner, const Outputs &outputs, QObject *parent)
    : QObject(parent)
    , runner(runner)
    , out(outputs)
{
    connect(runner, &TestRun::TestRunner::runStarted, this, &RunSession::onRunStarted);
    connect(runner, &TestRun::TestRunner::stepFinished, this, &RunSession::onStepFinished);
    connect(runner, &TestRun::TestRunner::runFinished, this, &RunSession::onRunFinished);
}

RunSession::~RunSession() = default;

void RunSession::onRunStarted(const TestRun::RunRecord &record)
{
    kept = record;
    result = Outcome();
    noticeTold = false;
    recorder = std::make_unique<RunRecorder>(out.results, out.local);
    checkStore(recorder->start(kept));
}

void RunSession::onStepFinished(const TestRun::StepResult &step)
{
    if (!recorder)
        return;
    auto same = std::find_if(kept.steps.begin(), kept.steps.end(),
                             [&step](const TestRun::StepResult &s) { return s.index == step.index; });
    if (same != kept.steps.end())
        *same = step;
    else
        kept.steps.push_back(step);
    checkStore(recorder->storeStep(kept, step));
}

void RunSession::onRunFinished(const TestRun::RunRecord &record)
{
    if (!recorder)
        return;
    const qint64 runId = kept.runId;
    kept = record;
    kept.runId = runId;
    result.stored = recorder->finish(kept);
    checkStore(result.stored);
    result.storedIn = recorder->location().displayText();
    recorder.reset();
    writeReports();
    writeLotRow();
    emit finished(kept);
}

// A store that failed at one call may take everything at the next; only
// the last failure stays as the outcome's error.
void RunSession::checkStore(bool ok)
{
    if (!recorder->notice().isEmpty() && !noticeTold) {
        noticeTold = true;
        result.storeNotice = recorder->notice();
        emit storeNotice(result.storeNotice);
    }
    result.storeError = ok ? QString() : recorder->error();
    if (!ok)
        emit storeFailed(result.storeError);
}

void RunSession::writeReports()
{
    const RunReport report(kept);
    QStringList paths;
    if (!out.reportFolder.isEmpty()) {
        QDir folder(out.reportFolder);
        folder.mkpath(QStringLiteral("."));
        const QString base = folder.filePath(RunReport::baseName(kept));
        paths << base + QStringLiteral(".html") << base + QStringLiteral(".pdf");
    }
    if (!out.reportFile.isEmpty())
        paths << out.reportFile;
    for (const QString &path : qAsConst(paths)) {
        QString why;
        if (report.write(path, &why))
            result.reports << path;
        else
            result.reportErrors << why;
    }
}

void RunSession::writeLotRow()
{
    if (out.lotCsv.isEmpty())
        return;
    QString why;
    result.lotCsv = LotSummary::append(out.lotCsv, kept, &why);
    if (result.lotCsv.isEmpty())
        result.lotError = why;
}
