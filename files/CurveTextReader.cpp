#include "files/CurveTextReader.h"

#include <QString>

#include <cstring>

CurveTextReader::CurveTextReader(const QByteArray &text)
    : text(text)
{
}

bool CurveTextReader::nextCurve(QVector<double> *values)
{
    const char *data = text.constData();
    while (pos < text.size()) {
        int end = text.indexOf('\n', pos);
        if (end < 0)
            end = text.size();
        const int begin = pos;
        pos = end + 1;
        int last = end;
        while (last > begin && data[last - 1] == '\r')
            --last;
        if (last > begin) {
            values->clear();
            parseLine(data + begin, data + last, values);
            return true;
        }
    }
    return false;
}

void CurveTextReader::parseLine(const char *begin, const char *end, QVector<double> *values)
{
    while (begin < end) {
        const void *hit = std::memchr(begin, ',', size_t(end - begin));
        const char *partEnd = hit ? static_cast<const char *>(hit) : end;
        if (partEnd > begin) {
            bool ok = false;
            const double value = QString::fromUtf8(begin, int(partEnd - begin)).toDouble(&ok);
            if (ok)
                values->append(value);
        }
        begin = partEnd + 1;
    }
}
