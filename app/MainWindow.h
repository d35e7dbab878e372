#pragma once

#include "workflow/LidarDisplayInfo.h"
#include "workflow/MeasurementTextPacer.h"

#include <QMainWindow>
#include <QSerialPort>
#include <QString>

class QAction;
class QCloseEvent;
class QCustomPlot;
class QLabel;
class QShortcut;
class QTimer;
class QTRNet;
class comSettings;
class ConfigDialog;
class DownloadDialog;
class MeasurementFeed;
class MeasurementPipeline;
class MeasurementLog;
class StatisticsWindow;
class LinkStats;
class LinkStatsLabel;
class TrafficMonitor;
class LinkSupervisor;
class LinkStatusView;
class MainPlotView;
struct TRData;

namespace Ui {
class MainWindow;
}

// The one main window: owns the port, the endpoint, the dialogs and the plot,
// and turns the sensor's packets into texts and a live curve.
class MainWindow : public QMainWindow {
    Q_OBJECT
    friend struct MainWindowProbe; // tests reach the state through it

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Selects a port and rate in the port dialog as Apply would, without
    // opening it; false for an empty name or a rate the dialog does not offer.
    bool presetPort(const QString &name, qint32 baudRate);

signals:
    // A handled frame was dropped as shorter than its handler reads.
    void shortPayloadDropped();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void about();
    bool openCom();
    void closeCom();
    void handleLidarError(QSerialPort::SerialPortError error);
    void readLidarData();
    void refreshPlotArea();
    void setAutoPlot();
    void saveCurveToPic();
    void saveCurveData();
    void loadCurve();
    void on_pbStart_clicked();
    void on_pbClear_clicked();
    void on_pbStop_clicked();
    void msg_view(LidarDisplayInfo data);
    void on_pbSwitchCurve_clicked();
    void getCaliParam();
    void paramCali();
    void on_pbGetConfig_clicked();
    void on_actionOrignalData_triggered();
    void on_actioninternal_triggered();
    void parseLidarData(TRData *pack);

private:
    void setupPlot();
    void setupDownload();
    void addContactLabel();
    void loadSettings();
    void saveSettings();
    void setupLanguageMenu();
    void clearCurves();
    void processMeasurement(TRData *pack);
    void showAnswer(const QString &text);
    void flushMeasurementText();
    void setupMeasurementLog();
    void startMeasurementLog();
    void showLogStatus();
    void setupStatistics();
    void showStatistics();
    void setupLinkCounters();
    void setupTrafficMonitor();
    void setupLinkHealth();
    bool reopenPort();
    bool commandMayGo(bool linkTaken, quint8 cmd);
    void restartStatistics();
    bool stopAcquisitionForPlayback();

    QCustomPlot *plot = nullptr;
    MainPlotView *plotView = nullptr; // the plot's axis choice and cursors
    Ui::MainWindow *ui = nullptr;
    comSettings *comSettingsDialog = nullptr;
    QString iniFileName;
    QSerialPort *serialPort = nullptr;
    QByteArray readBuffer; // reused by readLidarData
    ConfigDialog *configDialog = nullptr;
    QTRNet *net = nullptr;
    DownloadDialog *downloadDialog = nullptr;
    qint32 plotBuffer[10] = {};
    qint32 switchKeyCount = 0; // second point counter of the curve switch
    bool plotPending = false;
    bool autoPlot = true;
    QString savedFilePath;
    qint64 playbackMaxPoints = 0; // values a played-back file may hold, in all (set with the plot)
    QShortcut *startShortcut = nullptr;
    QShortcut *clearShortcut = nullptr;
    qint32 curveIndex = 0;
    // Frame statistics (windowSamples, windowSum, windowCount, varianceSum,
    // lastStdDev, noiseHits, peakHits, framePoints, frameRate) and their
    // publication: the same road a program without a window takes.
    MeasurementPipeline *measurementPipeline = nullptr;
    qint32 plotKey = 0;
    QTimer *refreshTimer = nullptr;
    MeasurementTextPacer measurementText {30}; // one view rewrite per refresh tick at most
    QString languageChoice; // stored for the next start; this run may differ (--lang)
    // Every processed frame, for the measurement log, the statistics window
    // and a test run; the pipeline's.
    MeasurementFeed *measurementFeed = nullptr;
    MeasurementLog *measurementLog = nullptr;
    QLabel *logStatusLabel = nullptr;
    QAction *stopLogAction = nullptr;
    StatisticsWindow *statisticsWindow = nullptr; // made when first asked for
    LinkStats *linkStats = nullptr;
    LinkStatsLabel *linkStatsLabel = nullptr;
    TrafficMonitor *trafficMonitor = nullptr;
    bool autoReconnect = true;          // settings key AutoReconnect
    LinkSupervisor *linkSupervisor = nullptr;
    LinkStatusView *linkStatusView = nullptr;
    qint64 lastStartNs = -1; // when the last Start went out, on the feed's clock
};
