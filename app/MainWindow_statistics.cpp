#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/StatisticsWindow.h"

#include <QPushButton>

#include <QShortcut>

void MainWindow::setupStatistics()
{
    auto *action = new QAction(tr("统计..."), this);
    action->setObjectName(QStringLiteral("actionStatistics"));
    ui->menu_2->addAction(action);
    connect(action, &QAction::triggered, this, &MainWindow::showStatistics);
}

// Made on first use: until then no frame pays for the statistics.
void MainWindow::showStatistics()
{
    if (!statisticsWindow) {
        statisticsWindow = new StatisticsWindow(measurementFeed, this);
        // On press: Start's own slot (on click) waits while the first frames of
        // the new run arrive, and those belong to it.
        connect(ui->pbStart, &QPushButton::pressed, statisticsWindow, &StatisticsWindow::restart);
        connect(startShortcut, &QShortcut::activated, statisticsWindow, &StatisticsWindow::restart);
    }
    statisticsWindow->show();
    statisticsWindow->raise();
    statisticsWindow->activateWindow();
}
