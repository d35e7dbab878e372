#pragma once

#include "link/FrameScanner.h"

#include <QByteArray>
#include <QObject>

#include <vector>

class QTRNet;

// One row of the traffic monitor: a frame in or out, a damaged frame, or a
// run of bytes that started no frame. Keeps the first bytes as they were on
// the wire (the whole frame when it is short).
struct TrafficRecord {
    enum class Kind : quint8 { Frame, Damaged, Skipped };
    static constexpr int kKeptBytes = 64;

    qint64 msSinceEpoch = 0;
    Kind kind = Kind::Frame;
    bool outgoing = false;
    int size = 0; // bytes on the wire
    int kept = 0;
    quint8 bytes[kKeptBytes] = {};

    // Fields of a frame (Frame, Damaged); meaningless for skipped bytes.
    quint8 addr() const { return bytes[4]; }
    quint8 cmd() const { return bytes[5]; }
    quint16 offset() const { return quint16(bytes[6] | bytes[7] << 8); }
    quint16 length() const { return quint16(bytes[8] | bytes[9] << 8); }
    bool hasFields() const { return kind != Kind::Skipped && kept >= 10; }
};

// The last records of the link's traffic, oldest first, in a ring of fixed
// size that is filled only while attached to an endpoint: a closed monitor
// costs the receive path nothing. Records are numbered from the first one
// ever taken, so a view can tell which ones are new and which are gone.
class TrafficLog : public QObject, private FrameScanner::Observer {
    Q_OBJECT
public:
    static constexpr int kCapacity = 5000;

    explicit TrafficLog(QObject *parent = nullptr);
    ~TrafficLog() override;

    // Starts recording what `net` receives and sends; detaches from any
    // previous one. Null or detach() stops recording.
    void attach(QTRNet *net);
    void detach();

    // While paused, nothing new is recorded.
    void setPaused(bool paused) { isPaused = paused; }
    bool paused() const { return isPaused; }
    void clear() { first = next; }

    // Numbers of the records kept: [firstNumber, endNumber).
    quint64 firstNumber() const { return first; }
    quint64 endNumber() const { return next; }
    const TrafficRecord &record(quint64 number) const { return ring[std::size_t(number % kCapacity)]; }

    // Records frames sent by the endpoint; also called directly by tests.
    void recordOutgoing(const QByteArray &frame);

private:
    void damagedFrame(const quint8 *bytes, int size) override;
    void skippedBytes(const quint8 *bytes, int size) override;
    void goodFrame(const quint8 *bytes, int size) override;
    void add(TrafficRecord::Kind kind, bool outgoing, const quint8 *bytes, int size);

    std::vector<TrafficRecord> ring;
    quint64 first = 0;
    quint64 next = 0;
    bool isPaused = false;
    QTRNet *net = nullptr;
    QMetaObject::Connection sent;
    QMetaObject::Connection gone;
};
