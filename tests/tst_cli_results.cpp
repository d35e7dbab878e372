// `lidar-cli results` over a real store: SQLite files written by the store's
// own writer and a throw-away PostgreSQL server; the JSON parsed whole by
// Python, the filters, the table, and where the runs are looked for.
#include "results/ResultsDatabase.h"
#include "results/ResultsWriter.h"
#include "tests/cli/CliProcess.h"
#include "tests/cli/PythonParse.h"
#include "tests/support/PgCluster.h"
#include "tests/support/SampleRun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Two runs of one unit (the newer one cut short) and one of another unit.
std::vector<TestRun::RunRecord> storedRuns()
{
    TestRun::RunRecord first = sampleRun(3);
    TestRun::RunRecord other = sampleRun(2);
    other.unit.unitId = QStringLiteral("0000000100000002000000ab");
    other.startedUtc = first.startedUtc.addSecs(3600);
    other.finishedUtc = other.startedUtc.addSecs(120);
    TestRun::RunRecord cut = sampleRun(3);
    cut.startedUtc = first.startedUtc.addSecs(7200);
    cut.finishedUtc = QDateTime();
    cut.steps.resize(1);
    cut.verdict = TestRun::Verdict::Incomplete;
    return {first, other, cut};
}

bool store(const ResultsLocation &location, QString *error)
{
    ResultsDatabase db(location);
    if (!db.open(ResultsDatabase::Mode::ReadWrite)) {
        *error = db.error();
        return false;
    }
    for (const TestRun::RunRecord &run : storedRuns()) {
        qint64 id = 0;
        if (!ResultsWriter::copyRun(db, run, id)) {
            *error = db.error();
            return false;
        }
    }
    return true;
}

QJsonArray listed(const QStringList &args)
{
    CliProcess cli;
    if (!cli.run(QStringList{"results", "--json"} + args) || cli.exitCode() != 0) {
        qWarning().noquote() << cli.errorText();
        return {};
    }
    return PythonParse::json(cli.standardOutput()).toArray();
}

} // namespace

class tst_CliResults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void jsonHoldsEveryRunNewestFirstWithItsSteps();
    void filtersByUnitAndKeepsTheNewest_data();
    void filtersByUnitAndKeepsTheNewest();
    void tableHasOneLineARun();
    void storeIsFoundWhereTheSettingsSayOrHere();
    void postgresqlServerGivesTheSameRuns();
    void unreadableStoreOrBadFilterIsRefused_data();
    void unreadableStoreOrBadFilterIsRefused();

private:
    QTemporaryDir dir;
    QString file;
};

void tst_CliResults::initTestCase()
{
    QVERIFY(dir.isValid());
    file = dir.filePath("runs.sqlite");
    QString error;
    QVERIFY2(store(ResultsLocation::sqliteFile(file), &error), qPrintable(error));
}

void tst_CliResults::jsonHoldsEveryRunNewestFirstWithItsSteps()
{
    const QJsonArray runs = listed({"--results", file});
    QCOMPARE(runs.size(), 3);
    const QJsonObject cut = runs.at(0).toObject();
    QCOMPARE(cut.keys(), (QStringList{"finished", "firmware", "hardware", "plan", "run_id", "started", "steps",
                                      "unit_id", "verdict"}));
    QCOMPARE(cut.value("verdict").toString(), QStringLiteral("INCOMPLETE"));
    QVERIFY(cut.value("finished").isNull());
    QCOMPARE(cut.value("started").toString(), QStringLiteral("2026-12-07T21:31:29.000Z"));
    QCOMPARE(runs.at(1).toObject().value("unit_id").toString(), QStringLiteral("0000000100000002000000ab"));

    const QJsonObject first = runs.at(2).toObject();
    QCOMPARE(first.value("unit_id").toString(), QStringLiteral("0033002b3538510c20363733"));
    QCOMPARE(first.value("firmware").toString(), QStringLiteral("1.2.3"));
    QCOMPARE(first.value("hardware").toInt(), 5);
    QCOMPARE(first.value("plan").toString(), QStringLiteral("Accuracy 0.5-4 m"));
    QCOMPARE(first.value("started").toString(), QStringLiteral("2026-12-07T19:31:29.000Z"));
    QCOMPARE(first.value("finished").toString(), QStringLiteral("2026-12-07T19:34:29.000Z"));
    QCOMPARE(first.value("verdict").toString(), QStringLiteral("FAIL"));
    const QJsonArray steps = first.value("steps").toArray();
    QCOMPARE(steps.size(), 3);
    const QJsonObject second = steps.at(1).toObject();
    QCOMPARE(second.keys(), (QStringList{"bias_mm", "blanked_percent", "checks", "frames", "max_mm", "mean_mm",
                                         "median_mm", "min_mm", "rate_hz", "reference_mm", "std_mm", "verdict"}));
    QCOMPARE(second.value("reference_mm").toDouble(), 750.0);
    QCOMPARE(second.value("frames").toInt(), 499);
    QCOMPARE(second.value("mean_mm").toDouble(), 752.5);
    QCOMPARE(second.value("bias_mm").toDouble(), 2.5);
    QCOMPARE(second.value("std_mm").toDouble(), 5.75);
    QCOMPARE(second.value("min_mm").toDouble(), 742.0);
    QCOMPARE(second.value("max_mm").toDouble(), 761.0);
    QCOMPARE(second.value("median_mm").toDouble(), 751.5);
    QCOMPARE(second.value("blanked_percent").toDouble(), 0.2);
    QCOMPARE(second.value("rate_hz").toDouble(), 100.5);
    QCOMPARE(second.value("verdict").toString(), QStringLiteral("FAIL"));
    const QJsonObject checks = second.value("checks").toObject();
    QCOMPARE(checks.value("bias").toString(), QStringLiteral("PASS"));
    QCOMPARE(checks.value("std").toString(), QStringLiteral("FAIL"));
    QCOMPARE(checks.value("blanked").toString(), QStringLiteral("not checked"));
    QCOMPARE(checks.value("rate").toString(), QStringLiteral("PASS"));
}

void tst_CliResults::filtersByUnitAndKeepsTheNewest_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("starts");
    QTest::newRow("one unit") << QStringList{"--unit", "0033002b3538510c20363733"}
                              << QStringList{"2026-12-07T21:31:29.000Z", "2026-12-07T19:31:29.000Z"};
    QTest::newRow("unit typed in capitals") << QStringList{"--unit", " 0000000100000002000000AB "}
                                            << QStringList{"2026-12-07T20:31:29.000Z"};
    QTest::newRow("the newest two") << QStringList{"--last", "2"}
                                    << QStringList{"2026-12-07T21:31:29.000Z", "2026-12-07T20:31:29.000Z"};
    QTest::newRow("a unit never seen") << QStringList{"--unit", "ffffffffffffffffffffffff"} << QStringList{};
}

void tst_CliResults::filtersByUnitAndKeepsTheNewest()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, starts);
    QStringList got;
    for (const QJsonValue &run : listed(QStringList{"--results", file} + args))
        got << run.toObject().value("started").toString();
    QCOMPARE(got, starts);
}

void tst_CliResults::tableHasOneLineARun()
{
    CliProcess cli;
    QVERIFY(cli.run({"results", "--results", file, "--last", "2"}));
    QCOMPARE(cli.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(cli.standardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).startsWith("RUN  STARTED (UTC)"));
    QVERIFY2(lines.at(1).contains(QRegularExpression(
                 "^ *\\d+  2026-12-07 21:31:29   0033002b3538510c20363733  INCOMPLETE  Accuracy 0.5-4 m$")),
             qPrintable(lines.at(1)));
    QVERIFY(lines.at(2).contains("0000000100000002000000ab  FAIL"));
}

// Without --results: the settings file's ResultsDatabase, else
// results.sqlite, both in the working directory.
void tst_CliResults::storeIsFoundWhereTheSettingsSayOrHere()
{
    QTemporaryDir work;
    QVERIFY(QFile::copy(file, work.filePath("results.sqlite")));
    CliProcess here;
    here.setWorkingDirectory(work.path());
    QVERIFY(here.run({"results", "--json", "--last", "1"}));
    QCOMPARE(here.exitCode(), 0);
    QCOMPARE(PythonParse::json(here.standardOutput()).toArray().size(), 1);

    QFile settings(work.filePath("Trivane_QZ90.ini"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[General]\nResultsDatabase=" + QFile::encodeName(work.filePath("elsewhere.sqlite")) + "\n");
    settings.close();
    CliProcess configured;
    configured.setWorkingDirectory(work.path());
    QVERIFY(configured.run({"results", "--json"}));
    QCOMPARE(configured.exitCode(), 5);
    QVERIFY2(configured.errorText().contains("elsewhere.sqlite"), qPrintable(configured.errorText()));
    QVERIFY(configured.standardOutput().isEmpty());
}

void tst_CliResults::postgresqlServerGivesTheSameRuns()
{
    PgCluster pg;
    QString error;
    if (!pg.start(&error))
        QSKIP(qPrintable(error));
    QVERIFY2(pg.createDatabase("accuracy", &error), qPrintable(error));
    const std::optional<ResultsLocation> server = ResultsLocation::parse(pg.url("accuracy"), &error);
    QVERIFY2(server, qPrintable(error));
    QVERIFY2(store(*server, &error), qPrintable(error));
    QJsonArray fromServer = listed({"--results", pg.url("accuracy")});
    QJsonArray fromFile = listed({"--results", file});
    QCOMPARE(fromServer.size(), 3);
    // The ids are each database's own.
    for (QJsonArray *runs : {&fromServer, &fromFile})
        for (int i = 0; i < runs->size(); ++i) {
            QJsonObject run = runs->at(i).toObject();
            run.remove("run_id");
            runs->replace(i, run);
        }
    QCOMPARE(fromServer, fromFile);
}

void tst_CliResults::unreadableStoreOrBadFilterIsRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no such file") << QStringList{"--results", "@dir/none.sqlite"} << 5 << "none.sqlite";
    QTest::newRow("not a database") << QStringList{"--results", "@dir/garbage.sqlite"} << 5 << "garbage.sqlite";
    QTest::newRow("unit id too short") << QStringList{"--results", "@file", "--unit", "33002b"} << 2 << "24 hexadecimal";
    QTest::newRow("misspelled URL key") << QStringList{"--results", "postgresql://u@h/db?sslmod=require"} << 2
                                        << "sslmod";
    QTest::newRow("no runs wanted") << QStringList{"--results", "@file", "--last", "0"} << 2 << "--last";
}

void tst_CliResults::unreadableStoreOrBadFilterIsRefused()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFile garbage(dir.filePath("garbage.sqlite"));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    args.replaceInStrings("@dir", dir.path()).replaceInStrings("@file", file);
    CliProcess cli;
    QVERIFY(cli.run(QStringList{"results", "--json"} + args));
    QCOMPARE(cli.exitCode(), exitCode);
    QVERIFY2(cli.errorText().contains(message), qPrintable(cli.errorText()));
    QVERIFY(cli.standardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(tst_CliResults)
#include "tst_cli_results.moc"
