#pragma once

#include "cli/CliCommand.h"
#include "cli/CommandOptions.h"
#include "cli/TransferProgress.h"
#include "download/DownloadTransfer.h"

#include <QElapsedTimer>

class SensorLink;
struct TRData;

// `download`: the download dialog's transfer of a firmware image or a
// calibration table, with a progress bar (or plain lines) and the dialog's
// outcome line on standard error.
class DownloadCommand : public CliCommand {
    Q_OBJECT
public:
    DownloadCommand(const CommandOptions::Port &port, const TransferProfile &profile, const QString &path,
                    QObject *parent = nullptr);
    void start() override;
    // The first signal cancels at the next block boundary, as the dialog's
    // Cancel does; a second one abandons the transfer at once.
    void interrupt(int signal, int count) override;

    // The exit status a transfer's ending gives.
    static int exitCodeFor(const DownloadTransfer &transfer);

private:
    void acknowledgement(TRData *pack);
    void showProgress();
    void showOutcome();
    TransferProgress::Figures figures() const;

    SensorLink *link;
    DownloadTransfer transfer;
    TransferProfile profile;
    QString path;
    bool terminal;
    bool barShown = false;
    int plainTenths = -1;
    DownloadTransfer::State lastState = DownloadTransfer::State::Idle;
    QElapsedTimer lastDrawn;
    QElapsedTimer sendingClock;
    int signalCaught = 0;
};
