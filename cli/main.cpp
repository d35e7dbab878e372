#include "cli/CliCommand.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/SignalWatch.h"
#include "settings/ToolVersion.h"
#include "settings/UiLanguage.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int usageError(const Invocation &invocation, const QString &error)
{
    Console::message(QStringLiteral("lidar-cli: ") + error);
    Console::message(CommandLine::usage(invocation.command));
    return ExitCode::kUsage;
}

// Standard error is for what a user should read: the shared code's
// diagnostic lines (one per block of a download) would bury it, and so would
// the offscreen platform's note that the session has no runtime folder (a
// report is drawn without one).
void quietDebug(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    Console::message(text);
}

// A run's report draws text, which takes a QGuiApplication; the offscreen
// platform needs no display. Every other command stays on QCoreApplication.
std::unique_ptr<QCoreApplication> application(const Invocation &invocation, int &argc, char **argv)
{
    if (invocation.command == QLatin1String("run") && invocation.has(QStringLiteral("report"))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char **argv)
{
    const Invocation invocation = CommandLine::parse(argumentsOf(argc, argv));
    switch (invocation.kind) {
    case Invocation::Kind::Help:
        return Console::data(CommandLine::help(invocation.command)) ? ExitCode::kSuccess : ExitCode::kFile;
    case Invocation::Kind::Version:
        return Console::data(QStringLiteral("lidar-cli ") + ToolVersion::text() + QLatin1Char('\n'))
            ? ExitCode::kSuccess
            : ExitCode::kFile;
    case Invocation::Kind::UsageError:
        return usageError(invocation, invocation.error);
    case Invocation::Kind::Command:
        break;
    }

    qInstallMessageHandler(quietDebug);
    const std::unique_ptr<QCoreApplication> app = application(invocation, argc, argv);
    // Texts that come from the shared code (outcome lines, plan errors) are
    // Chinese at the source; a script's log reads them in English.
    UiLanguage::install(*app, UiLanguage::kEnglish);

    QString error;
    int refusal = ExitCode::kUsage;
    std::unique_ptr<CliCommand> command = Commands::create(invocation, error, refusal);
    if (!command) {
        if (refusal == ExitCode::kUsage)
            return usageError(invocation, error);
        Console::message(QStringLiteral("lidar-cli: ") + error);
        return refusal;
    }
    SignalWatch signalWatch;
    QObject::connect(&signalWatch, &SignalWatch::caught, command.get(), &CliCommand::interrupt);
    command->start();
    if (!command->isFinished())
        app->exec();
    return command->exitCode();
}
