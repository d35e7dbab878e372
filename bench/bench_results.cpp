#include "results/ResultsDatabase.h"
#include "results/ResultsWriter.h"
#include "results/RunRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

// Storing one finished step of an accuracy run into an SQLite file on the
// disk, as the store ships it (a transaction per step, synchronous FULL, so
// each step is on the disk before the run goes on), with the file already
// holding a number of earlier runs of 20 steps.
namespace {

TestRun::RunRecord benchRun()
{
    TestRun::RunRecord run;
    run.unit.unitId = QStringLiteral("0033002b3538510c20363733");
    run.unit.firmware = QStringLiteral("1.2.3");
    run.unit.hardware = 5;
    run.planName = QStringLiteral("Accuracy 0.5-4 m");
    run.planJson = QStringLiteral("{\"name\": \"Accuracy 0.5-4 m\", \"frames\": 500, \"steps\": []}");
    run.startedUtc = QDateTime::currentDateTimeUtc();
    run.host = QStringLiteral("bench");
    run.operatorName = QStringLiteral("bench");
    run.toolVersion = QStringLiteral("1.0.0");
    return run;
}

TestRun::StepResult benchStep(int index)
{
    TestRun::StepResult step;
    step.index = index;
    step.referenceMm = 500 + 100 * index;
    step.framesKept = step.framesSeen = 500;
    step.meanMm = step.referenceMm + 3.25;
    step.biasMm = 3.25;
    step.stdMm = 4.5;
    step.minMm = step.referenceMm - 12;
    step.maxMm = step.referenceMm + 15;
    step.medianMm = step.referenceMm + 3;
    step.rateHz = 100;
    step.limits.biasMm = 20;
    step.limits.biasPercent = 1;
    step.limits.stdMm = 15;
    step.bias = {TestRun::Outcome::Pass, 20 + step.referenceMm / 100};
    step.std = {TestRun::Outcome::Pass, 15};
    step.verdict = TestRun::Verdict::Pass;
    return step;
}

// Fills the file with `runs` finished runs of 20 steps, each in one transaction.
bool prefill(const ResultsLocation &where, int runs)
{
    ResultsDatabase db(where);
    if (!db.open(ResultsDatabase::Mode::ReadWrite))
        return false;
    TestRun::RunRecord run = benchRun();
    for (int i = 0; i < 20; ++i)
        run.steps.push_back(benchStep(i));
    run.finishedUtc = run.startedUtc.addSecs(600);
    run.verdict = TestRun::Verdict::Pass;
    for (int i = 0; i < runs; ++i) {
        qint64 id = 0;
        if (!ResultsWriter::copyRun(db, run, id))
            return false;
    }
    return true;
}

void storeStep(benchmark::State &state)
{
    // In the working directory, on the disk: a temporary directory may be in
    // memory, where a sync costs nothing.
    QTemporaryDir dir(QDir::current().filePath(QStringLiteral("bench-results-XXXXXX")));
    const ResultsLocation where = ResultsLocation::sqliteFile(dir.filePath(QStringLiteral("results.sqlite")));
    if (!dir.isValid() || !prefill(where, int(state.range(0)))) {
        state.SkipWithError("cannot prepare the results file");
        return;
    }
    RunRecorder recorder(where, where);
    TestRun::RunRecord run = benchRun();
    if (!recorder.start(run)) {
        state.SkipWithError(qPrintable(recorder.error()));
        return;
    }
    int index = 0;
    for (auto _ : state) {
        if (!recorder.storeStep(run, benchStep(index++))) {
            state.SkipWithError(qPrintable(recorder.error()));
            return;
        }
    }
    state.counters["steps"] = index;
}

} // namespace

BENCHMARK(storeStep)->ArgName("runs_before")->Arg(0)->Arg(2000)->UseRealTime()->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
