#include "settings/SettingsRules.h"

#include <QSettings>
#include <QtMath>

namespace SettingsRules {

QString fileName()
{
    return QStringLiteral("Trivane_QZ90.ini");
}

QString resultsDatabaseKey()
{
    return QStringLiteral("ResultsDatabase");
}

QString storedText(const QString &key)
{
    return QSettings(fileName(), QSettings::IniFormat).value(key).toString();
}

QSize defaultWindowSize(const QSize &available)
{
    const int width = qRound(qRound(available.width() * 0.25) * 3.0);
    const int height = qRound(qRound(available.height() * 0.25) * 3.0);
    return QSize(width, height);
}

quint16 storedU16(const QVariant &value)
{
    return quint16(value.toInt());
}

QSize storedSize(const QVariant &value, const QSize &fallback, const QSize &available)
{
    const QSize size = value.toSize();
    const bool usable = !size.isEmpty() && size.width() <= available.width() && size.height() <= available.height();
    return usable ? size : fallback;
}

} // namespace SettingsRules
