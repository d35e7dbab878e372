#include "link/LinkSupervisor.h"

#include "link/LinkTexts.h"
#include "link/PortLoss.h"

#include <QSignalBlocker>

namespace {

bool isOpenState(LinkState state)
{
    return state == LinkState::Connected || state == LinkState::Acquiring;
}

// The errors an open that failed leaves behind.
bool isOpenFailure(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::UnknownError:
        return true;
    default:
        return false;
    }
}

} // namespace

LinkSupervisor::LinkSupervisor(QSerialPort *port, QTRNet *net, AcquisitionCodes codes)
    : QObject(port)
    , port(port)
    , net(net)
    , codes(codes)
{
    retry.setInterval(kRetryMs);
    connect(&retry, &QTimer::timeout, this, &LinkSupervisor::attempt);
    connect(port, &QSerialPort::errorOccurred, this, &LinkSupervisor::onError);
    connect(net, &QTRNet::frameSent, this, &LinkSupervisor::onSent);
    connect(net, &QTRNet::sendRefused, this, &LinkSupervisor::onRefused);
}

void LinkSupervisor::setAutoReconnect(bool on)
{
    reconnectEnabled = on;
    if (!on)
        retry.stop();
}

// An open port the supervisor did not know of, or another one, was opened by
// the user: follow it, and wait for Start before calling it acquisition.
void LinkSupervisor::sync()
{
    if (port->isOpen()) {
        if (port->portName() != target || !isOpenState(current)) {
            retry.stop();
            acquiring = false;
            target = port->portName();
        }
        setState(acquiring ? LinkState::Acquiring : LinkState::Connected);
    } else if (isOpenState(current)) {
        giveUp();
    }
}

void LinkSupervisor::userClosed()
{
    giveUp();
}

void LinkSupervisor::shutDown()
{
    shutdown = true;
    retry.stop();
    port->disconnect(this);
    net->disconnect(this);
}

void LinkSupervisor::giveUp()
{
    retry.stop();
    target = port->portName();
    acquiring = false;
    setState(LinkState::Unconnected);
}

bool LinkSupervisor::waitingForDevice() const
{
    return current == LinkState::Disconnected || current == LinkState::Reconnecting;
}

void LinkSupervisor::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || port->isOpen())
        return;
    if ((error == QSerialPort::ResourceError || error == QSerialPort::ReadError) && isOpenState(current)) {
        lose();
        return;
    }
    if (!isOpenFailure(error))
        return;
    reportOpenFailure(error);
    // The user tried the very port being waited for: keep waiting for it.
    if (!(waitingForDevice() && port->portName() == target))
        giveUp();
}

void LinkSupervisor::reportOpenFailure(QSerialPort::SerialPortError error)
{
    LinkTexts::OpenFailure failure;
    failure.port = port->portName();
    failure.error = error;
    failure.reason = port->errorString();
    const QString file = PortLoss::deviceFile(failure.port);
    failure.deniedByPermissions = PortLoss::deniedByPermissions(file);
    failure.group = PortLoss::owningGroup(file);
    emit problem(LinkTexts::openFailed(failure));
}

// A loss during the reconnection's own Start leaves acquisition to resume.
void LinkSupervisor::lose()
{
    const LinkLease::Holder holder = net->lease().holder();
    if (holder == LinkLease::Holder::Transfer || holder == LinkLease::Holder::TestRun)
        acquiring = false;
    setState(LinkState::Disconnected);
    emit problem(LinkTexts::deviceGone(target));
    if (reconnectEnabled && !shutdown)
        retry.start();
}

// Any frame sent says the port is open, also one a download opened; only the
// main window's Start and Stop (address 0) change the acquisition.
void LinkSupervisor::onSent(const QByteArray &frame)
{
    sync();
    // The endpoint's own encoding: address and command follow the header word.
    if (frame.size() < 6 || quint8(frame.at(4)) != 0)
        return;
    const quint8 cmd = quint8(frame.at(5));
    if (cmd == codes.start)
        acquiring = true;
    else if (cmd == codes.stop)
        acquiring = false;
    else
        return;
    setState(acquiring ? LinkState::Acquiring : LinkState::Connected);
}

// A Stop that could not go out during a loss still says the user wants no
// acquisition when the device is back.
void LinkSupervisor::onRefused(const TRData &pack, QTRNet::Refusal why)
{
    if (pack.addr == 0 && pack.cmd == codes.stop && waitingForDevice())
        acquiring = false;
    emit problem(LinkTexts::sendRefused(pack.cmd, why));
}

// An open on a missing device fails at once (the port opens without
// blocking), so a retry never holds up the event loop. A retry while a wait
// runs would have its Start refused, and one while the link is held would cut
// into another's exchange; it waits for the next tick instead.
void LinkSupervisor::attempt()
{
    if (port->isOpen()) {
        retry.stop();
        sync();
        return;
    }
    if (net->isBusy())
        return;
    const LinkLease::Hold hold(net->lease(), LinkLease::Holder::Reconnection);
    if (!hold)
        return;
    setState(LinkState::Reconnecting);
    bool opened = false;
    {
        // A failed retry is no news for anyone listening to the port.
        const QSignalBlocker quiet(port);
        opened = port->open(QIODevice::ReadWrite);
    }
    if (!opened)
        return;
    retry.stop();
    emit reopened();
    setState(acquiring ? LinkState::Acquiring : LinkState::Connected);
    emit notice(LinkTexts::reconnected(target));
    if (acquiring)
        net->sendCmd(0, codes.start, 0);
}

void LinkSupervisor::setState(LinkState state)
{
    const qint32 rate = port->baudRate();
    if (state == current && rate == shownRate && target == shownTarget)
        return;
    current = state;
    shownRate = rate;
    shownTarget = target;
    emit stateChanged(state);
}
