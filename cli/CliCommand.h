#pragma once

#include <QObject>

// One command of lidar-cli. start() begins the work; the command ends,
// now or later from the event loop, by finish() with its exit status.
class CliCommand : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void start() = 0;
    // SIGINT or SIGTERM came (`count` of them so far). By default the command
    // ends at once with 128 + the signal; one that talks to the device first
    // leaves it as it should be.
    virtual void interrupt(int signal, int count);

    bool isFinished() const { return ended; }
    int exitCode() const { return code; }

signals:
    void finished(int exitCode);

protected:
    // Ends the command; only the first call counts.
    void finish(int exitCode);

private:
    bool ended = false;
    int code = 0;
};
