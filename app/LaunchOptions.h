#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// The program's own command-line options: --port NAME [--baud RATE] choose the
// sensor's port in advance, without opening it; --lang CODE the interface
// language for one run; --help and --version answer and end the program.
// Anything else is an error: the usage is printed and the program ends with
// kUsageError, before any window opens.
namespace LaunchOptions {

constexpr int kUsageError = 2;

struct PortChoice {
    QString name; // empty when no port was given
    qint32 baudRate = 0;
};

void describe(QCommandLineParser &parser);

// True when the arguments ask for the help text or the version (answered
// before the GUI starts, so they need no display).
bool asksForHelp(const QStringList &arguments);
bool asksForVersion(const QStringList &arguments);

// The help text without its description: how to call the program. Needs the
// application object, for the program's name.
QString usage();

// `arguments` as the program sees them once the application object has taken
// Qt's own options. An unknown option, an option without its value, an
// argument that is no option, or a malformed --port or --baud gives false
// with the reason in `error`.
bool parse(const QStringList &arguments, PortChoice &choice, QString &error);

// `language` is left as it is when --lang is not given; an unknown code, or
// --lang without one, gives false with the reason in `error`.
bool parseLanguage(const QStringList &arguments, QString &language, QString &error);

} // namespace LaunchOptions
