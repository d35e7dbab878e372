#pragma once

#include "cli/Acquisition.h"
#include "cli/CliCommand.h"
#include "workflow/RollingStatistics.h"

#include <string>

class SensorLink;

// `stats`: collects like `stream`, then prints the statistics window's
// figures over every frame collected, for the first point's distance or
// the frame mean.
class StatsCommand : public CliCommand {
    Q_OBJECT
public:
    StatsCommand(const CommandOptions::Port &port, const CommandOptions::Amount &amount,
                 RollingStatistics::Quantity quantity, bool json, QObject *parent = nullptr);
    void start() override;
    void interrupt(int signal, int count) override;

    // The figures as printed: one JSON object, or `key: value` lines.
    static std::string text(const StatisticsSummary &summary, bool json);

private:
    void ended(Acquisition::Ending why);

    SensorLink *link;
    Acquisition *acquisition;
    RollingStatistics::Quantity quantity;
    bool json;
    RollingStatistics statistics;
    int signalCaught = 0;
};
