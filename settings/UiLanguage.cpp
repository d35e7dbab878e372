#include "settings/UiLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTranslator>

static void initTranslationResources()
{
    // The catalogue lives in a static library, whose resources load only on request.
    Q_INIT_RESOURCE(translations);
}

namespace UiLanguage {

namespace {
const QString kTranslatorName = QStringLiteral("UiLanguage translator");

bool load(QCoreApplication &app, const QString &file, const QString &folder)
{
    auto *translator = new QTranslator(&app);
    translator->setObjectName(kTranslatorName);
    if (!translator->load(file, folder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
} // namespace

bool isKnown(const QString &code)
{
    return code == kChinese || code == kEnglish;
}

QString fromSettings(const QSettings &settings)
{
    const QString stored = settings.value(kSettingsKey).toString();
    return isKnown(stored) ? stored : kChinese;
}

QString fromFile(const QString &iniFileName)
{
    return fromSettings(QSettings(iniFileName, QSettings::IniFormat));
}

bool install(QCoreApplication &app, const QString &code)
{
    initTranslationResources();
    for (QTranslator *old : app.findChildren<QTranslator *>(kTranslatorName, Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    // Qt's own texts are English at the source, as ours are Chinese.
    if (code == kEnglish)
        return load(app, QStringLiteral("lidar-waveform_en"), QStringLiteral(":/i18n"));
    return load(app, QStringLiteral("qtbase_") + code, QLibraryInfo::location(QLibraryInfo::TranslationsPath));
}

} // namespace UiLanguage
