#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "download/DownloadDialog.h"
#include "link/LinkLease.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"

#include <QAbstractButton>
#include <QPointer>
#include <QShortcut>

#include <memory>
#include <utility>
#include <vector>

// While a download, a test run or a reconnection holds the link, every
// control that sends, and the port's Apply and Close, are off (and then as
// they were before), so nothing the user does cuts into that exchange.
// Measurement frames keep being shown meanwhile. A closed port is opened by
// a download the way Start opens it.
void MainWindow::setupDownload()
{
    downloadDialog->setPortOpener([this] { return serialPort->isOpen() || openCom(); });

    const QList<QObject *> controls {ui->pbStart,
                                     ui->pbStop,
                                     ui->pbGetConfig,
                                     ui->actionGetCaliParam,
                                     ui->actionPramCali,
                                     ui->actionOrigalData,
                                     startShortcut,
                                     ui->actionCloseCom,
                                     comSettingsDialog->findChild<QAbstractButton *>(QStringLiteral("apply"))};
    auto locked = std::make_shared<std::vector<std::pair<QPointer<QObject>, bool>>>();
    connect(&net->lease(), &LinkLease::holderChanged, this, [this, controls, locked] {
        const bool lock = net->lease().heldBeyondAcquisition();
        if (lock == !locked->empty())
            return;
        if (lock) {
            for (QObject *control : controls) {
                locked->emplace_back(control, control->property("enabled").toBool());
                control->setProperty("enabled", false);
            }
            return;
        }
        for (const auto &[control, wasEnabled] : *locked)
            if (control)
                control->setProperty("enabled", wasEnabled);
        locked->clear();
    });
}
