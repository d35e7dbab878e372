#include "sim/SimLoop.h"

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

} // namespace

SimLoop::SimLoop(const SimOptions &options, PtyEnd &port)
    : options(options)
    , port(port)
    , out(options.garbage, options.badChecksumPercent, unsigned(options.seed))
    , device(options, out)
    , peer(options.idleExitSeconds)
    , start(monotonicMicros())
{
}

int SimLoop::run(const volatile sig_atomic_t &stop, const sigset_t &sleepMask)
{
    while (!stop) {
        const quint64 now = monotonicMicros() - start;
        peer.observe(masterHungUp(port.fd()), now);
        if (peer.goneForGood(now) || processGone(options.watchPid))
            break;
        // Without a host the stream pauses: nothing would carry its frames.
        if (peer.present()) {
            out.release(now);
            device.tick(now);
        } else {
            out.discardPending();
        }
        if (!sleepUntilSomethingHappens(now, sleepMask) || !serve(now))
            return 1;
    }
    return 0;
}

// The hang-up of a master without a host cannot be slept on (poll reports it
// at once, every time), so then only the timeout wakes the loop.
bool SimLoop::sleepUntilSomethingHappens(quint64 now, const sigset_t &sleepMask)
{
    quint64 due = peer.present() ? std::min(device.nextDue(), out.nextDue()) : now + kIdleCheck;
    if (options.watchPid > 0)
        due = std::min(due, now + kIdleCheck);
    const quint64 wait = due > now ? std::min(due - now, kLongestSleep) : 0;
    const timespec timeout {time_t(wait / 1000000u), long(wait % 1000000u) * 1000};
    pollfd pfd {peer.present() ? port.fd() : -1, short(POLLIN | (out.hasPending() ? POLLOUT : 0)), 0};
    const int n = ppoll(&pfd, 1, &timeout, &sleepMask);
    if (n < 0 && errno != EINTR) {
        std::perror("lidar-sim: poll");
        return false;
    }
    revents = n > 0 ? pfd.revents : 0;
    return true;
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

void SimLoop::reportCounts() const
{
    const Outbox::Counts &c = out.counts();
    std::fprintf(stderr, "lidar-sim: measurement frames sent %llu, with a bad checksum %llu, dropped %llu\n",
                 static_cast<unsigned long long>(c.measurementsSent),
                 static_cast<unsigned long long>(c.measurementsDamaged),
                 static_cast<unsigned long long>(c.measurementsDropped));
}
