#include "app/LaunchOptions.h"

#include "link/PortList.h"
#include "settings/UiLanguage.h"

#include <QCommandLineParser>

namespace LaunchOptions {

namespace {
const QString kPort = QStringLiteral("port");
const QString kBaud = QStringLiteral("baud");
const QString kLang = QStringLiteral("lang");

bool read(QCommandLineParser &parser, const QStringList &arguments, QString &error)
{
    describe(parser);
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
        return false;
    }
    return true;
}

bool containsAny(const QStringList &arguments, const QStringList &wanted)
{
    for (int i = 1; i < arguments.size(); ++i)
        if (wanted.contains(arguments.at(i)))
            return true;
    return false;
}
} // namespace

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Shows, records and plays back the readings of a time-of-flight lidar distance sensor.\n"
        "With --port the sensor's port is chosen in advance (not opened): press Start to begin.\n"
        "Settings are kept in Trivane_QZ90.ini in the working directory; started from the\n"
        "desktop menu, the tool runs in ~/.config/lidar-waveform/, so the file is there."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({kPort, QStringLiteral("Serial port of the sensor (system name or device path)."),
                      QStringLiteral("NAME")});
    parser.addOption({kBaud, QStringLiteral("Baud rate for --port: 230400 (default), 115200, 460800 or 921600."),
                      QStringLiteral("RATE"), QStringLiteral("230400")});
    parser.addOption({kLang, QStringLiteral("Interface language for this run: zh_CN or en. Without it, the "
                                            "Language setting (default zh_CN) decides."),
                      QStringLiteral("LANG")});
}

bool asksForHelp(const QStringList &arguments)
{
    return containsAny(arguments, {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("-?"),
                                   QStringLiteral("--help-all")});
}

bool asksForVersion(const QStringList &arguments)
{
    return containsAny(arguments, {QStringLiteral("--version"), QStringLiteral("-v")});
}

QString usage()
{
    QCommandLineParser parser;
    describe(parser);
    const QString help = parser.helpText();
    // The description sits between the usage line and the options.
    const int options = help.indexOf(QStringLiteral("\nOptions:"));
    const int firstLineEnd = help.indexOf(QLatin1Char('\n'));
    if (options < 0 || firstLineEnd < 0)
        return help;
    return help.left(firstLineEnd + 1) + help.mid(options);
}

bool parseLanguage(const QStringList &arguments, QString &language, QString &error)
{
    QCommandLineParser parser;
    if (!read(parser, arguments, error))
        return false;
    if (!parser.isSet(kLang))
        return true;
    const QString code = parser.value(kLang);
    if (!UiLanguage::isKnown(code)) {
        error = QStringLiteral("Unsupported language: %1 (zh_CN or en).").arg(code);
        return false;
    }
    language = code;
    return true;
}

bool parse(const QStringList &arguments, PortChoice &choice, QString &error)
{
    QCommandLineParser parser;
    if (!read(parser, arguments, error))
        return false;
    if (!parser.isSet(kPort)) {
        if (parser.isSet(kBaud))
            error = QStringLiteral("--baud needs --port.");
        return error.isEmpty();
    }
    bool isNumber = false;
    const qint32 rate = parser.value(kBaud).toInt(&isNumber);
    const QString name = parser.value(kPort).trimmed();
    if (name.isEmpty())
        error = QStringLiteral("--port needs a port name.");
    else if (!isNumber || !PortList::offeredBaudRates().contains(rate))
        error = QStringLiteral("Unsupported baud rate: %1.").arg(parser.value(kBaud));
    if (!error.isEmpty())
        return false;
    choice = {name, rate};
    return true;
}

} // namespace LaunchOptions
