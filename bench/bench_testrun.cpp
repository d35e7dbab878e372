#include "bench/BenchMain.h"
#include "report/RunReport.h"
#include "testrun/StepCollector.h"
#include "tests/support/SampleRun.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

// Accuracy runs: the collector's cost per frame, which must not grow with
// the frames a step has kept, and the report of a finished run, under 1 s
// for the HTML and the PDF of a 20-step run together.
namespace {

// One frame into a step that already holds `range(0)` frames.
void collectorPerFrame(benchmark::State &state)
{
    TestRun::StepCollector collector(TestRun::Quantity::FirstPoint, 10);
    MeasurementRecord record;
    record.distances = {1000};
    record.firstConfidence = 50;
    qint64 i = 0;
    for (; i < state.range(0); ++i) {
        record.hostNanoseconds = i * 1000000;
        record.distances[0] = qint16(990 + i % 21);
        collector.add(record);
    }
    for (auto _ : state) {
        record.hostNanoseconds = ++i * 1000000;
        record.distances[0] = qint16(990 + i % 21);
        collector.add(record);
    }
    benchmark::DoNotOptimize(collector.framesKept());
}

void reportOfSteps(benchmark::State &state, bool html, bool pdf)
{
    QTemporaryDir dir;
    const RunReport report(sampleRun(int(state.range(0))));
    QString why;
    for (auto _ : state) {
        if (html && !report.writeHtml(dir.filePath(QStringLiteral("r.html")), &why))
            state.SkipWithError(qPrintable(why));
        if (pdf && !report.writePdf(dir.filePath(QStringLiteral("r.pdf")), &why))
            state.SkipWithError(qPrintable(why));
    }
}

void reportHtmlAndPdf(benchmark::State &state)
{
    reportOfSteps(state, true, true);
}

void reportHtml(benchmark::State &state)
{
    reportOfSteps(state, true, false);
}

void reportPdf(benchmark::State &state)
{
    reportOfSteps(state, false, true);
}

} // namespace

BENCHMARK(collectorPerFrame)->ArgName("held")->Arg(100)->Arg(1000000);
BENCHMARK(reportHtmlAndPdf)->ArgName("steps")->Arg(4)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(reportHtml)->ArgName("steps")->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(reportPdf)->ArgName("steps")->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

LIDAR_GUI_BENCHMARK_MAIN()
