#include "app/LivePlot.h"
#include "app/LodGraph.h"
#include "app/PlotCurves.h"
#include "tests/support/StoredCurves.h"

#include <QtTest>
#include <qcustomplot.h>

#include <functional>
#include <random>

namespace {

// One plot driven as the main window drives its own: two live graphs, ten
// points per refresh, the axes scaled to the data while autoPlot is on.
struct Driven {
    QCustomPlot *plot;
    int plotKey = 0;
    bool autoPlot = true;
    std::mt19937 rng {17};

    explicit Driven(QCustomPlot *plot)
        : plot(plot)
    {
        plot->resize(541, 660);
        for (Qt::GlobalColor colour : {Qt::blue, Qt::red}) {
            QCPGraph *graph = new LodGraph(plot->xAxis, plot->yAxis);
            graph->setPen(QPen(QColor(colour)));
            graph->setBrush(QBrush(Qt::NoBrush));
            graph->setAntialiased(false);
        }
        plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    }

    void refresh(double value)
    {
        StoredCurves::append(plot->graph(0), QVector<double>(10, value));
        plotKey += 10;
        if (autoPlot) {
            plot->graph(0)->rescaleValueAxis(false);
            plot->xAxis->setRange(0, plotKey + 20);
        }
        if (auto *live = qobject_cast<LivePlot *>(plot))
            live->refresh();
        else
            plot->replot();
    }
    // `count` refreshes of one-point frames scattered around 1500.
    void noisyRefreshes(int count)
    {
        std::uniform_int_distribution<int> spread(-6, 6);
        for (int i = 0; i < count; ++i)
            refresh(1500 + spread(rng));
    }
    // As many batches, appended without a refresh between them.
    void noisyBatches(int count)
    {
        std::uniform_int_distribution<int> spread(-6, 6);
        for (int i = 0; i < count; ++i, plotKey += 10)
            for (int k = 0; k < 10; ++k)
                StoredCurves::append(plot->graph(0), {double(1500 + spread(rng))});
    }
    void clear()
    {
        plotKey = 0;
        for (int i = 0; i < plot->graphCount(); ++i)
            qobject_cast<LodGraph *>(plot->graph(i))->curve().clear();
        plot->replot();
    }
};

using Step = std::function<void(Driven &)>;

QImage shown(QCustomPlot *plot)
{
    return plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *rowA = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *rowB = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            differing += rowA[x] != rowB[x];
    }
    return differing;
}

// Three curves of a recording, the first long enough to be reduced.
QByteArray recording()
{
    QByteArray text;
    for (int curve = 0; curve < 3; ++curve) {
        for (int i = 0; i < 3000 * (curve + 1); ++i)
            text += QByteArray::number(1000 + (i * (curve + 3)) % 700) + ',';
        text += '\n';
    }
    return text;
}

} // namespace

Q_DECLARE_METATYPE(Step)
Q_DECLARE_METATYPE(QVector<Step>)

class tst_LivePlot : public QObject {
    Q_OBJECT
private slots:
    void showsWhatAFullReplotShows_data();
    void showsWhatAFullReplotShows();
    void everyReplotIsShown();
};

void tst_LivePlot::showsWhatAFullReplotShows_data()
{
    QTest::addColumn<QVector<Step>>("steps");

    const Step noisy = [](Driven &d) { d.noisyRefreshes(40); };
    const Step flat = [](Driven &d) {
        for (int i = 0; i < 30; ++i)
            d.refresh(i < 15 ? 1499 : 1500);
    };
    QTest::newRow("appends, the axes following") << QVector<Step> {noisy, noisy, flat, noisy};
    QTest::newRow("long curve, reduced per pixel column") << QVector<Step> {[](Driven &d) {
        d.noisyBatches(30000);
        d.noisyRefreshes(1);
    }, noisy};
    QTest::newRow("axes frozen, then dragged and zoomed")
        << QVector<Step> {noisy,
                          [](Driven &d) {
                              d.autoPlot = false;
                              d.noisyRefreshes(30);
                          },
                          [](Driven &d) {
                              d.plot->xAxis->moveRange(-130);
                              d.plot->yAxis->scaleRange(0.5, 1500);
                              d.plot->replot();
                          },
                          noisy};
    QTest::newRow("clear, then the curve regrows")
        << QVector<Step> {noisy, [](Driven &d) { d.clear(); }, [](Driven &d) { d.refresh(1503); }, noisy};
    QTest::newRow("a recording played back, then live data")
        << QVector<Step> {[](Driven &d) { QVERIFY(StoredCurves::play(d.plot, recording())); },
                          [](Driven &d) {
                              d.clear();
                              d.noisyRefreshes(40);
                          }};
}

// Whatever the plot went through, the widget shows exactly what a plain plot
// that redraws everything into its buffers shows.
void tst_LivePlot::showsWhatAFullReplotShows()
{
    QFETCH(QVector<Step>, steps);
    QCustomPlot plain;
    LivePlot live;
    Driven reference(&plain);
    Driven underTest(&live);
    for (int i = 0; i < steps.size(); ++i) {
        steps[i](reference);
        steps[i](underTest);
        QVERIFY2(!shown(&plain).isNull(), "nothing drawn");
        QCOMPARE(QString("step %1: %2 pixels differ").arg(i).arg(differingPixels(shown(&live), shown(&plain))),
                 QString("step %1: 0 pixels differ").arg(i));
    }
}

// A refresh, a replot and a replot of one layer all reach the screen: the
// widget is painted again and shows the new data.
void tst_LivePlot::everyReplotIsShown()
{
    LivePlot live;
    Driven driven(&live);
    live.show();
    QVERIFY(QTest::qWaitForWindowExposed(&live));
    int paints = 0;
    struct PaintCounter : QObject {
        int *count;
        explicit PaintCounter(int *count) : count(count) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            *count += event->type() == QEvent::Paint;
            return false;
        }
    } counter(&paints);
    live.installEventFilter(&counter);

    QSignalSpy replots(&live, &QCustomPlot::afterReplot);
    driven.refresh(1500);
    QCOMPARE(replots.count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(paints >= 1, 10000);
    QImage before = shown(&live);

    paints = 0;
    StoredCurves::append(live.graph(0), {1520});
    live.replot();
    QTRY_VERIFY_WITH_TIMEOUT(paints >= 1, 10000);
    QVERIFY(shown(&live) != before);
    before = shown(&live);

    live.layer(QStringLiteral("main"))->setMode(QCPLayer::lmBuffered);
    live.replot();
    paints = 0;
    StoredCurves::append(live.graph(0), {1480});
    live.layer(QStringLiteral("main"))->replot();
    QTRY_VERIFY_WITH_TIMEOUT(paints >= 1, 10000);
    QVERIFY(shown(&live) != before);
}

QTEST_MAIN(tst_LivePlot)
#include "tst_live_plot.moc"
