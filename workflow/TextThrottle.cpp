#include "workflow/TextThrottle.h"

bool TextThrottle::offer(const QString &text)
{
    if (!lastWrite.isValid() || lastWrite.elapsed() >= intervalMs) {
        lastWrite.restart();
        hasPending = false;
        return true;
    }
    pending = text;
    hasPending = true;
    return false;
}

bool TextThrottle::takePending(QString &text)
{
    if (!hasPending)
        return false;
    text = pending;
    hasPending = false;
    lastWrite.restart();
    return true;
}
