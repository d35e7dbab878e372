#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// What the command line asked for, read against the tool's grammar: one
// command and its options, or help, the version, or a usage error. Options
// are "--name VALUE" or "--name=VALUE"; every option at most once.
struct Invocation {
    enum class Kind { Command, Help, Version, UsageError };

    Kind kind = Kind::UsageError;
    QString command;              // empty for the tool's own help and errors
    QMap<QString, QString> given; // option name (no dashes) -> value; "" for a flag
    QString error;                // for UsageError: what was wrong

    bool has(const QString &option) const { return given.contains(option); }
    QString value(const QString &option) const { return given.value(option); }
};

namespace CommandLine {

// `arguments` without the program's name.
Invocation parse(const QStringList &arguments);

QStringList commands();
// The synopsis of one command ("lidar-cli stream --port NAME ..."), or of
// every command and the help forms when `command` is empty or unknown.
QString usage(const QString &command = QString());
// The full help text of a command, or of the tool when `command` is empty.
QString help(const QString &command = QString());
// The exit status table, as the help texts end with it.
QString exitStatusText();

} // namespace CommandLine
