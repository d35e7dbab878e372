#include "sim/FrameReader.h"
#include "sim/Outbox.h"
#include "sim/PeerWatch.h"
#include "sim/PtyEnd.h"
#include "sim/SimDevice.h"
#include "sim/SimOptions.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kReadLimit = 64 * 1024;
// While nobody holds the port, the master is only looked at this often.
constexpr quint64 kIdleCheck = 100000;

volatile sig_atomic_t stopRequested = 0;

void onStopSignal(int)
{
    stopRequested = 1;
}

quint64 monotonicMicros()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return quint64(ts.tv_sec) * 1000000u + quint64(ts.tv_nsec) / 1000u;
}

// The stop signals are blocked except inside ppoll, so none slips in between
// checking the flag and going to sleep. Returns the mask to sleep with.
sigset_t installSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals, sleepMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, &sleepMask);
    sigdelset(&sleepMask, SIGINT);
    sigdelset(&sleepMask, SIGTERM);
    sigdelset(&sleepMask, SIGHUP);
    return sleepMask;
}

bool processGone(int pid)
{
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

bool masterHungUp(int fd)
{
    pollfd probe {fd, POLLIN, 0};
    return poll(&probe, 1, 0) > 0 && (probe.revents & POLLHUP);
}

class Simulator {
public:
    Simulator(const SimOptions &options, PtyEnd &port)
        : options(options)
        , port(port)
        , out(options.garbage, options.badChecksumPercent, unsigned(options.seed))
        , device(options, out)
        , peer(options.idleExitSeconds)
        , start(monotonicMicros())
    {
    }

    int run(const sigset_t &sleepMask)
    {
        while (!stopRequested) {
            const quint64 now = monotonicMicros() - start;
            peer.observe(masterHungUp(port.fd()), now);
            if (peer.goneForGood(now) || processGone(options.watchPid))
                break;
            out.release(now);
            device.tick(now);
            if (!peer.present())
                out.discardPending();
            if (!sleepUntilSomethingHappens(now, sleepMask) || !serve(now))
                return 1;
        }
        return 0;
    }

    void reportCounts() const
    {
        const Outbox::Counts &c = out.counts();
        std::fprintf(stderr, "lidar-sim: measurement frames sent %llu, with a bad checksum %llu, dropped %llu\n",
                     static_cast<unsigned long long>(c.measurementsSent),
                     static_cast<unsigned long long>(c.measurementsDamaged),
                     static_cast<unsigned long long>(c.measurementsDropped));
    }

private:
    bool sleepUntilSomethingHappens(quint64 now, const sigset_t &sleepMask)
    {
        quint64 due = std::min(device.nextDue(), out.nextDue());
        if (!peer.present() || options.watchPid > 0)
            due = std::min(due, now + kIdleCheck);
        const quint64 wait = due > now ? std::min<quint64>(due - now, 1000000u) : 0;
        const timespec timeout {time_t(wait / 1000000u), long(wait % 1000000u) * 1000};
        pollfd pfd {peer.present() ? port.fd() : -1, short(POLLIN | (out.hasPending() ? POLLOUT : 0)), 0};
        revents = 0;
        const int n = ppoll(&pfd, 1, &timeout, &sleepMask);
        if (n < 0 && errno != EINTR) {
            std::perror("lidar-sim: poll");
            return false;
        }
        revents = n > 0 ? pfd.revents : 0;
        return true;
    }

    bool serve(quint64 now)
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

    const SimOptions &options;
    PtyEnd &port;
    Outbox out;
    SimDevice device;
    FrameReader reader;
    PeerWatch peer;
    quint64 start;
    short revents = 0;
};

bool makeLink(const std::string &link, const std::string &target)
{
    char existing[4096];
    if (readlink(link.c_str(), existing, sizeof existing) >= 0)
        unlink(link.c_str());
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "lidar-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

// Removes the link only while it still leads to this simulator's port.
void removeLink(const std::string &link, const std::string &target)
{
    char existing[4096];
    const ssize_t n = readlink(link.c_str(), existing, sizeof existing - 1);
    if (n >= 0 && std::string(existing, size_t(n)) == target)
        unlink(link.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    SimOptions options;
    std::string error;
    if (!parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "lidar-sim: %s\nTry lidar-sim --help.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(simHelpText().c_str(), stdout);
        return 0;
    }
    const sigset_t sleepMask = installSignalHandlers();
    PtyEnd port;
    if (!port.open(error)) {
        std::fprintf(stderr, "lidar-sim: %s\n", error.c_str());
        return 1;
    }
    if (!options.link.empty() && !makeLink(options.link, port.slavePath()))
        return 1;
    std::printf("%s\n", port.slavePath().c_str());
    std::fflush(stdout);

    Simulator simulator(options, port);
    const int status = simulator.run(sleepMask);
    simulator.reportCounts();
    if (!options.link.empty())
        removeLink(options.link, port.slavePath());
    return status;
}
