#include "link/LinkLease.h"

LinkLease::LinkLease(QObject *parent)
    : QObject(parent)
{
}

bool LinkLease::tryAcquire(Holder who)
{
    if (who == Holder::None || current != Holder::None)
        return false;
    current = who;
    emit holderChanged(current);
    return true;
}

void LinkLease::release(Holder who)
{
    if (who == Holder::None || current != who)
        return;
    current = Holder::None;
    emit holderChanged(current);
}

LinkLease::Hold::Hold(LinkLease &lease, Holder who)
    : lease(lease)
    , who(who)
    , taken(lease.tryAcquire(who))
{
}

LinkLease::Hold::~Hold()
{
    if (taken)
        lease.release(who);
}
