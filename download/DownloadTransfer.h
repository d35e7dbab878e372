#pragma once

#include "download/DownloadPayload.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QTRNet;

// The codes and tags that make a transfer a firmware download or a
// calibration-table download. A null tag means the profile has none.
struct TransferProfile {
    quint8 startCode;
    const char *startTag;
    quint8 blockCode;
    const char *blockTag;
    quint8 endCode;
    const char *endTag;

    static TransferProfile firmware() { return {0x0A, "start download", 0x0B, "downloading", 0x0C, "complete"}; }
    static TransferProfile table() { return {0x07, "lut start", 0x08, "lut transmit", 0x09, nullptr}; }
};

// One download into the device, as a state machine: the start command and a
// pause, then each 64-byte block once the step before it was acknowledged,
// then the end command. Acknowledgements and single-shot timers drive it; it
// never runs an event loop of its own. Once it fails or is cancelled it sends
// nothing more, above all no end command: that one tells the device that the
// image is complete.
//
// It holds the link's lease (as Transfer) from before it opens the port or
// sends its start until it ends, and gives it back before `finished`. A port
// that closes under it ends it at once, as PortClosed.
class DownloadTransfer : public QObject {
    Q_OBJECT
    friend struct DownloadTransferProbe;

public:
    enum class State { Idle, Opening, Starting, Sending, Ending, Done, Failed, Cancelled };
    enum class Reason {
        None,
        FileUnreadable,
        FileTooLarge,
        PortNotOpen,
        SendRefused, // the endpoint would not write a frame (busy, or the port closed)
        PortClosed,  // the port closed while an answer was awaited
        StartUnanswered,
        StartRefused,
        BlockUnanswered,
        BlockRefused,
        EndUnanswered,
        EndRefused,
        Cancelled, // by the user, at a block boundary
        Abandoned, // the program is closing
    };

    static constexpr int kBlockSize = 64;
    static constexpr int kStartPauseMs = 1000;
    static constexpr int kStartAckMs = 2000;
    static constexpr int kStepAckMs = 1000;
    // A command without a tag carries a bare value and keeps the link quiet
    // this long before its acknowledgement is looked for.
    static constexpr int kValuePauseMs = 50;

    explicit DownloadTransfer(QObject *parent = nullptr);

    void setNet(QTRNet *endpoint);
    // Asked when a transfer finds the port closed; true when it is open then.
    void setPortOpener(std::function<bool()> opener);

    // Starts sending the file at `path`; false, with nothing changed, while a
    // transfer runs or without an endpoint. A file that cannot be sent, a port
    // that cannot be opened, a link held by another sender or an endpoint
    // inside a wait of its own end the transfer before this returns, with
    // nothing sent.
    bool start(const TransferProfile &profile, const QString &path);
    // Sends nothing more. With the start or a block on its way the transfer
    // ends when that is answered (or its wait runs out). An end command
    // already sent is left to be answered.
    void cancel();
    // Ends at once, sending nothing more: the program is going away.
    void abandon();
    // An acknowledgement frame: the code it names and its result (0 = failure).
    void acknowledge(quint8 code, quint8 result);

    bool isActive() const;
    bool cancelRequested() const { return cancelling; }
    State state() const { return current; }
    Reason reason() const { return why; }
    QString path() const { return filePath; }
    // The file's own size, before padding.
    qint64 fileBytes() const { return fileSize; }
    // What goes to the device: the file padded to whole words.
    qint64 sentBytes() const { return image.size(); }
    int blocks() const { return plan.steps(); }
    // Blocks the device has acknowledged so far.
    int blocksDone() const { return done; }
    // The block on its way, or the one that failed (counted from 0).
    int blockIndex() const { return block; }
    qint64 elapsedMs() const;

signals:
    // The state or the block moved on; the next frame is already on its way.
    void changed();
    // Done, Failed or Cancelled was reached.
    void finished();

private:
    enum class Phase { None, StartPause, StartAck, BlockAck, EndPause, EndAck };

    bool readImage();
    void sendStart();
    void sendBlock(int index);
    void sendEnd();
    bool send(quint8 code, const QByteArray &payload, quint16 offset);
    void pause(Phase next, int ms);
    void awaitAck(Phase next, quint8 code, int ms);
    void checkAck();
    void answered(bool ok);
    void blockAnswered(bool ok);
    void timedOut();
    Reason unanswered(Reason silence) const;
    void finish(State state, Reason reason);
    void portClosing();
    bool awaiting() const;
    bool listening() const;

    QPointer<QTRNet> net;
    std::function<bool()> opener;
    TransferProfile profile = TransferProfile::firmware();
    QString filePath;
    QByteArray image;
    DownloadPayload::BlockPlan plan;
    qint64 fileSize = 0;
    quint32 endValue = 0;

    State current = State::Idle;
    Reason why = Reason::None;
    Phase phase = Phase::None;
    int awaitedCode = -1;
    // Only the most recent acknowledgement is held, as the device protocol has it.
    qint32 ackCmd = -1;
    qint32 ackResult = -1;
    bool checkPosted = false;
    bool lastSendRefused = false;
    bool cancelling = false;
    bool holdsLink = false;
    bool portClosed = false; // under this transfer, its ending on its way
    int block = 0;
    int done = 0;
    QTimer timer;
    QElapsedTimer clock;
    qint64 endedAfterMs = 0;
};
