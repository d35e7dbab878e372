#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM as a Qt signal. The handler only writes the signal's
// number into a pipe; everything else (sending Stop, writing out lines)
// happens in the event loop when the pipe's reading end wakes it. SIGPIPE
// is ignored, so a closed output shows up as a failed write instead of
// ending the program before it could send Stop.
class SignalWatch : public QObject {
    Q_OBJECT
public:
    explicit SignalWatch(QObject *parent = nullptr);
    ~SignalWatch() override;

    bool isValid() const { return notifier != nullptr; }
    // The first signal caught, 0 for none yet.
    int firstSignal() const { return first; }

signals:
    // Once per signal caught; `count` is how many have come so far.
    void caught(int signal, int count);

private:
    void readPipe();

    QSocketNotifier *notifier = nullptr;
    int first = 0;
    int count = 0;
};
