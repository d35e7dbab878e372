#include "testrun/StepCommand.h"

#include <QProcess>

#include <algorithm>
#include <cmath>

// LIDAR_NO_POSIX builds the branch other systems get, so that it is compiled
// and checked here too.
#if defined(Q_OS_UNIX) && !defined(LIDAR_NO_POSIX)
#define LIDAR_POSIX_GROUPS
#include <csignal>
#include <unistd.h>
#endif

namespace {

// The shell leads a process group of its own, so the whole group can be
// ended at once.
class GroupLeaderProcess : public QProcess {
public:
    using QProcess::QProcess;

protected:
    void setupChildProcess() override
    {
#ifdef LIDAR_POSIX_GROUPS
        ::setpgid(0, 0);
#endif
    }
};

} // namespace

StepCommand::StepCommand(QObject *parent)
    : QObject(parent)
{
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, &StepCommand::onTimeout);
}

StepCommand::~StepCommand()
{
    kill();
}

bool StepCommand::start(const QString &command, double timeoutS)
{
    if (process)
        return false;
    tail.clear();
    timeoutSeconds = timeoutS;
    process = new GroupLeaderProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    connect(process, &QProcess::readyReadStandardOutput, this, &StepCommand::readOutput);
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [this](int code, QProcess::ExitStatus status) { onFinished(code, int(status)); });
    // Some failures to start are reported inside start(): answered later.
    connect(process, &QProcess::errorOccurred, this, [this, started = process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        QTimer::singleShot(0, this, [this, started, why = started->errorString()] {
            if (process == started)
                onFailedToStart(why);
        });
    });
    process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    group = process->processId();
#ifdef LIDAR_POSIX_GROUPS
    // From this side too, so that a kill right after the start finds the group.
    if (group > 0)
        ::setpgid(pid_t(group), pid_t(group));
#endif
    process->closeWriteChannel();
    // A timer's interval is an int of milliseconds: about 24 days at most.
    deadline.start(int(std::min(std::ceil(timeoutS * 1000.0), 2.0e9)));
    return true;
}

void StepCommand::kill()
{
    if (!process)
        return;
    deadline.stop();
    killGroup();
    // It ends on its own time; nobody listens any more.
    QProcess *ending = process;
    process = nullptr;
    ending->disconnect(this);
    connect(ending, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), ending, &QObject::deleteLater);
    if (ending->state() == QProcess::NotRunning)
        ending->deleteLater();
}

void StepCommand::killGroup()
{
#ifdef LIDAR_POSIX_GROUPS
    if (group > 0)
        ::kill(pid_t(-group), SIGKILL);
#endif
    if (process)
        process->kill();
}

void StepCommand::readOutput()
{
    tail += process->readAll();
    if (tail.size() > kOutputKept)
        tail.remove(0, tail.size() - kOutputKept);
}

void StepCommand::onFinished(int exitCode, int exitStatus)
{
    readOutput();
    if (exitStatus == QProcess::CrashExit)
        end(false, tr("命令被信号终止"));
    else if (exitCode != 0)
        end(false, tr("命令以退出码 %1 结束").arg(exitCode));
    else
        end(true, QString());
}

void StepCommand::onFailedToStart(const QString &why)
{
    end(false, tr("命令无法启动：%1").arg(why));
}

void StepCommand::onTimeout()
{
    end(false, tr("命令在 %1 s 内未结束，已终止").arg(timeoutSeconds));
}

// Whatever it left running in its group goes with it when it failed.
void StepCommand::end(bool ok, const QString &why)
{
    QString reason = why;
    const QString line = lastLine();
    if (!ok && !line.isEmpty())
        reason += tr("（最后输出：%1）").arg(line);
    if (ok) {
        deadline.stop();
        process->deleteLater();
        process->disconnect(this);
        process = nullptr;
    } else {
        kill();
    }
    group = 0;
    emit finished(ok, reason);
}

QString StepCommand::lastLine() const
{
    const QList<QByteArray> lines = tail.split('\n');
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const QString line = QString::fromLocal8Bit(*it).trimmed();
        if (!line.isEmpty())
            return line;
    }
    return QString();
}
