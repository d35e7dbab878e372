#pragma once

#include "files/MeasurementLog.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

// Asks where a new measurement log goes and whether each point gets a line
// of its own. A file that exists is replaced or appended to only when the
// user says so; the running log's own file is never offered for replacing.
class LogStartDialog : public QDialog {
    Q_OBJECT
public:
    LogStartDialog(const QString &proposedPath, const MeasurementLog &log, QWidget *parent = nullptr);

    QString path() const;
    bool linePerPoint() const;
    MeasurementLog::Layout layout() const;
    MeasurementLog::Mode mode() const { return chosenMode; }

private:
    void browse();
    void confirm();
    bool askAboutExistingFile();

    const MeasurementLog &log;
    QLineEdit *pathEdit = nullptr;
    QCheckBox *perPointBox = nullptr;
    MeasurementLog::Mode chosenMode = MeasurementLog::Mode::Replace;
};
