#include "app/ChineseFontCheck.h"
#include "app/LaunchOptions.h"
#include "app/MainWindow.h"
#include "settings/SettingsRules.h"
#include "settings/ToolVersion.h"
#include "settings/UiLanguage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

namespace {
QStringList rawArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationVersion(ToolVersion::text());
    const QStringList raw = rawArguments(argc, argv);
    if (LaunchOptions::asksForHelp(raw) || LaunchOptions::asksForVersion(raw)) {
        QCoreApplication core(argc, argv);
        QCommandLineParser parser;
        LaunchOptions::describe(parser);
        if (LaunchOptions::asksForHelp(raw))
            parser.showHelp(0);
        parser.showVersion();
    }
    // Qt's own options (-platform, -style...) are taken out of the arguments here.
    QApplication app(argc, argv);
    LaunchOptions::PortChoice choice;
    QString language = UiLanguage::fromFile(SettingsRules::fileName());
    QString error;
    if (!LaunchOptions::parse(QCoreApplication::arguments(), choice, error)
        || !LaunchOptions::parseLanguage(QCoreApplication::arguments(), language, error)) {
        QTextStream(stderr) << error << "\n\n" << LaunchOptions::usage();
        return LaunchOptions::kUsageError;
    }
    // Before the window: widgets take their texts when they are made.
    UiLanguage::install(app, language);
    const QString fontNotice = ChineseFontCheck::notice(ChineseFontCheck::installedFamilies());
    if (!fontNotice.isEmpty())
        QTextStream(stderr) << fontNotice << '\n';
    int code = 0;
    {
        MainWindow window;
        if (!choice.name.isEmpty())
            window.presetPort(choice.name, choice.baudRate);
        window.show();
        code = app.exec();
    }
    return code;
}
