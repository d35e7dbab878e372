#include "cli/CommandLine.h"

#include <vector>

namespace CommandLine {

namespace {

struct OptionSyntax {
    const char *name;
    const char *valueName; // null for a flag
    const char *text;
};

struct CommandSyntax {
    const char *name;
    const char *synopsis; // after "lidar-cli "
    const char *summary;
    const char *description;
    std::vector<OptionSyntax> options;
};

const OptionSyntax kPort = {"port", "NAME", "the sensor's serial port: a system name (ttyUSB0) or a device path"};
const OptionSyntax kBaud = {"baud", "N", "baud rate: 230400 (default), 115200, 460800 or 921600"};
const OptionSyntax kFrames = {"frames", "N", "collect N measurement frames"};
const OptionSyntax kSeconds = {"seconds", "S", "collect for S seconds (a decimal fraction is allowed)"};
const OptionSyntax kResults = {"results", "FILE|URL",
                             "where runs are stored: an SQLite file or postgresql://USER@HOST:PORT/DB; "
                             "default: ResultsDatabase in the settings file, else results.sqlite here"};

OptionSyntax json(const char *what)
{
    return {"json", nullptr, what};
}

const std::vector<CommandSyntax> &grammar()
{
    static const std::vector<CommandSyntax> kGrammar = {
        {"ports", "ports    [--json]", "list the serial ports, USB bridges first",
         "Lists the serial ports, the sensor's USB bridges first as the port dialog lists them, with "
         "the device path, the USB vendor and product ids and the description.",
         {json("a list of objects: name, path, vendor_id, product_id, description")}},
        {"info", "info     --port NAME [--baud N] [--json]", "read the device information and calibration",
         "Stops acquisition, then asks for the device information and the calibration parameters, "
         "each request asked once more when it goes unanswered for a second. Prints key: value lines "
         "(unit_id, firmware, hardware, then the calibration's keys), or one JSON object. unit_id is the "
         "three controller-id words as 8 lower-case hexadecimal digits each.",
         {kPort, kBaud, json("one object: unit_id, firmware, hardware, calibration {...}")}},
        {"stream", "stream   --port NAME [--baud N] (--frames N | --seconds S) [--format csv|jsonl] [--output FILE]",
         "write every measurement frame as CSV or JSON lines",
         "Sends Start, writes every measurement frame, sends Stop at the end. CSV has the measurement "
         "log's header and columns; jsonl one object per frame with the same names as keys. On Ctrl-C "
         "or SIGTERM it sends Stop, writes out every whole line and exits 130 or 143.",
         {kPort, kBaud, kFrames, kSeconds, {"format", "csv|jsonl", "csv (default) or jsonl"},
          {"output", "FILE", "write to FILE instead of standard output"}}},
        {"stats", "stats    --port NAME [--baud N] (--frames N | --seconds S) [--quantity first|mean] [--json]",
         "the statistics window's figures for the frames collected",
         "Collects like stream, then prints the statistics window's figures for the frames collected: "
         "count, mean, standard deviation (n - 1), minimum, maximum, peak to peak, median, blanked "
         "share and frame rate.",
         {kPort, kBaud, kFrames, kSeconds,
          {"quantity", "first|mean", "the frame's first point distance (default) or the frame mean"},
          json("one object: count, mean_mm, std_mm, min_mm, max_mm, peak_to_peak_mm, median_mm, "
               "blanked_percent, rate_hz")}},
        {"download", "download --port NAME [--baud N] (--firmware FILE | --table FILE)",
         "download a firmware image or a calibration table",
         "The download dialog's transfer, with the same frames and waits. On a terminal a progress bar "
         "on standard error, plain lines otherwise; the outcome line at the end.",
         {kPort, kBaud, {"firmware", "FILE", "a firmware image (.bin, or .ifw for an encrypted one)"},
          {"table", "FILE", "a calibration look-up table (.bin)"}}},
        {"run", "run      --port NAME [--baud N] --plan FILE [--results FILE|URL] [--report FILE] [--yes]",
         "run an accuracy test plan",
         "Runs a test plan: identifies the unit, then step by step collects and judges the frames. "
         "Before a step without a command it asks on standard error \"Place the target at 1000 mm and "
         "press Enter\" and reads a line from standard input, unless --yes; the end of the input aborts "
         "the run. Prints one line per step (its figures, each limit's outcome, its verdict), then "
         "\"verdict: PASS|FAIL|INCOMPLETE\" naming the steps at fault; stores the run, adds its row to the "
         "lot summary (ResultsCsv) and writes the report. Exit 0 for PASS, 1 for FAIL, 6 for INCOMPLETE, "
         "4 when the unit does not identify itself; 5 for a plan that cannot be read or is not valid "
         "(nothing is sent), and for a PASS whose record or report could not be written. Ctrl-C or "
         "SIGTERM sends Stop and keeps the run as INCOMPLETE. A plan with commands is code: read a plan "
         "from someone else before running it.",
         {kPort, kBaud, {"plan", "FILE", "the test plan (JSON)"}, kResults,
          {"report", "FILE", "the report: HTML or PDF by the name's suffix (.html, .pdf; any other is a usage error)"},
          {"yes", nullptr, "do not ask for the target to be placed: run unattended"}}},
        {"results", "results  [--results FILE|URL] [--unit ID] [--last N] [--json]", "list the stored accuracy runs",
         "The stored runs, newest first, as a table or as JSON.",
         {kResults, {"unit", "ID", "only the runs of this unit id"}, {"last", "N", "only the newest N runs"},
          json("a list of runs, each with its steps")}},
    };
    return kGrammar;
}

const CommandSyntax *find(const QString &name)
{
    for (const CommandSyntax &syntax : grammar())
        if (name == QLatin1String(syntax.name))
            return &syntax;
    return nullptr;
}

const OptionSyntax *findOption(const CommandSyntax &syntax, const QString &name)
{
    for (const OptionSyntax &option : syntax.options)
        if (name == QLatin1String(option.name))
            return &option;
    return nullptr;
}

bool isHelp(const QString &argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

Invocation usageError(const QString &command, const QString &error)
{
    Invocation invocation;
    invocation.kind = Invocation::Kind::UsageError;
    invocation.command = command;
    invocation.error = error;
    return invocation;
}

Invocation parseCommand(const CommandSyntax &syntax, const QStringList &arguments)
{
    const QString command = QLatin1String(syntax.name);
    for (const QString &argument : arguments)
        if (isHelp(argument)) {
            Invocation invocation;
            invocation.kind = Invocation::Kind::Help;
            invocation.command = command;
            return invocation;
        }
    Invocation invocation;
    invocation.kind = Invocation::Kind::Command;
    invocation.command = command;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments.at(i);
        if (!argument.startsWith(QLatin1String("--")) || argument.size() == 2)
            return usageError(command, QStringLiteral("unexpected argument '%1'").arg(argument));
        const int equals = argument.indexOf(QLatin1Char('='));
        const QString name = argument.mid(2, equals < 0 ? -1 : equals - 2);
        const OptionSyntax *option = findOption(syntax, name);
        if (!option)
            return usageError(command, QStringLiteral("unknown option '--%1' for %2").arg(name, command));
        if (invocation.given.contains(name))
            return usageError(command, QStringLiteral("--%1 given twice").arg(name));
        QString value;
        if (!option->valueName) {
            if (equals >= 0)
                return usageError(command, QStringLiteral("--%1 takes no value").arg(name));
        } else if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1String("--"))) {
            value = arguments.at(++i);
        } else {
            return usageError(command, QStringLiteral("--%1 needs a value (%2)").arg(name, QLatin1String(option->valueName)));
        }
        if (option->valueName && value.isEmpty())
            return usageError(command, QStringLiteral("--%1 needs a value (%2)").arg(name, QLatin1String(option->valueName)));
        invocation.given.insert(name, value);
    }
    return invocation;
}

// Words filled into lines of at most `width` characters that begin at column
// `indent`; every line but the first gets the indent here, the first has it
// from its caller.
QString wrapped(const QString &text, int width, int indent)
{
    QStringList lines;
    QString line;
    const int room = width - indent;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > room) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines << line;
    return lines.join(QLatin1Char('\n') + QString(indent, QLatin1Char(' ')));
}

constexpr int kTextWidth = 79;
constexpr int kOptionColumn = 25;

QString optionLines(const CommandSyntax &syntax)
{
    QStringList lines;
    const auto add = [&lines](const QString &left, const QString &text) {
        lines << QStringLiteral("  %1  ").arg(left, -(kOptionColumn - 4)) + wrapped(text, kTextWidth, kOptionColumn);
    };
    for (const OptionSyntax &option : syntax.options) {
        QString left = QStringLiteral("--") + QLatin1String(option.name);
        if (option.valueName)
            left += QLatin1Char(' ') + QLatin1String(option.valueName);
        add(left, QLatin1String(option.text));
    }
    add(QStringLiteral("--help"), QStringLiteral("this text"));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

Invocation parse(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usageError(QString(), QStringLiteral("no command given"));
    const QString first = arguments.first();
    if (isHelp(first) && arguments.size() == 1) {
        Invocation invocation;
        invocation.kind = Invocation::Kind::Help;
        return invocation;
    }
    if (first == QLatin1String("--version") && arguments.size() == 1) {
        Invocation invocation;
        invocation.kind = Invocation::Kind::Version;
        return invocation;
    }
    if (first.startsWith(QLatin1Char('-')))
        return usageError(QString(), QStringLiteral("'%1' is no command").arg(first));
    const CommandSyntax *syntax = find(first);
    if (!syntax)
        return usageError(QString(), QStringLiteral("unknown command '%1'").arg(first));
    return parseCommand(*syntax, arguments.mid(1));
}

QStringList commands()
{
    QStringList names;
    for (const CommandSyntax &syntax : grammar())
        names << QLatin1String(syntax.name);
    return names;
}

QString usage(const QString &command)
{
    if (const CommandSyntax *syntax = find(command))
        return QStringLiteral("usage: lidar-cli ") + QString::fromUtf8(syntax->synopsis).simplified();
    QStringList lines;
    for (const CommandSyntax &syntax : grammar())
        lines << QStringLiteral("       lidar-cli ") + QLatin1String(syntax.synopsis);
    lines << QStringLiteral("       lidar-cli --help | --version | COMMAND --help");
    lines.first().replace(0, 6, QStringLiteral("usage:"));
    return lines.join(QLatin1Char('\n'));
}

QString exitStatusText()
{
    return QStringLiteral(
        "Exit status:\n"
        "  0    success (a run's PASS)\n"
        "  1    a run's FAIL\n"
        "  2    usage: unknown command or option, missing or bad value (the usage line follows)\n"
        "  3    the port cannot be opened (with why, and the group to join on a permission error)\n"
        "  4    the device did not answer in time or refused a block\n"
        "  5    a file cannot be read or written\n"
        "  6    a run INCOMPLETE\n"
        "  130  interrupted by SIGINT (Ctrl-C); 143 by SIGTERM");
}

QString help(const QString &command)
{
    if (const CommandSyntax *syntax = find(command))
        return usage(command) + QStringLiteral("\n\n") + wrapped(QLatin1String(syntax->description), kTextWidth, 0)
            + QStringLiteral("\n\nOptions:\n")
            + optionLines(*syntax) + QStringLiteral("\n\n") + exitStatusText() + QLatin1Char('\n');
    QStringList commandLines;
    for (const CommandSyntax &syntax : grammar())
        commandLines << QStringLiteral("  %1  %2").arg(QLatin1String(syntax.name), -8).arg(QLatin1String(syntax.summary));
    return QStringLiteral("lidar-cli: the lidar distance sensor from a terminal or a script.\n\n") + usage()
        + QStringLiteral("\n\nCommands:\n") + commandLines.join(QLatin1Char('\n'))
        + QStringLiteral("\n\nStandard output carries only the data asked for; progress, prompts and messages\n"
                         "go to standard error. --baud defaults to 230400.\n\n")
        + exitStatusText() + QLatin1Char('\n');
}

} // namespace CommandLine
