#include "workflow/TextThrottle.h"

bool TextThrottle::offer()
{
    if (!lastWrite.isValid() || lastWrite.elapsed() >= intervalMs) {
        lastWrite.restart();
        hasPending = false;
        return true;
    }
    hasPending = true;
    return false;
}

bool TextThrottle::takePending()
{
    if (!hasPending)
        return false;
    hasPending = false;
    lastWrite.restart();
    return true;
}
