#pragma once

#include <QByteArray>
#include <QVector>

// Walks curve-file text line by line. Blank lines (a lone CR included) make
// no curve; within a line, parts between commas that are empty or do not
// convert like QString::toDouble are skipped.
class CurveTextReader {
public:
    explicit CurveTextReader(const QByteArray &text);

    // The values of the next non-blank line; false when no line is left.
    bool nextCurve(QVector<double> *values);

private:
    static void parseLine(const char *begin, const char *end, QVector<double> *values);

    QByteArray text;
    int pos = 0;
};
