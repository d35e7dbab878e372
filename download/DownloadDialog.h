#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <functional>

class QTRNet;
struct TRData;

namespace Ui {
class DownloadDialog;
}

// The download window and its transfer engine: moves a firmware image or a
// calibration table into the sensor in acknowledged 64-byte blocks.
class DownloadDialog : public QDialog {
    Q_OBJECT
    friend struct DownloadDialogProbe;

public:
    explicit DownloadDialog(QWidget *parent = nullptr);
    ~DownloadDialog() override;

    // Keeps the endpoint for sending and listens to its packets for acks.
    void setNet(QTRNet *endpoint);

private slots:
    void filePath();
    void setCaliFilePath();
    void on_startDownload_clicked();
    void recievAck(TRData *pack);
    void on_startDownloadCaliFile_clicked();

private:
    static constexpr int kStartPauseMs = 1000;
    static constexpr int kStartAckMs = 2000;
    static constexpr int kStepAckMs = 1000;

    // One whole transfer; true when every step was acknowledged with a
    // non-zero result. A tag is null when the profile has none. Nothing is
    // sent when the file cannot be read, and nothing more once the
    // application is quitting.
    bool downloadImage(quint8 startCode, const char *startTag, quint8 blockCode,
                       const char *blockTag, quint8 endCode, const char *endTag,
                       const QString &path);
    // True when an ack for `code` arrived (consuming it) within the time-out;
    // false at once when the application is quitting. Ignores the result.
    bool waitAck(int timeoutMs, int code);
    // Replaces imageData with the file padded with 0xFF to a multiple of 4.
    bool readImageFile(const QString &path);

    bool sendStart(quint8 code, const char *tag);
    bool sendBlocks(quint8 code, const char *tag);
    bool sendBlock(quint8 code, const char *tag, int index, int length);
    bool sendEnd(quint8 code, const char *tag, quint32 value);
    bool acknowledged(int timeoutMs, int code);

    // Runs a transfer with the transfer controls locked, then reports failure.
    void runTransfer(const std::function<bool()> &transfer);
    void setTransferControlsEnabled(bool enabled);

    QTRNet *net = nullptr;
    qint32 ackCmd = -1;
    qint32 ackResult = -1;
    qint32 fileKind = 0;
    QByteArray imageData;
    qint32 blockSize = 64;
    Ui::DownloadDialog *ui = nullptr;
    QString imagePath;
    QString caliFilePath;
};
