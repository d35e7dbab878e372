#include "cli/DownloadCommand.h"

#include "cli/Console.h"
#include "cli/ExitCode.h"
#include "cli/SensorLink.h"
#include "cli/TransferProgress.h"
#include "download/DownloadPayload.h"
#include "download/TransferTexts.h"
#include "link/QTRNet.h"

namespace {
// A terminal line redrawn more often than this only flickers.
constexpr int kRedrawMs = 100;

} // namespace

// The pace counts from the first block: the start's pause says nothing of it.
TransferProgress::Figures DownloadCommand::figures() const
{
    TransferProgress::Figures f;
    f.blocks = transfer.blocks();
    f.blocksDone = transfer.blocksDone();
    f.bytesDone = qMin<qint64>(qint64(f.blocksDone) * DownloadTransfer::kBlockSize, transfer.sentBytes());
    f.elapsedMs = sendingClock.isValid() ? sendingClock.elapsed() : 0;
    return f;
}

DownloadCommand::DownloadCommand(const CommandOptions::Port &port, const TransferProfile &profile,
                                 const QString &path, QObject *parent)
    : CliCommand(parent)
    , link(new SensorLink(port.name, port.baudRate, this))
    , profile(profile)
    , path(path)
    , terminal(Console::stderrIsTerminal())
{
    transfer.setNet(link->net());
    transfer.setPortOpener([this] { return link->open(); });
    connect(link->net(), &QTRNet::dataReady, this, &DownloadCommand::acknowledgement);
    connect(&transfer, &DownloadTransfer::changed, this, &DownloadCommand::showProgress);
    connect(&transfer, &DownloadTransfer::finished, this, &DownloadCommand::showOutcome);
}

void DownloadCommand::start()
{
    if (!transfer.start(profile, path))
        finish(ExitCode::kDevice);
}

void DownloadCommand::interrupt(int signal, int count)
{
    if (signalCaught == 0)
        signalCaught = signal;
    if (!transfer.isActive())
        return finish(ExitCode::interrupted(signalCaught));
    if (count == 1 && (transfer.state() == DownloadTransfer::State::Starting
                       || transfer.state() == DownloadTransfer::State::Sending)) {
        Console::message(QStringLiteral("\nCancelling after the block on its way; interrupt again to stop at once."));
        transfer.cancel();
        return;
    }
    transfer.abandon();
}

int DownloadCommand::exitCodeFor(const DownloadTransfer &transfer)
{
    using Reason = DownloadTransfer::Reason;
    if (transfer.state() == DownloadTransfer::State::Done)
        return ExitCode::kSuccess;
    switch (transfer.reason()) {
    case Reason::FileUnreadable:
    case Reason::FileTooLarge:
        return ExitCode::kFile;
    case Reason::PortNotOpen:
        return ExitCode::kPort;
    default:
        return ExitCode::kDevice;
    }
}

// A payload without both bytes names neither a code nor a result.
void DownloadCommand::acknowledgement(TRData *pack)
{
    if (pack->cmd == DownloadPayload::kAckCode && pack->data.size() >= 2)
        transfer.acknowledge(pack->data[0], pack->data[1]);
}

void DownloadCommand::showProgress()
{
    using State = DownloadTransfer::State;
    const State state = transfer.state();
    if (state == State::Sending && !sendingClock.isValid())
        sendingClock.start();
    const TransferProgress::Figures figures = this->figures();
    if (state == State::Sending || state == State::Ending) {
        if (terminal) {
            if (barShown && lastDrawn.isValid() && lastDrawn.elapsed() < kRedrawMs)
                return;
            Console::progress(QStringLiteral("\r") + TransferProgress::bar(figures) + QStringLiteral("\x1b[K"));
            barShown = true;
            lastDrawn.start();
        } else if (figures.blocks > 0) {
            const int tenths = figures.blocksDone * 10 / figures.blocks;
            if (tenths != plainTenths) {
                plainTenths = tenths;
                Console::message(TransferProgress::line(figures));
            }
        }
    } else if (state != lastState) {
        Console::message(TransferTexts::status(transfer));
    }
    lastState = state;
}

void DownloadCommand::showOutcome()
{
    if (barShown) {
        Console::progress(QStringLiteral("\r") + TransferProgress::bar(figures()) + QStringLiteral("\x1b[K\n"));
    } else if (!terminal && transfer.state() == DownloadTransfer::State::Done && transfer.blocks() > 0
               && plainTenths < 10) {
        Console::message(TransferProgress::line(figures()));
    }
    Console::message(TransferTexts::status(transfer));
    if (transfer.reason() == DownloadTransfer::Reason::PortNotOpen && !link->openFailure().isEmpty())
        Console::message(link->openFailure());
    link->drain(1000);
    const bool stopped = transfer.state() == DownloadTransfer::State::Cancelled;
    finish(stopped && signalCaught ? ExitCode::interrupted(signalCaught) : exitCodeFor(transfer));
}
