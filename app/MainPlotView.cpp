#include "app/MainPlotView.h"

#include "app/CursorPair.h"
#include "app/LodGraph.h"
#include "app/PlotCursors.h"

#include <QActionGroup>
#include <QMenu>
#include <qcustomplot.h>

namespace {
const QString kPointsName = QStringLiteral("points");
const QString kTimeName = QStringLiteral("time");
constexpr double kPointsMargin = 20;
} // namespace

MainPlotView::MainPlotView(QCustomPlot *plot)
    : QObject(plot)
    , plot(plot)
    , cursorPair(new PlotCursors(plot))
{
    cursorPair->setCurve([this](double x) -> std::optional<PlotCursors::CurvePoint> {
        const LodGraph *graph = liveGraph();
        if (!graph)
            return std::nullopt;
        const qint64 i = CursorPair::nearestKey(graph->curve().size(), [graph](qint64 k) { return graph->keyAt(k); }, x);
        if (i < 0)
            return std::nullopt;
        return PlotCursors::CurvePoint{graph->keyAt(i), graph->curve().value(i)};
    });
    showCursorUnits();
    plot->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(this->plot);
        addMenuActions(&menu, pos);
        menu.exec(this->plot->mapToGlobal(pos));
    });
}

QString MainPlotView::axisName(CurveAxis axis)
{
    return axis == CurveAxis::Time ? kTimeName : kPointsName;
}

CurveAxis MainPlotView::axisNamed(const QString &name)
{
    return name == kTimeName ? CurveAxis::Time : CurveAxis::Points;
}

LodGraph *MainPlotView::liveGraph() const
{
    return plot->graphCount() > 0 ? qobject_cast<LodGraph *>(plot->graph(0)) : nullptr;
}

void MainPlotView::markGap()
{
    if (LodGraph *graph = liveGraph())
        graph->curve().markGap();
}

double MainPlotView::keyRangeEnd() const
{
    double last = 0;
    for (int i = 0; i < plot->graphCount(); ++i) {
        const auto *graph = qobject_cast<const LodGraph *>(plot->graph(i));
        if (graph && graph->curve().size() > 0)
            last = qMax(last, graph->keyAt(graph->curve().size() - 1));
    }
    return last + (keys == CurveAxis::Time ? kTimeMargin : kPointsMargin);
}

void MainPlotView::setAxis(CurveAxis axis)
{
    const bool changed = axis != keys;
    keys = axis;
    for (int i = 0; i < plot->graphCount(); ++i)
        if (auto *graph = qobject_cast<LodGraph *>(plot->graph(i)))
            graph->setCurveAxis(axis);
    if (!changed)
        return;
    cursorPair->clear();
    showCursorUnits();
    plot->xAxis->setRange(0, keyRangeEnd());
    plot->replot();
    emit axisChanged(axis);
}

void MainPlotView::showCursorUnits()
{
    if (keys == CurveAxis::Time) {
        cursorPair->setUnits(tr("秒"), QString());
        cursorPair->setDecimals(3, -1);
    } else {
        cursorPair->setUnits(QString(), QString());
        cursorPair->setDecimals(0, -1);
    }
}

void MainPlotView::addMenuActions(QMenu *menu, const QPoint &pos)
{
    auto *group = new QActionGroup(menu);
    const auto addAxis = [&](const QString &text, CurveAxis axis, const QString &name) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        action->setCheckable(true);
        action->setChecked(keys == axis);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, axis] { setAxis(axis); });
    };
    addAxis(tr("点数"), CurveAxis::Points, QStringLiteral("actionPlotAxisPoints"));
    addAxis(tr("时间"), CurveAxis::Time, QStringLiteral("actionPlotAxisTime"));
    menu->addSeparator();
    cursorPair->addMenuActions(menu, pos);
}
