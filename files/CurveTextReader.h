#pragma once

#include <QByteArray>
#include <QVector>

#include <climits>

// Walks curve-file text line by line. Carriage returns are dropped wherever
// they stand, so blank lines (a lone CR included) make no curve; within a
// line, parts between commas that are empty or do not convert like
// QString::toDouble are skipped.
class CurveTextReader {
public:
    explicit CurveTextReader(const QByteArray &text);

    // The values of the next non-blank line; false when no line is left.
    // Reading stops at `limit` + 1 values, so that a caller bounding what it
    // takes in sees the line is too long without having held all of it.
    bool nextCurve(QVector<double> *values, int limit = INT_MAX - 1);

    // One part between commas, without carriage returns: true with its value
    // when it converts.
    static bool parsePart(const char *begin, const char *end, double *value);

private:
    static void parseLine(const char *begin, const char *end, QVector<double> *values, int limit);

    QByteArray text;
    QByteArray lineWithoutCr;
    int pos = 0;
};
