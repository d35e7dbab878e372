#include "files/CurveTextReader.h"

#include <QString>

#include <cstring>

namespace {

// Up to 15 digits an integer is exact in a double, whatever the conversion.
constexpr int kMaxPlainDigits = 15;

// Plain integers ("-1523", "007"), the values a live recording holds, are
// converted here; everything else goes through QString::toDouble. False when
// the part is not such an integer.
bool plainInteger(const char *begin, const char *end, double *value)
{
    const bool negative = begin < end && *begin == '-';
    const char *digits = negative ? begin + 1 : begin;
    if (digits == end || end - digits > kMaxPlainDigits)
        return false;
    qint64 magnitude = 0;
    for (const char *c = digits; c < end; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        magnitude = magnitude * 10 + (*c - '0');
    }
    *value = negative ? -double(magnitude) : double(magnitude);
    return true;
}

} // namespace

CurveTextReader::CurveTextReader(const QByteArray &text)
    : text(text)
{
}

bool CurveTextReader::nextCurve(QVector<double> *values, int limit)
{
    while (pos < text.size()) {
        int end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        const char *begin = text.constData() + pos;
        const char *last = text.constData() + end;
        pos = end + 1;
        // A CR inside a line would otherwise split or spoil a number.
        if (std::memchr(begin, '\r', size_t(last - begin))) {
            lineWithoutCr = QByteArray(begin, int(last - begin)).replace("\r", "");
            begin = lineWithoutCr.constData();
            last = begin + lineWithoutCr.size();
        }
        if (last > begin) {
            values->clear();
            parseLine(begin, last, values, limit);
            return true;
        }
    }
    return false;
}

void CurveTextReader::parseLine(const char *begin, const char *end, QVector<double> *values, int limit)
{
    while (begin < end && values->size() <= limit) {
        const void *hit = std::memchr(begin, ',', size_t(end - begin));
        const char *partEnd = hit ? static_cast<const char *>(hit) : end;
        double value = 0;
        if (partEnd > begin && parsePart(begin, partEnd, &value))
            values->append(value);
        begin = partEnd + 1;
    }
}

bool CurveTextReader::parsePart(const char *begin, const char *end, double *value)
{
    if (plainInteger(begin, end, value))
        return true;
    bool ok = false;
    *value = QString::fromUtf8(begin, int(end - begin)).toDouble(&ok);
    return ok;
}
