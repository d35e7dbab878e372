#pragma once

#include "link/QTRNet.h"
#include "workflow/UnitIdentity.h"

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTimer>

// Asks the sensor who it is: with acquisition stopped (it sends Stop first
// and lets the stream end), the device information (0x14), then the
// calibration parameters (0x12). Each request is answered within the
// answer time or sent once more, up to the attempts; then it gives up and
// says which request went unanswered and why. Driven by the endpoint's
// packets and single-shot timers: it never waits inside a call, it sends
// with sendData (no pause), so it can run while frames stream in, and its
// outcome is told from the event loop, never from inside the endpoint.
//
// It either takes the link's lease for itself (standalone, as the
// command-line `info`) or works under a lease its caller holds for a longer
// exchange (a test run). Texts translated in the context "UnitIdentifier".
class UnitIdentifier : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultAnswerMs = 1000;
    static constexpr int kDefaultAttempts = 2;
    // After Stop, before the first request: frames still on their way arrive
    // now, and the device has stopped streaming when it is asked.
    static constexpr int kStopSettleMs = 50;

    enum class Lease {
        TakeOwn,      // take it as a test run for the exchange, give it back at the end
        HeldByCaller, // the caller holds it already and keeps it
    };

    struct Failure {
        enum class Reason {
            LinkHeld,    // someone else holds the link (TakeOwn), or nobody does (HeldByCaller)
            SendRefused, // the endpoint would not send; `refusal` says why
            PortClosed,  // the port closed while an answer was awaited
            NoAnswer,    // `attempts` requests, `answerMs` each, and no answer
            ShortAnswer, // answered, but shorter than the record (`answerBytes` of `neededBytes`)
        };
        Reason reason = Reason::NoAnswer;
        quint8 request = 0; // the command that failed: 0x0F, 0x14 or 0x12
        QTRNet::Refusal refusal = QTRNet::Refusal::PortClosed;
        LinkLease::Holder holder = LinkLease::Holder::None;
        int answerMs = 0;
        int attempts = 0;
        int answerBytes = 0;
        int neededBytes = 0;
    };

    explicit UnitIdentifier(QTRNet *net, QObject *parent = nullptr);
    ~UnitIdentifier() override;

    // Must not be changed while running. `attempts` of at least 1.
    void setAnswerTime(int ms, int attempts);
    int answerMs() const { return answerTime; }
    int attempts() const { return maxAttempts; }

    // Begins the exchange; the outcome comes as identified() or failed(),
    // never from inside this call. False (and nothing begins) while running.
    bool start(Lease lease);
    // Ends a running exchange without a signal, giving back a lease it took.
    void cancel();
    bool isRunning() const { return phase != Phase::Idle; }

    const Failure &failure() const { return lastFailure; }
    // What went unanswered and why, for people.
    static QString failureText(const Failure &failure);
    static QString requestName(quint8 request);

signals:
    void identified(const UnitIdentity &unit);
    // `why` is failureText(failure()).
    void failed(const QString &why);

private:
    enum class Phase { Idle, Stopping, AwaitingDeviceInfo, AwaitingCalibration };

    void take(TRData *pack);
    void onTimer();
    void onPortClosing();
    bool send(quint8 cmd);
    void request(quint8 cmd, Phase awaiting);
    void attemptFailed(Failure::Reason reason, int answerBytes = 0);
    void failLater(const Failure &failure);
    void fail(const Failure &failure);
    void finish();
    quint8 awaitedCode() const;

    QTRNet *net;
    QTimer timer;
    Phase phase = Phase::Idle;
    bool ownLease = false;
    bool portClosed = false;
    int answerTime = kDefaultAnswerMs;
    int maxAttempts = kDefaultAttempts;
    int attempt = 0;
    quint64 generation = 0; // of the exchange, so a late outcome meets only its own
    UnitIdentity unit;
    Failure lastFailure;
    QMetaObject::Connection packets;
    QMetaObject::Connection closing;
};
