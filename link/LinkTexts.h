#pragma once

#include "link/LinkLease.h"
#include "link/LinkState.h"
#include "link/QTRNet.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QString>

// The status bar's texts about the link, built without widgets. Translated
// in the context "LinkTexts".
class LinkTexts {
    Q_DECLARE_TR_FUNCTIONS(LinkTexts)

public:
    // Why a port would not open. `reason` is the serial library's own text;
    // `deniedByPermissions` tells a permission problem from a port that is
    // locked or held by another program (both come as a permission error);
    // `group` is the group whose members may open the device.
    struct OpenFailure {
        QString port;
        QSerialPort::SerialPortError error = QSerialPort::UnknownError;
        QString reason;
        bool deniedByPermissions = false;
        QString group = QStringLiteral("dialout");
    };

    static QString stateName(LinkState state);
    // "<port>  <baud> bps  <state>", or the state alone while no port was set.
    // Ports are named by their device file everywhere ("/dev/ttyUSB0").
    static QString stateLine(const QString &port, qint32 baudRate, LinkState state);

    static QString openFailed(const OpenFailure &failure);
    static QString deviceGone(const QString &port);
    static QString reconnected(const QString &port);
    static QString sendRefused(quint8 cmd, QTRNet::Refusal why);
    // A command not sent because `holder` has the link.
    static QString sendRefused(quint8 cmd, LinkLease::Holder holder);
    // The message view's tooltip while it shows values from before a loss.
    static QString staleData();
};
