#pragma once

#include <QObject>

// Who may send on the link to the sensor now. Every sender takes the lease
// before it writes and gives it back when its exchange is over: the window's
// commands for one command (its pause included), a download or a test run
// for their whole run, the reconnection for the reopen and the Start it
// sends again. Whoever holds it alone decides what goes out, so nothing of
// another sender slips in between the frames of an exchange.
//
// One holder at a time, and no nesting: while the lease is held, by anyone,
// every further take is refused, also one for the holder's own kind. Only
// the holder gives it back. The lease refuses nothing on the wire itself;
// senders ask it first. Widget-free: a program without a window (a
// command-line tool with its own port and endpoint) uses it the same way.
class LinkLease : public QObject {
    Q_OBJECT
public:
    enum class Holder {
        None,
        Acquisition,  // one of the window's commands: Start, Stop, a request
        Reconnection, // reopening a port that went away, and its Start
        Transfer,     // a download, from its start command to its end
        TestRun,      // a test run, from its first command to its last
    };
    Q_ENUM(Holder)

    // Holds the lease for a scope when it was free; gives it back on leaving.
    class Hold {
    public:
        Hold(LinkLease &lease, Holder who);
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
        // False when the lease was held already: nothing may be sent.
        explicit operator bool() const { return taken; }

    private:
        LinkLease &lease;
        Holder who;
        bool taken;
    };

    explicit LinkLease(QObject *parent = nullptr);

    // Takes the lease for `who` when nobody holds it; false otherwise.
    // `who` must not be None.
    bool tryAcquire(Holder who);
    // Gives the lease back; ignored unless `who` holds it. A holder that
    // might share its kind with another keeps its own record of having taken
    // it, and releases only then.
    void release(Holder who);

    Holder holder() const { return current; }
    bool isFree() const { return current == Holder::None; }
    // Held by something that keeps the link beyond a single command of the
    // window: the port must then be neither reopened nor closed by the user.
    bool heldBeyondAcquisition() const { return current != Holder::None && current != Holder::Acquisition; }

signals:
    void holderChanged(LinkLease::Holder holder);

private:
    Holder current = Holder::None;
};
