#include "app/LivePlot.h"
#include "app/LodGraph.h"
#include "bench/BenchMain.h"
#include "app/PlotCurves.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <QTemporaryFile>
#include <qcustomplot.h>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <random>

// One refresh step of the live curve as the window does it every 30 ms tick:
// append ten points, rescale the value axis over the whole graph, set the
// key range to the whole curve, replot. Plain QCPGraph against LodGraph.
namespace {

enum Kind { Plain = 0, Lod = 1 };

QCPGraph *makeGraph(QCustomPlot &plot, int kind)
{
    QCPGraph *graph = kind == Lod ? new LodGraph(plot.xAxis, plot.yAxis) : plot.addGraph();
    graph->setPen(QPen(QColor(Qt::blue)));
    graph->setBrush(QBrush(Qt::NoBrush));
    graph->setAntialiased(false);
    return graph;
}

// A curve as acquisition leaves it: runs of ten equal values, wandering.
class CurveSource {
public:
    double next()
    {
        if (key % 10 == 0)
            value += step(rng);
        ++key;
        return value;
    }
    int key = 0;

private:
    std::mt19937 rng{3};
    std::uniform_int_distribution<int> step{-8, 8};
    double value = 1500;
};

void appendTen(QCPGraph *graph, CurveSource &source)
{
    auto *stored = qobject_cast<LodGraph *>(graph);
    for (int i = 0; i < 10; ++i) {
        const double key = source.key;
        if (stored)
            stored->curve().append(source.next());
        else
            graph->addData(key, source.next());
    }
}

// Fills `graph` with `points` points at once, then times the refresh steps.
void timeRefreshSteps(benchmark::State &state, QCustomPlot &plot, QCPGraph *graph, int points)
{
    CurveSource source;
    if (auto *stored = qobject_cast<LodGraph *>(graph)) {
        while (source.key < points)
            stored->curve().append(source.next());
    } else {
        QVector<double> keys, values;
        keys.reserve(points);
        values.reserve(points);
        while (source.key < points) {
            keys << source.key;
            values << source.next();
        }
        graph->addData(keys, values, true);
    }
    plot.replot(QCustomPlot::rpImmediateRefresh);
    for (auto _ : state) {
        appendTen(graph, source);
        graph->rescaleValueAxis(false);
        plot.xAxis->setRange(0, source.key + 20);
        plot.replot(QCustomPlot::rpImmediateRefresh);
    }
}

void refreshStep(benchmark::State &state)
{
    const int points = int(state.range(0));
    const int kind = int(state.range(1));
    QCustomPlot plot;
    plot.resize(541, 760);
    plot.show();
    QCPGraph *graph = makeGraph(plot, kind);
    makeGraph(plot, kind)->setPen(QPen(QColor(Qt::red)));
    timeRefreshSteps(state, plot, graph, points);
}

// The same step on the live curve that a playback leaves: the file's graphs
// (its pens, antialiasing on) replace the live ones, Clear empties them, and
// acquisition refills graph 0.
void refreshStepAfterPlayback(benchmark::State &state)
{
    QCustomPlot plot;
    plot.resize(541, 760);
    plot.show();
    QTemporaryFile file;
    file.open();
    file.write("1500,1510,1490,\n1400,1405,\n");
    file.flush();
    CurveStoreFile::Curves curves;
    PlotCurves::load(&plot, file.fileName(), &curves);
    PlotCurves::show(&plot, std::move(curves));
    for (int i = 0; i < plot.graphCount(); ++i)
        qobject_cast<LodGraph *>(plot.graph(i))->curve().clear();
    plot.replot(QCustomPlot::rpImmediateRefresh);
    timeRefreshSteps(state, plot, plot.graph(0), int(state.range(0)));
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Heap bytes per stored point, the curve grown ten points per tick. LodGraph
// gets the tick's rescale; the plain graph's rescale would scan the whole
// curve every time and changes nothing of its memory, so it is left out.
// LodGraph's spilled chunks are on disk, not in the heap.
void memoryPerPoint(benchmark::State &state)
{
    const int points = int(state.range(0));
    const int kind = int(state.range(1));
    for (auto _ : state) {
        QCustomPlot plot;
        plot.resize(541, 760);
        const std::size_t before = heapInUse();
        QCPGraph *graph = makeGraph(plot, kind);
        CurveSource source;
        while (source.key < points) {
            appendTen(graph, source);
            if (kind == Lod)
                graph->rescaleValueAxis(false);
        }
        state.counters["bytes_per_point"] = double(heapInUse() - before) / points;
        // What LodGraph accounts for itself; the plain graph has no such count.
        state.counters["held_per_point"] =
            kind == Lod ? double(static_cast<LodGraph *>(graph)->memoryBytes()) / points : 0.0;
    }
}

double statusMiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}

struct PaintCounter : QObject {
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
    int count = 0;
};

// A week at 333 points a second through the main plot: the live LodGraph of
// a LivePlot (the window's size, pens and second graph) filled as the
// refresh fills it, ten equal values per 30 ms tick with their times, then
// the window's refresh step: ten points more, the value axis rescaled, the
// key axis set to the whole curve, LivePlot::refresh() and a paint of the
// widget. The process's peak resident memory (VmHWM, reset first) covers
// every moment of the fill and the steps.
void weekLongRun(benchmark::State &state)
{
    const qint64 points = state.range(0);
    const CurveAxis axis = state.range(1) != 0 ? CurveAxis::Time : CurveAxis::Points;
    std::ofstream("/proc/self/clear_refs") << "5";
    const double before = statusMiB("VmRSS");
    LivePlot plot;
    plot.resize(541, 760);
    plot.show();
    auto *graph = new LodGraph(plot.xAxis, plot.yAxis);
    graph->setAntialiased(false);
    (new LodGraph(plot.xAxis, plot.yAxis))->setPen(QPen(QColor(Qt::red)));
    graph->setCurveAxis(axis);
    CurveStore &curve = graph->curve();
    std::mt19937 rng{3};
    std::uniform_int_distribution<int> step{-8, 8};
    double value = 1500;
    qint64 timeNs = 0;
    const auto tick = [&] {
        value += step(rng);
        for (int i = 0; i < 10; ++i)
            curve.append(value, timeNs);
        timeNs += 30000000;
    };
    const std::clock_t started = std::clock();
    while (curve.size() < points)
        tick();
    const double fillSeconds = double(std::clock() - started) / CLOCKS_PER_SEC;
    // The refresh draws at paint time: the widget must be on screen for
    // repaint() to paint at all.
    QElapsedTimer waited;
    waited.start();
    while (!(plot.windowHandle() && plot.windowHandle()->isExposed()) && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    PaintCounter paints(&plot);
    plot.replot();
    for (auto _ : state) {
        tick();
        graph->rescaleValueAxis(false);
        const double end = axis == CurveAxis::Points ? double(curve.size() + 20) : graph->keyAt(curve.size() - 1) + 0.1;
        plot.xAxis->setRange(0, end);
        plot.refresh();
        plot.repaint();
    }
    state.counters["paints_per_step"] = double(paints.count) / double(state.iterations());
    state.counters["fill_s"] = fillSeconds;
    state.counters["rss_before_MiB"] = before;
    state.counters["rss_peak_MiB"] = statusMiB("VmHWM");
    state.counters["store_heap_MiB"] = double(curve.residentBytes()) / 1048576.0;
    state.counters["spill_file_MiB"] = double(curve.spillFile()->fileBytes()) / 1048576.0;
    if (curve.error() != CurveStore::Error::None)
        state.SkipWithError("the store refused points");
}

} // namespace

BENCHMARK(weekLongRun)->ArgNames({"points", "time"})->Unit(benchmark::kMillisecond)->Iterations(100)
    ->ArgsProduct({{1000000, 10000000, 100000000, 200000000}, {0, 1}});
BENCHMARK(refreshStep)->ArgNames({"points", "lod"})->Unit(benchmark::kMillisecond)
    ->ArgsProduct({{10000, 100000, 1000000, 3000000, 10000000}, {Plain, Lod}});
BENCHMARK(refreshStepAfterPlayback)->ArgNames({"points"})->Unit(benchmark::kMillisecond)
    ->Arg(1000000)->Arg(10000000);
BENCHMARK(memoryPerPoint)->ArgNames({"points", "lod"})->Unit(benchmark::kMillisecond)->Iterations(1)
    ->ArgsProduct({{1000000, 3000000, 10000000}, {Plain, Lod}});

LIDAR_GUI_BENCHMARK_MAIN()
