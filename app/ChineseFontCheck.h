#pragma once

#include <QString>
#include <QStringList>

// Without a font that has Chinese glyphs every menu, button and title of the
// window is drawn as empty boxes; the start-up check says which package helps.
namespace ChineseFontCheck {

// The Debian package that brings such a font (the one the setup script installs).
extern const char *const kFontPackage;

// The installed font families that cover Simplified Chinese.
QStringList installedFamilies();

// One line for standard error, naming the package to install, when
// `families` is empty; an empty text when a font is there.
QString notice(const QStringList &families);

} // namespace ChineseFontCheck
