#pragma once

#include <QKeySequence>
#include <QString>

// A shortcut read from the settings file, with the keys Qt cannot read left
// out. Each unreadable key would be written back as an empty entry between
// commas, and those empties read back differently again, so the file would
// change at every exit.
QKeySequence storedShortcut(const QString &text);
