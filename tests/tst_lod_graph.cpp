#include "app/LodGraph.h"
#include "app/LodGraphData.h"
#include "files/CurveFile.h"
#include "app/PlotCurves.h"

#include <QtTest>
#include <qcustomplot.h>

#include <cmath>
#include <functional>
#include <memory>
#include <random>

namespace {

using Edit = std::function<void(QCPGraph *)>;

void appendWalk(QCPGraph *graph, int count, unsigned seed, int runLength = 1)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> step(-40, 40);
    const int start = graph->data()->size();
    double value = start > 0 ? (graph->data()->constEnd() - 1)->value : 1000;
    for (int i = 0; i < count; ++i) {
        if (i % runLength == 0)
            value += step(rng);
        graph->addData(double(start + i), value);
    }
}

// The live window's plot: the same size, pen and axis handling.
struct PlotPair {
    QCustomPlot plain;
    QCustomPlot lod;
    QCPGraph *plainGraph;
    LodGraph *lodGraph;

    PlotPair()
    {
        for (QCustomPlot *plot : {&plain, &lod})
            plot->resize(541, 760);
        plainGraph = plain.addGraph();
        lodGraph = new LodGraph(lod.xAxis, lod.yAxis);
        for (QCPGraph *graph : {plainGraph, static_cast<QCPGraph *>(lodGraph)}) {
            graph->setPen(QPen(QColor(Qt::blue)));
            graph->setBrush(QBrush(Qt::NoBrush));
            graph->setAntialiased(false);
        }
    }

    void edit(const Edit &change)
    {
        change(plainGraph);
        change(lodGraph);
    }

    void frame(const QCPRange &keys, bool reversed)
    {
        for (QCustomPlot *plot : {&plain, &lod}) {
            plot->graph(0)->rescaleValueAxis(false);
            plot->xAxis->setRange(keys);
            plot->xAxis->setRangeReversed(reversed);
        }
    }
};

QCPRange rangeOf(const QCPGraph *graph, const QCPRange &keys, bool &found)
{
    return graph->getValueRange(found, QCP::sdBoth, keys);
}

} // namespace

Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(QVector<Edit>)
Q_DECLARE_METATYPE(QCPRange)

class tst_LodGraph : public QObject {
    Q_OBJECT

private slots:
    void valueRangeEqualsFullScan_data();
    void valueRangeEqualsFullScan();
    void drawingMatchesPlainGraph_data();
    void drawingMatchesPlainGraph();
    void playbackGraphsDrawLikePlainGraphsWithTheirPens();
    void pointStoreGrowsByAnEighthNotDoubling();
};

void tst_LodGraph::valueRangeEqualsFullScan_data()
{
    QTest::addColumn<QVector<Edit>>("edits");

    const Edit grow = [](QCPGraph *g) { appendWalk(g, 5000, 1); };
    const Edit growMore = [](QCPGraph *g) { appendWalk(g, 777, 2); };
    const Edit clear = [](QCPGraph *g) { g->data()->clear(); };
    // Lands on the first point of a 64-point block (index 5824 after grow, growMore).
    const Edit spike = [](QCPGraph *g) {
        while (g->data()->size() % 64 != 0)
            g->addData(g->data()->size(), 0);
        g->addData(g->data()->size(), -1e6);
    };
    const Edit replaceSameSize = [](QCPGraph *g) {
        QVector<double> keys, values;
        for (int i = 0; i < 5000; ++i) {
            keys << i;
            values << 3 * i - 7000;
        }
        g->setData(keys, values, true);
    };
    const Edit newContainer = [](QCPGraph *g) {
        auto fresh = QSharedPointer<QCPGraphDataContainer>::create();
        fresh->add(QCPGraphData(0, 5));
        fresh->add(QCPGraphData(1, -5));
        g->setData(fresh);
    };
    const Edit insertInside = [](QCPGraph *g) { g->addData(100.5, 9e5); };
    // Same size and the same last point: only the first or the middle
    // point tells that the data under the summary is not what it was.
    const auto replaceKeepingLast = [](int changed, double value) {
        return Edit([changed, value](QCPGraph *g) {
            QVector<double> keys, values;
            for (auto it = g->data()->constBegin(); it != g->data()->constEnd(); ++it) {
                keys << it->key;
                values << it->value;
            }
            const int at = changed < 0 ? int(values.size()) / 2 : changed;
            for (int i = qMax(0, at - 70); i <= at; ++i)
                values[i] = value;
            g->setData(keys, values, true);
        });
    };

    QTest::newRow("empty") << QVector<Edit>{};
    QTest::newRow("appends in batches") << QVector<Edit>{grow, growMore, spike, growMore};
    QTest::newRow("cleared then regrown shorter") << QVector<Edit>{grow, growMore, clear, growMore};
    QTest::newRow("cleared then regrown longer") << QVector<Edit>{growMore, clear, grow};
    QTest::newRow("replaced by same-size data") << QVector<Edit>{grow, replaceSameSize, growMore};
    QTest::newRow("container swapped") << QVector<Edit>{grow, newContainer};
    QTest::newRow("point inserted inside") << QVector<Edit>{grow, insertInside, growMore};
    QTest::newRow("replaced, new first values, same last point")
        << QVector<Edit>{grow, replaceKeepingLast(0, -5e5)};
    QTest::newRow("replaced, new middle values, same last point")
        << QVector<Edit>{grow, replaceKeepingLast(-1, 5e5)};
}

// After every edit, the whole range and ranges over key windows (ragged
// ends, one block, the last partial block) equal the base class's scan.
void tst_LodGraph::valueRangeEqualsFullScan()
{
    QFETCH(QVector<Edit>, edits);
    PlotPair pair;
    const QVector<QCPRange> windows{QCPRange(), QCPRange(0, 0.5), QCPRange(3, 4),
                                    QCPRange(63, 64), QCPRange(17, 4900), QCPRange(129.5, 5700),
                                    QCPRange(5000, 6000), QCPRange(100, 5824), QCPRange(-10, -1)};
    for (int step = 0; step <= edits.size(); ++step) {
        if (step > 0)
            pair.edit(edits[step - 1]);
        for (const QCPRange &keys : windows) {
            bool foundPlain = false;
            bool foundLod = false;
            const QCPRange expected = rangeOf(pair.plainGraph, keys, foundPlain);
            const QCPRange actual = rangeOf(pair.lodGraph, keys, foundLod);
            const QString where = QString("step %1, keys %2..%3").arg(step).arg(keys.lower).arg(keys.upper);
            QVERIFY2(foundLod == foundPlain, qPrintable(where));
            if (foundPlain) {
                QVERIFY2(actual.lower == expected.lower, qPrintable(where));
                QVERIFY2(actual.upper == expected.upper, qPrintable(where));
            }
        }
    }
}

void tst_LodGraph::drawingMatchesPlainGraph_data()
{
    QTest::addColumn<Edit>("fill");
    QTest::addColumn<QCPRange>("keys");
    QTest::addColumn<bool>("reversed");

    const QCPRange all(0, 1e9);
    QTest::newRow("few points") << Edit([](QCPGraph *g) { appendWalk(g, 120, 3); }) << all << false;
    QTest::newRow("about two per pixel") << Edit([](QCPGraph *g) { appendWalk(g, 1100, 4); }) << all << false;
    QTest::newRow("live curve of flat runs") << Edit([](QCPGraph *g) { appendWalk(g, 400000, 5, 10); }) << all << false;
    QTest::newRow("noisy long curve") << Edit([](QCPGraph *g) { appendWalk(g, 300000, 6); }) << all << false;
    QTest::newRow("zoomed into a long curve") << Edit([](QCPGraph *g) { appendWalk(g, 300000, 7); })
                                             << QCPRange(120000.3, 121000.7) << false;
    QTest::newRow("middle part of a long curve") << Edit([](QCPGraph *g) { appendWalk(g, 300000, 8); })
                                                 << QCPRange(50000, 190000) << false;
    QTest::newRow("reversed key axis") << Edit([](QCPGraph *g) { appendWalk(g, 200000, 9); }) << all << true;
    QTest::newRow("sparse keys with gaps") << Edit([](QCPGraph *g) {
        for (int i = 0; i < 50000; ++i)
            g->addData(i < 25000 ? i : 400000 + i * 3, std::sin(i * 0.01) * 500);
    }) << all << false;
    QTest::newRow("gap in the values") << Edit([](QCPGraph *g) {
        appendWalk(g, 100000, 10);
        g->addData(100000, std::nan(""));
        appendWalk(g, 100000, 11);
    }) << all << false;
}

// Same data, same axes: the pictures must be the same pixel for pixel.
void tst_LodGraph::drawingMatchesPlainGraph()
{
    QFETCH(Edit, fill);
    QFETCH(QCPRange, keys);
    QFETCH(bool, reversed);
    PlotPair pair;
    pair.edit(fill);
    const int last = int((pair.plainGraph->data()->constEnd() - 1)->key);
    pair.frame(QCPRange(keys.lower, qMin(keys.upper, last + 20.0)), reversed);
    const QImage expected = pair.plain.toPixmap(541, 760).toImage();
    const QImage actual = pair.lod.toPixmap(541, 760).toImage();
    QCOMPARE(actual.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            differing += expected.pixel(x, y) != actual.pixel(x, y);
    QCOMPARE(differing, 0);
}

// Played-back curves are LodGraphs drawn with the playback pens (colours,
// antialiasing left on): the picture must be that of plain graphs.
void tst_LodGraph::playbackGraphsDrawLikePlainGraphsWithTheirPens()
{
    QCustomPlot plain;
    QCustomPlot played;
    QCPGraph *walk = plain.addGraph();
    appendWalk(walk, 300000, 12);
    QByteArray text;
    for (int curve = 0; curve < 3; ++curve) {
        QCPGraph *graph = curve == 0 ? walk : plain.addGraph();
        // Values the file holds exactly, so that both plots get the same data.
        for (int i = 0; curve > 0 && i < 5000 * curve; ++i)
            graph->addData(i, std::round(std::sin(i * 0.003 * curve) * 800) + 1000);
        graph->setPen(QPen(QColor(CurveFile::playbackColour(curve))));
        graph->setBrush(QBrush(Qt::NoBrush));
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            text += CurveFile::formatValue(it->value).toLatin1() + ',';
        text += '\n';
    }
    QVERIFY(PlotCurves::show(&played, text));
    QCOMPARE(played.graphCount(), 3);
    for (int curve = 0; curve < 3; ++curve)
        QVERIFY(qobject_cast<LodGraph *>(played.graph(curve)));
    plain.graph(0)->rescaleValueAxis(false);
    plain.xAxis->setRange(played.xAxis->range());
    QCOMPARE(plain.yAxis->range(), played.yAxis->range());

    const QImage expected = plain.toPixmap(541, 760).toImage();
    const QImage actual = played.toPixmap(541, 760).toImage();
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            differing += expected.pixel(x, y) != actual.pixel(x, y);
    QCOMPARE(differing, 0);
}

// A long curve must not hold twice its size: the store grows ahead in
// eighths whenever the plot is drawn, as the refresh does every tick.
void tst_LodGraph::pointStoreGrowsByAnEighthNotDoubling()
{
    QCustomPlot plot;
    plot.resize(541, 760);
    auto *graph = new LodGraph(plot.xAxis, plot.yAxis);
    const auto *store = static_cast<const LodGraphData *>(graph->data().data());
    for (int batch = 0; batch < 300; ++batch) {
        appendWalk(graph, 3000, unsigned(batch));
        plot.toPixmap(100, 100);
        QVERIFY(store->capacity() >= graph->data()->size());
        QVERIFY2(store->capacity() <= graph->data()->size() * 1.2 + 3 * LodGraphData::kMinHeadroom,
                 qPrintable(QString("%1 held for %2").arg(store->capacity()).arg(graph->data()->size())));
    }
    QVERIFY(graph->memoryBytes() < std::size_t(graph->data()->size()) * 20);
}

QTEST_MAIN(tst_LodGraph)
#include "tst_lod_graph.moc"
