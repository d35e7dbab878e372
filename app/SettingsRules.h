#pragma once

#include <QSize>
#include <QString>
#include <QVariant>

// The arithmetic of the settings file, kept apart from the window.
namespace SettingsRules {

// The settings file, relative: it lies in the working directory.
QString fileName();

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
