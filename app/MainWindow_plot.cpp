#include "app/MainWindow.h"
#include "app/LinkStatusView.h"
#include "app/LivePlot.h"
#include "app/LodGraph.h"
#include "app/MainPlotView.h"
#include "app/PlotCursors.h"
#include "curve/CurveStoreFile.h"
#include "workflow/MeasurementFeed.h"
#include "ui_MainWindow.h"

#include <QTimer>
#include <qcustomplot.h>

namespace {

// One-pixel pens without antialiasing: the cheapest way for the plot to draw.
LodGraph *addLiveGraph(QCustomPlot *plot, Qt::GlobalColor colour, CurveAxis axis)
{
    auto *graph = new LodGraph(plot->xAxis, plot->yAxis);
    graph->setCurveAxis(axis);
    graph->setPen(QPen(QColor(colour)));
    graph->setBrush(QBrush(Qt::NoBrush));
    graph->setAntialiased(false);
    return graph;
}

// Scales the value axis to graph `index`, if the plot still has it.
void rescaleValueAxisTo(QCustomPlot *plot, int index)
{
    if (index >= 0 && index < plot->graphCount())
        plot->graph(index)->rescaleValueAxis(false);
}

} // namespace

void MainWindow::setupPlot()
{
    plot = new LivePlot(ui->frame_plot);
    addLiveGraph(plot, Qt::blue, CurveAxis::Points);
    addLiveGraph(plot, Qt::red, CurveAxis::Points);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    auto *layout = new QVBoxLayout(ui->frame_plot);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot);
    plotView = new MainPlotView(plot);
    playbackMaxPoints = CurveStoreFile::kMaxPoints;

    refreshTimer = new QTimer(this);
    connect(refreshTimer, &QTimer::timeout, this, &MainWindow::refreshPlotArea);
    refreshTimer->start(30);
    connect(plot, &QCustomPlot::mouseDoubleClick, this, &MainWindow::setAutoPlot);
}

// The ten values go to the live curve with the time they are plotted at,
// on the clock the statistics use; the time axis counts from the last Start.
void MainWindow::refreshPlotArea()
{
    flushMeasurementText();
    if (!plotPending)
        return;
    plotPending = false;
    // A loaded curve file may have left the plot without any graph;
    // acquisition then continues on a fresh one styled like the original.
    if (plot->graphCount() == 0)
        addLiveGraph(plot, Qt::blue, plotView->axis());
    if (LodGraph *live = plotView->liveGraph()) {
        CurveStore &curve = live->curve();
        const qint64 now = measurementFeed->nowNanoseconds();
        if (curve.size() == 0 && lastStartNs >= 0 && lastStartNs <= now)
            curve.setTimeOrigin(lastStartNs);
        const bool wasTaking = curve.error() == CurveStore::Error::None;
        for (int i = 0; i < 10; ++i)
            curve.append(double(plotBuffer[i]), now);
        // Once, when the curve stops taking points: what it holds stays shown.
        if (wasTaking && curve.error() != CurveStore::Error::None)
            linkStatusView->showProblem(tr("曲线无法再存新的点，已有的点保留：%1")
                                            .arg(curve.error() == CurveStore::Error::Full ? tr("已满") : curve.errorString()));
    } else {
        for (int i = 0; i < 10; ++i)
            plot->graph(0)->addData(double(plotKey + i), double(plotBuffer[i]));
    }
    plotKey += 10;
    if (autoPlot) {
        rescaleValueAxisTo(plot, curveIndex);
        plot->xAxis->setRange(0, plotView->axis() == CurveAxis::Points ? plotKey + 20 : plotView->keyRangeEnd());
    }
    plotView->cursors()->refresh();
    if (auto *livePlot = qobject_cast<LivePlot *>(plot))
        livePlot->refresh();
    else
        plot->replot();
}

void MainWindow::setAutoPlot()
{
    autoPlot = !autoPlot;
}

void MainWindow::on_pbSwitchCurve_clicked()
{
    curveIndex = (curveIndex + 1) % 2;
    if (autoPlot) {
        rescaleValueAxisTo(plot, curveIndex);
        plot->xAxis->setRange(0, switchKeyCount + 10);
    }
    plot->replot();
}

void MainWindow::clearCurves()
{
    plotKey = 0;
    switchKeyCount = 0;
    for (int i = 0; i < plot->graphCount(); ++i) {
        if (auto *graph = qobject_cast<LodGraph *>(plot->graph(i)))
            graph->curve().clear();
        else
            plot->graph(i)->data()->clear();
    }
    plot->replot();
}
