#pragma once

#include "results/ResultsLocation.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QString>

class QSqlError;
class QSqlQuery;

// One connection to a results database, SQLite or PostgreSQL, with the
// schema checked (and, for writing, created) on opening. Use it from the
// thread that made it; each object has a connection of its own.
class ResultsDatabase {
    Q_DECLARE_TR_FUNCTIONS(ResultsDatabase)
public:
    enum class Mode {
        // Creates the SQLite file and the schema on first use.
        ReadWrite,
        // Changes nothing: the SQLite file must exist; a database without
        // the schema simply holds no runs.
        ReadOnly,
    };

    explicit ResultsDatabase(const ResultsLocation &location);
    ~ResultsDatabase();
    ResultsDatabase(const ResultsDatabase &) = delete;
    ResultsDatabase &operator=(const ResultsDatabase &) = delete;

    // False with error() when the database cannot be reached, is not a
    // results database, or has a schema newer than this program knows
    // (which is never written into).
    bool open(Mode mode);
    bool isOpen() const { return opened; }
    // False only for a read-only database that has no results tables yet.
    bool hasSchema() const { return schemaPresent; }
    const ResultsLocation &location() const { return where; }
    ResultsLocation::Backend backend() const { return where.backend(); }
    QSqlDatabase connection() const;
    QString error() const { return lastError; }

    // Runs one statement that returns no rows; false with error(), which
    // names `what` was being done (the statement itself when empty).
    bool exec(const QString &sql, const QString &what = QString());
    // Records a failed statement or driver call as error(), naming `what`
    // was being done; always false, so a caller can return it.
    bool fail(const QString &what, const QSqlError &sqlError);
    bool fail(const QString &why);

    // A transaction that rolls back unless committed. On SQLite it takes
    // the write lock at once, so two writers queue instead of failing.
    class Transaction {
    public:
        explicit Transaction(ResultsDatabase &db);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;
        bool isActive() const { return active; }
        bool commit();

    private:
        ResultsDatabase &db;
        bool active = false;
    };

private:
    bool openConnection(Mode mode);

    const ResultsLocation where;
    const QString connectionName;
    QString lastError;
    bool opened = false;
    bool schemaPresent = false;
};
