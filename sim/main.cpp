#include "sim/PtyEnd.h"
#include "sim/SimLoop.h"
#include "sim/SimOptions.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

volatile sig_atomic_t stopRequested = 0;

void onStopSignal(int)
{
    stopRequested = 1;
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

    SimLoop loop(options, port);
    const int status = loop.run(stopRequested, sleepMask);
    loop.reportCounts();
    if (!options.link.empty())
        removeLink(options.link, port.slavePath());
    return status;
}
