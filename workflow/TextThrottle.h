#pragma once

#include <QElapsedTimer>

// Rewrites a text view at most once per interval. Under a flood of frames a
// rewrite per frame costs far more than the screen can show; the caller keeps
// its newest values and writes them at the next flush, so the view is never
// more than one interval behind.
class TextThrottle {
public:
    explicit TextThrottle(int intervalMs)
        : intervalMs(intervalMs)
    {
    }

    // True when the view is to be written now; otherwise a write waits for
    // the flush.
    bool offer();
    // True, once, when a write waits.
    bool takePending();
    // Forgets the waiting write: something newer has replaced the view.
    void drop() { hasPending = false; }

private:
    const int intervalMs;
    QElapsedTimer lastWrite;
    bool hasPending = false;
};
