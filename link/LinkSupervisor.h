#pragma once

#include "link/LinkState.h"
#include "link/QTRNet.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

// Follows the link to the sensor and brings it back after a loss: when the
// device goes away it reopens the same port, with the settings the port
// keeps, every kRetryMs, until it succeeds, the user closes the port or opens
// another, or shutDown(); if acquisition was running (Start sent, no Stop
// since) it then sends Start again, the same frame Start sends. Widget-free:
// it only reads the port and the endpoint, and says what it sees by signals.
//
// A reopen takes the link's lease (LinkLease) for itself, so it waits while
// anyone else holds the link: nothing is reopened, and no Start sent, in the
// middle of a download or a test run. When the device went away under such a
// holder, that holder's exchange was cut and it decides what comes next: the
// port is reopened once the link is free, but no Start is sent again.
//
// It hears the port's errors after whoever closes the port on a loss, so it
// must be made after that handler is connected. The user's own opens are not
// signalled by the port; call sync() after each action that may have opened
// it, and userClosed() after the user closed it.
class LinkSupervisor : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetryMs = 500;

    // The commands (address 0) that start and stop the sensor's stream: the
    // link layer does not speak the command set, its owner tells it these.
    struct AcquisitionCodes {
        quint8 start;
        quint8 stop;
    };

    // Becomes a child of `port`.
    LinkSupervisor(QSerialPort *port, QTRNet *net, AcquisitionCodes codes);

    void setAutoReconnect(bool on);
    bool autoReconnect() const { return reconnectEnabled; }
    LinkState state() const { return current; }
    bool acquisitionRunning() const { return acquiring; }
    // The port being followed or waited for, and its rate.
    QString portName() const { return target; }
    qint32 baudRate() const { return port->baudRate(); }

public slots:
    void sync();
    void userClosed();
    // No more attempts, and deaf to the port and the endpoint from now on
    // (the window is closing or being taken apart).
    void shutDown();

signals:
    // Also when the port or its rate changed under the same state.
    void stateChanged(LinkState state);
    // A failure worth showing for a moment.
    void problem(const QString &text);
    // Good news worth showing for a moment.
    void notice(const QString &text);
    // The port has been reopened by a retry; whoever reads it must reattach
    // now, before anything is sent.
    void reopened();

private:
    void onError(QSerialPort::SerialPortError error);
    void onSent(const QByteArray &frame);
    void onRefused(const TRData &pack, QTRNet::Refusal why);
    void attempt();
    void lose();
    void giveUp();
    void reportOpenFailure(QSerialPort::SerialPortError error);
    void setState(LinkState state);
    bool waitingForDevice() const;

    QSerialPort *port;
    QTRNet *net;
    const AcquisitionCodes codes;
    QTimer retry;
    LinkState current = LinkState::Unconnected;
    QString target;
    QString shownTarget;
    qint32 shownRate = 0;
    bool acquiring = false;
    bool reconnectEnabled = true;
    bool shutdown = false;
};
