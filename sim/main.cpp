#include "sim/ControlInput.h"
#include "sim/PortLink.h"
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

} // namespace

int main(int argc, char **argv)
{
    SimOptions options;
    std::string error;
    if (!parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "lidar-sim: %s\nTry lidar-sim --help.\n", error.c_str());
        return 2;
    }
    if (options.vanishEvery > 0 && options.link.empty()) {
        std::fprintf(stderr, "lidar-sim: --vanish-every needs --link, the name the sensor comes back under\n");
        return 2;
    }
    if (options.help) {
        std::fputs(simHelpText().c_str(), stdout);
        return 0;
    }
    const sigset_t sleepMask = installSignalHandlers();
    // Before the port, whose descriptor could otherwise take a closed
    // standard input's place; ready before the port's path is printed, so
    // whoever reads that line can write control lines at once. The
    // destructor removes the pipe.
    ControlInput control;
    if (!options.control.empty() && !control.open(options.control, error)) {
        std::fprintf(stderr, "lidar-sim: --control: %s\n", error.c_str());
        return 1;
    }
    PtyEnd port;
    if (!port.open(error)) {
        std::fprintf(stderr, "lidar-sim: %s\n", error.c_str());
        return 1;
    }
    if (!options.link.empty() && !PortLink::make(options.link, port.slavePath()))
        return 1;
    std::printf("%s\n", port.slavePath().c_str());
    std::fflush(stdout);

    SimLoop loop(options, port, control);
    const int status = loop.run(stopRequested, sleepMask);
    loop.reportCounts();
    if (!options.link.empty())
        PortLink::remove(options.link, port.slavePath());
    return status;
}
