#include "download/DownloadDialog.h"

#include "link/QTRNet.h"

DownloadDialog::DownloadDialog(QWidget *parent)
    : QDialog(parent)
{
}

DownloadDialog::~DownloadDialog() = default;

void DownloadDialog::setNet(QTRNet *endpoint)
{
    net = endpoint;
    connect(net, &QTRNet::dataReady, this, &DownloadDialog::recievAck);
}

void DownloadDialog::recievAck(TRData *pack)
{
    Q_UNUSED(pack);
}
