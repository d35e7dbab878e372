#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTimer>

class QProcess;

// Runs a plan step's command with the system shell ("/bin/sh -c"), in a
// process group of its own so that a timeout or an abort ends everything it
// started, not the shell alone. Only a command that exits by itself with
// code 0 within its time succeeds. Texts translated in the context "StepCommand".
class StepCommand : public QObject {
    Q_OBJECT
public:
    // The command's own output kept for the reason of a failure.
    static constexpr int kOutputKept = 4096;

    explicit StepCommand(QObject *parent = nullptr);
    // Kills a command still running, with its group.
    ~StepCommand() override;

    // Begins; the outcome comes as finished(), never from inside this call.
    // Its standard input is closed. False while one runs.
    bool start(const QString &command, double timeoutS);
    // Ends the command and its group now, without a signal.
    void kill();
    bool isRunning() const { return process != nullptr; }

    // The last kOutputKept bytes it wrote (standard output and error together).
    QByteArray output() const { return tail; }

signals:
    // `why` says what went wrong, with the command's last line of output; empty when ok.
    void finished(bool ok, const QString &why);

private:
    void onFinished(int exitCode, int exitStatus);
    void onFailedToStart(const QString &why);
    void onTimeout();
    void readOutput();
    void end(bool ok, const QString &why);
    void killGroup();
    QString lastLine() const;

    QProcess *process = nullptr;
    qint64 group = 0;
    QTimer deadline;
    double timeoutSeconds = 0;
    QByteArray tail;
};
