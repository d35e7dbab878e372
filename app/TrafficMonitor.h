#pragma once

#include <QWidget>

class QTableView;
class QTimer;
class QTRNet;
class TrafficLog;
class TrafficModel;
class TrafficTap;

// A window of its own showing the link's recent traffic: frames both ways,
// damaged frames and stray bytes. Records only while shown, and updates its
// table a few times a second.
class TrafficMonitor : public QWidget {
    Q_OBJECT
public:
    TrafficMonitor(QTRNet *net, QWidget *parent);

    TrafficModel *model() const { return tableModel; }
    TrafficLog *log() const { return trafficLog; }

    // The selected rows in hexadecimal, or every row when none is selected.
    QString selectionAsHex() const;

public slots:
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QTRNet *net;
    TrafficLog *trafficLog;
    TrafficTap *tap;
    TrafficModel *tableModel;
    QTableView *table;
    QTimer *refreshTimer;
};
