#include "app/StoredShortcut.h"

QKeySequence storedShortcut(const QString &text)
{
    const QKeySequence parsed(text, QKeySequence::NativeText);
    int keys[4] = {0, 0, 0, 0};
    int kept = 0;
    for (uint i = 0; i < uint(parsed.count()); ++i) {
        if (parsed[i] != Qt::Key_unknown)
            keys[kept++] = parsed[i];
    }
    return QKeySequence(keys[0], keys[1], keys[2], keys[3]);
}
