#pragma once

#include <QDialog>

namespace Ui {
class ConfigDialog;
}

// Holds the applied peak and original values, kept across runs.
class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConfigDialog(QWidget *parent = nullptr);
    ~ConfigDialog() override;

    void setPeakValue(quint16 value) { peakValue = value; }
    void setOriginalValue(quint16 value) { originalValue = value; }
    void showValues();
    quint16 getPeakValue() const { return peakValue; }
    quint16 getOriginalValue() const { return originalValue; }

private slots:
    void on_ApplyPB_clicked();

private:
    Ui::ConfigDialog *ui;
    quint16 peakValue = 0;
    quint16 originalValue = 0;
};
