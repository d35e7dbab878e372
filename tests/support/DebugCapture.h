#pragma once

#include <QStringList>

// Collects the lines written to Qt's debug output while it lives.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture &) = delete;
    DebugCapture &operator=(const DebugCapture &) = delete;

    QStringList lines() const;
    bool contains(const QString &text) const;
    void clear();
};
