#pragma once

#include "sim/FrameReader.h"
#include "sim/Outbox.h"
#include "sim/PeerWatch.h"
#include "sim/SimDevice.h"
#include "sim/SimOptions.h"

#include <csignal>

class ControlInput;
class PtyEnd;

// The simulator's one loop: sleeps in ppoll until the host writes, the port
// can take more, a control line comes, or the next frame is due, and ends when asked to stop, when
// the host is gone for good, or when the watched process is gone.
class SimLoop {
public:
    SimLoop(const SimOptions &options, PtyEnd &port, ControlInput &control);

    // `stop` is set by a signal handler; the signals are let through only
    // while sleeping, with `sleepMask`. Returns the exit status.
    int run(const volatile sig_atomic_t &stop, const sigset_t &sleepMask);
    // The counts of the whole run, and of the last stretch when it vanishes.
    void reportCounts();

private:
    // Unplugged for the set time, then back on a new port under the link.
    bool vanishAndReturn(const volatile sig_atomic_t &stop, const sigset_t &sleepMask);
    void sleepFor(quint64 micros, const volatile sig_atomic_t &stop, const sigset_t &sleepMask);
    void reportStretch();
    bool sleepUntilSomethingHappens(quint64 now, const sigset_t &sleepMask);
    bool serve(quint64 now);
    // Applies the control lines that arrived; bad ones are reported and skipped.
    void readControl();

    const SimOptions &options;
    PtyEnd &port;
    ControlInput &control;
    Outbox out;
    SimDevice device;
    FrameReader reader;
    PeerWatch peer;
    quint64 start;
    quint64 nextVanish;
    quint64 sentBeforeStretch = 0;
    int stretch = 1;
    short revents = 0;
    bool warnedOnePointBlank = false;
};
