#pragma once

#include <QtGlobal>

// Tells, from the hang-up state of the pty master, whether a host holds the
// port open, and when the simulator should give up waiting for it to return.
class PeerWatch {
public:
    explicit PeerWatch(int idleExitSeconds);

    // `hungUp`: the master reports no open slave now.
    void observe(bool hungUp, quint64 nowMicros);
    bool present() const { return peer; }
    // The port went away under its host and is back: the host has to open it
    // again, and is gone for good when it has not for the idle time.
    void portReplaced(quint64 nowMicros);
    // True once a host that had the port has been gone for the idle time.
    bool goneForGood(quint64 nowMicros) const;

private:
    quint64 idleMicros;
    bool peer = false;
    bool hadPeer = false;
    quint64 goneSince = 0;
};
