#include "download/DownloadDialog.h"

#include "app/UserPrompts.h"
#include "download/DownloadPayload.h"
#include "download/ImageFile.h"
#include "link/EventPump.h"
#include "link/QTRNet.h"
#include "ui_DownloadDialog.h"

#include <QDebug>

namespace {
constexpr quint8 kDownloadAddr = 1;

const quint8 *bytesOf(const QByteArray &payload)
{
    return reinterpret_cast<const quint8 *>(payload.constData());
}
} // namespace

DownloadDialog::DownloadDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::DownloadDialog)
{
    ui->setupUi(this);
    ui->progressBar->hide();
    connect(ui->openFilePath, &QToolButton::clicked, this, &DownloadDialog::filePath);
    connect(ui->filePath, &QLineEdit::textChanged, this, [this](const QString &text) { imagePath = text; });
    connect(ui->openCaliFilePath, &QToolButton::clicked, this, &DownloadDialog::setCaliFilePath);
    connect(ui->caliFilePathEdit, &QLineEdit::textChanged, this,
            [this](const QString &text) { caliFilePath = text; });
}

DownloadDialog::~DownloadDialog()
{
    delete ui;
}

void DownloadDialog::setNet(QTRNet *endpoint)
{
    net = endpoint;
    if (net)
        connect(net, &QTRNet::dataReady, this, &DownloadDialog::recievAck);
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

// A cancelled choice clears the path on purpose.
void DownloadDialog::setCaliFilePath()
{
    const QString path = UserPrompts::getOpenFileName(this, tr("open file"), caliFilePath,
                                                      tr("bin file(*.bin)"));
    ui->caliFilePathEdit->setText(path);
    caliFilePath = path;
}

void DownloadDialog::on_startDownload_clicked()
{
    if (!net)
        return;
    const QString path = imagePath;
    runTransfer([this, path] {
        return downloadImage(0x0A, "start download", 0x0B, "downloading", 0x0C, "complete", path);
    });
}

void DownloadDialog::recievAck(TRData *pack)
{
    // A payload without both bytes names neither a code nor a result.
    if (!pack || pack->cmd != DownloadPayload::kAckCode || pack->data.size() < 2)
        return;
    ackCmd = pack->data[0];
    ackResult = pack->data[1];
}

void DownloadDialog::on_startDownloadCaliFile_clicked()
{
    if (!net)
        return;
    const QString path = caliFilePath;
    runTransfer([this, path] {
        return downloadImage(0x07, "lut start", 0x08, "lut transmit", 0x09, nullptr, path);
    });
}

void DownloadDialog::runTransfer(const std::function<bool()> &transfer)
{
    setTransferControlsEnabled(false);
    ui->progressBar->setValue(0);
    ui->progressBar->show();
    ackCmd = -1;
    if (!transfer())
        UserPrompts::critical(this, tr("erorr"), tr("download image error"));
    ui->progressBar->hide();
    setTransferControlsEnabled(true);
}

// A second transfer would interleave its frames with the running one, and a
// chooser left open would stall it into a time-out.
void DownloadDialog::setTransferControlsEnabled(bool enabled)
{
    ui->startDownload->setEnabled(enabled);
    ui->startDownloadCaliFile->setEnabled(enabled);
    ui->openFilePath->setEnabled(enabled);
    ui->openCaliFilePath->setEnabled(enabled);
}

bool DownloadDialog::downloadImage(quint8 startCode, const char *startTag, quint8 blockCode,
                                   const char *blockTag, quint8 endCode, const char *endTag,
                                   const QString &path)
{
    // Read first: a start command without a readable image would leave the
    // device waiting in download mode for an end that never comes.
    if (!net || !readImageFile(path))
        return false;
    // The kind of the image being sent, whatever was picked or typed since.
    const quint32 endValue = DownloadPayload::endValue(endCode, DownloadPayload::kindFromPath(path));
    if (!sendStart(startCode, startTag))
        return false;
    net->waitMs(kStartPauseMs);
    if (blockSize + DownloadPayload::kTagField > DownloadPayload::kStagingSize) {
        qDebug() << "blockSize overflow\n";
        return false;
    }
    if (!acknowledged(kStartAckMs, startCode) || !sendBlocks(blockCode, blockTag)
        || !sendEnd(endCode, endTag, endValue))
        return false;
    const bool ok = acknowledged(kStepAckMs, endCode);
    qDebug() << "complete" << ok;
    return ok;
}

bool DownloadDialog::waitAck(int timeoutMs, int code)
{
    const EventPump::Outcome outcome =
        EventPump::waitUntil(timeoutMs, [this, code] { return ackCmd == code; });
    if (outcome != EventPump::Outcome::Done)
        return false;
    ackCmd = -1;
    return true;
}

bool DownloadDialog::readImageFile(const QString &path)
{
    QByteArray bytes;
    if (!ImageFile::read(path, bytes))
        return false;
    DownloadPayload::padToWord(bytes);
    imageData = bytes;
    return true;
}

bool DownloadDialog::acknowledged(int timeoutMs, int code)
{
    return waitAck(timeoutMs, code) && ackResult != 0;
}

bool DownloadDialog::sendStart(quint8 code, const char *tag)
{
    if (EventPump::applicationQuitting())
        return false;
    if (!DownloadPayload::usableTag(tag)) {
        net->sendCmd(kDownloadAddr, code, 0);
        return true;
    }
    const QByteArray payload = DownloadPayload::tagged(tag, nullptr, 0);
    net->sendData(kDownloadAddr, code, bytesOf(payload), quint32(payload.size()), 0);
    return true;
}

bool DownloadDialog::sendBlocks(quint8 code, const char *tag)
{
    const DownloadPayload::BlockPlan plan = DownloadPayload::planBlocks(imageData.size(), blockSize);
    ui->progressBar->setRange(0, plan.steps());
    for (int i = 0; i < plan.full; ++i) {
        if (!sendBlock(code, tag, i, blockSize))
            return false;
        qDebug() << QStringLiteral("send %1").arg(i) << true;
        ui->progressBar->setValue(i);
    }
    if (plan.rest == 0)
        return true;
    const bool ok = sendBlock(code, tag, plan.full, plan.rest);
    ui->progressBar->setValue(plan.full);
    qDebug() << QStringLiteral("send mod %1").arg(plan.full) << ok;
    return ok;
}

bool DownloadDialog::sendBlock(quint8 code, const char *tag, int index, int length)
{
    if (EventPump::applicationQuitting())
        return false;
    const auto *block = bytesOf(imageData) + qsizetype(index) * blockSize;
    const QByteArray payload = DownloadPayload::tagged(tag, block, length);
    net->sendData(kDownloadAddr, code, bytesOf(payload), quint32(payload.size()),
                  DownloadPayload::blockOffset(index, blockSize));
    return acknowledged(kStepAckMs, code);
}

bool DownloadDialog::sendEnd(quint8 code, const char *tag, quint32 value)
{
    if (EventPump::applicationQuitting())
        return false;
    if (!DownloadPayload::usableTag(tag)) {
        net->sendCmd(kDownloadAddr, code, value);
        return true;
    }
    const QByteArray payload = DownloadPayload::taggedValue(tag, value);
    net->sendData(kDownloadAddr, code, bytesOf(payload), quint32(payload.size()), 0);
    return true;
}
