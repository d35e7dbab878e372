#include "app/LodGraph.h"
#include "app/MainPlotView.h"
#include "app/MainWindow.h"
#include "app/PlotCursors.h"
#include "link/LinkSupervisor.h"
#include "settings/SettingsRules.h"
#include "widgets/UserPrompts.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <qcustomplot.h>

#include <cmath>
#include <memory>

struct MainWindowProbe {
    static QCustomPlot *plot(MainWindow &w) { return w.plot; }
    static MainPlotView *view(MainWindow &w) { return w.plotView; }
    static LinkSupervisor *link(MainWindow &w) { return w.linkSupervisor; }
    static void stopTimer(MainWindow &w) { w.refreshTimer->stop(); }
    static void setStart(MainWindow &w, qint64 ns) { w.lastStartNs = ns; }
    static void playBack(MainWindow &w) { w.loadCurve(); }
    // One frame's ten plot values, drawn now.
    static void refreshWithFrame(MainWindow &w, int mean)
    {
        std::fill(std::begin(w.plotBuffer), std::end(w.plotBuffer), mean);
        w.plotPending = true;
        w.refreshPlotArea();
    }
};

namespace {
using Probe = MainWindowProbe;

LodGraph *live(MainWindow &w)
{
    return qobject_cast<LodGraph *>(Probe::plot(w)->graph(0));
}

// Triggers the context menu entry `name` as a click on it would.
void chooseFromMenu(MainWindow &w, const QString &name)
{
    QMenu menu;
    Probe::view(w)->addMenuActions(&menu, QPoint(100, 100));
    QAction *action = menu.findChild<QAction *>(name);
    QVERIFY2(action, qPrintable(name));
    QVERIFY(action->isCheckable());
    action->trigger();
}

bool checked(MainWindow &w, const QString &name)
{
    QMenu menu;
    Probe::view(w)->addMenuActions(&menu, QPoint(100, 100));
    return menu.findChild<QAction *>(name)->isChecked();
}

} // namespace

class tst_MainPlotView : public QObject {
    Q_OBJECT
private slots:
    void init();
    void axisIsChosenFromTheMenuAndKeptInTheSettings_data();
    void axisIsChosenFromTheMenuAndKeptInTheSettings();
    void timeAxisCountsSecondsSinceStartAndBreaksAtALinkGap();
    void cursorsMeasureOnTheMainPlot();
    void playedBackCurvesAreKeyedByTheChosenAxis();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_MainPlotView::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    // The window reads and writes its settings file in the working folder.
    QVERIFY(QDir::setCurrent(dir->path()));
}

void tst_MainPlotView::axisIsChosenFromTheMenuAndKeptInTheSettings_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("startsOnTime");
    QTest::newRow("no key: points") << QVariant() << false;
    QTest::newRow("points") << QVariant("points") << false;
    QTest::newRow("time") << QVariant("time") << true;
    QTest::newRow("unknown value: points") << QVariant("Time ") << false;
}

void tst_MainPlotView::axisIsChosenFromTheMenuAndKeptInTheSettings()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, startsOnTime);
    const QString ini = QDir(dir->path()).filePath(SettingsRules::fileName());
    if (stored.isValid())
        QSettings(ini, QSettings::IniFormat).setValue("PlotAxis", stored);
    {
        MainWindow w;
        QCOMPARE(Probe::view(w)->axis(), startsOnTime ? CurveAxis::Time : CurveAxis::Points);
        QCOMPARE(checked(w, "actionPlotAxisTime"), startsOnTime);
        QCOMPARE(checked(w, "actionPlotAxisPoints"), !startsOnTime);
        chooseFromMenu(w, startsOnTime ? "actionPlotAxisPoints" : "actionPlotAxisTime");
        for (int i = 0; i < Probe::plot(w)->graphCount(); ++i)
            QCOMPARE(qobject_cast<LodGraph *>(Probe::plot(w)->graph(i))->curveAxis(),
                     startsOnTime ? CurveAxis::Points : CurveAxis::Time);
        QCOMPARE(checked(w, "actionPlotAxisTime"), !startsOnTime);
    }
    QCOMPARE(QSettings(ini, QSettings::IniFormat).value("PlotAxis").toString(),
             QString(startsOnTime ? "points" : "time"));
}

// The live curve's keys on the time axis are seconds since Start on the
// monotonic clock; a Stop or a lost link starts a new stretch, which the
// time axis draws apart and the points axis still joins.
void tst_MainPlotView::timeAxisCountsSecondsSinceStartAndBreaksAtALinkGap()
{
    MainWindow w;
    Probe::stopTimer(w);
    chooseFromMenu(w, "actionPlotAxisTime");
    QElapsedTimer clock;
    clock.start();
    Probe::setStart(w, 0);
    Probe::refreshWithFrame(w, 1500);
    LodGraph *graph = live(w);
    QCOMPARE(graph->curve().size(), qint64(10));
    QVERIFY(graph->curve().hasTimes());
    QVERIFY(graph->keyAt(0) >= 0);
    QCOMPARE(graph->curve().timeOrigin(), qint64(0));

    for (LinkState state : {LinkState::Connected, LinkState::Disconnected}) {
        emit Probe::link(w)->stateChanged(state);
        QTest::qWait(20);
        Probe::refreshWithFrame(w, 1600);
    }
    QCOMPARE(graph->curve().stretchStartsIn(0, graph->curve().size()), (std::vector<qint64>{10, 20}));
    QCOMPARE(Probe::plot(w)->xAxis->range().lower, 0.0);
    QVERIFY(Probe::plot(w)->xAxis->range().upper >= graph->keyAt(29));

    int breaks = 0;
    for (const QCPGraphData &vertex : graph->lineVertices())
        breaks += std::isnan(vertex.value);
    QCOMPARE(breaks, 2);
    chooseFromMenu(w, "actionPlotAxisPoints");
    for (const QCPGraphData &vertex : graph->lineVertices())
        QVERIFY(!std::isnan(vertex.value));
    QCOMPARE(graph->keyAt(29), 29.0);
}

// Cursors A and B on the main plot, as on the statistics window's: placed
// from the menu, they snap to the live curve and give Δx in the axis' unit.
void tst_MainPlotView::cursorsMeasureOnTheMainPlot()
{
    MainWindow w;
    Probe::stopTimer(w);
    Probe::setStart(w, 0);
    for (int frame = 0; frame < 30; ++frame)
        Probe::refreshWithFrame(w, 1000 + 10 * frame);
    PlotCursors *cursors = Probe::view(w)->cursors();
    cursors->place(PlotCursors::Cursor::A, 5.2);
    cursors->place(PlotCursors::Cursor::B, 295);
    QCOMPARE(cursors->pair().position(PlotCursors::Cursor::A), 5.0);
    QCOMPARE(cursors->valueAt(PlotCursors::Cursor::A), std::optional<double>(1000));
    QCOMPARE(cursors->valueAt(PlotCursors::Cursor::B), std::optional<double>(1290));
    QCOMPARE(cursors->pair().delta(), std::optional<double>(290));
    QCOMPARE(cursors->deltaY(), std::optional<double>(290));
    QVERIFY(!cursors->deltaText().contains(QStringLiteral("秒")));

    // A new axis removes them: their places meant the other one.
    chooseFromMenu(w, "actionPlotAxisTime");
    QVERIFY(cursors->pair().empty());
    const double last = live(w)->keyAt(299);
    cursors->place(PlotCursors::Cursor::A, 0);
    cursors->place(PlotCursors::Cursor::B, last);
    QCOMPARE(cursors->pair().position(PlotCursors::Cursor::B), last);
    QVERIFY2(cursors->deltaText().contains(QStringLiteral("秒")), qPrintable(cursors->deltaText()));
}

// A recording has no times: on the time axis its curves are keyed by index,
// and a later playback onto a plot left without graphs keeps the choice.
void tst_MainPlotView::playedBackCurvesAreKeyedByTheChosenAxis()
{
    MainWindow w;
    Probe::stopTimer(w);
    chooseFromMenu(w, "actionPlotAxisTime");
    QString file;
    UserPrompts::setOpenFileChooser([&](QWidget *, const QString &, const QString &, const QString &) { return file; });
    for (const QByteArray &text : {QByteArray("\n"), QByteArray("5,6,7,\n8,\n")}) {
        file = QDir(dir->path()).filePath(QString("played%1.cur").arg(text.size()));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(text) == text.size());
        out.close();
        Probe::playBack(w);
    }
    UserPrompts::setOpenFileChooser({});
    QCOMPARE(Probe::plot(w)->graphCount(), 2);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(qobject_cast<LodGraph *>(Probe::plot(w)->graph(i))->curveAxis(), CurveAxis::Time);
    QCOMPARE(live(w)->keyAt(2), 2.0);
    QCOMPARE(live(w)->curve().value(2), 7.0);
}

QTEST_MAIN(tst_MainPlotView)
#include "tst_main_plot_view.moc"
