#include "link/comSettings.h"

comSettings::comSettings(QWidget *parent)
    : QDialog(parent)
    , ui(nullptr)
{
}

comSettings::~comSettings() = default;

void comSettings::on_refresh_clicked() {}

void comSettings::on_apply_clicked()
{
    hide();
    emit comReady();
}
