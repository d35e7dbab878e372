#pragma once

#include <QSize>
#include <QString>
#include <QVariant>

// The settings file's name, keys and arithmetic, kept apart from the window
// so that the command-line tool reads the same file.
namespace SettingsRules {

// The settings file, relative: it lies in the working directory.
QString fileName();

// Where accuracy runs are stored: an SQLite file or a server's URL; empty
// for the default, results.sqlite in the working directory.
QString resultsDatabaseKey();
// The text stored under `key` in the settings file of the working
// directory; empty when the file or the key is missing.
QString storedText(const QString &key);

// Three quarters of the available area, each side rounded to the nearest
// integer twice (after the quarter and after the times three), so 1366 gives
// 1026, not 1025.
QSize defaultWindowSize(const QSize &available);

// A stored integer cut to 16 bits (70000 -> 4464, -5 -> 65531); text that is
// no integer gives 0.
quint16 storedU16(const QVariant &value);

// A stored size, or `fallback` when the text is no usable size: not a size,
// a side of zero or less, or a side longer than the `available` screen area
// (a window bigger than its screen cannot be seen or moved whole).
QSize storedSize(const QVariant &value, const QSize &fallback, const QSize &available);

} // namespace SettingsRules
