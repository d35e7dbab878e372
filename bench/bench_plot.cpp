#include "app/LodGraph.h"
#include "bench/BenchMain.h"
#include "app/PlotCurves.h"

#include <QApplication>
#include <qcustomplot.h>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
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
    for (int i = 0; i < 10; ++i) {
        const double key = source.key;
        graph->addData(key, source.next());
    }
}

// Fills `graph` with `points` points at once, then times the refresh steps.
void timeRefreshSteps(benchmark::State &state, QCustomPlot &plot, QCPGraph *graph, int points)
{
    CurveSource source;
    QVector<double> keys, values;
    keys.reserve(points);
    values.reserve(points);
    while (source.key < points) {
        keys << source.key;
        values << source.next();
    }
    graph->addData(keys, values, true);
    keys = {};
    values = {};
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
    PlotCurves::show(&plot, "1500,1510,1490,\n1400,1405,\n");
    for (int i = 0; i < plot.graphCount(); ++i)
        plot.graph(i)->data()->clear();
    plot.replot(QCustomPlot::rpImmediateRefresh);
    timeRefreshSteps(state, plot, plot.graph(0), int(state.range(0)));
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Heap bytes per stored point, the curve grown ten points per tick. LodGraph
// gets the tick's rescale, where it keeps its store's headroom; the plain
// graph's rescale would scan the whole curve every time and changes nothing
// of its memory, so it is left out.
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

} // namespace

BENCHMARK(refreshStep)->ArgNames({"points", "lod"})->Unit(benchmark::kMillisecond)
    ->ArgsProduct({{10000, 100000, 1000000, 3000000, 10000000}, {Plain, Lod}});
BENCHMARK(refreshStepAfterPlayback)->ArgNames({"points"})->Unit(benchmark::kMillisecond)
    ->Arg(1000000)->Arg(10000000);
BENCHMARK(memoryPerPoint)->ArgNames({"points", "lod"})->Unit(benchmark::kMillisecond)->Iterations(1)
    ->ArgsProduct({{1000000, 3000000, 10000000}, {Plain, Lod}});

LIDAR_GUI_BENCHMARK_MAIN()
