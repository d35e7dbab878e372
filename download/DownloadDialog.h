#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class QTRNet;
struct TRData;

namespace Ui {
class DownloadDialog;
}

// The download window and its transfer engine: moves a firmware image or a
// calibration table into the sensor in acknowledged 64-byte blocks.
class DownloadDialog : public QDialog {
    Q_OBJECT
public:
    explicit DownloadDialog(QWidget *parent = nullptr);
    ~DownloadDialog() override;

    // Keeps the endpoint for sending and listens to its packets for acks.
    void setNet(QTRNet *endpoint);

private slots:
    void recievAck(TRData *pack);

private:
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
