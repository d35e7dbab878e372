#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/LogStartDialog.h"
#include "widgets/ElidingLabel.h"
#include "widgets/UserPrompts.h"
#include "files/MeasurementLog.h"
#include "link/QTRNet.h"
#include "workflow/MeasurementFeed.h"
#include "workflow/MeasurementPipeline.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

void MainWindow::setupMeasurementLog()
{
    measurementPipeline = new MeasurementPipeline(net, this);
    measurementFeed = measurementPipeline->feed();
    measurementLog = new MeasurementLog(measurementFeed, this);
    // Elided to its room, whole in its tooltip; hidden while there is no log.
    // The link's wiring places it in the status bar.
    logStatusLabel = new ElidingLabel(Qt::ElideRight, this);
    logStatusLabel->setObjectName(QStringLiteral("logStatusLabel"));
    logStatusLabel->hide();

    auto *startLogAction = new QAction(tr("开始记录日志..."), this);
    startLogAction->setObjectName(QStringLiteral("actionStartLog"));
    stopLogAction = new QAction(tr("停止记录日志"), this);
    stopLogAction->setObjectName(QStringLiteral("actionStopLog"));
    stopLogAction->setEnabled(false);
    ui->menu->insertAction(ui->actionEixt, startLogAction);
    ui->menu->insertAction(ui->actionEixt, stopLogAction);
    ui->menu->insertSeparator(ui->actionEixt);

    connect(startLogAction, &QAction::triggered, this, &MainWindow::startMeasurementLog);
    connect(stopLogAction, &QAction::triggered, measurementLog, &MeasurementLog::stop);
    connect(measurementLog, &MeasurementLog::statusChanged, this, &MainWindow::showLogStatus);
}

void MainWindow::startMeasurementLog()
{
    const QString folder = QFileInfo(savedFilePath).path();
    const QString proposed = QDir(folder).filePath(MeasurementLog::defaultFileName(QDateTime::currentDateTime()));
    LogStartDialog dialog(proposed, *measurementLog, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!measurementLog->start(dialog.path(), dialog.layout(), &error, dialog.mode()))
        UserPrompts::critical(this, tr("日志错误"), tr("无法创建日志文件\r\n%1").arg(error));
}

void MainWindow::showLogStatus()
{
    const QString status = measurementLog->statusText();
    logStatusLabel->setText(status);
    logStatusLabel->setToolTip(status);
    logStatusLabel->setVisible(!status.isEmpty());
    stopLogAction->setEnabled(measurementLog->isRunning());
}
