#include "cli/StreamCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/SensorLink.h"
#include "workflow/MeasurementFeed.h"

#include <QTimer>

StreamCommand::StreamCommand(const CommandOptions::Port &port, const CommandOptions::Amount &amount,
                             FrameLines::Format format, const QString &outputPath, QObject *parent)
    : CliCommand(parent)
    , link(new SensorLink(port.name, port.baudRate, this))
    , acquisition(new Acquisition(link, amount, this))
    , format(format)
    , outputPath(outputPath)
{
    connect(acquisition, &Acquisition::frame, this, &StreamCommand::frame);
    connect(acquisition, &Acquisition::ended, this, &StreamCommand::ended);
}

void StreamCommand::start()
{
    if (!link->open()) {
        Console::message(link->openFailure());
        return finish(ExitCode::kPort);
    }
    if (!outputPath.isEmpty() && !output.openFile(outputPath)) {
        Console::message(output.error());
        return finish(ExitCode::kFile);
    }
    lines = std::make_unique<FrameLines>(format, acquisition->feed().nowNanoseconds(), acquisition->feed().linkBadFrames());
    output.pending() = lines->header();
    if (!output.flush()) {
        Console::message(output.error());
        return finish(ExitCode::kFile);
    }
    acquisition->begin();
}

void StreamCommand::interrupt(int signal, int)
{
    if (signalCaught == 0)
        signalCaught = signal;
    if (!acquisition->isEnding() && lines)
        acquisition->end(Acquisition::Ending::Interrupted);
    else if (!lines)
        finish(ExitCode::interrupted(signal));
}

void StreamCommand::frame(const MeasurementRecord &record)
{
    lines->append(output.pending(), record);
    if (!writePosted) {
        writePosted = true;
        QTimer::singleShot(0, this, &StreamCommand::writeOut);
    }
}

void StreamCommand::writeOut()
{
    writePosted = false;
    if (!output.flush() && !acquisition->isEnding())
        acquisition->end(Acquisition::Ending::OutputFailed);
}

void StreamCommand::ended(Acquisition::Ending why)
{
    output.flush();
    const QString text = acquisition->endingText();
    if (!text.isEmpty())
        Console::message(text);
    if (output.failed())
        Console::message(output.error());
    if (signalCaught)
        return finish(ExitCode::interrupted(signalCaught));
    if (output.failed())
        return finish(ExitCode::kFile);
    finish(why == Acquisition::Ending::Reached ? ExitCode::kSuccess : ExitCode::kDevice);
}
