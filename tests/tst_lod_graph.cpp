#include "app/LodGraph.h"
#include "files/CurveFile.h"
#include "app/PlotCurves.h"
#include "tests/support/StoredCurves.h"

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
    const QVector<double> held = StoredCurves::values(graph);
    double value = held.isEmpty() ? 1000 : held.last();
    QVector<double> values;
    for (int i = 0; i < count; ++i) {
        if (i % runLength == 0)
            value += step(rng);
        values.append(value);
    }
    StoredCurves::append(graph, values);
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
    void timeAxisDrawsNoLineAcrossAGap_data();
    void timeAxisDrawsNoLineAcrossAGap();
};

void tst_LodGraph::valueRangeEqualsFullScan_data()
{
    QTest::addColumn<QVector<Edit>>("edits");

    const Edit grow = [](QCPGraph *g) { appendWalk(g, 5000, 1); };
    const Edit growMore = [](QCPGraph *g) { appendWalk(g, 777, 2); };
    const Edit clear = [](QCPGraph *g) {
        if (auto *stored = qobject_cast<LodGraph *>(g))
            stored->curve().clear();
        else
            g->data()->clear();
    };
    // Lands on the first point of a 256-point block of the store.
    const Edit spike = [](QCPGraph *g) {
        QVector<double> zeros(int((256 - g->dataCount() % 256) % 256), 0.0);
        StoredCurves::append(g, zeros + QVector<double>{-1e6});
    };

    QTest::newRow("empty") << QVector<Edit>{};
    QTest::newRow("appends in batches") << QVector<Edit>{grow, growMore, spike, growMore};
    QTest::newRow("cleared then regrown shorter") << QVector<Edit>{grow, growMore, clear, growMore};
    QTest::newRow("cleared then regrown longer") << QVector<Edit>{growMore, clear, grow};
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
    QTest::newRow("gap in the values") << Edit([](QCPGraph *g) {
        appendWalk(g, 100000, 10);
        StoredCurves::append(g, {std::nan("")});
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
    QVERIFY(StoredCurves::play(&played, text));
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

void tst_LodGraph::timeAxisDrawsNoLineAcrossAGap_data()
{
    QTest::addColumn<int>("pointsPerStretch");
    QTest::newRow("points drawn one by one") << 60;
    QTest::newRow("points reduced per pixel column") << 200000;
}

// Two stretches 3 ms a point apart, a pause of a third of a stretch (at
// least five seconds) between them: on
// the time axis no drawn segment joins the last point before the pause and
// the first after it, and the plot is empty in the middle of the pause. On
// the points axis the same curve stays one line, as it has always been.
void tst_LodGraph::timeAxisDrawsNoLineAcrossAGap()
{
    QFETCH(int, pointsPerStretch);
    QCustomPlot plot;
    plot.resize(541, 760);
    auto *graph = new LodGraph(plot.xAxis, plot.yAxis);
    graph->setPen(QPen(QColor(Qt::blue)));
    graph->setAntialiased(false);
    graph->setCurveAxis(CurveAxis::Time);
    CurveStore &curve = graph->curve();
    curve.setTimeOrigin(0);
    qint64 t = 0;
    for (int stretch = 0; stretch < 2; ++stretch) {
        for (int i = 0; i < pointsPerStretch; ++i, t += 3000000)
            curve.append(1500 + (i % 7) * (stretch ? -1 : 1), t);
        curve.markGap();
        t += std::max<qint64>(qint64(5) * 1000000000, qint64(pointsPerStretch) * 1000000);
    }
    const double before = graph->keyAt(pointsPerStretch - 1);
    const double after = graph->keyAt(pointsPerStretch);
    QVERIFY(after - before > 4.9);
    graph->rescaleValueAxis(false);
    plot.xAxis->setRange(0, graph->keyAt(curve.size() - 1) + 0.1);
    plot.replot();

    const QVector<QCPGraphData> vertices = graph->lineVertices();
    int finiteBefore = 0;
    int finiteAfter = 0;
    for (int k = 0; k < vertices.size(); ++k) {
        const bool finite = !std::isnan(vertices[k].value);
        finiteBefore += finite && vertices[k].key <= before;
        finiteAfter += finite && vertices[k].key >= after;
        if (k > 0 && finite && !std::isnan(vertices[k - 1].value))
            QVERIFY2(!(vertices[k - 1].key <= before && vertices[k].key >= after),
                     qPrintable(QString("segment %1..%2 crosses the gap").arg(vertices[k - 1].key).arg(vertices[k].key)));
    }
    QVERIFY(finiteBefore > 0 && finiteAfter > 0);

    const QImage picture = plot.toPixmap(541, 760).toImage();
    const int middle = int(plot.xAxis->coordToPixel((before + after) / 2));
    int curvePixels = 0;
    for (int y = 0; y < picture.height(); ++y)
        curvePixels += picture.pixelColor(middle, y) == QColor(Qt::blue);
    QCOMPARE(curvePixels, 0);

    graph->setCurveAxis(CurveAxis::Points);
    plot.xAxis->setRange(0, curve.size() + 20);
    for (const QCPGraphData &vertex : graph->lineVertices())
        QVERIFY(!std::isnan(vertex.value));
}

QTEST_MAIN(tst_LodGraph)
#include "tst_lod_graph.moc"
