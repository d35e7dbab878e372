#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The simulator as a child process. start() waits for the first line of its
// output, the path of the port it plays the sensor on.
class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess() { kill(); }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool start(const QStringList &args, int ms = 10000)
    {
        process.start(QStringLiteral(LIDAR_SIM_PATH), args);
        if (!process.waitForStarted(ms))
            return false;
        while (!process.canReadLine()) {
            if (!process.waitForReadyRead(ms))
                return false;
        }
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !path.isEmpty();
    }

    QString port() const { return path; }
    bool isRunning() const { return process.state() != QProcess::NotRunning; }

    // SIGTERM, then waits; true when it ended by itself with status 0.
    bool terminate(int ms = 10000)
    {
        process.terminate();
        return process.waitForFinished(ms) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }
    void kill()
    {
        if (isRunning()) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool waitForExit(int ms) { return process.waitForFinished(ms); }
    int exitCode() const { return process.exitCode(); }
    // Everything written on standard error so far.
    QString errorOutput()
    {
        errors += QString::fromLocal8Bit(process.readAllStandardError());
        return errors;
    }
    // For `--control -`: lines on the simulator's standard input.
    bool writeInput(const QByteArray &bytes)
    {
        return process.write(bytes) == bytes.size() && process.waitForBytesWritten(5000);
    }
    void closeInput() { process.closeWriteChannel(); }
    QString standardOutput() { return QString::fromLocal8Bit(process.readAllStandardOutput()); }

    static QString program() { return QStringLiteral(LIDAR_SIM_PATH); }

private:
    QProcess process;
    QString path;
    QString errors;
};
