#include "app/TestRunSettings.h"

#include <QSettings>

namespace {
QString stored(const QSettings &settings, const char *key, const char *fallback)
{
    const QString text = settings.value(QLatin1String(key)).toString();
    return text.trimmed().isEmpty() ? QString::fromLatin1(fallback) : text;
}
} // namespace

void TestRunSettings::read(const QSettings &settings)
{
    resultsDatabase = stored(settings, kDatabaseKey, kDefaultDatabase);
    resultsCsv = stored(settings, kSummaryKey, kDefaultSummary);
}

void TestRunSettings::write(QSettings &settings) const
{
    settings.setValue(QLatin1String(kDatabaseKey), resultsDatabase);
    settings.setValue(QLatin1String(kSummaryKey), resultsCsv);
}
