#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// Lines of standard input, one at a time when asked for, read in the event
// loop so that a signal or the device is heard while the user types. Input
// is read only while a line is awaited; what comes beyond that line waits
// for the next request. A last line without its newline still counts.
class InputLines : public QObject {
    Q_OBJECT
public:
    explicit InputLines(QObject *parent = nullptr);

    // line() or ended() follows, never from inside this call.
    void request();

signals:
    void line(const QString &text);
    // The input is at its end (or closed, or cannot be read): no line will come.
    void ended();

private:
    void readAvailable();
    // Hands out a line when one is there, or the end; false when neither is yet.
    bool deliver();

    QSocketNotifier *notifier = nullptr;
    QByteArray buffer;
    bool atEnd = false;
    bool awaiting = false;
};
