#include "cli/Commands.h"

#include "cli/CommandOptions.h"
#include "cli/DownloadCommand.h"
#include "cli/ExitCode.h"
#include "cli/InfoCommand.h"
#include "cli/PortsCommand.h"
#include "cli/ResultsChoice.h"
#include "cli/ResultsCommand.h"
#include "cli/RunCommand.h"
#include "cli/StatsCommand.h"
#include "cli/StreamCommand.h"
#include "report/LotSummary.h"
#include "results/ResultsCodes.h"
#include "settings/SettingsRules.h"
#include "testrun/TestPlanJson.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <climits>

namespace Commands {

namespace {

std::unique_ptr<CliCommand> download(const Invocation &in, QString &error)
{
    CommandOptions::Port port;
    QString which;
    QString path;
    if (!CommandOptions::readPort(in, port, error)
        || !CommandOptions::readOneOf(in, QStringLiteral("firmware"), QStringLiteral("table"), which, path, error))
        return nullptr;
    const TransferProfile profile =
        which == QLatin1String("firmware") ? TransferProfile::firmware() : TransferProfile::table();
    return std::make_unique<DownloadCommand>(port, profile, path);
}

std::unique_ptr<CliCommand> stream(const Invocation &in, QString &error)
{
    CommandOptions::Port port;
    CommandOptions::Amount amount;
    QString format;
    if (!CommandOptions::readPort(in, port, error) || !CommandOptions::readAmount(in, amount, error)
        || !CommandOptions::readChoice(in, QStringLiteral("format"), {QStringLiteral("csv"), QStringLiteral("jsonl")},
                                       format, error))
        return nullptr;
    return std::make_unique<StreamCommand>(port, amount,
                                           format == QLatin1String("csv") ? FrameLines::Format::Csv
                                                                          : FrameLines::Format::Jsonl,
                                           in.value(QStringLiteral("output")));
}

std::unique_ptr<CliCommand> stats(const Invocation &in, QString &error)
{
    CommandOptions::Port port;
    CommandOptions::Amount amount;
    QString quantity;
    if (!CommandOptions::readPort(in, port, error) || !CommandOptions::readAmount(in, amount, error)
        || !CommandOptions::readChoice(in, QStringLiteral("quantity"), {QStringLiteral("first"), QStringLiteral("mean")},
                                       quantity, error))
        return nullptr;
    return std::make_unique<StatsCommand>(port, amount,
                                          quantity == QLatin1String("first") ? RollingStatistics::Quantity::FirstPoint
                                                                             : RollingStatistics::Quantity::FrameMean,
                                          in.has(QStringLiteral("json")));
}

// A settings file that names no usable store is reported like an
// unreadable file; `exitCode` carries which.
std::unique_ptr<CliCommand> results(const Invocation &in, QString &error, int &exitCode)
{
    qint64 last = 0;
    if (!CommandOptions::readPositive(in, QStringLiteral("last"), last, error))
        return nullptr;
    QString unit;
    if (in.has(QStringLiteral("unit"))) {
        unit = ResultsCodes::normalizedUnitId(in.value(QStringLiteral("unit")));
        if (unit.isEmpty()) {
            error = QStringLiteral("--unit needs the unit id as 24 hexadecimal digits, not '%1'")
                        .arg(in.value(QStringLiteral("unit")));
            return nullptr;
        }
    }
    const ResultsChoice::Choice where = ResultsChoice::read(in);
    if (!where.location) {
        error = where.error;
        exitCode = where.exitCode;
        return nullptr;
    }
    return std::make_unique<ResultsCommand>(*where.location, unit, int(qMin<qint64>(last, INT_MAX)),
                                            in.has(QStringLiteral("json")));
}

std::unique_ptr<CliCommand> info(const Invocation &in, QString &error)
{
    CommandOptions::Port port;
    if (!CommandOptions::readPort(in, port, error))
        return nullptr;
    return std::make_unique<InfoCommand>(port, in.has(QStringLiteral("json")));
}

// The report's kind is its suffix; a name without a known one is a usage
// error, found before the run rather than after it.
bool readReport(const Invocation &in, QString &path, QString &error)
{
    if (!in.has(QStringLiteral("report")))
        return true;
    path = in.value(QStringLiteral("report"));
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("html") && suffix != QLatin1String("htm") && suffix != QLatin1String("pdf")) {
        error = QStringLiteral("--report needs a name ending in .html or .pdf, not '%1'").arg(path);
        return false;
    }
    return true;
}

// A plan that cannot be read, or that is no valid plan, is a file that
// cannot be read: exit 5, with the key and the step at fault named. So is a
// report whose folder is missing: nothing is sent to the device for a run
// whose report could not be written.
std::unique_ptr<CliCommand> run(const Invocation &in, QString &error, int &exitCode)
{
    RunCommand::Options options;
    QString planPath;
    if (!CommandOptions::readPort(in, options.port, error)
        || !CommandOptions::readRequired(in, QStringLiteral("plan"), planPath, error)
        || !readReport(in, options.outputs.reportFile, error))
        return nullptr;
    const ResultsChoice::Choice where = ResultsChoice::read(in);
    if (!where.location) {
        error = where.error;
        exitCode = where.exitCode;
        return nullptr;
    }
    exitCode = ExitCode::kFile;
    const auto plan = TestRun::readPlanFile(planPath, &error, &options.planJson);
    if (!plan) {
        if (!error.contains(planPath))
            error = QStringLiteral("plan %1: %2").arg(planPath, error);
        return nullptr;
    }
    const QString reportFolder = QFileInfo(options.outputs.reportFile).absolutePath();
    if (!options.outputs.reportFile.isEmpty() && !QFileInfo(reportFolder).isDir()) {
        error = QStringLiteral("cannot write the report %1: the folder %2 does not exist")
                    .arg(options.outputs.reportFile, QDir::toNativeSeparators(reportFolder));
        return nullptr;
    }
    options.plan = *plan;
    options.outputs.results = *where.location;
    options.outputs.lotCsv =
        LotSummary::pathFromSettings(QSettings(SettingsRules::fileName(), QSettings::IniFormat));
    options.unattended = in.has(QStringLiteral("yes"));
    return std::make_unique<RunCommand>(options);
}

} // namespace

std::unique_ptr<CliCommand> create(const Invocation &in, QString &error, int &exitCode)
{
    exitCode = ExitCode::kUsage;
    const QString &name = in.command;
    if (name == QLatin1String("ports"))
        return std::make_unique<PortsCommand>(in.has(QStringLiteral("json")));
    if (name == QLatin1String("stream"))
        return stream(in, error);
    if (name == QLatin1String("stats"))
        return stats(in, error);
    if (name == QLatin1String("download"))
        return download(in, error);
    if (name == QLatin1String("results"))
        return results(in, error, exitCode);
    if (name == QLatin1String("info"))
        return info(in, error);
    if (name == QLatin1String("run"))
        return run(in, error, exitCode);
    error = QStringLiteral("%1 is not available in this build").arg(name);
    return nullptr;
}

} // namespace Commands
