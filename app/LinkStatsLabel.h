#pragma once

#include "widgets/ElidingLabel.h"

#include <QElapsedTimer>

class LinkStats;
class QTimer;
struct LinkCounters;

// The link's counters in the status bar, with every count and the totals
// since the port opened in its tooltip. Rewritten at most every 250 ms, in a
// room of fixed size: a new text never lays out the status bar again, and
// larger counts than the room was made for are elided at the end.
class LinkStatsLabel : public ElidingLabel {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    LinkStatsLabel(LinkStats *stats, QWidget *parent);

    static QString statusText(const LinkCounters &sinceClear, double framesPerSecond, double bytesPerSecond);
    static QString detailsText(const LinkCounters &sinceClear, const LinkCounters &sinceOpen,
                               double framesPerSecond, double bytesPerSecond);

    // Wide enough for the counts of a long run at the link's limit.
    int naturalWidth() const;
    // Fixes the label's size at `width` and its text's height.
    void setRoom(int width);

public slots:
    void refresh();

private:
    LinkStats *stats;
    QTimer *timer;
    QElapsedTimer clock;
};
