#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/ConfigDialog.h"
#include "app/PlotTicks.h"
#include "app/TestWindows.h"
#include "app/WindowFit.h"
#include "download/DownloadDialog.h"
#include "files/MeasurementLog.h"
#include "link/LinkSupervisor.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"
#include "settings/SettingsRules.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QShortcut>
#include <qcustomplot.h>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , iniFileName(SettingsRules::fileName())
{
    // The icon lives in a static library, whose resources load only on request.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    setupPlot();
    PlotTicks::keepLabelsApart(plot);
    addContactLabel();

    comSettingsDialog = new comSettings(this);
    connect(ui->actionOpenCom, &QAction::triggered, comSettingsDialog, &QWidget::show);
    connect(comSettingsDialog, &comSettings::comReady, this, &MainWindow::openCom);

    serialPort = new QSerialPort(this);
    serialPort->setReadBufferSize(QTRNet::kPortReadBuffer);
    connect(ui->actionCloseCom, &QAction::triggered, this, &MainWindow::closeCom);
    connect(serialPort, &QSerialPort::errorOccurred, this, &MainWindow::handleLidarError);

    configDialog = new ConfigDialog(this);
    auto *central = new QHBoxLayout(ui->centralWidget);
    central->addWidget(ui->frame_plot);
    central->addWidget(ui->frame_control);
    startShortcut = new QShortcut(QKeySequence(QStringLiteral("F2")), this, nullptr, nullptr, Qt::WindowShortcut);
    clearShortcut = new QShortcut(QKeySequence(QStringLiteral("F3")), this, nullptr, nullptr, Qt::WindowShortcut);
    connect(startShortcut, &QShortcut::activated, this, &MainWindow::on_pbStart_clicked);
    connect(clearShortcut, &QShortcut::activated, this, &MainWindow::on_pbClear_clicked);

    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::about);
    connect(ui->actionConfigPara, &QAction::triggered, configDialog, &QWidget::show);
    connect(ui->actionSaveCurveToPic, &QAction::triggered, this, &MainWindow::saveCurveToPic);
    connect(ui->actionRecordData, &QAction::triggered, this, &MainWindow::saveCurveData);
    connect(ui->actionPlaybackData, &QAction::triggered, this, &MainWindow::loadCurve);
    connect(ui->actionGetCaliParam, &QAction::triggered, this, &MainWindow::getCaliParam);
    connect(ui->actionPramCali, &QAction::triggered, this, &MainWindow::paramCali);
    connect(ui->actionOrigalData, &QAction::triggered, this, &MainWindow::on_actionOrignalData_triggered);
    connect(ui->actionEixt, &QAction::triggered, this, &QWidget::close);
    downloadDialog = new DownloadDialog(this);
    downloadDialog->hide();
    connect(ui->actionDownload, &QAction::triggered, downloadDialog, &QWidget::show);

    loadSettings();
    setupLanguageMenu();
    setWindowTitle(tr("雷达数据波形工具 V1.0.0"));

    net = new QTRNet(serialPort);
    connect(net, &QTRNet::dataReady, this, &MainWindow::parseLidarData);
    downloadDialog->setNet(net);
    setupDownload();
    // The status bar reads, from the left: the link's state, its counters,
    // the log; the contact text stays at the right.
    setupLinkCounters();
    setupMeasurementLog();
    setupStatistics();
    setupTrafficMonitor();
    setupLinkHealth();
    setupTestMenu();
    const QList<QWidget *> windows {this, comSettingsDialog, configDialog, downloadDialog};
    for (QWidget *window : windows)
        WindowFit::fitWhenShown(window);
}

MainWindow::~MainWindow()
{
    saveSettings();
    // Closing the port while the children are destroyed can report an error;
    // this window must not hear it half-destroyed.
    serialPort->disconnect(this);
    measurementLog->disconnect(this);
    measurementLog->stop();
    linkSupervisor->shutDown();
    delete ui;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!testWindows->mayClose()) {
        event->ignore();
        return;
    }
    downloadDialog->stopTransfer();
    measurementLog->stop();
    QMainWindow::closeEvent(event);
}
