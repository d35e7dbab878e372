#include "results/ResultsDatabase.h"

#include "results/ResultsSchema.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
// How long an SQLite writer waits for another program's write to end.
constexpr int kSqliteBusyTimeoutMs = 10000;

QString newConnectionName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("lidar_results_%1").arg(++counter);
}

QString driverName(ResultsLocation::Backend backend)
{
    return backend == ResultsLocation::Backend::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}
} // namespace

ResultsDatabase::ResultsDatabase(const ResultsLocation &location)
    : where(location)
    , connectionName(newConnectionName())
{
}

ResultsDatabase::~ResultsDatabase()
{
    if (QSqlDatabase::contains(connectionName)) {
        QSqlDatabase::database(connectionName, false).close();
        QSqlDatabase::removeDatabase(connectionName);
    }
}

QSqlDatabase ResultsDatabase::connection() const
{
    return QSqlDatabase::database(connectionName, false);
}

bool ResultsDatabase::open(Mode mode)
{
    if (opened)
        return true;
    lastError.clear();
    if (!openConnection(mode))
        return false;
    if (!ResultsSchema::prepare(*this, mode == Mode::ReadWrite, schemaPresent)) {
        connection().close();
        return false;
    }
    opened = true;
    return true;
}

bool ResultsDatabase::openConnection(Mode mode)
{
    const QString driver = driverName(where.backend());
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        return fail(where.backend() == ResultsLocation::Backend::SQLite
                        ? tr("Qt 的 SQLite 驱动未安装（软件包 libqt5sql5-sqlite）")
                        : tr("Qt 的 PostgreSQL 驱动未安装（软件包 libqt5sql5-psql）"));
    }
    QSqlDatabase db = QSqlDatabase::contains(connectionName) ? connection()
                                                              : QSqlDatabase::addDatabase(driver, connectionName);
    if (where.backend() == ResultsLocation::Backend::SQLite) {
        const QFileInfo file(where.filePath());
        if (mode == Mode::ReadOnly && !file.exists())
            return fail(tr("文件不存在"));
        if (file.exists() && !file.isFile())
            return fail(tr("不是普通文件"));
        db.setDatabaseName(where.filePath());
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeoutMs);
        if (mode == Mode::ReadOnly)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        db.setConnectOptions(options);
    } else {
        db.setHostName(where.host());
        if (where.port() != 0)
            db.setPort(where.port());
        db.setUserName(where.user());
        db.setPassword(where.password());
        db.setDatabaseName(where.databaseName());
        db.setConnectOptions(where.connectOptions());
    }
    if (!db.open())
        return fail(tr("无法打开"), db.lastError());
    if (where.backend() == ResultsLocation::Backend::SQLite && mode == Mode::ReadWrite) {
        // Every committed step is on the disk before the run goes on (the
        // synchronous mode the store's benchmark measures), and a step's
        // run must exist.
        if (!exec(QStringLiteral("PRAGMA synchronous = FULL")) || !exec(QStringLiteral("PRAGMA foreign_keys = ON"))) {
            db.close();
            return false;
        }
    }
    return true;
}

bool ResultsDatabase::exec(const QString &sql, const QString &what)
{
    QSqlQuery query(connection());
    if (!query.exec(sql))
        return fail(what.isEmpty() ? sql : what, query.lastError());
    return true;
}

bool ResultsDatabase::fail(const QString &what, const QSqlError &sqlError)
{
    // One line: the server's messages come in several.
    QString detail = sqlError.databaseText().simplified();
    if (detail.isEmpty())
        detail = sqlError.driverText().simplified();
    return fail(tr("%1：%2").arg(what, detail));
}

bool ResultsDatabase::fail(const QString &why)
{
    lastError = tr("结果数据库 %1：%2").arg(where.displayText(), why);
    return false;
}

ResultsDatabase::Transaction::Transaction(ResultsDatabase &db)
    : db(db)
{
    active = db.exec(db.backend() == ResultsLocation::Backend::SQLite ? QStringLiteral("BEGIN IMMEDIATE")
                                                                     : QStringLiteral("BEGIN"),
                     ResultsDatabase::tr("无法开始写入"));
}

ResultsDatabase::Transaction::~Transaction()
{
    if (!active)
        return;
    // The error that made the caller give up is the one to keep.
    const QString kept = db.lastError;
    db.exec(QStringLiteral("ROLLBACK"));
    db.lastError = kept;
}

bool ResultsDatabase::Transaction::commit()
{
    if (!active)
        return false;
    active = false;
    if (db.exec(QStringLiteral("COMMIT"), ResultsDatabase::tr("无法完成写入")))
        return true;
    const QString kept = db.lastError;
    db.exec(QStringLiteral("ROLLBACK"));
    db.lastError = kept;
    return false;
}
