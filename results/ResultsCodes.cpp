#include "results/ResultsCodes.h"

namespace ResultsCodes {

QString verdictCode(TestRun::Verdict verdict)
{
    switch (verdict) {
    case TestRun::Verdict::Pass: return QStringLiteral("PASS");
    case TestRun::Verdict::Fail: return QStringLiteral("FAIL");
    case TestRun::Verdict::Incomplete: break;
    }
    return QStringLiteral("INCOMPLETE");
}

std::optional<TestRun::Verdict> verdictFromCode(const QString &code)
{
    for (auto verdict : {TestRun::Verdict::Pass, TestRun::Verdict::Fail, TestRun::Verdict::Incomplete}) {
        if (code == verdictCode(verdict))
            return verdict;
    }
    return std::nullopt;
}

QString outcomeCode(TestRun::Outcome outcome)
{
    switch (outcome) {
    case TestRun::Outcome::Pass: return QStringLiteral("PASS");
    case TestRun::Outcome::Fail: return QStringLiteral("FAIL");
    case TestRun::Outcome::NotChecked: break;
    }
    return QStringLiteral("not checked");
}

std::optional<TestRun::Outcome> outcomeFromCode(const QString &code)
{
    for (auto outcome : {TestRun::Outcome::Pass, TestRun::Outcome::Fail, TestRun::Outcome::NotChecked}) {
        if (code == outcomeCode(outcome))
            return outcome;
    }
    return std::nullopt;
}

bool isUnitId(const QString &text)
{
    if (text.size() != 24)
        return false;
    for (QChar c : text) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool letter = c >= QLatin1Char('a') && c <= QLatin1Char('f');
        if (!digit && !letter)
            return false;
    }
    return true;
}

QString normalizedUnitId(const QString &text)
{
    const QString id = text.trimmed().toLower();
    return isUnitId(id) ? id : QString();
}

QString timeText(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime timeFromText(const QString &text)
{
    if (!text.endsWith(QLatin1Char('Z')))
        return QDateTime();
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid() || time.timeSpec() != Qt::UTC)
        return QDateTime();
    return time;
}

} // namespace ResultsCodes
