#include "download/DownloadDialog.h"

#include "widgets/UserPrompts.h"
#include "download/DownloadPayload.h"
#include "download/DownloadTransfer.h"
#include "download/TransferTexts.h"
#include "link/QTRNet.h"
#include "ui_DownloadDialog.h"

#include <QDebug>

DownloadDialog::DownloadDialog(QWidget *parent)
    : QDialog(parent)
    , transfer(new DownloadTransfer(this))
    , ui(new Ui::DownloadDialog)
{
    ui->setupUi(this);
    ui->progressBar->hide();
    connect(ui->openFilePath, &QToolButton::clicked, this, &DownloadDialog::filePath);
    connect(ui->filePath, &QLineEdit::textChanged, this, [this](const QString &text) {
        imagePath = text;
        ui->fileInfo->setText(TransferTexts::fileSummary(text));
    });
    connect(ui->openCaliFilePath, &QToolButton::clicked, this, &DownloadDialog::setCaliFilePath);
    connect(ui->caliFilePathEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        caliFilePath = text;
        ui->caliFileInfo->setText(TransferTexts::fileSummary(text));
    });
    // Enter in a path field starts that row's own transfer, never the other's.
    connect(ui->filePath, &QLineEdit::returnPressed, ui->startDownload, &QAbstractButton::click);
    connect(ui->caliFilePathEdit, &QLineEdit::returnPressed, ui->startDownloadCaliFile, &QAbstractButton::click);
    connect(ui->cancelDownload, &QPushButton::clicked, transfer, &DownloadTransfer::cancel);
    connect(transfer, &DownloadTransfer::changed, this, &DownloadDialog::showProgress);
    connect(transfer, &DownloadTransfer::finished, this, &DownloadDialog::showOutcome);
}

DownloadDialog::~DownloadDialog()
{
    delete ui;
}

void DownloadDialog::setNet(QTRNet *endpoint)
{
    net = endpoint;
    transfer->setNet(endpoint);
    if (net)
        connect(net, &QTRNet::dataReady, this, &DownloadDialog::recievAck);
}

void DownloadDialog::setPortOpener(std::function<bool()> opener)
{
    transfer->setPortOpener(std::move(opener));
}

void DownloadDialog::stopTransfer()
{
    transfer->abandon();
}

void DownloadDialog::filePath()
{
    const QString path = UserPrompts::getOpenFileName(this, tr("open file"), imagePath,
                                                      tr("bin file(*.bin *.ifw)"));
    if (path.isEmpty())
        return;
    fileKind = DownloadPayload::kindFromPath(path);
    qDebug() << (fileKind == DownloadPayload::kEncryptedImage ? "encrypted file" : "normal bin file");
    ui->filePath->setText(path);
    imagePath = path;
}

// A cancelled choice keeps what the field holds, typed or picked.
void DownloadDialog::setCaliFilePath()
{
    const QString path = UserPrompts::getOpenFileName(this, tr("open file"), caliFilePath,
                                                      tr("bin file(*.bin)"));
    if (path.isEmpty())
        return;
    ui->caliFilePathEdit->setText(path);
    caliFilePath = path;
}

void DownloadDialog::on_startDownload_clicked()
{
    if (net)
        runTransfer(TransferProfile::firmware(), imagePath);
}

void DownloadDialog::recievAck(TRData *pack)
{
    // A payload without both bytes names neither a code nor a result.
    if (!pack || pack->cmd != DownloadPayload::kAckCode || pack->data.size() < 2)
        return;
    transfer->acknowledge(pack->data[0], pack->data[1]);
}

void DownloadDialog::on_startDownloadCaliFile_clicked()
{
    if (net)
        runTransfer(TransferProfile::table(), caliFilePath);
}

void DownloadDialog::runTransfer(const TransferProfile &profile, const QString &path)
{
    if (active)
        return;
    setActive(true);
    sendingTable = profile.startCode == TransferProfile::table().startCode;
    setTransferControlsEnabled(false);
    ui->statusLabel->clear();
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    transfer->start(profile, path);
}

// Runs once the next frame is on its way, so the device never waits for it.
void DownloadDialog::showProgress()
{
    using State = DownloadTransfer::State;
    const State state = transfer->state();
    if (state == State::Sending || state == State::Ending) {
        if (ui->progressBar->maximum() != transfer->blocks())
            ui->progressBar->setRange(0, transfer->blocks());
        ui->progressBar->setValue(qMax(0, transfer->blocksDone() - 1));
    }
    ui->cancelDownload->setEnabled((state == State::Starting || state == State::Sending)
                                   && !transfer->cancelRequested());
    ui->statusLabel->setText(TransferTexts::status(*transfer));
}

void DownloadDialog::showOutcome()
{
    ui->cancelDownload->setEnabled(false);
    ui->statusLabel->setText(TransferTexts::status(*transfer));
    if (transfer->state() == DownloadTransfer::State::Done) {
        // An empty image has no blocks; its bar still reads full.
        if (ui->progressBar->maximum() == 0)
            ui->progressBar->setRange(0, 1);
        ui->progressBar->setValue(ui->progressBar->maximum());
    } else {
        // The Chinese interface shows the box's texts as they always were;
        // English says which download failed.
        if (transfer->reason() != DownloadTransfer::Reason::Abandoned)
            UserPrompts::critical(this, tr("erorr"),
                                  sendingTable ? tr("download image error", "calibration table")
                                               : tr("download image error"));
        ui->progressBar->hide();
    }
    setTransferControlsEnabled(true);
    setActive(false);
}

// A second transfer would interleave its frames with the running one, and a
// file picked meanwhile would not be the one being sent.
void DownloadDialog::setTransferControlsEnabled(bool enabled)
{
    ui->startDownload->setEnabled(enabled);
    ui->startDownloadCaliFile->setEnabled(enabled);
    ui->openFilePath->setEnabled(enabled);
    ui->openCaliFilePath->setEnabled(enabled);
}

void DownloadDialog::setActive(bool on)
{
    active = on;
    emit transferActiveChanged(on);
}
