#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class DownloadTransfer;
class QTRNet;
struct TransferProfile;
struct TRData;

namespace Ui {
class DownloadDialog;
}

// The download window: the user picks a firmware image or a calibration
// table and follows its transfer (a DownloadTransfer) on the progress bar and
// in one line of text. The window only shows the transfer's state.
class DownloadDialog : public QDialog {
    Q_OBJECT
    friend struct DownloadDialogProbe;

public:
    explicit DownloadDialog(QWidget *parent = nullptr);
    ~DownloadDialog() override;

    // Keeps the endpoint for sending and listens to its packets for acks.
    void setNet(QTRNet *endpoint);
    // How a transfer opens a closed port: the main window's own way.
    void setPortOpener(std::function<bool()> opener);

    // From a start until its outcome is shown. Nothing else may go out on
    // the link meanwhile.
    bool transferActive() const { return active; }
    // Ends a running transfer at once, sending nothing more and showing no
    // box: the window that owns the link is going away.
    void stopTransfer();

signals:
    void transferActiveChanged(bool active);

private slots:
    void filePath();
    void setCaliFilePath();
    void on_startDownload_clicked();
    void recievAck(TRData *pack);
    void on_startDownloadCaliFile_clicked();

private:
    void runTransfer(const TransferProfile &profile, const QString &path);
    void showProgress();
    void showOutcome();
    void setTransferControlsEnabled(bool enabled);
    void setActive(bool on);

    QTRNet *net = nullptr;
    DownloadTransfer *transfer = nullptr;
    qint32 fileKind = 0;
    Ui::DownloadDialog *ui = nullptr;
    QString imagePath;
    QString caliFilePath;
    bool active = false;
    bool sendingTable = false; // the running or last transfer is a calibration table
};
