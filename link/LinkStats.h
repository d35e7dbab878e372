#pragma once

#include "link/LinkCounters.h"

#include <QObject>

#include <array>

// Turns the link's running totals into what a user reads: counts since the
// last Clear, totals since the port opened, and frames and bytes per second
// over the last second. Reads the totals only when sampled, so it adds
// nothing per frame. Knows no widget and no port.
class LinkStats : public QObject {
    Q_OBJECT
public:
    // `source` is the receive side's totals, read on every sample; it must
    // outlive this object.
    explicit LinkStats(const LinkCounters &source, QObject *parent = nullptr);

    // Totals now, short payloads included.
    LinkCounters totals() const;
    LinkCounters sinceClear() const { return totals() - clearedAt; }
    // The session that is open, or the last one while the port is closed.
    LinkCounters sinceOpen();

    // Records the totals at `ms` (any monotonic clock); rates come from these.
    void sample(qint64 ms);
    // Over the last second of samples; 0 until two samples span some time.
    double framesPerSecond() const { return rate(&LinkCounters::frames); }
    double bytesPerSecond() const { return rate(&LinkCounters::bytes); }

public slots:
    void countShortPayload() { ++shortPayloads; }
    void clear() { clearedAt = totals(); }
    // Nothing arrives while the port is closed, so whatever comes after this
    // belongs to the next session.
    void portClosing();

private:
    struct Sample {
        qint64 ms = 0;
        LinkCounters counts;
    };
    double rate(quint64 LinkCounters::*field) const;

    const LinkCounters &source;
    quint64 shortPayloads = 0;
    LinkCounters clearedAt;
    LinkCounters openedAt;
    LinkCounters closedAt;
    bool closed = false;
    std::array<Sample, 8> samples {};
    int sampleCount = 0;
    int newest = -1;
};
