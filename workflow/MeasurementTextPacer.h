#pragma once

#include "workflow/LidarDisplayInfo.h"
#include "workflow/TextThrottle.h"

#include <QString>

#include <optional>

// The measurement text of the message view, paced by a TextThrottle. Only
// the newest frame's values are kept; the text is made from them when it is
// written, so a flood of frames costs one text per write, not one per frame.
class MeasurementTextPacer {
public:
    explicit MeasurementTextPacer(int intervalMs)
        : throttle(intervalMs)
    {
    }

    // The text to write now, or nothing while the write waits for the flush.
    std::optional<QString> offer(const LidarDisplayInfo &info, quint16 frameRate);
    // The newest values' text when a write waits.
    std::optional<QString> takePending();
    // A device answer replaced the view: no kept values may overwrite it.
    void drop() { throttle.drop(); }

private:
    QString text() const;

    TextThrottle throttle;
    LidarDisplayInfo latest;
    quint16 latestRate = 0;
};
