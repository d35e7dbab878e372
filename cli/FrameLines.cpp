#include "cli/FrameLines.h"

#include "cli/JsonText.h"

#include <QByteArray>

#include <cstring>

namespace {
constexpr MeasurementLogFormat::Layout kLayout = MeasurementLogFormat::Layout::FramePerLine;
const char kTextKey[] = "host_time";
const char kListKey[] = "point_distances_mm";

std::vector<std::string> split(const std::string &line, char separator)
{
    std::vector<std::string> parts;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = line.find(separator, begin);
        parts.push_back(line.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos)
            return parts;
        begin = end + 1;
    }
}

// The log writes integers and the shortest form of floats; anything else
// (which it never writes) is no JSON number and becomes null.
bool isJsonNumber(const char *text, std::size_t size)
{
    if (size == 0)
        return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == size || text[i] < '0' || text[i] > '9')
        return false;
    for (; i < size; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-'))
            return false;
    }
    return true;
}

void appendNumber(std::string &out, const char *text, std::size_t size)
{
    if (isJsonNumber(text, size))
        out.append(text, size);
    else
        out += "null";
}
} // namespace

FrameLines::FrameLines(Format format, qint64 originNanoseconds, quint64 badFramesAtStart)
    : format(format)
    , rows(kLayout, originNanoseconds, badFramesAtStart)
{
    std::string names = MeasurementLogFormat::header(kLayout);
    names.pop_back(); // the newline
    keys = split(names, ',');
}

std::string FrameLines::header() const
{
    return format == Format::Csv ? MeasurementLogFormat::header(kLayout) : std::string();
}

void FrameLines::append(std::string &out, const MeasurementRecord &record)
{
    if (format == Format::Csv) {
        rows.append(out, record);
        return;
    }
    row.clear();
    rows.append(row, record);
    row.pop_back();
    appendJson(out, keys, row);
}

void FrameLines::appendJson(std::string &out, const std::vector<std::string> &keys, const std::string &row)
{
    const char *at = row.data();
    const char *const end = row.data() + row.size();
    out += '{';
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const char *comma = static_cast<const char *>(std::memchr(at, ',', std::size_t(end - at)));
        const char *fieldEnd = comma ? comma : end;
        if (k > 0)
            out += ',';
        JsonText::appendString(out, QByteArray::fromRawData(keys[k].data(), int(keys[k].size())));
        out += ':';
        if (keys[k] == kTextKey) {
            JsonText::appendString(out, QByteArray(at, int(fieldEnd - at)));
        } else if (keys[k] == kListKey) {
            out += '[';
            for (const char *point = at; point < fieldEnd;) {
                const char *blank = static_cast<const char *>(std::memchr(point, ' ', std::size_t(fieldEnd - point)));
                const char *pointEnd = blank ? blank : fieldEnd;
                if (point != at)
                    out += ',';
                appendNumber(out, point, std::size_t(pointEnd - point));
                point = pointEnd + 1;
            }
            out += ']';
        } else {
            appendNumber(out, at, std::size_t(fieldEnd - at));
        }
        at = comma ? comma + 1 : end;
    }
    out += "}\n";
}
