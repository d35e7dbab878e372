#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

// Asks where a new measurement log goes and whether each point gets a line
// of its own.
class LogStartDialog : public QDialog {
    Q_OBJECT
public:
    LogStartDialog(const QString &proposedPath, QWidget *parent = nullptr);

    QString path() const;
    bool linePerPoint() const;

private:
    void browse();

    QLineEdit *pathEdit = nullptr;
    QCheckBox *perPointBox = nullptr;
};
