#pragma once

#include "files/MeasurementLogFormat.h"

#include <string>
#include <vector>

struct MeasurementRecord;

// The lines `stream` writes for the frames: the measurement log's CSV
// exactly (header and columns, one line per frame), or JSON lines with the
// log's column names as keys, numbers as numbers, the host time as text and
// the point distances as a list. Both come from the log's own row, so the
// two formats can never say different things.
class FrameLines {
public:
    enum class Format { Csv, Jsonl };

    // `originNanoseconds` and `badFramesAtStart` as for the log's rows: the
    // feed's clock and the link's lost frames when the stream starts.
    FrameLines(Format format, qint64 originNanoseconds, quint64 badFramesAtStart);

    // The CSV header line; empty for JSON lines.
    std::string header() const;
    void append(std::string &out, const MeasurementRecord &record);

    // One CSV row of the log (without its newline) as a JSON object.
    static void appendJson(std::string &out, const std::vector<std::string> &keys, const std::string &row);

private:
    Format format;
    MeasurementLogFormat::Rows rows;
    std::vector<std::string> keys;
    std::string row;
};
