#pragma once

#include "link/EventPump.h"
#include "link/QTRNet.h"

#include <QSerialPort>
#include <QtEndian>

#include <algorithm>
#include <vector>

// A host on the simulator's port: a real QSerialPort and the protocol endpoint,
// keeping a copy of every packet that arrives.
struct HostLink {
    QSerialPort port;
    QTRNet *net = new QTRNet(&port);
    std::vector<TRData> got;

    explicit HostLink(const QString &name)
    {
        port.setPortName(name);
        QObject::connect(&port, &QSerialPort::readyRead, &port, [this] { net->receiveData(port.readAll()); });
        QObject::connect(net, &QTRNet::dataReady, &port, [this](TRData *pack) { got.push_back(*pack); });
    }
    bool open() { return port.open(QIODevice::ReadWrite); }
    int count(quint8 cmd) const
    {
        return int(std::count_if(got.begin(), got.end(), [cmd](const TRData &p) { return p.cmd == cmd; }));
    }
    const TRData *last(quint8 cmd) const
    {
        for (auto it = got.rbegin(); it != got.rend(); ++it)
            if (it->cmd == cmd)
                return &*it;
        return nullptr;
    }
    bool send(quint8 addr, quint8 cmd, const QByteArray &payload, quint16 offset = 0)
    {
        return net->sendData(addr, cmd, reinterpret_cast<const quint8 *>(payload.constData()),
                             quint32(payload.size()), offset);
    }
    // Sends a download frame and returns the result byte of its acknowledgement,
    // or -1 when none came.
    int sendAndAwaitAck(quint8 cmd, const QByteArray &payload, quint16 offset, int ms = 5000)
    {
        const size_t before = got.size();
        if (!send(1, cmd, payload, offset))
            return -1;
        const TRData *ack = nullptr;
        EventPump::waitUntil(ms, [&] {
            for (size_t i = before; i < got.size() && !ack; ++i)
                if (got[i].cmd == 0x10 && got[i].data.size() >= 2 && got[i].data[0] == cmd)
                    ack = &got[i];
            return ack != nullptr;
        });
        return ack ? ack->data[1] : -1;
    }
    // Lets `ms` pass and says whether any measurement frame arrived meanwhile.
    bool streamQuietFor(int ms)
    {
        const int before = count(0x02);
        EventPump::waitUntil(ms);
        return count(0x02) == before;
    }
};

// The points of a measurement frame as the simulator wrote them.
struct SimPoint {
    qint16 distance;
    quint16 noise;
    quint32 peak;
};

inline SimPoint simPoint(const TRData &frame, int index)
{
    const quint8 *p = frame.data.data() + 15 * index;
    return {qFromLittleEndian<qint16>(p), qFromLittleEndian<quint16>(p + 2), qFromLittleEndian<quint32>(p + 4)};
}

inline int simPointCount(const TRData &frame)
{
    return (int(frame.data.size()) - 4) / 15;
}
