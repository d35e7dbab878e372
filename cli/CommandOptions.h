#pragma once

#include "cli/CommandLine.h"

#include <QString>
#include <QtGlobal>

// The typed values of a command's options, each reader checking what the
// grammar alone cannot: required options, numbers, choices, options that
// exclude each other. A reader returns false with the reason in `error`
// (a usage error).
namespace CommandOptions {

struct Port {
    QString name;
    qint32 baudRate = 230400;
};

// --frames N or --seconds S, exactly one of them.
struct Amount {
    qint64 frames = 0;   // 0 when --seconds is given
    double seconds = 0;  // 0 when --frames is given
};

bool readPort(const Invocation &in, Port &out, QString &error);
bool readAmount(const Invocation &in, Amount &out, QString &error);
// The value of `option` among `choices`, or the first choice when absent.
bool readChoice(const Invocation &in, const QString &option, const QStringList &choices, QString &out,
                QString &error);
// A whole number from 1 up; `out` keeps its value when the option is absent.
bool readPositive(const Invocation &in, const QString &option, qint64 &out, QString &error);
// Exactly one of the two options; `which` gets its name, `value` its value.
bool readOneOf(const Invocation &in, const QString &first, const QString &second, QString &which, QString &value,
               QString &error);
bool readRequired(const Invocation &in, const QString &option, QString &value, QString &error);

} // namespace CommandOptions
