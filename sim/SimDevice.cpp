#include "sim/SimDevice.h"

#include "sim/DeviceRecords.h"
#include "sim/Outbox.h"
#include "workflow/CommandSet.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace {

using CommandSet::kAck;
using CommandSet::kDeviceInfo;
using CommandSet::kParamCali;
using CommandSet::kStart;
using CommandSet::kStop;
constexpr quint8 kCaliParams = CommandSet::kCaliParam;
constexpr quint8 kDownloadAddr = 1;
constexpr quint8 kLutStart = 0x07, kLutBlock = 0x08, kLutEnd = 0x09;
constexpr quint8 kFwStart = 0x0A, kFwBlock = 0x0B, kFwEnd = 0x0C;
constexpr size_t kTagField = 16;
// Further behind than this, the stream skips frames instead of bursting.
constexpr quint64 kMaxCatchUp = 100000;

bool startsWithTag(const std::vector<quint8> &payload, const char *tag)
{
    if (payload.size() < kTagField)
        return false;
    char field[kTagField] = {};
    std::strncpy(field, tag, kTagField - 1);
    return std::memcmp(payload.data(), field, kTagField) == 0;
}

std::string hex(quint8 byte)
{
    char text[3];
    std::snprintf(text, sizeof text, "%02x", unsigned(byte));
    return text;
}

std::string describe(const TRData &pack)
{
    char line[64];
    std::snprintf(line, sizeof line, "command 0x%02x, addr %u, %zu payload bytes", unsigned(pack.cmd),
                  unsigned(pack.addr), pack.data.size());
    return line;
}

Scene sceneOf(const SimOptions &options)
{
    Scene scene;
    scene.distanceMm = options.distance;
    scene.biasMm = options.bias;
    scene.jitterMm = options.jitter;
    scene.blankPercent = options.blankPercent;
    scene.wanderPercent = options.wanderPercent;
    return scene;
}

} // namespace

SimDevice::SimDevice(const SimOptions &options, Outbox &out)
    : options(options)
    , out(out)
    , generator(options.points, sceneOf(options), {double(options.driftMm), double(options.driftTauSeconds)},
                unsigned(options.seed))
    , period(1000000u / quint64(options.rate))
{
}

void SimDevice::powerCycle()
{
    powered = PoweredState();
    out.forgetDelayed();
}

void SimDevice::handle(const TRData &pack, quint64 now)
{
    if (options.verbose)
        log(describe(pack));
    if (pack.addr == kDownloadAddr && handleDownload(pack, now))
        return;
    switch (pack.cmd) {
    case kStart:
        if (!powered.streaming)
            powered.nextFrameAt = now;
        powered.streaming = true;
        if (!powered.warmingSince)
            powered.warmingSince = now;
        break;
    case kStop:
        powered.streaming = false;
        break;
    case kDeviceInfo:
        reply(kDeviceInfo, DeviceRecords::deviceInfo());
        break;
    case kCaliParams:
        reply(kCaliParams, DeviceRecords::caliParamsWithBvd());
        break;
    case kParamCali:
        reply(kParamCali, DeviceRecords::paramCaliResult(startsWithTag(pack.data, "param cali")));
        break;
    default:
        break;
    }
}

bool SimDevice::handleDownload(const TRData &pack, quint64 now)
{
    switch (pack.cmd) {
    case kFwStart:
    case kLutStart:
        powered.image.reset();
        powered.blockIndex = 0;
        powered.inTransfer = true;
        acknowledge(pack.cmd, true, now);
        return true;
    case kFwBlock:
    case kLutBlock:
    case kFwEnd:
    case kLutEnd:
        if (!powered.inTransfer)
            log("command 0x" + hex(pack.cmd) + " outside a transfer: not answered");
        else if (pack.cmd == kFwBlock || pack.cmd == kLutBlock)
            takeBlock(pack, pack.cmd == kFwBlock ? "downloading" : "lut transmit", now);
        else
            finishImage(pack, now);
        return true;
    default:
        return false;
    }
}

void SimDevice::takeBlock(const TRData &pack, const char *tag, quint64 now)
{
    const int index = powered.blockIndex++;
    if (index == options.ackDropBlock) {
        log("block " + std::to_string(index) + ": acknowledgement withheld");
        return;
    }
    const size_t skip = startsWithTag(pack.data, tag) ? kTagField : 0;
    const bool stored = index != options.ackFailBlock
        && powered.image.addBlock(pack.offset, pack.data.data() + skip, pack.data.size() - skip);
    acknowledge(pack.cmd, stored, now);
}

// The end closes the transfer, whatever its outcome.
void SimDevice::finishImage(const TRData &pack, quint64 now)
{
    powered.inTransfer = false;
    bool ok = true;
    if (!options.imageOut.empty()) {
        std::string error;
        ok = powered.image.writeTo(options.imageOut, error);
        if (!ok)
            std::fprintf(stderr, "lidar-sim: %s\n", error.c_str());
    }
    log("image of " + std::to_string(powered.image.image().size()) + " bytes in "
        + std::to_string(powered.image.blockCount()) + " blocks");
    acknowledge(pack.cmd, ok, now);
}

void SimDevice::acknowledge(quint8 code, bool ok, quint64 now)
{
    TRData ack;
    ack.addr = kDownloadAddr;
    ack.cmd = kAck;
    ack.data = {code, quint8(ok ? 1 : 0)};
    if (options.ackDelayMs > 0)
        out.sendReplyAt(now + quint64(options.ackDelayMs) * 1000, ack);
    else
        out.sendReply(ack);
}

void SimDevice::reply(quint8 cmd, std::vector<quint8> payload)
{
    TRData pack;
    pack.cmd = cmd;
    pack.data = std::move(payload);
    out.sendReply(pack);
}

void SimDevice::tick(quint64 now)
{
    if (!powered.streaming)
        return;
    if (now > powered.nextFrameAt + kMaxCatchUp)
        powered.nextFrameAt = now;
    while (powered.nextFrameAt <= now) {
        const double warmSeconds = double(powered.nextFrameAt - *powered.warmingSince) / 1e6;
        TRData pack;
        pack.cmd = kStart;
        pack.data = generator.nextPayload(powered.nextFrameAt, warmSeconds);
        if (!out.sendMeasurement(pack))
            generator.frameLost();
        powered.nextFrameAt += period;
    }
}

quint64 SimDevice::nextDue() const
{
    return powered.streaming ? powered.nextFrameAt : std::numeric_limits<quint64>::max();
}

void SimDevice::log(const std::string &line) const
{
    if (options.verbose)
        std::fprintf(stderr, "lidar-sim: %s\n", line.c_str());
}
