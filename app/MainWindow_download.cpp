#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "download/DownloadDialog.h"

#include <QPointer>
#include <QShortcut>

#include <memory>
#include <utility>
#include <vector>

// A transfer owns the link while it runs: every control that sends is off
// until it ends (and then as it was before), so no command slips in between
// the blocks. Measurement frames keep being shown meanwhile. A closed port is
// opened the way Start opens it.
void MainWindow::setupDownload()
{
    downloadDialog->setPortOpener([this] { return serialPort->isOpen() || openCom(); });

    const QList<QObject *> senders {ui->pbStart, ui->pbStop, ui->pbGetConfig, ui->actionGetCaliParam,
                                    ui->actionPramCali, ui->actionOrigalData, startShortcut};
    auto locked = std::make_shared<std::vector<std::pair<QPointer<QObject>, bool>>>();
    connect(downloadDialog, &DownloadDialog::transferActiveChanged, this, [senders, locked](bool active) {
        if (active) {
            locked->clear();
            for (QObject *sender : senders) {
                locked->emplace_back(sender, sender->property("enabled").toBool());
                sender->setProperty("enabled", false);
            }
            return;
        }
        for (const auto &[sender, wasEnabled] : *locked)
            if (sender)
                sender->setProperty("enabled", wasEnabled);
        locked->clear();
    });
}
