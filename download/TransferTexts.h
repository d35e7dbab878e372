#pragma once

#include <QCoreApplication>
#include <QString>

class DownloadTransfer;

// The download dialog's words for a chosen file and for a transfer's state
// and outcome, one line each.
class TransferTexts {
    Q_DECLARE_TR_FUNCTIONS(TransferTexts)

public:
    // The file's size and the blocks it takes, or why it cannot be sent;
    // empty when the path names no file.
    static QString fileSummary(const QString &path);
    // Where a running transfer stands, or how it ended.
    static QString status(const DownloadTransfer &transfer);

private:
    static QString running(const DownloadTransfer &transfer);
    static QString failure(const DownloadTransfer &transfer);
};
