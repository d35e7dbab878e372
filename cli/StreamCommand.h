#pragma once

#include "cli/Acquisition.h"
#include "cli/CliCommand.h"
#include "cli/DataOutput.h"
#include "cli/FrameLines.h"

#include <memory>

class SensorLink;

// `stream`: Start, every measurement frame as a line of CSV or JSON on
// standard output (or --output FILE), Stop. Lines go out whole, each batch
// of frames the port delivered together in one write.
class StreamCommand : public CliCommand {
    Q_OBJECT
public:
    StreamCommand(const CommandOptions::Port &port, const CommandOptions::Amount &amount, FrameLines::Format format,
                  const QString &outputPath, QObject *parent = nullptr);
    void start() override;
    // Stop, every whole line written out, then 128 + the signal.
    void interrupt(int signal, int count) override;

private:
    void frame(const MeasurementRecord &record);
    void writeOut();
    void ended(Acquisition::Ending why);

    SensorLink *link;
    Acquisition *acquisition;
    FrameLines::Format format;
    QString outputPath;
    DataOutput output;
    std::unique_ptr<FrameLines> lines;
    bool writePosted = false;
    int signalCaught = 0;
};
