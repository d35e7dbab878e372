#include "app/MainWindow.h"
#include "app/LivePlot.h"
#include "app/LodGraph.h"
#include "ui_MainWindow.h"

#include <QTimer>
#include <qcustomplot.h>

namespace {

// One-pixel pens without antialiasing: the cheapest way for the plot to draw.
QCPGraph *addLiveGraph(QCustomPlot *plot, Qt::GlobalColor colour)
{
    QCPGraph *graph = new LodGraph(plot->xAxis, plot->yAxis);
    graph->setPen(QPen(QColor(colour)));
    graph->setBrush(QBrush(Qt::NoBrush));
    graph->setAntialiased(false);
    return graph;
}

// The live graph. A loaded curve file may have left the plot without any
// graph; acquisition then continues on a fresh one styled like the original.
QCPGraph *liveGraph(QCustomPlot *plot)
{
    return plot->graphCount() > 0 ? plot->graph(0) : addLiveGraph(plot, Qt::blue);
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
    addLiveGraph(plot, Qt::blue);
    addLiveGraph(plot, Qt::red);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    auto *layout = new QVBoxLayout(ui->frame_plot);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot);

    refreshTimer = new QTimer(this);
    connect(refreshTimer, &QTimer::timeout, this, &MainWindow::refreshPlotArea);
    refreshTimer->start(30);
    connect(plot, &QCustomPlot::mouseDoubleClick, this, &MainWindow::setAutoPlot);
}

void MainWindow::refreshPlotArea()
{
    flushMeasurementText();
    if (!plotPending)
        return;
    plotPending = false;
    QCPGraph *live = liveGraph(plot);
    for (int i = 0; i < 10; ++i)
        live->addData(double(plotKey + i), double(plotBuffer[i]));
    plotKey += 10;
    if (autoPlot) {
        rescaleValueAxisTo(plot, curveIndex);
        plot->xAxis->setRange(0, plotKey + 20);
    }
    if (auto *live = qobject_cast<LivePlot *>(plot))
        live->refresh();
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
    for (int i = 0; i < plot->graphCount(); ++i)
        plot->graph(i)->data()->clear();
    plot->replot();
}
