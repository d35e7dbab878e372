#include "tests/support/PgCluster.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QVersionNumber>

#include <csignal>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace {
constexpr int kToolTimeoutMs = 120000;
constexpr const char *kServerUser = "postgres";

bool isRoot()
{
    return geteuid() == 0;
}

QString quotedForServer(const QString &path)
{
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}
} // namespace

PgCluster::PgCluster() = default;

PgCluster::~PgCluster()
{
    if (running)
        runServerTool(QStringLiteral("pg_ctl"),
                      {QStringLiteral("-D"), dir->filePath(QStringLiteral("data")), QStringLiteral("-m"),
                       QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
                      nullptr);
    if (watchdogPid > 0)
        ::kill(pid_t(watchdogPid), SIGTERM);
}

QString PgCluster::binDirectory()
{
    QString best;
    QVersionNumber bestVersion;
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &version : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString candidate = root.filePath(version + QStringLiteral("/bin"));
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (QFileInfo(candidate + QStringLiteral("/initdb")).isExecutable()
            && QFileInfo(candidate + QStringLiteral("/pg_ctl")).isExecutable() && number > bestVersion) {
            best = candidate;
            bestVersion = number;
        }
    }
    if (best.isEmpty()) {
        const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        if (!initdb.isEmpty())
            best = QFileInfo(initdb).absolutePath();
    }
    return best;
}

QString PgCluster::socketDirectory() const
{
    return dir ? dir->path() : QString();
}

QString PgCluster::url(const QString &database) const
{
    return QStringLiteral("postgresql://%1@/%2?host=%3").arg(QLatin1String(kSuperuser), database, socketDirectory());
}

QStringList PgCluster::asServerUser(const QString &program, const QStringList &arguments) const
{
    // The server refuses to run as root.
    if (!isRoot())
        return QStringList(program) + arguments;
    return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QLatin1String(kServerUser),
                       QStringLiteral("--"), program}
        + arguments;
}

bool PgCluster::runServerTool(const QString &tool, const QStringList &arguments, QString *error)
{
    QStringList command = asServerUser(QDir(bin).filePath(tool), arguments);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.takeFirst(), command);
    const bool finished = process.waitForStarted(kToolTimeoutMs) && process.waitForFinished(kToolTimeoutMs);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    if (error) {
        *error = QStringLiteral("%1 failed (%2): %3")
                     .arg(tool, finished ? QStringLiteral("exit code %1").arg(process.exitCode()) : process.errorString(),
                          QString::fromLocal8Bit(process.readAll()).trimmed());
    }
    if (!finished)
        process.kill();
    return false;
}

bool PgCluster::initialise(QString *error)
{
    bin = binDirectory();
    if (bin.isEmpty()) {
        *error = QStringLiteral("No PostgreSQL server programs (initdb, pg_ctl) under /usr/lib/postgresql: "
                                "install the postgresql package (scripts/setup.sh lists it)");
        return false;
    }
    dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/lidar-pg-XXXXXX"));
    if (!dir->isValid()) {
        *error = QStringLiteral("No temporary directory: ") + dir->errorString();
        return false;
    }
    if (isRoot()) {
        const passwd *user = getpwnam(kServerUser);
        if (!user) {
            *error = QStringLiteral("No '%1' user to run the server as (the postgresql package makes it)")
                         .arg(QLatin1String(kServerUser));
            return false;
        }
        if (chown(QFile::encodeName(dir->path()).constData(), user->pw_uid, user->pw_gid) != 0) {
            *error = QStringLiteral("Cannot give %1 to the '%2' user").arg(dir->path(), QLatin1String(kServerUser));
            return false;
        }
    }
    // No sync, no durability: the cluster lives as long as the test.
    if (!runServerTool(QStringLiteral("initdb"),
                       {QStringLiteral("-D"), dir->filePath(QStringLiteral("data")), QStringLiteral("-A"),
                        QStringLiteral("trust"), QStringLiteral("-U"), QLatin1String(kSuperuser),
                        QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
                        QStringLiteral("--no-sync")},
                       error))
        return false;
    startWatchdog();
    initialised = true;
    return true;
}

// A shell that waits for this process to end and then stops the server and
// removes the directory, for a test that crashes or is killed.
void PgCluster::startWatchdog()
{
    const QString script = QStringLiteral(
        "p=$1; d=$2; shift 2; trap 'exit 0' TERM; "
        "while kill -0 \"$p\" 2>/dev/null; do sleep 1; done; \"$@\" >/dev/null 2>&1; rm -rf \"$d\"");
    const QStringList stop = asServerUser(QDir(bin).filePath(QStringLiteral("pg_ctl")),
                                          {QStringLiteral("-D"), dir->filePath(QStringLiteral("data")),
                                           QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("stop")});
    QProcess::startDetached(QStringLiteral("sh"),
                            QStringList{QStringLiteral("-c"), script, QStringLiteral("sh"),
                                        QString::number(QCoreApplication::applicationPid()), dir->path()}
                                + stop,
                            QString(), &watchdogPid);
}

bool PgCluster::start(QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (running)
        return true;
    if (!initialised && !initialise(error))
        return false;
    const QString options = QStringLiteral("-c listen_addresses='' -k %1 -c fsync=off -c full_page_writes=off")
                                .arg(quotedForServer(dir->path()));
    if (!runServerTool(QStringLiteral("pg_ctl"),
                       {QStringLiteral("-D"), dir->filePath(QStringLiteral("data")), QStringLiteral("-l"),
                        dir->filePath(QStringLiteral("server.log")), QStringLiteral("-o"), options,
                        QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
                       error))
        return false;
    running = true;
    return true;
}

bool PgCluster::stop(QString *error)
{
    if (!running)
        return true;
    running = false;
    return runServerTool(QStringLiteral("pg_ctl"),
                         {QStringLiteral("-D"), dir->filePath(QStringLiteral("data")), QStringLiteral("-m"),
                          QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
                         error);
}

bool PgCluster::createDatabase(const QString &name, QString *error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QDir(bin).filePath(QStringLiteral("createdb")),
                  {QStringLiteral("-h"), socketDirectory(), QStringLiteral("-U"), QLatin1String(kSuperuser), name});
    const bool finished = process.waitForStarted(kToolTimeoutMs) && process.waitForFinished(kToolTimeoutMs);
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    if (error)
        *error = QStringLiteral("createdb %1 failed: %2").arg(name, QString::fromLocal8Bit(process.readAll()).trimmed());
    if (!finished)
        process.kill();
    return false;
}
