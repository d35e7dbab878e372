#pragma once

#include <QElapsedTimer>
#include <QLabel>

class LinkStats;
class QTimer;
struct LinkCounters;

// The link's counters in the status bar, with every count and the totals
// since the port opened in its tooltip. Rewritten at most every 250 ms.
class LinkStatsLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    LinkStatsLabel(LinkStats *stats, QWidget *parent);

    static QString statusText(const LinkCounters &sinceClear, double framesPerSecond, double bytesPerSecond);
    static QString detailsText(const LinkCounters &sinceClear, const LinkCounters &sinceOpen,
                               double framesPerSecond, double bytesPerSecond);

    // The text is clipped rather than widening the window.
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

public slots:
    void refresh();

private:
    LinkStats *stats;
    QTimer *timer;
    QElapsedTimer clock;
};
