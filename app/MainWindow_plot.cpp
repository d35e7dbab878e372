#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include <QTimer>
#include <qcustomplot.h>

void MainWindow::setupPlot()
{
    plot = new QCustomPlot(ui->frame_plot);
    const QColor colours[] = {Qt::blue, Qt::red};
    for (const QColor &colour : colours) {
        QCPGraph *graph = plot->addGraph();
        graph->setPen(QPen(colour));
        graph->setBrush(QBrush(Qt::NoBrush));
        graph->setAntialiased(false);
    }
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    auto *layout = new QVBoxLayout(ui->frame_plot);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot);

    refreshTimer = new QTimer(this);
    connect(refreshTimer, &QTimer::timeout, this, &MainWindow::refreshPlotArea);
    refreshTimer->start(30);
    connect(plot, &QCustomPlot::mouseDoubleClick, this, &MainWindow::setAutoPlot);
}

void MainWindow::refreshPlotArea() {}

void MainWindow::setAutoPlot() {}

void MainWindow::on_pbSwitchCurve_clicked() {}

void MainWindow::clearCurves() {}
