#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

class QTRNet;
class TrafficLog;

// Feeds a traffic log from an endpoint while attached: what the endpoint's
// receive side steps over and finds, and every frame it sends. Neither of
// the two knows the other.
class TrafficTap : public QObject {
    Q_OBJECT
public:
    explicit TrafficTap(TrafficLog *log, QObject *parent = nullptr);
    ~TrafficTap() override;

    // Detaches from any previous endpoint first; null only detaches.
    void attach(QTRNet *net);
    void detach();
    bool attached() const { return !net.isNull(); }

private:
    TrafficLog *log;
    QPointer<QTRNet> net;
    QMetaObject::Connection sent;
};
