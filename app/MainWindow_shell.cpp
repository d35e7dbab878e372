#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "settings/ToolVersion.h"
#include "widgets/ElidingLabel.h"

#include <QFrame>
#include <QMessageBox>
#include <QStatusBar>

namespace {
// Separates the About box's items; the box shows them on one flowing page.
const QString kGap(23, QLatin1Char(' '));

const QString kDriverPage = QStringLiteral("https://www.silabs.com/developers/usb-to-uart-bridge-vcp-drivers");
const QString kGithubSdk = QStringLiteral("https://github.example.com/lidar-waveform/sdk");
const QString kGiteeSdk = QStringLiteral("https://gitee.example.com/lidar-waveform/sdk");

QString link(const QString &address, const QString &shown)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(address, shown);
}

QString aboutText()
{
    const QStringList items = {
        QStringLiteral("0. Install cp2102 driver."),
        link(kDriverPage, kGap + kDriverPage) + QLatin1Char('.'),
        QStringLiteral("1. Select specified device and port."),
        QStringLiteral("2. Click <b>Start</b> button."),
        QStringLiteral("3. Get SDK Package:"),
        QStringLiteral("Github ") + link(kGithubSdk, kGithubSdk) + QLatin1Char('.'),
        QStringLiteral("Gitee ") + link(kGiteeSdk, kGiteeSdk) + QLatin1Char('.'),
    };
    QStringList blocks;
    for (const QString &item : items)
        blocks.append(QStringLiteral("<ul>%1</ul>").arg(item));
    return blocks.join(kGap) + QStringLiteral("<p>lidar-waveform %1</p>").arg(ToolVersion::text());
}
} // namespace

void MainWindow::about()
{
    // "about" in the Chinese interface, as it always read; proper English in English.
    QMessageBox::about(this, tr("about"), aboutText());
}

void MainWindow::addContactLabel()
{
    auto *contactLabel = new ElidingLabel(Qt::ElideRight, this);
    contactLabel->setObjectName(QStringLiteral("contactLabel"));
    contactLabel->setFrameStyle(QFrame::NoFrame | QFrame::Sunken);
    contactLabel->setText(QStringLiteral("Website: https://lidar-waveform.example.org;   "
                                         "Tel: +1 555 0100;   "
                                         "Email: support@lidar-waveform.example.org"));
    // The text is long: on a narrow screen it gives way (elided, whole in the
    // tool tip) rather than set the window's minimum width. Its width counts
    // for nothing in the layout, so the link's state and counters at the left
    // keep theirs and this one takes what is left, at the right.
    contactLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    contactLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    contactLabel->setToolTip(contactLabel->text());
    ui->statusBar->addPermanentWidget(contactLabel, 1);
}

void MainWindow::on_actioninternal_triggered() {}
