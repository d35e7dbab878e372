#pragma once

#include <QString>

class QCoreApplication;
class QSettings;

// The interface language: Chinese (the source texts) or English (a compiled-in
// catalogue). Chosen before the window is built, since widgets take their
// texts when they are made.
namespace UiLanguage {

const QString kSettingsKey = QStringLiteral("Language");
const QString kChinese = QStringLiteral("zh_CN");
const QString kEnglish = QStringLiteral("en");

bool isKnown(const QString &code);

// The stored choice; Chinese when the key is missing or names no known language.
QString fromSettings(const QSettings &settings);
QString fromFile(const QString &iniFileName);

// Replaces the translators installed by an earlier call with those of `code`:
// the program's own catalogue (none for Chinese) and Qt's for its own dialogs.
// False when a catalogue could not be loaded; the interface then stays in the
// source texts where it lacks one.
bool install(QCoreApplication &app, const QString &code);

} // namespace UiLanguage
