#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A throw-away PostgreSQL server for a test: a cluster of its own in a
// temporary directory, reached only through a Unix socket there, with a
// superuser that needs no password. Made by initdb and run by pg_ctl from
// the installed server (Debian's postgresql package), as the unprivileged
// `postgres` user when the test runs as root, as the current user otherwise.
//
// Stopped and removed by the destructor, so also when a test fails; a
// watchdog process does it too if the test process dies without cleaning up.
class PgCluster {
public:
    static constexpr const char *kSuperuser = "lidar_test";

    PgCluster();
    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    // The server's bin directory (initdb, pg_ctl), the newest installed;
    // empty when there is none.
    static QString binDirectory();

    // Creates the cluster on the first call, then starts the server and
    // waits until it accepts connections. False with the reason, which says
    // what to install when the server's programs are missing.
    bool start(QString *error);
    // Stops the server (the cluster stays, for start() again).
    bool stop(QString *error = nullptr);
    bool isRunning() const { return running; }

    // Makes a new, empty database; false with the reason.
    bool createDatabase(const QString &name, QString *error);
    // The results store's URL of a database of this cluster.
    QString url(const QString &database) const;
    QString socketDirectory() const;

private:
    bool runServerTool(const QString &tool, const QStringList &arguments, QString *error);
    bool initialise(QString *error);
    void startWatchdog();
    QStringList asServerUser(const QString &program, const QStringList &arguments) const;

    std::unique_ptr<QTemporaryDir> dir;
    QString bin;
    bool initialised = false;
    bool running = false;
    qint64 watchdogPid = 0;
};
