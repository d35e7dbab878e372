#include "files/MeasurementLogFormat.h"

#include <QDateTime>

#include <charconv>
#include <cstdio>

namespace MeasurementLogFormat {

namespace {

const char kFrameColumns[] = "frame,host_time,device_time_us,points,distance_mm,confidence,mean_mm,"
                             "std_dev_mm,point_rate_per_s,peak,noise,reftof,blanked";
// After the layout's columns, so that every earlier column keeps its place.
const char kTrailingColumns[] = ",host_mono_s,bad_frames_before\n";

// std::to_chars never looks at the locale.
template <typename T>
void appendNumber(std::string &out, T value)
{
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    out.append(buf, std::size_t(end - buf));
}

void appendField(std::string &out, qint64 value)
{
    out += ',';
    appendNumber(out, value);
}

// Shortest text that reads back as the same float.
void appendField(std::string &out, float value)
{
    out += ',';
    appendNumber(out, value);
}

// Seconds with microseconds, e.g. 12.000345.
void appendSeconds(std::string &out, qint64 nanoseconds)
{
    const qint64 us = nanoseconds > 0 ? nanoseconds / 1000 : 0;
    appendNumber(out, us / 1000000);
    const int fraction = int(us % 1000000);
    char digits[7];
    for (int i = 5, rest = fraction; i >= 0; --i, rest /= 10)
        digits[i] = char('0' + rest % 10);
    out += '.';
    out.append(digits, 6);
}

void appendFrameFields(std::string &out, const MeasurementRecord &r, quint64 frame, HostTime &hostTime)
{
    appendNumber(out, frame);
    out += ',';
    hostTime.append(out, r.hostMsecsSinceEpoch);
    appendField(out, qint64(r.deviceTimestamp));
    appendField(out, qint64(r.points()));
    appendField(out, qint64(r.info.distance));
    appendField(out, qint64(r.info.confidence));
    appendField(out, r.info.average);
    appendField(out, r.info.standardDeviation);
    appendField(out, qint64(r.pointRate));
    appendField(out, qint64(r.info.peak));
    appendField(out, qint64(r.info.noise));
    appendField(out, qint64(r.info.reftof));
    appendField(out, qint64(r.blanked ? 1 : 0));
}

} // namespace

std::string header(Layout layout)
{
    std::string line = kFrameColumns;
    line += layout == Layout::FramePerLine ? ",point_distances_mm" : ",point,point_distance_mm";
    line += kTrailingColumns;
    return line;
}

void HostTime::append(std::string &out, qint64 msecsSinceEpoch)
{
    const qint64 s = msecsSinceEpoch >= 0 ? msecsSinceEpoch / 1000 : (msecsSinceEpoch - 999) / 1000;
    if (s != second) {
        second = s;
        const QDateTime local = QDateTime::fromSecsSinceEpoch(s, Qt::LocalTime);
        const QDate d = local.date();
        const QTime t = local.time();
        char buf[48];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                      t.minute(), t.second());
        secondText = buf;
        const int offset = local.offsetFromUtc();
        const int magnitude = offset < 0 ? -offset : offset;
        std::snprintf(buf, sizeof buf, "%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 3600,
                      magnitude / 60 % 60);
        offsetText = buf;
    }
    const int ms = int(msecsSinceEpoch - s * 1000);
    out += secondText;
    out += '.';
    out += char('0' + ms / 100);
    out += char('0' + ms / 10 % 10);
    out += char('0' + ms % 10);
    out += offsetText;
}

Rows::Rows(Layout layout, qint64 originNanoseconds, quint64 badFramesAtStart, quint64 framesBefore)
    : layout(layout)
    , origin(originNanoseconds)
    , badSeen(badFramesAtStart)
    , frame(framesBefore)
{
}

int Rows::append(std::string &out, const MeasurementRecord &record)
{
    ++frame;
    // The link's count only grows; a smaller one is that of a new link,
    // counted from zero.
    const quint64 bad = record.linkBadFrames >= badSeen ? record.linkBadFrames - badSeen : record.linkBadFrames;
    badSeen = record.linkBadFrames;
    const auto appendTrailing = [&] {
        out += ',';
        appendSeconds(out, record.hostNanoseconds - origin);
        appendField(out, qint64(bad));
        out += '\n';
    };
    if (layout == Layout::FramePerLine) {
        appendFrameFields(out, record, frame, hostTime);
        out += ',';
        for (int i = 0; i < record.points(); ++i) {
            if (i > 0)
                out += ' ';
            appendNumber(out, record.distances[std::size_t(i)]);
        }
        appendTrailing();
        return 1;
    }
    for (int i = 0; i < record.points(); ++i) {
        appendFrameFields(out, record, frame, hostTime);
        appendField(out, qint64(i + 1));
        appendField(out, qint64(record.distances[std::size_t(i)]));
        appendTrailing();
    }
    return record.points();
}

quint64 frameOfRow(const std::string &row)
{
    quint64 frame = 0;
    const char *end = row.data() + row.size();
    const auto parsed = std::from_chars(row.data(), end, frame);
    return parsed.ec == std::errc() && parsed.ptr != end && *parsed.ptr == ',' ? frame : 0;
}

} // namespace MeasurementLogFormat
