#include "results/ResultsCodes.h"
#include "results/ResultsLocation.h"
#include "results/ResultsReader.h"
#include "results/RunRecorder.h"
#include "tests/support/PgCluster.h"
#include "tests/support/StoredRuns.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

using TestRun::Outcome;
using TestRun::RunRecord;
using TestRun::StepResult;
using TestRun::Verdict;

namespace {

// Two ids that the window's id text (leading zeros dropped) shows alike,
// "12345", and one that is all digits.
const QString kUnitA = QStringLiteral("000000010000002300000045");
const QString kUnitB = QStringLiteral("000000120000000300000045");
const QString kUnitDigits = QStringLiteral("000000000000000000000001");

QDateTime utc(int day, int hour, int ms = 0)
{
    return QDateTime(QDate(2024, 1, day), QTime(hour, 0, 0, ms), Qt::UTC);
}

// Every field its own value, so a column bound or read in the wrong place shows.
RunRecord sampleRun(const QString &unit = kUnitA, const QString &plan = QStringLiteral("Accuracy 0.5-4 m"),
                    const QDateTime &started = utc(1, 10, 125))
{
    RunRecord run;
    run.unit.unitId = unit;
    run.unit.firmware = QStringLiteral("1.2.3");
    run.unit.hardware = 0xfffffffeu;
    CaliParam &cal = run.unit.calibration;
    cal.ck = 255;
    cal.xtalk_cal = 1;
    cal.MP_cal = 2;
    cal.cg_cal = 3;
    cal.offset_cal = -32768;
    cal.reftof = 32767;
    cal.xtalk_peak = 0xffffffffu;
    cal.k = std::numeric_limits<qint32>::min();
    cal.pileup_1 = std::numeric_limits<qint32>::max();
    cal.pileup_2 = -7;
    cal.pileup_3 = 8;
    cal.masum = 9;
    run.unit.bvd = 200;
    run.planName = plan;
    run.planJson = QStringLiteral("{\"name\": \"%1\", \"note\": \"目标 'A' \\\\ \\n\"}").arg(plan);
    run.startedUtc = started;
    run.host = QStringLiteral("bench-7");
    run.operatorName = QStringLiteral("张工");
    run.toolVersion = QStringLiteral("1.0.0");
    return run;
}

StepResult passingStep(int index, double reference)
{
    StepResult s;
    s.index = index;
    s.referenceMm = reference;
    s.framesKept = 498;
    s.framesSeen = 500;
    s.meanMm = reference + 0.1 + 0.2;
    s.biasMm = 0.1 + 0.2;
    s.stdMm = 1.0 / 3.0;
    s.minMm = 5e-324;
    s.maxMm = 1.7976931348623157e308;
    s.medianMm = -0.0; // stored as 0: SQLite keeps no sign on zero
    s.blankedPercent = 0.4;
    s.rateHz = std::numeric_limits<double>::infinity();
    s.limits.biasMm = 20;
    s.limits.biasPercent = 1.0;
    s.limits.stdMm = 15;
    s.limits.blankedPercent = 0.1;
    s.limits.minRateHz = 0;
    s.bias = {Outcome::Pass, 20 + reference / 100};
    s.std = {Outcome::Pass, 15};
    s.blanked = {Outcome::Fail, 0.1};
    s.rate = {Outcome::Pass, 0};
    s.verdict = Verdict::Fail;
    return s;
}

// A step that ended without figures: nothing kept, an error, limits unset.
StepResult brokenStep(int index, double reference)
{
    StepResult s;
    s.index = index;
    s.referenceMm = reference;
    s.framesSeen = 3;
    s.meanMm = s.biasMm = s.stdMm = s.minMm = s.maxMm = s.medianMm = std::nan("");
    s.blankedPercent = 100;
    s.rateHz = 12.5;
    s.limits.stdMm = 10;
    s.std = {Outcome::NotChecked, 10};
    s.verdict = Verdict::Incomplete;
    s.error = QStringLiteral("链路断开：'port' \"gone\"\n第二行 \\ %1");
    return s;
}

QString bits(double v)
{
    if (std::isnan(v))
        return QStringLiteral("nan");
    if (v == 0)
        v = 0; // no sign on zero (see above)
    quint64 b;
    std::memcpy(&b, &v, sizeof b);
    return QString::number(b, 16);
}

QString bits(const std::optional<double> &v)
{
    return v ? bits(*v) : QStringLiteral("unset");
}

// Every field of a record as text, numbers as their bits: two records with
// the same dump hold the same figures to the last bit.
QString dump(const RunRecord &r)
{
    const CaliParam &c = r.unit.calibration;
    QStringList out;
    out << r.unit.unitId << r.unit.firmware << QString::number(r.unit.hardware)
        << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13")
               .arg(c.ck).arg(c.xtalk_cal).arg(c.MP_cal).arg(c.cg_cal).arg(c.offset_cal).arg(c.reftof)
               .arg(c.xtalk_peak).arg(c.k).arg(c.pileup_1).arg(c.pileup_2).arg(c.pileup_3).arg(c.masum)
               .arg(r.unit.bvd)
        << r.planName << r.planJson << ResultsCodes::timeText(r.startedUtc)
        << (r.finishedUtc.isValid() ? ResultsCodes::timeText(r.finishedUtc) : QStringLiteral("unfinished"))
        << r.host << r.operatorName << r.toolVersion << ResultsCodes::verdictCode(r.verdict);
    for (const StepResult &s : r.steps) {
        const TestRun::Limits &l = s.limits;
        out << QStringLiteral("step %1 ref %2 kept %3 seen %4").arg(s.index).arg(bits(s.referenceMm))
                   .arg(s.framesKept).arg(s.framesSeen)
            << QStringList{bits(s.meanMm), bits(s.biasMm), bits(s.stdMm), bits(s.minMm), bits(s.maxMm),
                           bits(s.medianMm), bits(s.blankedPercent), bits(s.rateHz)}.join(QLatin1Char(' '))
            << QStringList{bits(l.biasMm), bits(l.biasPercent), bits(l.stdMm), bits(l.blankedPercent),
                           bits(l.minRateHz)}.join(QLatin1Char(' '));
        for (const TestRun::Check *check : {&s.bias, &s.std, &s.blanked, &s.rate})
            out << ResultsCodes::outcomeCode(check->outcome) + QLatin1Char(' ') + bits(check->bound);
        out << ResultsCodes::verdictCode(s.verdict) << s.error;
    }
    return out.join(QLatin1Char('\n'));
}

QStringList planNames(const std::vector<RunRecord> &runs)
{
    QStringList names;
    for (const RunRecord &r : runs)
        names << r.planName;
    return names;
}

// A connection of the test's own, for looking at and spoiling a database
// behind the store's back.
class RawDatabase {
public:
    explicit RawDatabase(const ResultsLocation &where)
        : name(QStringLiteral("raw_%1").arg(++count))
    {
        const bool sqlite = where.backend() == ResultsLocation::Backend::SQLite;
        QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
        db.setDatabaseName(sqlite ? where.filePath() : where.databaseName());
        db.setHostName(where.host());
        db.setUserName(where.user());
        db.open();
    }
    ~RawDatabase()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }

    QString exec(const QStringList &statements)
    {
        for (const QString &sql : statements) {
            QSqlQuery query(QSqlDatabase::database(name, false));
            if (!query.exec(sql))
                return sql + QStringLiteral(": ") + query.lastError().text();
        }
        return QString();
    }

    QVariant scalar(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        return query.exec(sql) && query.next() ? query.value(0) : QVariant(QStringLiteral("failed: %1").arg(sql));
    }

private:
    static inline int count = 0;
    const QString name;
};

} // namespace

class tst_ResultsStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void locationTextsFollowTheGrammar_data();
    void locationTextsFollowTheGrammar();
    void badLocationTextsAreRefusedWithThePartNamed_data();
    void badLocationTextsAreRefusedWithThePartNamed();
    void bothBackendsReadBackTheSameRun_data();
    void bothBackendsReadBackTheSameRun();
    void unitIdsWithLeadingZeroWordsStayApart_data();
    void unitIdsWithLeadingZeroWordsStayApart();
    void runInterruptedMidwayReadsBackIncomplete_data();
    void runInterruptedMidwayReadsBackIncomplete();
    void unreachableServerSendsTheRunToTheLocalFile_data();
    void unreachableServerSendsTheRunToTheLocalFile();
    void runWaitsUntilTheLocalFileCanBeWritten();
    void schemaIsCreatedOnceAndANewerOneRefused_data();
    void schemaIsCreatedOnceAndANewerOneRefused();
    void readingAnUntouchedDatabaseChangesNothing_data();
    void readingAnUntouchedDatabaseChangesNothing();
    void filtersSelectAndOrderNewestFirst_data();
    void filtersSelectAndOrderNewestFirst();
    void trendFollowsOneUnitAcrossItsRuns_data();
    void trendFollowsOneUnitAcrossItsRuns();
    void garbageInTheDatabaseGivesAClearError_data();
    void garbageInTheDatabaseGivesAClearError();

private:
    void addBackendRows();
    // A new, empty database of the row's backend; nothing (and the reason
    // in freshError) without one.
    std::optional<ResultsLocation> freshDatabase();
    ResultsLocation localFile(const QString &name) const
    {
        return ResultsLocation::sqliteFile(dir.filePath(name));
    }
    // Stores the run from start to finish; empty, or what went wrong.
    QString storeWhole(const ResultsLocation &where, RunRecord run, bool finish = true);
    std::vector<RunRecord> readAll(const ResultsLocation &where, RunFilter filter = RunFilter());

    QTemporaryDir dir;
    PgCluster pg;
    QString pgError;
    QString freshError;
    int databases = 0;
};

void tst_ResultsStore::initTestCase()
{
    QVERIFY(dir.isValid());
    // Without a server the PostgreSQL rows fail (setup.sh installs it); the
    // SQLite rows still run.
    pg.start(&pgError);
}

void tst_ResultsStore::cleanup()
{
    // A test that stopped the server and failed before starting it again.
    if (pgError.isEmpty() && !pg.isRunning())
        pg.start(&pgError);
}

void tst_ResultsStore::addBackendRows()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgresql") << QStringLiteral("postgresql");
}

std::optional<ResultsLocation> tst_ResultsStore::freshDatabase()
{
    QFETCH(QString, backend);
    const QString name = QStringLiteral("results_%1").arg(++databases);
    if (backend == QLatin1String("sqlite"))
        return localFile(name + QStringLiteral(".sqlite"));
    freshError = pgError;
    if (freshError.isEmpty())
        pg.createDatabase(name, &freshError);
    if (!freshError.isEmpty())
        return std::nullopt;
    return ResultsLocation::parse(pg.url(name));
}

QString tst_ResultsStore::storeWhole(const ResultsLocation &where, RunRecord run, bool finish)
{
    RunRecorder recorder(where, where);
    const std::vector<StepResult> steps = run.steps;
    run.steps.clear();
    if (!recorder.start(run))
        return recorder.error();
    for (const StepResult &step : steps) {
        if (!recorder.storeStep(run, step))
            return recorder.error();
        run.steps.push_back(step);
    }
    if (!run.finishedUtc.isValid())
        run.finishedUtc = run.startedUtc.addSecs(3600);
    if (finish && !recorder.finish(run))
        return recorder.error();
    return QString();
}

std::vector<RunRecord> tst_ResultsStore::readAll(const ResultsLocation &where, RunFilter filter)
{
    return storedRuns(where, filter);
}

void tst_ResultsStore::locationTextsFollowTheGrammar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("shown");

    QTest::newRow("host and port") << "postgresql://bench@results.lab:5433/accuracy" << "results.lab" << 5433
                                   << "bench" << "" << "accuracy" << "postgresql://bench@results.lab:5433/accuracy";
    QTest::newRow("password kept out of messages")
        << "postgres://bench:s%40c:r%2Ft@10.0.0.5/accuracy?sslmode=require" << "10.0.0.5" << 0 << "bench"
        << "s@c:r/t" << "accuracy" << "postgresql://bench@10.0.0.5/accuracy";
    QTest::newRow("unix socket directory") << "postgresql://bench@/accuracy?host=/run/postgresql" << "/run/postgresql"
                                           << 0 << "bench" << "" << "accuracy"
                                           << "postgresql://bench@/accuracy?host=/run/postgresql";
    QTest::newRow("ipv6 and port parameter") << "postgresql://[::1]/acc%20db?port=6000&connect_timeout=3" << "::1"
                                             << 6000 << "" << "" << "acc db" << "postgresql://[::1]:6000/acc%20db";
}

void tst_ResultsStore::locationTextsFollowTheGrammar()
{
    QFETCH(QString, text);
    QString error;
    const auto location = ResultsLocation::parse(text, &error);
    QVERIFY2(location, qPrintable(error));
    QCOMPARE(location->backend(), ResultsLocation::Backend::PostgreSQL);
    QTEST(location->host(), "host");
    QTEST(location->port(), "port");
    QTEST(location->user(), "user");
    QTEST(location->password(), "password");
    QTEST(location->databaseName(), "database");
    QTEST(location->displayText(), "shown");

    // Anything else is a file, the empty text the default one.
    QCOMPARE(ResultsLocation::parse(QString())->filePath(), QDir::current().absoluteFilePath("results.sqlite"));
    QCOMPARE(ResultsLocation::parse(" lab/r.sqlite ")->filePath(), QDir::current().absoluteFilePath("lab/r.sqlite"));
    QCOMPARE(ResultsLocation::parse("sqlite:///srv/r.sqlite")->filePath(), QStringLiteral("/srv/r.sqlite"));
}

void tst_ResultsStore::badLocationTextsAreRefusedWithThePartNamed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("no database") << "postgresql://bench@host:5432/" << "数据库名";
    QTest::newRow("port not a number") << "postgresql://host:54x2/db" << "54x2";
    QTest::newRow("port out of range") << "postgresql://host:70000/db" << "70000";
    QTest::newRow("misspelt parameter") << "postgresql://host/db?sslmod=require" << "sslmod";
    QTest::newRow("host twice") << "postgresql://host/db?host=/run/postgresql" << "主机";
    QTest::newRow("bad sslmode") << "postgresql://host/db?sslmode=always" << "always";
    QTest::newRow("bad escape") << "postgresql://us%zzer@host/db" << "用户名";
    QTest::newRow("other scheme") << "mysql://host/db" << "mysql";
    QTest::newRow("fragment") << "postgresql://host/db#x" << "#";
}

void tst_ResultsStore::badLocationTextsAreRefusedWithThePartNamed()
{
    QFETCH(QString, text);
    QFETCH(QString, named);
    QString error;
    QVERIFY(!ResultsLocation::parse(text, &error));
    QVERIFY2(error.contains(named), qPrintable(error));
}

void tst_ResultsStore::bothBackendsReadBackTheSameRun_data()
{
    addBackendRows();
}

void tst_ResultsStore::bothBackendsReadBackTheSameRun()
{
    const auto fresh = freshDatabase();
    QVERIFY2(fresh, qPrintable(freshError));
    const ResultsLocation where = *fresh;
    RunRecord run = sampleRun();
    RunRecorder recorder(where, localFile("unused.sqlite"));
    QVERIFY2(recorder.start(run), qPrintable(recorder.error()));
    QVERIFY(run.runId > 0);

    // A first try at step 0, then the retry that replaces it.
    StepResult first = passingStep(0, 500);
    first.meanMm = 1;
    QVERIFY2(recorder.storeStep(run, first), qPrintable(recorder.error()));
    for (const StepResult &step : {passingStep(0, 500), brokenStep(1, 1000), passingStep(2, 4000)}) {
        QVERIFY2(recorder.storeStep(run, step), qPrintable(recorder.error()));
        run.steps.push_back(step);
    }
    run.finishedUtc = utc(1, 11, 999);
    run.verdict = Verdict::Fail;
    QVERIFY2(recorder.finish(run), qPrintable(recorder.error()));
    QVERIFY(!recorder.usesLocalFallback());
    QVERIFY(!QFile::exists(dir.filePath("unused.sqlite")));

    ResultsReader reader(where);
    RunRecord back;
    QVERIFY2(reader.run(run.runId, back), qPrintable(reader.error()));
    QCOMPARE(back.runId, run.runId);
    QCOMPARE(dump(back), dump(run));
    QCOMPARE(back.startedUtc.timeSpec(), Qt::UTC);
}

void tst_ResultsStore::unitIdsWithLeadingZeroWordsStayApart_data()
{
    addBackendRows();
}

void tst_ResultsStore::unitIdsWithLeadingZeroWordsStayApart()
{
    const auto fresh = freshDatabase();
    QVERIFY2(fresh, qPrintable(freshError));
    const ResultsLocation where = *fresh;
    for (const QString &unit : {kUnitA, kUnitB, kUnitDigits})
        QCOMPARE(storeWhole(where, sampleRun(unit, unit)), QString());

    for (const QString &unit : {kUnitA, kUnitB, kUnitDigits}) {
        RunFilter filter;
        filter.unitId = unit;
        const std::vector<RunRecord> runs = readAll(where, filter);
        QCOMPARE(planNames(runs), QStringList(unit));
        QCOMPARE(runs.front().unit.unitId, unit);
    }
    RunRecord wrong = sampleRun(QStringLiteral("12345"));
    RunRecorder recorder(where, where);
    QVERIFY(!recorder.start(wrong));
    QVERIFY2(recorder.error().contains("12345"), qPrintable(recorder.error()));
}

void tst_ResultsStore::runInterruptedMidwayReadsBackIncomplete_data()
{
    addBackendRows();
}

void tst_ResultsStore::runInterruptedMidwayReadsBackIncomplete()
{
    const auto fresh = freshDatabase();
    QVERIFY2(fresh, qPrintable(freshError));
    const ResultsLocation where = *fresh;
    RunRecord run = sampleRun();
    {
        RunRecorder recorder(where, where);
        QVERIFY(recorder.start(run));
        QVERIFY(recorder.storeStep(run, passingStep(0, 500)));
        // The tool ends here: the record in memory may say anything.
        run.verdict = Verdict::Pass;
    }
    std::vector<RunRecord> runs = readAll(where);
    QCOMPARE(runs.size(), size_t(1));
    QCOMPARE(runs.front().verdict, Verdict::Incomplete);
    QVERIFY(!runs.front().finishedUtc.isValid());
    QCOMPARE(runs.front().steps.size(), size_t(1));

    // Another program's PASS on a run never finished does not count.
    RawDatabase raw(where);
    QCOMPARE(raw.exec({QStringLiteral("UPDATE runs SET verdict = 'PASS'")}), QString());
    RunFilter incomplete;
    incomplete.verdict = Verdict::Incomplete;
    runs = readAll(where, incomplete);
    QCOMPARE(runs.size(), size_t(1));
    QCOMPARE(runs.front().verdict, Verdict::Incomplete);
    RunFilter passed;
    passed.verdict = Verdict::Pass;
    QCOMPARE(readAll(where, passed).size(), size_t(0));
}

void tst_ResultsStore::unreachableServerSendsTheRunToTheLocalFile_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<int>("stepsBeforeLoss"); // -1: unreachable from the start
    const QString nobody = dir.filePath("no-server");
    QDir().mkpath(nobody);
    QTest::newRow("no server at the socket") << QStringLiteral("postgresql://lidar_test@/results?host=") + nobody << -1;
    QTest::newRow("port closed") << QStringLiteral("postgresql://lidar_test@127.0.0.1:1/results") << -1;
    QTest::newRow("file in a missing folder") << dir.filePath("missing/results.sqlite") << -1;
    QTest::newRow("server stops after two steps") << QString() << 2;
    QTest::newRow("server stops before the end") << QString() << 3;
}

void tst_ResultsStore::unreachableServerSendsTheRunToTheLocalFile()
{
    QFETCH(QString, configured);
    QFETCH(int, stepsBeforeLoss);
    const QString name = QStringLiteral("results_%1").arg(++databases);
    if (configured.isEmpty()) {
        QVERIFY2(pgError.isEmpty(), qPrintable(pgError));
        QVERIFY(pg.createDatabase(name, nullptr));
        configured = pg.url(name);
    }
    const ResultsLocation server = *ResultsLocation::parse(configured);
    const ResultsLocation local = localFile(name + QStringLiteral("-local.sqlite"));

    RunRecord run = sampleRun();
    RunRecorder recorder(server, local);
    QVERIFY2(recorder.start(run), qPrintable(recorder.error()));
    const QList<StepResult> steps = {passingStep(0, 500), brokenStep(1, 1000), passingStep(2, 2000)};
    for (int i = 0; i < steps.size(); ++i) {
        if (i == stepsBeforeLoss)
            QVERIFY(pg.stop());
        QVERIFY2(recorder.storeStep(run, steps[i]), qPrintable(recorder.error()));
        run.steps.push_back(steps[i]);
    }
    if (stepsBeforeLoss == steps.size())
        QVERIFY(pg.stop());
    QCOMPARE(recorder.usesLocalFallback(), stepsBeforeLoss < steps.size());
    run.finishedUtc = utc(1, 12);
    run.verdict = Verdict::Fail;
    QVERIFY2(recorder.finish(run), qPrintable(recorder.error()));

    QVERIFY(recorder.usesLocalFallback());
    QCOMPARE(recorder.location().filePath(), local.filePath());
    QVERIFY2(recorder.notice().contains(local.displayText()), qPrintable(recorder.notice()));
    QVERIFY2(recorder.notice().contains(server.displayText()), qPrintable(recorder.notice()));
    const std::vector<RunRecord> kept = readAll(local);
    QCOMPARE(kept.size(), size_t(1));
    QCOMPARE(kept.front().runId, run.runId);
    QCOMPARE(dump(kept.front()), dump(run));

    QVERIFY(pg.start(nullptr));
    if (stepsBeforeLoss >= 0) {
        // What reached the server stays there, unfinished.
        const std::vector<RunRecord> partial = readAll(server);
        QCOMPARE(partial.size(), size_t(1));
        QCOMPARE(partial.front().verdict, Verdict::Incomplete);
        QCOMPARE(int(partial.front().steps.size()), stepsBeforeLoss);
    }
}

void tst_ResultsStore::runWaitsUntilTheLocalFileCanBeWritten()
{
    const ResultsLocation server = *ResultsLocation::parse("postgresql://lidar_test@127.0.0.1:1/results");
    const ResultsLocation local = localFile(QStringLiteral("later/results.sqlite"));
    RunRecord run = sampleRun();
    RunRecorder recorder(server, local);
    QVERIFY(!recorder.start(run));
    QVERIFY2(recorder.error().contains(local.displayText()), qPrintable(recorder.error()));
    QVERIFY(!recorder.storeStep(run, passingStep(0, 500)));
    run.steps.push_back(passingStep(0, 500));

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("later")));
    QVERIFY2(recorder.storeStep(run, brokenStep(1, 1000)), qPrintable(recorder.error()));
    run.steps.push_back(brokenStep(1, 1000));
    QVERIFY(!recorder.notice().isEmpty());
    const std::vector<RunRecord> kept = readAll(local);
    QCOMPARE(kept.size(), size_t(1));
    QCOMPARE(dump(kept.front()), dump(run));
}

void tst_ResultsStore::schemaIsCreatedOnceAndANewerOneRefused_data()
{
    addBackendRows();
}

void tst_ResultsStore::schemaIsCreatedOnceAndANewerOneRefused()
{
    const auto fresh = freshDatabase();
    QVERIFY2(fresh, qPrintable(freshError));
    const ResultsLocation where = *fresh;
    QCOMPARE(storeWhole(where, sampleRun()), QString());
    QCOMPARE(storeWhole(where, sampleRun()), QString());
    RawDatabase raw(where);
    QCOMPARE(raw.scalar("SELECT COUNT(*) FROM schema_version").toInt(), 1);
    QCOMPARE(raw.scalar("SELECT version FROM schema_version").toInt(), 1);

    QCOMPARE(raw.exec({QStringLiteral("UPDATE schema_version SET version = 7")}), QString());
    const ResultsLocation local = localFile(QStringLiteral("fallback-%1.sqlite").arg(databases));
    RunRecord run = sampleRun();
    RunRecorder recorder(where, local);
    QVERIFY(recorder.start(run));
    QVERIFY(recorder.usesLocalFallback());
    QVERIFY2(recorder.notice().contains("7"), qPrintable(recorder.notice()));
    QCOMPARE(raw.scalar("SELECT COUNT(*) FROM runs").toInt(), 2);

    ResultsReader reader(where);
    std::vector<RunRecord> runs;
    QVERIFY(!reader.runs(RunFilter(), runs));
    QVERIFY2(reader.error().contains("7") && reader.error().contains(where.displayText()),
             qPrintable(reader.error()));
}

void tst_ResultsStore::readingAnUntouchedDatabaseChangesNothing_data()
{
    addBackendRows();
}

void tst_ResultsStore::readingAnUntouchedDatabaseChangesNothing()
{
    const auto fresh = freshDatabase();
    QVERIFY2(fresh, qPrintable(freshError));
    const ResultsLocation where = *fresh;
    ResultsReader reader(where);
    std::vector<RunRecord> runs;
    if (where.backend() == ResultsLocation::Backend::SQLite) {
        QVERIFY(!reader.runs(RunFilter(), runs));
        QVERIFY2(reader.error().contains(where.displayText()), qPrintable(reader.error()));
        QVERIFY(!QFile::exists(where.filePath()));
        QFile empty(where.filePath());
        QVERIFY(empty.open(QIODevice::WriteOnly));
    }
    QVERIFY2(reader.runs(RunFilter(), runs), qPrintable(reader.error()));
    QVERIFY(runs.empty());
    RawDatabase raw(where);
    QCOMPARE(raw.scalar(where.backend() == ResultsLocation::Backend::SQLite
                            ? "SELECT COUNT(*) FROM sqlite_master"
                            : "SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = 'public'")
                 .toInt(),
             0);
}

void tst_ResultsStore::filtersSelectAndOrderNewestFirst_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("verdict"); // -1: any
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<int>("last");
    QTest::addColumn<QStringList>("expected"); // plan names, newest first; "error" for a refused filter

    struct Case {
        const char *name;
        QString unit;
        int verdict;
        QDateTime from, to;
        int last;
        QStringList expected;
    };
    const QList<Case> cases = {
        {"all", {}, -1, {}, {}, 0, {"D", "E", "C", "B", "A"}},
        {"one unit", kUnitA, -1, {}, {}, 0, {"D", "C", "A"}},
        {"unit typed loosely", QStringLiteral(" 000000010000002300000045 ").toUpper(), -1, {}, {}, 0, {"D", "C", "A"}},
        {"passed", {}, int(Verdict::Pass), {}, {}, 0, {"A"}},
        {"failed", {}, int(Verdict::Fail), {}, {}, 0, {"C", "B"}},
        {"incomplete, finished or not", {}, int(Verdict::Incomplete), {}, {}, 0, {"D", "E"}},
        {"from, inclusive", {}, -1, utc(2, 10), {}, 0, {"D", "E", "C", "B"}},
        {"to, exclusive", {}, -1, {}, utc(3, 10), 0, {"B", "A"}},
        {"a day", {}, -1, utc(3, 0), utc(4, 0), 0, {"E", "C"}},
        {"last two", {}, -1, {}, {}, 2, {"D", "E"}},
        {"unit, verdict and last", kUnitB, int(Verdict::Fail), {}, {}, 1, {"B"}},
        {"unit id short", QStringLiteral("12345"), -1, {}, {}, 0, {"error"}},
        {"negative count", {}, -1, {}, {}, -1, {"error"}},
    };
    for (const char *backend : {"sqlite", "postgresql"}) {
        for (const Case &c : cases) {
            QTest::addRow("%s: %s", backend, c.name)
                << QString::fromLatin1(backend) << c.unit << c.verdict << c.from << c.to << c.last << c.expected;
        }
    }
}

void tst_ResultsStore::filtersSelectAndOrderNewestFirst()
{
    QFETCH(QString, unit);
    QFETCH(int, verdict);
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(int, last);
    QFETCH(QStringList, expected);
    const auto fresh = freshDatabase();
    QVERIFY2(fresh, qPrintable(freshError));
    const ResultsLocation where = *fresh;
    struct Stored {
        const char *plan;
        QString unit;
        QDateTime started;
        Verdict verdict;
        bool finished;
    };
    // E starts with C and is stored after it: the later id comes first.
    for (const Stored &s : {Stored{"A", kUnitA, utc(1, 10), Verdict::Pass, true},
                            Stored{"B", kUnitB, utc(2, 10), Verdict::Fail, true},
                            Stored{"C", kUnitA, utc(3, 10), Verdict::Fail, true},
                            Stored{"E", kUnitB, utc(3, 10), Verdict::Incomplete, true},
                            Stored{"D", kUnitA, utc(4, 10), Verdict::Pass, false}}) {
        RunRecord run = sampleRun(s.unit, QLatin1String(s.plan), s.started);
        run.steps = {passingStep(0, 500)};
        run.finishedUtc = s.started.addSecs(600);
        run.verdict = s.verdict;
        QCOMPARE(storeWhole(where, run, s.finished), QString());
    }

    RunFilter filter;
    filter.unitId = unit;
    if (verdict >= 0)
        filter.verdict = Verdict(verdict);
    filter.fromUtc = from;
    filter.toUtc = to;
    filter.last = last;
    filter.withSteps = true;
    ResultsReader reader(where);
    std::vector<RunRecord> runs;
    const bool ok = reader.runs(filter, runs);
    if (expected == QStringList("error")) {
        QVERIFY(!ok);
        QVERIFY(!reader.error().isEmpty());
        return;
    }
    QVERIFY2(ok, qPrintable(reader.error()));
    QCOMPARE(planNames(runs), expected);
    for (const RunRecord &run : runs)
        QCOMPARE(run.steps.size(), size_t(1));
}

void tst_ResultsStore::trendFollowsOneUnitAcrossItsRuns_data()
{
    addBackendRows();
}

void tst_ResultsStore::trendFollowsOneUnitAcrossItsRuns()
{
    const auto fresh = freshDatabase();
    QVERIFY2(fresh, qPrintable(freshError));
    const ResultsLocation where = *fresh;
    // Stored out of time order; the trend is in time order.
    for (int day : {3, 1, 2}) {
        RunRecord run = sampleRun(kUnitA, QString::number(day), utc(day, 9));
        for (int i = 0; i < 2; ++i) {
            StepResult step = passingStep(i, 1000 * (i + 1));
            step.biasMm = day * 10 + i;
            run.steps.push_back(step);
        }
        QCOMPARE(storeWhole(where, run), QString());
    }
    RunRecord other = sampleRun(kUnitB);
    other.steps = {passingStep(0, 1000)};
    QCOMPARE(storeWhole(where, other), QString());

    ResultsReader reader(where);
    std::vector<TrendPoint> trend;
    QVERIFY2(reader.unitTrend(kUnitA, trend), qPrintable(reader.error()));
    QStringList seen;
    for (const TrendPoint &p : trend) {
        seen << QStringLiteral("%1 %2 %3 %4")
                    .arg(p.startedUtc.date().day())
                    .arg(p.referenceMm)
                    .arg(p.biasMm)
                    .arg(ResultsCodes::verdictCode(p.stepVerdict));
    }
    QCOMPARE(seen, QStringList({"1 1000 10 FAIL", "1 2000 11 FAIL", "2 1000 20 FAIL", "2 2000 21 FAIL",
                                "3 1000 30 FAIL", "3 2000 31 FAIL"}));
}

void tst_ResultsStore::garbageInTheDatabaseGivesAClearError_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("spoil"); // "corrupt": overwrite the file
    QTest::addColumn<QString>("named");     // what the error names

    // SQLite keeps a column's constraints; a copy of the table has none.
    const QStringList unconstrainedRuns = {"ALTER TABLE runs RENAME TO old_runs",
                                           "CREATE TABLE runs AS SELECT * FROM old_runs", "DROP TABLE old_runs"};
    const QStringList unconstrainedSteps = {"ALTER TABLE steps RENAME TO old_steps",
                                            "CREATE TABLE steps AS SELECT * FROM old_steps", "DROP TABLE old_steps"};
    auto both = [](const char *name, const QStringList &sqlite, const QStringList &postgres, const char *named) {
        QTest::addRow("sqlite: %s", name) << QStringLiteral("sqlite") << sqlite << QString::fromUtf8(named);
        QTest::addRow("postgresql: %s", name) << QStringLiteral("postgresql") << postgres << QString::fromUtf8(named);
    };
    both("NULL unit id", unconstrainedRuns + QStringList("UPDATE runs SET unit_id = NULL"),
         {"ALTER TABLE runs ALTER COLUMN unit_id DROP NOT NULL", "UPDATE runs SET unit_id = NULL"}, "unit_id");
    both("unit id without its zeros", {"UPDATE runs SET unit_id = '12345'"}, {"UPDATE runs SET unit_id = '12345'"},
         "unit_id");
    both("text for a distance", {"UPDATE steps SET reference_mm = 'far'"},
         {"ALTER TABLE steps ALTER COLUMN reference_mm TYPE TEXT", "UPDATE steps SET reference_mm = 'far'"},
         "reference_mm");
    both("fraction of a frame", {"UPDATE steps SET frames_kept = 1.5"},
         {"ALTER TABLE steps ALTER COLUMN frames_kept TYPE DOUBLE PRECISION", "UPDATE steps SET frames_kept = 1.5"},
         "frames_kept");
    both("negative hardware version", {"UPDATE runs SET hardware = -1"}, {"UPDATE runs SET hardware = -1"}, "hardware");
    both("calibration byte too big", {"UPDATE runs SET cal_ck = 256"}, {"UPDATE runs SET cal_ck = 256"}, "cal_ck");
    both("unknown verdict", {"PRAGMA ignore_check_constraints = ON", "UPDATE runs SET verdict = 'MAYBE'"},
         {"ALTER TABLE runs DROP CONSTRAINT runs_verdict_check", "UPDATE runs SET verdict = 'MAYBE'"}, "verdict");
    both("unknown limit outcome", {"PRAGMA ignore_check_constraints = ON", "UPDATE steps SET std_check = 'ok'"},
         {"ALTER TABLE steps DROP CONSTRAINT steps_std_check_check", "UPDATE steps SET std_check = 'ok'"},
         "std_check");
    both("start time not a time", {"UPDATE runs SET started_utc = 'yesterday'"},
         {"UPDATE runs SET started_utc = 'yesterday'"}, "started_utc");
    both("NULL step verdict", unconstrainedSteps + QStringList("UPDATE steps SET verdict = NULL"),
         {"ALTER TABLE steps ALTER COLUMN verdict DROP NOT NULL", "UPDATE steps SET verdict = NULL"}, "verdict");
    both("steps table missing", {"DROP TABLE steps"}, {"DROP TABLE steps"}, "steps");
    both("runs table missing", {"DROP TABLE steps", "DROP TABLE runs"}, {"DROP TABLE steps", "DROP TABLE runs"},
         "runs");
    both("no schema version", {"DELETE FROM schema_version"}, {"DELETE FROM schema_version"}, "schema_version");
    both("schema version not a number", {"UPDATE schema_version SET version = 'one'"},
         {"ALTER TABLE schema_version ALTER COLUMN version TYPE TEXT", "UPDATE schema_version SET version = 'one'"},
         "one");
    both("tables of another program", {"DROP TABLE schema_version"}, {"DROP TABLE schema_version"},
         "schema_version");
    QTest::newRow("sqlite: not a database") << QStringLiteral("sqlite") << QStringList("corrupt") << QString();
}

void tst_ResultsStore::garbageInTheDatabaseGivesAClearError()
{
    QFETCH(QStringList, spoil);
    QFETCH(QString, named);
    const auto fresh = freshDatabase();
    QVERIFY2(fresh, qPrintable(freshError));
    const ResultsLocation where = *fresh;
    RunRecord run = sampleRun();
    run.steps = {passingStep(0, 500)};
    run.finishedUtc = utc(1, 11);
    run.verdict = Verdict::Pass;
    QCOMPARE(storeWhole(where, run), QString());
    if (spoil == QStringList("corrupt")) {
        QFile file(where.filePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(8192, '\x5a'));
    } else {
        RawDatabase raw(where);
        QCOMPARE(raw.exec(spoil), QString());
    }

    ResultsReader reader(where);
    std::vector<RunRecord> runs;
    RunFilter filter;
    filter.withSteps = true;
    QVERIFY(!reader.runs(filter, runs));
    QVERIFY(runs.empty());
    const QString error = reader.error();
    QVERIFY2(error.contains(where.displayText()) && error.contains(named), qPrintable(error));
    RunRecord one;
    QVERIFY(!reader.run(1, one));
    QVERIFY2(!reader.error().isEmpty(), "no error for one run");
}

QTEST_GUILESS_MAIN(tst_ResultsStore)
#include "tst_results_store.moc"
