#include "download/DownloadTransfer.h"

#include "download/ImageFile.h"
#include "link/QTRNet.h"

#include <QCoreApplication>
#include <QDebug>

namespace {
constexpr quint8 kDownloadAddr = 1;

static_assert(DownloadTransfer::kBlockSize + DownloadPayload::kTagField <= DownloadPayload::kStagingSize,
              "a tagged block must fit the staging buffer");

const quint8 *bytesOf(const QByteArray &payload)
{
    return reinterpret_cast<const quint8 *>(payload.constData());
}
} // namespace

DownloadTransfer::DownloadTransfer(QObject *parent)
    : QObject(parent)
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &DownloadTransfer::timedOut);
    // Once the event loop has ended nothing would answer or time out any more.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &DownloadTransfer::abandon);
}

void DownloadTransfer::setNet(QTRNet *endpoint)
{
    if (net)
        net->disconnect(this);
    net = endpoint;
    if (net)
        connect(net, &QTRNet::portClosing, this, &DownloadTransfer::portClosing);
}

void DownloadTransfer::setPortOpener(std::function<bool()> portOpener)
{
    opener = std::move(portOpener);
}

bool DownloadTransfer::isActive() const
{
    return current == State::Opening || current == State::Starting || current == State::Sending
        || current == State::Ending;
}

qint64 DownloadTransfer::elapsedMs() const
{
    return isActive() ? clock.elapsed() : endedAfterMs;
}

bool DownloadTransfer::start(const TransferProfile &chosen, const QString &path)
{
    if (isActive() || !net)
        return false;
    profile = chosen;
    filePath = path;
    why = Reason::None;
    ackCmd = -1;
    cancelling = false;
    lastSendRefused = false;
    portClosed = false;
    block = 0;
    done = 0;
    clock.start();
    current = State::Opening;
    // Read first: a start command without a readable image would leave the
    // device waiting in download mode for an end that never comes.
    if (!readImage())
        return true;
    emit changed();
    holdsLink = net->lease().tryAcquire(LinkLease::Holder::Transfer);
    if (!holdsLink) {
        finish(State::Failed, Reason::SendRefused);
        return true;
    }
    if (!net->portOpen() && !(opener && opener())) {
        finish(State::Failed, Reason::PortNotOpen);
        return true;
    }
    // The start frame would be refused, and its answer awaited for nothing.
    if (net->isBusy()) {
        finish(State::Failed, Reason::SendRefused);
        return true;
    }
    sendStart();
    return true;
}

bool DownloadTransfer::readImage()
{
    QByteArray bytes;
    ImageFile::Problem problem = ImageFile::Problem::None;
    fileSize = 0;
    plan = {};
    if (!ImageFile::read(filePath, bytes, &problem)) {
        ImageFile::inspect(filePath, &fileSize);
        finish(State::Failed,
               problem == ImageFile::Problem::TooLarge ? Reason::FileTooLarge : Reason::FileUnreadable);
        return false;
    }
    fileSize = bytes.size();
    DownloadPayload::padToWord(bytes);
    image = bytes;
    plan = DownloadPayload::planBlocks(image.size(), kBlockSize);
    // The kind of the image being sent, whatever was picked or typed since.
    endValue = DownloadPayload::endValue(profile.endCode, DownloadPayload::kindFromPath(filePath));
    return true;
}

void DownloadTransfer::sendStart()
{
    current = State::Starting;
    if (DownloadPayload::usableTag(profile.startTag)) {
        send(profile.startCode, DownloadPayload::tagged(profile.startTag, nullptr, 0), 0);
        pause(Phase::StartPause, kStartPauseMs);
    } else {
        send(profile.startCode, DownloadPayload::taggedValue(nullptr, 0), 0);
        pause(Phase::StartPause, kValuePauseMs + kStartPauseMs);
    }
    emit changed();
}

void DownloadTransfer::sendBlock(int index)
{
    block = index;
    const int length = index < plan.full ? kBlockSize : plan.rest;
    const quint8 *bytes = bytesOf(image) + qsizetype(index) * kBlockSize;
    send(profile.blockCode, DownloadPayload::tagged(profile.blockTag, bytes, length),
         DownloadPayload::blockOffset(index, kBlockSize));
    awaitAck(Phase::BlockAck, profile.blockCode, kStepAckMs);
}

void DownloadTransfer::sendEnd()
{
    current = State::Ending;
    if (DownloadPayload::usableTag(profile.endTag)) {
        send(profile.endCode, DownloadPayload::taggedValue(profile.endTag, endValue), 0);
        awaitAck(Phase::EndAck, profile.endCode, kStepAckMs);
    } else {
        send(profile.endCode, DownloadPayload::taggedValue(nullptr, endValue), 0);
        pause(Phase::EndPause, kValuePauseMs);
    }
}

// A refused frame is not an ending by itself: its answer is awaited as usual,
// and the wait running out then names the refusal.
bool DownloadTransfer::send(quint8 code, const QByteArray &payload, quint16 offset)
{
    lastSendRefused = !net || !net->sendData(kDownloadAddr, code, bytesOf(payload), quint32(payload.size()), offset);
    return !lastSendRefused;
}

void DownloadTransfer::pause(Phase next, int ms)
{
    phase = next;
    timer.start(ms);
}

// An acknowledgement that arrived before the wait began counts at once.
void DownloadTransfer::awaitAck(Phase next, quint8 code, int ms)
{
    phase = next;
    awaitedCode = code;
    timer.start(ms);
    checkAck();
}

bool DownloadTransfer::awaiting() const
{
    return phase == Phase::StartAck || phase == Phase::BlockAck || phase == Phase::EndAck;
}

// A start being cancelled ends on its answer, also one that comes during the
// start's pause.
bool DownloadTransfer::listening() const
{
    return awaiting() || (cancelling && phase == Phase::StartPause);
}

// Looked at once the frames that arrived together have all been recorded:
// one for another code that came right behind the awaited one replaces it.
void DownloadTransfer::acknowledge(quint8 code, quint8 result)
{
    ackCmd = code;
    ackResult = result;
    if (listening() && !checkPosted) {
        checkPosted = true;
        QMetaObject::invokeMethod(this, &DownloadTransfer::checkAck, Qt::QueuedConnection);
    }
}

void DownloadTransfer::checkAck()
{
    checkPosted = false;
    const int code = phase == Phase::StartPause ? profile.startCode : awaitedCode;
    if (!listening() || ackCmd != code)
        return;
    ackCmd = -1;
    timer.stop();
    answered(ackResult != 0);
}

void DownloadTransfer::answered(bool ok)
{
    switch (phase) {
    case Phase::StartPause:
    case Phase::StartAck:
        if (cancelling)
            return finish(State::Cancelled, Reason::Cancelled);
        if (!ok)
            return finish(State::Failed, Reason::StartRefused);
        current = State::Sending;
        if (plan.steps() > 0)
            sendBlock(0);
        else
            sendEnd();
        emit changed();
        return;
    case Phase::BlockAck:
        return blockAnswered(ok);
    case Phase::EndAck:
        qDebug() << "complete" << ok;
        return ok ? finish(State::Done, Reason::None) : finish(State::Failed, Reason::EndRefused);
    default:
        return;
    }
}

void DownloadTransfer::blockAnswered(bool ok)
{
    const bool shortBlock = block == plan.full;
    if (shortBlock)
        qDebug() << QStringLiteral("send mod %1").arg(block) << ok;
    if (!ok)
        return finish(State::Failed, Reason::BlockRefused);
    if (!shortBlock)
        qDebug() << QStringLiteral("send %1").arg(block) << true;
    done = block + 1;
    if (cancelling)
        return finish(State::Cancelled, Reason::Cancelled);
    if (done < plan.steps())
        sendBlock(done);
    else
        sendEnd();
    emit changed();
}

void DownloadTransfer::timedOut()
{
    const Phase was = phase;
    switch (was) {
    case Phase::StartPause:
        return awaitAck(Phase::StartAck, profile.startCode, kStartAckMs);
    case Phase::EndPause:
        return awaitAck(Phase::EndAck, profile.endCode, kStepAckMs);
    case Phase::StartAck:
        if (cancelling)
            return finish(State::Cancelled, Reason::Cancelled);
        return finish(State::Failed, unanswered(Reason::StartUnanswered));
    case Phase::BlockAck:
        if (block == plan.full)
            qDebug() << QStringLiteral("send mod %1").arg(block) << false;
        return finish(State::Failed, unanswered(Reason::BlockUnanswered));
    case Phase::EndAck:
        qDebug() << "complete" << false;
        return finish(State::Failed, unanswered(Reason::EndUnanswered));
    case Phase::None:
        return;
    }
}

// Why no answer came: a closed port or a refused frame say more than silence.
DownloadTransfer::Reason DownloadTransfer::unanswered(Reason silence) const
{
    if (!net || !net->portOpen())
        return Reason::PortClosed;
    return lastSendRefused ? Reason::SendRefused : silence;
}

// A start already sent is left to be answered (or its wait to run out) like
// a block on its way: an answer that came after the end would otherwise be
// taken by the next transfer for its own.
void DownloadTransfer::cancel()
{
    if ((current != State::Starting && current != State::Sending) || cancelling)
        return;
    cancelling = true;
    emit changed();
    if (current == State::Starting)
        checkAck();
}

void DownloadTransfer::abandon()
{
    if (isActive())
        finish(State::Cancelled, Reason::Abandoned);
}

void DownloadTransfer::finish(State state, Reason reason)
{
    timer.stop();
    phase = Phase::None;
    endedAfterMs = clock.isValid() ? clock.elapsed() : 0;
    current = state;
    why = reason;
    if (holdsLink && net)
        net->lease().release(LinkLease::Holder::Transfer);
    holdsLink = false;
    emit finished();
}

// Nothing can be answered on a closed port. The ending waits for the close to
// be over: whoever shows it may run an event loop, which must not happen
// inside the port's own close.
void DownloadTransfer::portClosing()
{
    if (phase == Phase::None)
        return;
    timer.stop();
    phase = Phase::None;
    portClosed = true;
    QMetaObject::invokeMethod(
        this, [this] {
            if (portClosed && isActive())
                finish(State::Failed, Reason::PortClosed);
        },
        Qt::QueuedConnection);
}
