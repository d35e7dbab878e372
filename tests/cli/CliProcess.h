#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QtTest>

// lidar-cli as a child process. Runs without blocking the test's event loop,
// so a device played in the test answers while the command runs.
class CliProcess {
public:
    CliProcess()
    {
        QObject::connect(&process, &QProcess::readyReadStandardOutput,
                         [this] { out += process.readAllStandardOutput(); });
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { err += process.readAllStandardError(); });
    }
    ~CliProcess()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    CliProcess(const CliProcess &) = delete;
    CliProcess &operator=(const CliProcess &) = delete;

    // `wrapper` runs before the program (e.g. setpriv to drop privileges).
    bool start(const QStringList &args, const QStringList &wrapper = {})
    {
        if (wrapper.isEmpty())
            process.start(program(), args);
        else
            process.start(wrapper.first(), wrapper.mid(1) + QStringList{program()} + args);
        return process.waitForStarted(10000);
    }
    bool isRunning() const { return process.state() != QProcess::NotRunning; }
    qint64 pid() const { return process.processId(); }
    void setWorkingDirectory(const QString &dir) { process.setWorkingDirectory(dir); }
    void write(const QByteArray &bytes) { process.write(bytes); }
    // The program's standard input reaches its end.
    void closeInput() { process.closeWriteChannel(); }

    // Waits with events running; true when it ended by itself within `ms`.
    bool finish(int ms = 30000)
    {
        if (!QTest::qWaitFor([this] { return !isRunning(); }, ms))
            return false;
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit;
    }
    int exitCode() const { return process.exitCode(); }
    const QByteArray &standardOutput() const { return out; }
    QString errorText() const { return QString::fromUtf8(err); }

    // Runs to the end with no device to play; false when it did not end.
    bool run(const QStringList &args, int ms = 30000) { return start(args) && finish(ms); }

    static QString program() { return QStringLiteral(LIDAR_CLI_PATH); }

private:
    QProcess process;
    QByteArray out;
    QByteArray err;
};
