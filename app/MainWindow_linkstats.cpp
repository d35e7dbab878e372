#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/LinkStatsLabel.h"
#include "app/TrafficMonitor.h"
#include "link/LinkStats.h"
#include "link/QTRNet.h"

#include <QShortcut>
#include <QStatusBar>

// Counters in the status bar, beside whatever else sits at its left; the
// contact text stays at the right.
void MainWindow::setupLinkCounters()
{
    linkStats = new LinkStats(net->counters(), this);
    connect(this, &MainWindow::shortPayloadDropped, linkStats, &LinkStats::countShortPayload);
    connect(ui->pbClear, &QPushButton::clicked, linkStats, &LinkStats::clear);
    connect(clearShortcut, &QShortcut::activated, linkStats, &LinkStats::clear);
    connect(serialPort, &QIODevice::aboutToClose, linkStats, &LinkStats::portClosing);
    linkStatsLabel = new LinkStatsLabel(linkStats, this);
    statusBar()->addWidget(linkStatsLabel);
}

void MainWindow::setupTrafficMonitor()
{
    trafficMonitor = new TrafficMonitor(net, this);
    QAction *open = ui->menu_2->addAction(tr("原始数据监视器"));
    open->setObjectName(QStringLiteral("actionTrafficMonitor"));
    connect(open, &QAction::triggered, trafficMonitor, [this] {
        trafficMonitor->show();
        trafficMonitor->raise();
        trafficMonitor->activateWindow();
    });
}
