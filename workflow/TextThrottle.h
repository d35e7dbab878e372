#pragma once

#include <QElapsedTimer>
#include <QString>

// Rewrites a text view at most once per interval. Under a flood of frames a
// rewrite per frame costs far more than the screen can show; the latest text
// is kept and written at the next flush, so the view is never more than one
// interval behind.
class TextThrottle {
public:
    explicit TextThrottle(int intervalMs)
        : intervalMs(intervalMs)
    {
    }

    // True when `text` is to be written now; otherwise it is kept for flush.
    bool offer(const QString &text);
    // True, with the kept text, when one waits to be written.
    bool takePending(QString &text);
    // Forgets the kept text: something newer has replaced the view.
    void drop() { hasPending = false; }

private:
    const int intervalMs;
    QElapsedTimer lastWrite;
    QString pending;
    bool hasPending = false;
};
