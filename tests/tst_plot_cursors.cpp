#include "app/CursorPair.h"
#include "app/PlotCursors.h"

#include <QMenu>
#include <QtTest>
#include <qcustomplot.h>

#include <cmath>
#include <vector>

using Cursor = CursorPair::Cursor;
Q_DECLARE_METATYPE(Cursor)

// The cursor pair's rules without a plot, then the cursors on a real plot
// driven by mouse events as a user's would arrive.
class tst_PlotCursors : public QObject {
    Q_OBJECT
private slots:
    void placementGoesAThenBThenTheNearer_data();
    void placementGoesAThenBThenTheNearer();
    void deltaIsBMinusAOnceBothArePlaced();
    void nearestKeySnapsToTheClosestOfSortedKeys_data();
    void nearestKeySnapsToTheClosestOfSortedKeys();

    void init();
    void cleanup();
    void ctrlClicksPlaceASnappedToTheCurveThenBThenMoveTheNearer();
    void draggingACursorMovesItAndNeverThePlotsRange();
    void aDragRedrawsOnlyTheCursorLayer();
    void plainPressAwayFromTheCursorsDragsThePlot();
    void menuPlacesAndRemovesTheCursors();
    void readoutsFollowTheCurveAfterRefresh();

private:
    QPoint pixelAt(double x, double y) const;
    void press(const QPoint &at, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void moveTo(const QPoint &at);
    void release(const QPoint &at);

    QCustomPlot *plot = nullptr;
    QCPGraph *graph = nullptr;
    PlotCursors *cursors = nullptr;
};

void tst_PlotCursors::placementGoesAThenBThenTheNearer_data()
{
    QTest::addColumn<QList<double>>("clicks");
    QTest::addColumn<QList<Cursor>>("placed");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::newRow("first A, then B") << QList<double>{5, 2} << QList<Cursor>{Cursor::A, Cursor::B} << 5.0 << 2.0;
    QTest::newRow("then the nearer: B") << QList<double>{1, 10, 8} << QList<Cursor>{Cursor::A, Cursor::B, Cursor::B}
                                        << 1.0 << 8.0;
    QTest::newRow("then the nearer: A") << QList<double>{1, 10, 4} << QList<Cursor>{Cursor::A, Cursor::B, Cursor::A}
                                        << 4.0 << 10.0;
    QTest::newRow("a tie moves A") << QList<double>{0, 10, 5} << QList<Cursor>{Cursor::A, Cursor::B, Cursor::A}
                                   << 5.0 << 10.0;
    QTest::newRow("beyond both, past B") << QList<double>{3, 6, 100} << QList<Cursor>{Cursor::A, Cursor::B, Cursor::B}
                                         << 3.0 << 100.0;
}

void tst_PlotCursors::placementGoesAThenBThenTheNearer()
{
    QFETCH(QList<double>, clicks);
    QFETCH(QList<Cursor>, placed);
    QFETCH(double, a);
    QFETCH(double, b);
    CursorPair pair;
    QVERIFY(pair.empty() && !pair.nearest(0));
    for (int i = 0; i < clicks.size(); ++i)
        QCOMPARE(pair.place(clicks[i]), placed[i]);
    QCOMPARE(pair.position(Cursor::A), a);
    QCOMPARE(pair.position(Cursor::B), b);
    QCOMPARE(pair.low(), qMin(a, b));
    QCOMPARE(pair.high(), qMax(a, b));

    // A cursor removed is the one the next click places, even B before A.
    pair.remove(Cursor::A);
    QCOMPARE(pair.nearest(-1000), std::optional<Cursor>(Cursor::B));
    QCOMPARE(pair.place(42), Cursor::A);
    QCOMPARE(pair.position(Cursor::A), 42.0);
    pair.remove(Cursor::B);
    QCOMPARE(pair.place(7), Cursor::B);
}

void tst_PlotCursors::deltaIsBMinusAOnceBothArePlaced()
{
    CursorPair pair;
    QVERIFY(!pair.delta());
    pair.set(Cursor::B, 2.5);
    QVERIFY(!pair.delta() && !pair.complete());
    pair.set(Cursor::A, 10);
    QCOMPARE(*pair.delta(), -7.5);
    pair.clear();
    QVERIFY(pair.empty() && !pair.delta());
}

void tst_PlotCursors::nearestKeySnapsToTheClosestOfSortedKeys_data()
{
    QTest::addColumn<std::vector<double>>("keys");
    QTest::addColumn<double>("x");
    QTest::addColumn<qint64>("index");
    const std::vector<double> keys{0.0, 0.5, 1.0, 4.0, 4.0, 9.0};
    QTest::newRow("none") << std::vector<double>{} << 3.0 << qint64(-1);
    QTest::newRow("one key") << std::vector<double>{7.0} << -100.0 << qint64(0);
    QTest::newRow("before the first") << keys << -3.0 << qint64(0);
    QTest::newRow("after the last") << keys << 1e9 << qint64(5);
    QTest::newRow("on a key") << keys << 1.0 << qint64(2);
    QTest::newRow("nearer the lower") << keys << 2.4 << qint64(2);
    QTest::newRow("nearer the upper") << keys << 2.6 << qint64(3);
    QTest::newRow("halfway takes the lower") << keys << 6.5 << qint64(4);
    QTest::newRow("on equal keys, the first") << keys << 4.0 << qint64(3);
}

void tst_PlotCursors::nearestKeySnapsToTheClosestOfSortedKeys()
{
    QFETCH(std::vector<double>, keys);
    QFETCH(double, x);
    QFETCH(qint64, index);
    QCOMPARE(CursorPair::nearestKey(qint64(keys.size()), [&](qint64 i) { return keys[std::size_t(i)]; }, x), index);
}

// A curve y = 1000 + 10 x at every whole x from 0 to 100, on 0 .. 100.
void tst_PlotCursors::init()
{
    plot = new QCustomPlot;
    plot->resize(640, 400);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    graph = plot->addGraph();
    for (int x = 0; x <= 100; ++x)
        graph->addData(x, 1000 + 10 * x);
    plot->xAxis->setRange(0, 100);
    plot->yAxis->setRange(900, 2100);
    cursors = new PlotCursors(plot);
    cursors->setGraph(graph);
    cursors->setUnits(QStringLiteral("s"), QStringLiteral("mm"));
    cursors->setDecimals(1, 0);
    plot->show();
    QVERIFY(QTest::qWaitForWindowExposed(plot));
    plot->replot();
}

void tst_PlotCursors::cleanup()
{
    delete plot;
    plot = nullptr;
}

QPoint tst_PlotCursors::pixelAt(double x, double y) const
{
    return QPoint(int(std::lround(plot->xAxis->coordToPixel(x))), int(std::lround(plot->yAxis->coordToPixel(y))));
}

void tst_PlotCursors::press(const QPoint &at, Qt::KeyboardModifiers modifiers)
{
    QTest::mousePress(plot, Qt::LeftButton, modifiers, at);
}

// QTest::mouseMove moves the platform's cursor; the offscreen platform
// turns that into a move event without the button held, as a tracked
// hover. Where the button matters, the event is sent as a window would.
void tst_PlotCursors::moveTo(const QPoint &at)
{
    QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
}

void tst_PlotCursors::release(const QPoint &at)
{
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, at);
}

void tst_PlotCursors::ctrlClicksPlaceASnappedToTheCurveThenBThenMoveTheNearer()
{
    int changes = 0;
    connect(cursors, &PlotCursors::changed, [&] { ++changes; });
    // Between 20 and 21, nearer 20: snapped to the point at 20.
    QTest::mouseClick(plot, Qt::LeftButton, Qt::ControlModifier, pixelAt(20.3, 1500));
    QVERIFY(cursors->pair().has(Cursor::A) && !cursors->pair().has(Cursor::B));
    QCOMPARE(cursors->pair().position(Cursor::A), 20.0);
    QCOMPARE(*cursors->valueAt(Cursor::A), 1200.0);
    QCOMPARE(cursors->readout(Cursor::A), QStringLiteral("A  20.0 s, 1200 mm"));
    QVERIFY(cursors->deltaText().isEmpty());

    QTest::mouseClick(plot, Qt::LeftButton, Qt::ControlModifier, pixelAt(70.2, 1500));
    QCOMPARE(cursors->pair().position(Cursor::B), 70.0);
    QCOMPARE(*cursors->deltaY(), 500.0);
    QCOMPARE(cursors->deltaText(), QStringLiteral("Δx 50.0 s   Δy 500 mm"));

    // Nearer B: B moves, A stays.
    QTest::mouseClick(plot, Qt::LeftButton, Qt::ControlModifier, pixelAt(60, 1500));
    QCOMPARE(cursors->pair().position(Cursor::A), 20.0);
    QCOMPARE(cursors->pair().position(Cursor::B), 60.0);
    QCOMPARE(cursors->deltaText(), QStringLiteral("Δx 40.0 s   Δy 400 mm"));
    QCOMPARE(changes, 3);
    // A click without Ctrl away from the cursors places nothing.
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, pixelAt(40, 1500));
    QCOMPARE(changes, 3);
}

void tst_PlotCursors::draggingACursorMovesItAndNeverThePlotsRange()
{
    cursors->place(Cursor::A, 30);
    cursors->place(Cursor::B, 80);
    const QCPRange x = plot->xAxis->range(), y = plot->yAxis->range();
    // Grabbed a few pixels beside the line.
    press(pixelAt(30, 1500) + QPoint(3, 0));
    for (double to : {35.0, 42.0, 47.0})
        moveTo(pixelAt(to, 1200));
    release(pixelAt(47, 1200));
    QCOMPARE(cursors->pair().position(Cursor::A), 47.0);
    QCOMPARE(cursors->pair().position(Cursor::B), 80.0);
    QCOMPARE(plot->xAxis->range(), x);
    QCOMPARE(plot->yAxis->range(), y);

    // Dragged past the plot's edge, a cursor stops at the edge.
    press(pixelAt(80, 1500));
    moveTo(pixelAt(100, 1500) + QPoint(200, 0));
    release(pixelAt(100, 1500) + QPoint(200, 0));
    QCOMPARE(cursors->pair().position(Cursor::B), 100.0);
    // After the release, moves no longer carry it.
    moveTo(pixelAt(60, 1500));
    QCOMPARE(cursors->pair().position(Cursor::B), 100.0);
}

void tst_PlotCursors::aDragRedrawsOnlyTheCursorLayer()
{
    cursors->place(Cursor::A, 50);
    plot->replot();
    QCPLayer *layer = plot->layer(QString::fromLatin1(PlotCursors::kLayerName));
    QVERIFY(layer);
    QCOMPARE(layer->mode(), QCPLayer::lmBuffered);
    int replots = 0;
    connect(plot, &QCustomPlot::afterReplot, [&] { ++replots; });
    press(pixelAt(50, 1500));
    for (int x = 51; x <= 60; ++x)
        moveTo(pixelAt(x, 1500));
    release(pixelAt(60, 1500));
    QCOMPARE(cursors->pair().position(Cursor::A), 60.0);
    QCOMPARE(replots, 0);
}

void tst_PlotCursors::plainPressAwayFromTheCursorsDragsThePlot()
{
    cursors->place(Cursor::A, 50);
    const QCPRange before = plot->xAxis->range();
    QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, pixelAt(20, 1500));
    QMouseEvent move(QEvent::MouseMove, pixelAt(10, 1500), plot->mapToGlobal(pixelAt(10, 1500)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, pixelAt(10, 1500));
    QVERIFY(plot->xAxis->range().lower > before.lower + 5);
    QCOMPARE(cursors->pair().position(Cursor::A), 50.0);
}

void tst_PlotCursors::menuPlacesAndRemovesTheCursors()
{
    QMenu menu;
    cursors->addMenuActions(&menu, pixelAt(33, 1500));
    QCOMPARE(menu.actions().size(), 3);
    QVERIFY(!menu.actions().at(2)->isEnabled()); // nothing to remove yet
    menu.actions().at(1)->trigger();
    QVERIFY(!cursors->pair().has(Cursor::A));
    QCOMPARE(cursors->pair().position(Cursor::B), 33.0);
    menu.actions().at(0)->trigger();
    QCOMPARE(cursors->pair().position(Cursor::A), 33.0);

    QMenu again;
    cursors->addMenuActions(&again, pixelAt(90, 1500));
    QVERIFY(again.actions().at(2)->isEnabled());
    again.actions().at(2)->trigger();
    QVERIFY(cursors->pair().empty());
}

void tst_PlotCursors::readoutsFollowTheCurveAfterRefresh()
{
    cursors->place(Cursor::A, 10);
    cursors->place(Cursor::B, 12);
    QCOMPARE(*cursors->deltaY(), 20.0);
    // New data under B, and a hole (NaN) where A stands: A reads the nearest real point.
    graph->data()->remove(11.5, 12.5);
    graph->addData(12, 5000);
    graph->data()->remove(9.5, 10.5);
    graph->addData(10, qQNaN());
    cursors->refresh();
    QCOMPARE(*cursors->valueAt(Cursor::B), 5000.0);
    QCOMPARE(cursors->pair().position(Cursor::A), 9.0);
    QCOMPARE(*cursors->valueAt(Cursor::A), 1090.0);
}

QTEST_MAIN(tst_PlotCursors)
#include "tst_plot_cursors.moc"
