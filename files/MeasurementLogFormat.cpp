#include "files/MeasurementLogFormat.h"

#include <QDateTime>

#include <charconv>
#include <cstdio>

namespace MeasurementLogFormat {

namespace {

const char kFrameColumns[] = "frame,host_time,device_time_us,points,distance_mm,confidence,mean_mm,"
                             "std_dev_mm,point_rate_per_s,peak,noise,reftof,blanked";

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
    line += layout == Layout::FramePerLine ? ",point_distances_mm\n" : ",point,point_distance_mm\n";
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

int appendFrame(std::string &out, const MeasurementRecord &record, quint64 frame, Layout layout,
                HostTime &hostTime)
{
    if (layout == Layout::FramePerLine) {
        appendFrameFields(out, record, frame, hostTime);
        out += ',';
        for (int i = 0; i < record.points(); ++i) {
            if (i > 0)
                out += ' ';
            appendNumber(out, record.distances[std::size_t(i)]);
        }
        out += '\n';
        return 1;
    }
    for (int i = 0; i < record.points(); ++i) {
        appendFrameFields(out, record, frame, hostTime);
        appendField(out, qint64(i + 1));
        appendField(out, qint64(record.distances[std::size_t(i)]));
        out += '\n';
    }
    return record.points();
}

} // namespace MeasurementLogFormat
