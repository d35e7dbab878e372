#include "app/ConfigDialog.h"

ConfigDialog::ConfigDialog(QWidget *parent)
    : QDialog(parent)
    , ui(nullptr)
{
}

ConfigDialog::~ConfigDialog() = default;

void ConfigDialog::showValues() {}

void ConfigDialog::on_ApplyPB_clicked() {}
