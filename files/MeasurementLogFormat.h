#pragma once

#include "workflow/MeasurementRecord.h"

#include <QtGlobal>

#include <string>

// The text of the measurement log: comma-separated values with a header
// line, '.' as decimal point whatever the locale, every line the same
// number of fields so that spreadsheet programs and data-frame readers take
// it without options.
namespace MeasurementLogFormat {

enum class Layout {
    FramePerLine, // the frame's point distances in one field, separated by blanks
    PointPerLine, // one line per point, each with the frame's fields and number
};

std::string header(Layout layout);

// Wall-clock time as ISO 8601 with milliseconds and the local offset,
// e.g. 2026-12-07T14:15:20.123+01:00. Keeps the text of the current second,
// so consecutive frames cost a few characters each.
class HostTime {
public:
    void append(std::string &out, qint64 msecsSinceEpoch);

private:
    qint64 second = -1;
    std::string secondText; // up to the seconds, without the offset
    std::string offsetText;
};

// Appends the lines of frame `frame` (counted from 1 in the log) to `out`;
// returns how many lines that was.
int appendFrame(std::string &out, const MeasurementRecord &record, quint64 frame, Layout layout,
                HostTime &hostTime);

} // namespace MeasurementLogFormat
