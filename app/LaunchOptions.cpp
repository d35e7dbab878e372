#include "app/LaunchOptions.h"

#include "link/PortList.h"
#include "settings/UiLanguage.h"

#include <QCommandLineParser>

namespace LaunchOptions {

namespace {
const QString kPort = QStringLiteral("port");
const QString kBaud = QStringLiteral("baud");
const QString kLang = QStringLiteral("lang");

// Unknown options (Qt's own among them) are no error; a malformed known one is.
bool read(QCommandLineParser &parser, const QStringList &arguments, QString &error)
{
    describe(parser);
    if (!parser.parse(arguments) && parser.unknownOptionNames().isEmpty()) {
        error = parser.errorText();
        return false;
    }
    return true;
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
    static const QStringList kHelp = {QStringLiteral("--help"), QStringLiteral("-h"), QStringLiteral("-?"),
                                      QStringLiteral("--help-all")};
    for (int i = 1; i < arguments.size(); ++i)
        if (kHelp.contains(arguments.at(i)))
            return true;
    return false;
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
