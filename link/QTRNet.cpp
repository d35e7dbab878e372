#include "link/QTRNet.h"

#include "link/EventPump.h"

#include <QSerialPort>
#include <QtEndian>


QTRNet::QTRNet(QSerialPort *port)
    : QObject(port)
    , port(port)
{
    if (!port)
        throw "SerialPort is NULL";
    connect(port, &QIODevice::aboutToClose, this, &QTRNet::portClosing);
}

void QTRNet::receiveData(const QByteArray &bytes)
{
    rxBuffer.append(bytes);
    if (inPass) {
        grewInPass = true;
        return;
    }
    inPass = true;
    do {
        grewInPass = false;
        rxBuffer.scan(packet, [this] { emit dataReady(&packet); });
    } while (grewInPass);
    inPass = false;
}

bool QTRNet::portOpen() const
{
    return port->isOpen();
}

bool QTRNet::writeFrame(const TRData &pack)
{
    if (busy || !port->isOpen()) {
        emit sendRefused(pack, busy ? Refusal::Busy : Refusal::PortClosed);
        return false;
    }
    QByteArray frame;
    TRCodec().encode(pack, frame);
    if (port->write(frame) < 0) {
        emit sendRefused(pack, Refusal::WriteFailed);
        return false;
    }
    emit frameSent(frame);
    return true;
}

bool QTRNet::sendCmd(quint8 addr, quint8 cmd, quint32 value)
{
    TRData pack;
    pack.addr = addr;
    pack.cmd = cmd;
    pack.offset = 0;
    pack.data.resize(4);
    qToLittleEndian<quint32>(value, pack.data.data());
    if (!writeFrame(pack))
        return false;
    wait50Ms();
    return true;
}

bool QTRNet::sendData(quint8 addr, quint8 cmd, const quint8 *bytes, quint32 len, quint16 offset)
{
    if (len > TRCodec::kMaxPayload || (len > 0 && !bytes))
        return false;
    TRData pack;
    pack.addr = addr;
    pack.cmd = cmd;
    pack.offset = offset;
    if (len > 0)
        pack.data.assign(bytes, bytes + len);
    return writeFrame(pack);
}

void QTRNet::waitMs(int ms)
{
    if (busy)
        return;
    busy = true;
    EventPump::waitUntil(ms);
    busy = false;
}

void QTRNet::wait50Ms()
{
    waitMs(50);
}
