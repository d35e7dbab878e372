#include "workflow/UnitIdentifier.h"

#include "link/LinkTexts.h"
#include "workflow/CommandSet.h"
#include "workflow/WorkflowTexts.h"

#include <algorithm>

namespace {
const quint8 kZeroValue[4] = {0, 0, 0, 0};
} // namespace

UnitIdentifier::UnitIdentifier(QTRNet *net, QObject *parent)
    : QObject(parent)
    , net(net)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &UnitIdentifier::onTimer);
}

UnitIdentifier::~UnitIdentifier()
{
    cancel();
}

void UnitIdentifier::setAnswerTime(int ms, int attempts)
{
    answerTime = std::max(1, ms);
    maxAttempts = std::max(1, attempts);
}

bool UnitIdentifier::start(Lease lease)
{
    if (isRunning())
        return false;
    ++generation;
    unit = UnitIdentity();
    lastFailure = Failure();
    portClosed = false;
    attempt = 0;
    LinkLease &link = net->lease();
    const bool leaseFit = lease == Lease::TakeOwn ? link.tryAcquire(LinkLease::Holder::TestRun) : !link.isFree();
    ownLease = lease == Lease::TakeOwn && leaseFit;
    phase = Phase::Stopping;
    if (!leaseFit) {
        Failure failure;
        failure.reason = Failure::Reason::LinkHeld;
        failure.request = CommandSet::kStop;
        failure.holder = link.holder();
        failLater(failure);
        return true;
    }
    packets = connect(net, &QTRNet::dataReady, this, &UnitIdentifier::take, Qt::DirectConnection);
    // Emitted inside the port's close: only noted there, acted on later.
    closing = connect(net, &QTRNet::portClosing, this, &UnitIdentifier::onPortClosing, Qt::DirectConnection);
    attempt = 1;
    if (send(CommandSet::kStop))
        timer.start(kStopSettleMs);
    return true;
}

void UnitIdentifier::cancel()
{
    if (isRunning())
        finish();
}

// Sends a command with a zero value, as the window's commands go, but
// without their pause. A refusal ends the exchange (later, like every outcome).
bool UnitIdentifier::send(quint8 cmd)
{
    if (net->sendData(0, cmd, kZeroValue, sizeof kZeroValue, 0))
        return true;
    Failure failure;
    failure.reason = Failure::Reason::SendRefused;
    failure.request = cmd;
    failure.refusal = !net->portOpen() ? QTRNet::Refusal::PortClosed
        : net->isBusy()               ? QTRNet::Refusal::Busy
                                      : QTRNet::Refusal::WriteFailed;
    failLater(failure);
    return false;
}

void UnitIdentifier::request(quint8 cmd, Phase awaiting)
{
    phase = awaiting;
    timer.stop();
    if (send(cmd))
        timer.start(answerTime);
}

quint8 UnitIdentifier::awaitedCode() const
{
    switch (phase) {
    case Phase::AwaitingDeviceInfo: return CommandSet::kDeviceInfo;
    case Phase::AwaitingCalibration: return CommandSet::kCaliParam;
    default: return 0;
    }
}

// A late answer to an earlier attempt is as good as the awaited one; an
// answer to no request is left alone.
void UnitIdentifier::take(TRData *pack)
{
    const quint8 awaited = awaitedCode();
    if (awaited == 0 || pack->cmd != awaited || !timer.isActive())
        return;
    const std::size_t len = pack->data.size();
    if (len < CommandSet::minimumPayload(awaited)) {
        attemptFailed(Failure::Reason::ShortAnswer, int(len));
        return;
    }
    const quint8 *p = pack->data.data();
    if (awaited == CommandSet::kDeviceInfo) {
        DeviceInfo info;
        parseDeviceInfo(p, len, info);
        unit.unitId = unitIdText(info);
        unit.firmware = WorkflowTexts::firmwareVersionText(info.firmware_version);
        unit.hardware = info.hardware_version;
        attempt = 1;
        request(CommandSet::kCaliParam, Phase::AwaitingCalibration);
        return;
    }
    parseCaliParam(p, len, unit.calibration);
    unit.bvd = p[len - 1]; // the last byte, wherever the payload ends
    // Told from the event loop, not from inside the endpoint's pass: a
    // listener may store the unit or show it.
    timer.stop();
    const quint64 identifying = generation;
    QTimer::singleShot(0, this, [this, identifying] {
        if (generation != identifying || !isRunning())
            return;
        const UnitIdentity found = unit;
        finish();
        emit identified(found);
    });
}

void UnitIdentifier::onTimer()
{
    if (phase == Phase::Stopping) {
        attempt = 1;
        request(CommandSet::kDeviceInfo, Phase::AwaitingDeviceInfo);
        return;
    }
    attemptFailed(Failure::Reason::NoAnswer);
}

void UnitIdentifier::onPortClosing()
{
    if (!isRunning() || portClosed)
        return;
    portClosed = true;
    Failure failure;
    failure.reason = Failure::Reason::PortClosed;
    failure.request = phase == Phase::Stopping ? CommandSet::kStop : awaitedCode();
    failLater(failure);
}

void UnitIdentifier::attemptFailed(Failure::Reason reason, int answerBytes)
{
    const quint8 cmd = awaitedCode();
    if (attempt < maxAttempts) {
        ++attempt;
        request(cmd, phase);
        return;
    }
    Failure failure;
    failure.reason = reason;
    failure.request = cmd;
    failure.answerMs = answerTime;
    failure.attempts = attempt;
    failure.answerBytes = answerBytes;
    failure.neededBytes = int(CommandSet::minimumPayload(cmd));
    fail(failure);
}

// From the event loop, as every other outcome, and only to the exchange that failed.
void UnitIdentifier::failLater(const Failure &failure)
{
    timer.stop();
    const quint64 failing = generation;
    QTimer::singleShot(0, this, [this, failure, failing] {
        if (generation == failing && isRunning())
            fail(failure);
    });
}

void UnitIdentifier::fail(const Failure &failure)
{
    lastFailure = failure;
    finish();
    emit failed(failureText(failure));
}

// Gives the lease back before anyone hears the outcome, so that they may
// take it at once.
void UnitIdentifier::finish()
{
    timer.stop();
    disconnect(packets);
    disconnect(closing);
    phase = Phase::Idle;
    if (ownLease)
        net->lease().release(LinkLease::Holder::TestRun);
    ownLease = false;
}

QString UnitIdentifier::requestName(quint8 request)
{
    switch (request) {
    case CommandSet::kStop: return tr("停止命令 (0x0F)");
    case CommandSet::kDeviceInfo: return tr("设备信息请求 (0x14)");
    case CommandSet::kCaliParam: return tr("校准参数请求 (0x12)");
    default: return QStringLiteral("0x%1").arg(request, 2, 16, QLatin1Char('0'));
    }
}

QString UnitIdentifier::failureText(const Failure &f)
{
    using Reason = Failure::Reason;
    switch (f.reason) {
    case Reason::LinkHeld:
        if (f.holder == LinkLease::Holder::None)
            return tr("无法识别设备：链路未被占用，请求不能发送");
        return LinkTexts::sendRefused(f.request, f.holder);
    case Reason::SendRefused: return LinkTexts::sendRefused(f.request, f.refusal);
    case Reason::PortClosed: return tr("%1 未获应答：串口已关闭").arg(requestName(f.request));
    case Reason::NoAnswer:
        return tr("%1 在 %2 ms 内无应答（共发送 %3 次）").arg(requestName(f.request)).arg(f.answerMs).arg(f.attempts);
    case Reason::ShortAnswer:
        return tr("%1 的应答只有 %2 字节，需要 %3 字节（共发送 %4 次）")
            .arg(requestName(f.request))
            .arg(f.answerBytes)
            .arg(f.neededBytes)
            .arg(f.attempts);
    }
    return QString();
}
