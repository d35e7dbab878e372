#include "tests/support/DebugCapture.h"

#include <QtGlobal>

namespace {
QStringList captured;
QtMessageHandler previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg)
        captured.append(text);
    else if (previous)
        previous(type, context, text);
}
} // namespace

DebugCapture::DebugCapture()
{
    captured.clear();
    previous = qInstallMessageHandler(collect);
}

DebugCapture::~DebugCapture()
{
    qInstallMessageHandler(previous);
}

QStringList DebugCapture::lines() const { return captured; }

bool DebugCapture::contains(const QString &text) const
{
    for (const QString &line : captured)
        if (line.contains(text))
            return true;
    return false;
}

void DebugCapture::clear() { captured.clear(); }
