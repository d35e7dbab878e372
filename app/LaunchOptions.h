#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// The program's own command-line options: --port NAME [--baud RATE] choose the
// sensor's port in advance, without opening it; --lang CODE the interface
// language for one run.
namespace LaunchOptions {

struct PortChoice {
    QString name; // empty when no port was given
    qint32 baudRate = 0;
};

void describe(QCommandLineParser &parser);

// True when the arguments ask for the help text (answered before the GUI
// starts, so it needs no display).
bool asksForHelp(const QStringList &arguments);

// Options this program does not know (Qt's own and any others) are left alone;
// only a malformed --port or --baud gives false with the reason in `error`.
bool parse(const QStringList &arguments, PortChoice &choice, QString &error);

// `language` is left as it is when --lang is not given; an unknown code, or
// --lang without one, gives false with the reason in `error`.
bool parseLanguage(const QStringList &arguments, QString &language, QString &error);

} // namespace LaunchOptions
