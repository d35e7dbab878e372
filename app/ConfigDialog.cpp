#include "app/ConfigDialog.h"
#include "ui_ConfigDialog.h"

ConfigDialog::ConfigDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ConfigDialog)
{
    ui->setupUi(this);
}

ConfigDialog::~ConfigDialog()
{
    delete ui;
}

// The spin boxes clamp to their range; the stored values stay as loaded.
void ConfigDialog::showValues()
{
    ui->peakHeightSpin->setValue(peakValue);
    ui->originalValueSpin->setValue(originalValue);
}

void ConfigDialog::on_ApplyPB_clicked()
{
    peakValue = quint16(ui->peakHeightSpin->value());
    originalValue = quint16(ui->originalValueSpin->value());
}
