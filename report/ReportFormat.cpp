#include "report/ReportFormat.h"

#include <cmath>

namespace ReportFormat {

QString millimetres(double v)
{
    // No "-0.000" for a residual of -1e-13.
    return QString::number(std::round(v * 1000) == 0 ? 0.0 : v, 'f', 3);
}

QString limitValue(double v)
{
    return QString::number(v, 'g', 10);
}

QString percent(double v)
{
    return QString::number(v, 'f', 2);
}

QString hertz(double v)
{
    return QString::number(v, 'f', 1);
}

QString verdictName(TestRun::Verdict v)
{
    switch (v) {
    case TestRun::Verdict::Pass: return QStringLiteral("PASS");
    case TestRun::Verdict::Fail: return QStringLiteral("FAIL");
    case TestRun::Verdict::Incomplete: return QStringLiteral("INCOMPLETE");
    }
    return QString();
}

QString outcomeName(TestRun::Outcome o)
{
    switch (o) {
    case TestRun::Outcome::Pass: return QStringLiteral("PASS");
    case TestRun::Outcome::Fail: return QStringLiteral("FAIL");
    case TestRun::Outcome::NotChecked: return QStringLiteral("not checked");
    }
    return QString();
}

QString utcTime(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

QString referenceName(double referenceMm)
{
    return QString::number(referenceMm, 'g', 10);
}

QString csvField(const QString &s)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (QChar c : s)
        if (special.contains(c))
            return QLatin1Char('"') + QString(s).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return s;
}

} // namespace ReportFormat
