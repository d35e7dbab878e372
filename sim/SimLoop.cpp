#include "sim/SimLoop.h"

#include "sim/ControlInput.h"
#include "sim/ControlLine.h"
#include "sim/PortLink.h"
#include "sim/PtyEnd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <poll.h>

namespace {

constexpr int kReadLimit = 64 * 1024;
// While nobody holds the port, the master is only looked at this often.
constexpr quint64 kIdleCheck = 100000;
constexpr quint64 kLongestSleep = 1000000;
// The quiet moment before an unplug.
constexpr quint64 kSettleMicros = 200000;

quint64 monotonicMicros()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return quint64(ts.tv_sec) * 1000000u + quint64(ts.tv_nsec) / 1000u;
}

bool processGone(int pid)
{
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

// A master with no slave open reports a hang-up.
bool masterHungUp(int fd)
{
    pollfd probe {fd, POLLIN, 0};
    return poll(&probe, 1, 0) > 0 && (probe.revents & POLLHUP);
}

// A control line as it may be shown on a terminal: printable and short.
std::string printable(const std::string &line)
{
    constexpr size_t kShown = 60;
    std::string shown;
    for (size_t i = 0; i < line.size() && i < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        shown.push_back(c >= 0x20 && c < 0x7F ? char(c) : '?');
    }
    return line.size() > kShown ? shown + "..." : shown;
}

} // namespace

SimLoop::SimLoop(const SimOptions &options, PtyEnd &port, ControlInput &control)
    : options(options)
    , port(port)
    , control(control)
    , out(options.garbage, options.badChecksumPercent, unsigned(options.seed))
    , device(options, out)
    , peer(options.idleExitSeconds)
    , start(monotonicMicros())
    , nextVanish(options.vanishEvery > 0 ? quint64(options.vanishEvery) * 1000000u : UINT64_MAX)
{
}

int SimLoop::run(const volatile sig_atomic_t &stop, const sigset_t &sleepMask)
{
    while (!stop) {
        const quint64 now = monotonicMicros() - start;
        peer.observe(masterHungUp(port.fd()), now);
        if (peer.goneForGood(now) || processGone(options.watchPid))
            break;
        if (now >= nextVanish) {
            if (!vanishAndReturn(stop, sleepMask))
                return stop ? 0 : 1;
            continue;
        }
        // Without a host the stream pauses, and replies fall due into the
        // void: nothing would carry them.
        out.release(now);
        if (peer.present())
            device.tick(now);
        else
            out.discardPending();
        // What the host sent is taken at the time it woke us, not at the
        // time we went to sleep (up to a second before).
        if (!sleepUntilSomethingHappens(now, sleepMask) || !serve(monotonicMicros() - start))
            return 1;
    }
    return 0;
}

// The hang-up of a master without a host cannot be slept on (poll reports it
// at once, every time), so then only the timeout wakes the loop.
bool SimLoop::sleepUntilSomethingHappens(quint64 now, const sigset_t &sleepMask)
{
    quint64 due = peer.present() ? std::min(device.nextDue(), out.nextDue()) : now + kIdleCheck;
    due = std::min(due, nextVanish);
    if (options.watchPid > 0)
        due = std::min(due, now + kIdleCheck);
    const quint64 wait = due > now ? std::min(due - now, kLongestSleep) : 0;
    const timespec timeout {time_t(wait / 1000000u), long(wait % 1000000u) * 1000};
    pollfd pfd[2] = {{peer.present() ? port.fd() : -1, short(POLLIN | (out.hasPending() ? POLLOUT : 0)), 0},
                     {control.fd(), POLLIN, 0}};
    const int n = ppoll(pfd, 2, &timeout, &sleepMask);
    if (n < 0 && errno != EINTR) {
        std::perror("lidar-sim: poll");
        return false;
    }
    revents = n > 0 ? pfd[0].revents : 0;
    if (n > 0 && (pfd[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)))
        readControl();
    return true;
}

void SimLoop::readControl()
{
    std::vector<std::string> messages;
    for (const ControlInput::Line &line : control.readLines()) {
        if (!line.problem.empty()) {
            messages.push_back(line.problem);
            continue;
        }
        std::string applied;
        const std::string error = applyControlLine(line.text, device.scene(), applied);
        if (!error.empty())
            messages.push_back("ignored \"" + printable(line.text) + "\": " + error);
        else if (options.verbose && !applied.empty())
            messages.push_back(applied);
    }
    if (device.scene().blankPercent > 0 && options.points == 1 && !warnedOnePointBlank) {
        messages.push_back("frames of one point are never blanked");
        warnedOnePointBlank = true;
    }
    for (const std::string &message : messages)
        std::fprintf(stderr, "lidar-sim: control: %s\n", message.c_str());
    std::fflush(stderr);
}

bool SimLoop::serve(quint64 now)
{
    if (revents & POLLIN) {
        QByteArray bytes;
        port.readAvailable(bytes, kReadLimit);
        for (const TRData &pack : reader.feed(bytes))
            device.handle(pack, now);
    }
    if (peer.present() && out.hasPending() && !out.flush(port)) {
        std::perror("lidar-sim: write");
        return false;
    }
    return true;
}

// The stream stops a moment before the port goes, so that every frame counted
// as sent in a stretch could reach the host: what a real unplug loses in
// flight would only blur the count of what the host lost.
bool SimLoop::vanishAndReturn(const volatile sig_atomic_t &stop, const sigset_t &sleepMask)
{
    device.powerCycle();
    sleepFor(kSettleMicros, stop, sleepMask);
    reportStretch();
    PortLink::remove(options.link, port.slavePath());
    port.close();
    out.discardPending();
    reader = FrameReader();
    std::fprintf(stderr, "lidar-sim: unplugged for %d ms\n", options.vanishForMs);

    sleepFor(quint64(options.vanishForMs) * 1000u, stop, sleepMask);
    if (stop)
        return false;
    std::string error;
    if (!port.open(error)) {
        std::fprintf(stderr, "lidar-sim: %s\n", error.c_str());
        return false;
    }
    if (!PortLink::make(options.link, port.slavePath()))
        return false;
    std::fprintf(stderr, "lidar-sim: back on %s\n", port.slavePath().c_str());
    std::fflush(stderr);
    const quint64 now = monotonicMicros() - start;
    // A host can only come back now: its idle time starts here.
    peer.portReplaced(now);
    nextVanish = now + quint64(options.vanishEvery) * 1000000u;
    return true;
}

// Sleeps, still passing on the frames the port can take, until `micros`
// have passed or a stop signal came.
void SimLoop::sleepFor(quint64 micros, const volatile sig_atomic_t &stop, const sigset_t &sleepMask)
{
    const quint64 end = monotonicMicros() + micros;
    for (quint64 t = monotonicMicros(); !stop && t < end; t = monotonicMicros()) {
        if (port.fd() >= 0 && out.hasPending())
            out.flush(port);
        const quint64 wait = std::min<quint64>(end - t, 10000);
        const timespec timeout {0, long(wait) * 1000};
        ppoll(nullptr, 0, &timeout, &sleepMask);
    }
}

void SimLoop::reportStretch()
{
    const quint64 sent = out.counts().measurementsSent;
    std::fprintf(stderr, "lidar-sim: stretch %d: measurement frames sent %llu\n", stretch++,
                 static_cast<unsigned long long>(sent - sentBeforeStretch));
    std::fflush(stderr);
    sentBeforeStretch = sent;
}

void SimLoop::reportCounts()
{
    if (options.vanishEvery > 0)
        reportStretch();
    const Outbox::Counts &c = out.counts();
    std::fprintf(stderr, "lidar-sim: measurement frames sent %llu, with a bad checksum %llu, dropped %llu\n",
                 static_cast<unsigned long long>(c.measurementsSent),
                 static_cast<unsigned long long>(c.measurementsDamaged),
                 static_cast<unsigned long long>(c.measurementsDropped));
}
