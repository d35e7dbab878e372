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

// The rows of one log, for the window's log and any other writer of the
// same file alike. Numbers the frames, gives host_mono_s as the seconds since
// the log started and bad_frames_before as the link's damaged frames since
// the previous row (since the start for the first).
class Rows {
public:
    // `originNanoseconds` and `badFramesAtStart`: the feed's clock and the
    // link's damaged frames when the log starts; the first frame gets the
    // number `framesBefore` + 1.
    Rows(Layout layout, qint64 originNanoseconds, quint64 badFramesAtStart, quint64 framesBefore = 0);

    // Appends the lines of `record` to `out`; returns how many lines that was.
    int append(std::string &out, const MeasurementRecord &record);

private:
    Layout layout;
    qint64 origin;
    quint64 badSeen;
    quint64 frame;
    HostTime hostTime;
};

// The frame number a log's row begins with; 0 for the header or anything else.
quint64 frameOfRow(const std::string &row);

} // namespace MeasurementLogFormat
