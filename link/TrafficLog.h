#pragma once

#include "link/FrameScanner.h"
#include "link/TRCodec.h"

#include <QByteArray>
#include <QObject>

#include <vector>

// One row of the traffic monitor: a frame in or out, a damaged frame, or a
// run of bytes that started no frame. Its bytes, as they were on the wire,
// are kept in the log's byte store (TrafficLog::bytes); the record holds the
// first of them, for the frame's fields.
struct TrafficRecord {
    enum class Kind : quint8 { Frame, Damaged, Skipped };
    static constexpr int kHeadBytes = 10; // header, address, command, offset, length

    qint64 msSinceEpoch = 0;
    Kind kind = Kind::Frame;
    bool outgoing = false;
    int size = 0; // bytes on the wire
    int kept = 0; // of them, from the first: all, but for a run of stray bytes longer than any frame
    quint64 at = 0; // where the kept bytes begin in the log's byte store
    quint8 head[kHeadBytes] = {};

    // Fields of a frame (Frame, Damaged); meaningless for skipped bytes.
    quint8 addr() const { return head[4]; }
    quint8 cmd() const { return head[5]; }
    quint16 offset() const { return quint16(head[6] | head[7] << 8); }
    quint16 length() const { return quint16(head[8] | head[9] << 8); }
    bool hasFields() const { return kind != Kind::Skipped && kept >= kHeadBytes; }
};

// The last records of the link's traffic, oldest first: at most kCapacity
// records whose bytes together fit kByteCapacity, so memory stays bounded
// whatever the frames' sizes. Filled only by what it is told, as the receive
// side's scan observer and through recordOutgoing; it knows no endpoint
// (a TrafficTap connects it to one), and takes no memory before its first
// record. Records are numbered from the first one ever taken, so a view can
// tell which ones are new and which are gone.
class TrafficLog : public QObject, public FrameScanner::Observer {
    Q_OBJECT
public:
    static constexpr int kCapacity = 5000;
    static constexpr int kByteCapacity = 4 * 1024 * 1024;
    // The longest run kept of one record: a whole frame of the longest kind.
    static constexpr int kMaxKept = int(TRCodec::kMaxFrame);

    explicit TrafficLog(QObject *parent = nullptr);

    // While paused, nothing new is recorded.
    void setPaused(bool paused) { isPaused = paused; }
    bool paused() const { return isPaused; }
    // Forgets every record so far; none of them is ever shown again.
    void clear() { first = next; }

    // Numbers of the records kept: [firstNumber, endNumber).
    quint64 firstNumber() const { return first; }
    quint64 endNumber() const { return next; }
    const TrafficRecord &record(quint64 number) const { return ring[std::size_t(number % kCapacity)]; }
    // The kept bytes of a record that is still kept.
    QByteArray bytes(quint64 number) const;

    // A frame the endpoint handed to the port.
    void recordOutgoing(const QByteArray &frame);

    void damagedFrame(const quint8 *bytes, int size) override;
    void skippedBytes(const quint8 *bytes, int size) override;
    void goodFrame(const quint8 *bytes, int size) override;

private:
    void add(TrafficRecord::Kind kind, bool outgoing, const quint8 *bytes, int size);
    void store(const quint8 *bytes, int count);

    std::vector<TrafficRecord> ring;
    std::vector<quint8> byteStore; // a ring too: byte k of all ever kept sits at k % kByteCapacity
    quint64 bytesKept = 0;
    quint64 first = 0;
    quint64 next = 0;
    bool isPaused = false;
};
