#pragma once

#include "link/PortSettings.h"

#include <QDialog>

namespace Ui {
class comSettings;
}

// Picks the sensor's serial port and baud rate; Apply emits comReady.
// The port box is editable, so a port the system does not list (a device
// path, a port plugged in after the last refresh) can be typed in.
class comSettings : public QDialog {
    Q_OBJECT
public:
    explicit comSettings(QWidget *parent = nullptr);
    ~comSettings() override;

    // Puts `name` at the top of the port list and selects it (and the rate,
    // when it is one offered), then stores the choice as Apply would, but
    // neither opens anything nor emits comReady. False, with nothing changed,
    // for an empty name or a rate not offered.
    bool presetPort(const QString &name, qint32 baudRate);

    PortSettings settings;

signals:
    void comReady();
    // A port chosen in advance, without opening it.
    void portPreset();

private slots:
    void on_refresh_clicked();
    void on_apply_clicked();

private:
    void storeChoice();

    Ui::comSettings *ui;
};
