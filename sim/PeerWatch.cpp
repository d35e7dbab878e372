#include "sim/PeerWatch.h"

PeerWatch::PeerWatch(int idleExitSeconds)
    : idleMicros(quint64(idleExitSeconds) * 1000000u)
{
}

void PeerWatch::observe(bool hungUp, quint64 now)
{
    if (!hungUp) {
        peer = true;
        hadPeer = true;
        return;
    }
    if (peer)
        goneSince = now;
    peer = false;
}

bool PeerWatch::goneForGood(quint64 now) const
{
    return idleMicros > 0 && hadPeer && !peer && now - goneSince >= idleMicros;
}

void PeerWatch::portReplaced(quint64 now)
{
    peer = false;
    goneSince = now;
}
