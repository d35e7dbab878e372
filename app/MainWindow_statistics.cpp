#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/StatisticsWindow.h"
#include "link/LinkSupervisor.h"
#include "workflow/MeasurementFeed.h"

void MainWindow::setupStatistics()
{
    auto *action = new QAction(tr("统计..."), this);
    action->setObjectName(QStringLiteral("actionStatistics"));
    ui->menu_2->addAction(action);
    connect(action, &QAction::triggered, this, &MainWindow::showStatistics);
}

// Made on first use: until then no frame pays for the statistics. One made
// during a run counts its time from that run's Start all the same. A Stop,
// a lost link or a reconnection leaves a gap in its since-Start series.
void MainWindow::showStatistics()
{
    if (!statisticsWindow) {
        statisticsWindow = new StatisticsWindow(measurementFeed, this);
        if (lastStartNs >= 0)
            statisticsWindow->restart(lastStartNs);
        connect(linkSupervisor, &LinkSupervisor::stateChanged, statisticsWindow, [this](LinkState state) {
            if (state != LinkState::Acquiring)
                statisticsWindow->markGap();
        });
    }
    statisticsWindow->show();
    statisticsWindow->raise();
    statisticsWindow->activateWindow();
}

// A Start is going out now.
void MainWindow::restartStatistics()
{
    lastStartNs = measurementFeed->nowNanoseconds();
    if (statisticsWindow)
        statisticsWindow->restart(lastStartNs);
}
