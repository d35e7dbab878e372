#include "link/comSettings.h"
#include "ui_comSettings.h"

#include "link/PortList.h"

comSettings::comSettings(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::comSettings)
{
    ui->setupUi(this);
    // Port names are case-sensitive and one can begin another ("ttyS1",
    // "ttyS10"): a typed name must stay exactly as typed, never completed.
    ui->LidarCom->setCompleter(nullptr);
    on_refresh_clicked();
}

comSettings::~comSettings()
{
    delete ui;
}

bool comSettings::presetPort(const QString &name, qint32 baudRate)
{
    const int rateIndex = ui->baudRateCB->findText(QString::number(baudRate));
    if (name.trimmed().isEmpty() || rateIndex < 0)
        return false;
    const int listed = ui->LidarCom->findText(name);
    if (listed >= 0)
        ui->LidarCom->removeItem(listed);
    ui->LidarCom->insertItem(0, name);
    ui->LidarCom->setCurrentIndex(0);
    ui->baudRateCB->setCurrentIndex(rateIndex);
    storeChoice();
    emit portPreset();
    return true;
}

void comSettings::on_refresh_clicked()
{
    ui->LidarCom->clear();
    ui->LidarCom->addItems(PortList::ordered(PortList::available()));
    ui->LidarCom->setCurrentIndex(ui->LidarCom->count() > 0 ? 0 : -1);
}

void comSettings::on_apply_clicked()
{
    storeChoice();
    hide();
    emit comReady();
}

void comSettings::storeChoice()
{
    settings.name = ui->LidarCom->currentText().trimmed();
    settings.baudRate = ui->baudRateCB->currentText().toInt();
}
