#pragma once

#include "link/PortSettings.h"

#include <QDialog>

namespace Ui {
class comSettings;
}

// Picks the sensor's serial port and baud rate; Apply emits comReady.
class comSettings : public QDialog {
    Q_OBJECT
public:
    explicit comSettings(QWidget *parent = nullptr);
    ~comSettings() override;

    PortSettings settings;

signals:
    void comReady();

private slots:
    void on_refresh_clicked();
    void on_apply_clicked();

private:
    Ui::comSettings *ui;
};
