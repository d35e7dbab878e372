#include "bench/BenchMain.h"
#include "report/RunReport.h"
#include "testrun/StepCollector.h"
#include "testrun/TestPlanJson.h"
#include "testrun/TestRunner.h"
#include "tests/support/Frames.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/SampleRun.h"
#include "tests/support/SensorPeer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <memory>

#include <benchmark/benchmark.h>

// Accuracy runs: the collector's cost per frame, which must not grow with
// the frames a step has kept; a frame's whole road with and without a run
// collecting; and the report of a finished run, under 1 s
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

// A run in its collecting phase on a pseudo-terminal peer that streams
// nothing itself: the benchmark hands the frames to the endpoint.
struct CollectingRun {
    PtyPair pty;
    SensorPeer peer {pty};
    HeadlessHost host {pty.portName()};
    TestRun::TestRunner runner {host.net, host.pipeline.feed()};

    bool start()
    {
        peer.framesPerSession = 0;
        TestRun::TestRunner::Timing timing;
        timing.firstFrameMs = timing.frameGapMs = 2000000000;
        runner.setTiming(timing);
        runner.setPace(TestRun::TestRunner::Pace::Unattended);
        const auto plan = TestRun::parsePlan("{\"name\": \"bench\", \"frames\": 10000000, \"limits\": "
                                             "{\"bias_mm\": 20, \"std_mm\": 5}, \"steps\": [{\"reference_mm\": 1000}]}");
        if (!plan || !host.open() || !runner.start(*plan))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (runner.phase() != TestRun::TestRunner::Phase::Collecting && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return runner.phase() == TestRun::TestRunner::Phase::Collecting;
    }
};

QByteArray onePointFrame(qint16 distance)
{
    QByteArray payload(19, '\0');
    payload[0] = char(distance & 0xFF);
    payload[1] = char(distance >> 8);
    payload[8] = 50;
    return encodedFrame(0x02, payload);
}

// One measurement frame from the endpoint to every listener: without a run
// (nobody listens, so the feed builds no record), and with a run collecting
// a step that already holds `held` frames. The run's part is the record,
// a few comparisons and the step's statistics, whatever it holds.
void framePerFrame(benchmark::State &state)
{
    const bool running = state.range(0) != 0;
    std::unique_ptr<CollectingRun> run;
    QSerialPort idlePort;
    QTRNet *net = new QTRNet(&idlePort);
    MeasurementPipeline idle(net);
    idle.listen();
    if (running) {
        run = std::make_unique<CollectingRun>();
        if (!run->start()) {
            state.SkipWithError("the run did not reach its collecting phase");
            return;
        }
        net = run->host.net;
    }
    const QByteArray frames[2] = {onePointFrame(999), onePointFrame(1001)};
    for (qint64 i = 0; i < state.range(1); ++i)
        net->receiveData(frames[i % 2]);
    qint64 i = 0;
    for (auto _ : state)
        net->receiveData(frames[++i % 2]);
    if (running && run->runner.progress().figures.framesSeen != state.range(1) + i)
        state.SkipWithError("frames were lost on the way");
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
BENCHMARK(framePerFrame)->ArgNames({"run", "held"})->Args({0, 0})->Args({1, 100})->Args({1, 1000000});
BENCHMARK(reportHtmlAndPdf)->ArgName("steps")->Arg(4)->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(reportHtml)->ArgName("steps")->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(reportPdf)->ArgName("steps")->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();

LIDAR_GUI_BENCHMARK_MAIN()
