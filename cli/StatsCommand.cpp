#include "cli/StatsCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/JsonText.h"
#include "cli/SensorLink.h"

#include <charconv>

namespace {
struct Figure {
    const char *key;
    double value;
};

std::string number(double value)
{
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    return std::string(buf, end);
}
} // namespace

StatsCommand::StatsCommand(const CommandOptions::Port &port, const CommandOptions::Amount &amount,
                           RollingStatistics::Quantity quantity, bool json, QObject *parent)
    : CliCommand(parent)
    , link(new SensorLink(port.name, port.baudRate, this))
    , acquisition(new Acquisition(link, amount, this))
    , quantity(quantity)
    , json(json)
{
    connect(acquisition, &Acquisition::frame, this,
            [this](const MeasurementRecord &record) { statistics.add(RollingStatistics::sampleOf(record)); });
    connect(acquisition, &Acquisition::ended, this, &StatsCommand::ended);
}

void StatsCommand::start()
{
    if (!link->open()) {
        Console::message(link->openFailure());
        return finish(ExitCode::kPort);
    }
    acquisition->begin();
}

void StatsCommand::interrupt(int signal, int)
{
    if (signalCaught == 0)
        signalCaught = signal;
    if (!acquisition->isEnding())
        acquisition->end(Acquisition::Ending::Interrupted);
}

// Figures of an acquisition that did not end as asked would pass for a
// measurement they are not: they are not printed.
void StatsCommand::ended(Acquisition::Ending why)
{
    const QString text = acquisition->endingText();
    if (!text.isEmpty())
        Console::message(text);
    if (signalCaught)
        return finish(ExitCode::interrupted(signalCaught));
    if (why != Acquisition::Ending::Reached)
        return finish(ExitCode::kDevice);
    const StatisticsSummary summary = statistics.summary(RollingStatistics::kSinceStart, quantity);
    finish(Console::data(StatsCommand::text(summary, json)) ? ExitCode::kSuccess : ExitCode::kFile);
}

std::string StatsCommand::text(const StatisticsSummary &s, bool json)
{
    const Figure figures[] = {
        {"count", double(s.count)},         {"mean_mm", s.mean},
        {"std_mm", s.stdDev},               {"min_mm", double(s.minimum)},
        {"max_mm", double(s.maximum)},      {"peak_to_peak_mm", double(s.peakToPeak)},
        {"median_mm", s.median},            {"blanked_percent", s.blankedShare * 100.0},
        {"rate_hz", s.frameRate},
    };
    if (json) {
        JsonText out;
        out.beginObject();
        for (const Figure &f : figures)
            out.key(f.key).value(f.value);
        out.endObject();
        return out.text() + '\n';
    }
    std::string out;
    for (const Figure &f : figures)
        out += std::string(f.key) + ": " + number(f.value) + '\n';
    return out;
}
