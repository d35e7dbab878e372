#include "results/ResultsReader.h"
#include "runsession/RunSession.h"
#include "testrun/TestPlanJson.h"
#include "testrun/TestRunner.h"
#include "tests/e2e/SimProcess.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/PgCluster.h"
#include "tests/support/StoredRuns.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestRun;
Q_DECLARE_METATYPE(TestRun::RunRecord)

// The runner against the simulator, each step's command moving the target
// through the simulator's control pipe. The target holds still (no wander,
// no jitter), so every figure is exact. The run is kept twice at once, in an
// SQLite file and in a real PostgreSQL, reported and summed up.
class tst_E2eTestRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<RunRecord>(); }
    void fourStepsWithOneBiasedBeyondItsLimitFail();
};

void tst_E2eTestRun::fourStepsWithOneBiasedBeyondItsLimitFail()
{
    QTemporaryDir dir;
    const QString control = dir.filePath("sim.ctl");
    SimProcess sim;
    QVERIFY(sim.start({"--control", control, "--jitter", "0", "--wander", "0", "--rate", "100"}));
    HeadlessHost host(sim.port());
    QVERIFY(host.open());

    const QByteArray ctl = control.toUtf8();
    const QByteArray plan = "{\"name\": \"Accuracy 0.5-3 m\", \"frames\": 20, \"settle_s\": 0.3, "
                            "\"limits\": {\"bias_mm\": 20, \"bias_percent\": 1.0, \"std_mm\": 5}, \"steps\": [\n"
                            "{\"reference_mm\": 500, \"command\": \"echo distance 500 > '" + ctl + "'\"},\n"
                            "{\"reference_mm\": 1000, \"command\": \"echo distance 1000 > '" + ctl + "'\"},\n"
                            "{\"reference_mm\": 2000, \"command\": \"printf 'distance 2000\\\\nbias 60\\\\n' > '" + ctl + "'\"},\n"
                            "{\"reference_mm\": 3000, \"command\": \"printf 'bias 0\\\\ndistance 3000\\\\n' > '" + ctl + "'\"}]}";
    PlanError error;
    const auto parsed = parsePlan(plan, &error);
    QVERIFY(parsed);
    TestRunner runner(host.net, host.pipeline.feed());
    runner.setPace(TestRunner::Pace::Commands);

    PgCluster pg;
    QString pgError;
    QVERIFY2(pg.start(&pgError) && pg.createDatabase("runs", &pgError), qPrintable(pgError));
    const auto server = ResultsLocation::parse(pg.url("runs"), &pgError);
    QVERIFY2(server, qPrintable(pgError));
    RunSession::Outputs toFile;
    toFile.results = toFile.local = ResultsLocation::sqliteFile(dir.filePath("results.sqlite"));
    toFile.reportFolder = dir.filePath("reports");
    toFile.lotCsv = dir.filePath("results.csv");
    RunSession::Outputs toServer;
    toServer.results = *server;
    toServer.local = ResultsLocation::sqliteFile(dir.filePath("fallback.sqlite"));
    RunSession fileSession(&runner, toFile);
    RunSession serverSession(&runner, toServer);
    QSignalSpy kept(&serverSession, &RunSession::finished);
    QSignalSpy finished(&runner, &TestRunner::runFinished);
    QSignalSpy waits(&runner, &TestRunner::waitingForOperator);
    QString why;
    QVERIFY2(runner.start(*parsed, plan, &why), qPrintable(why));
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 60000);

    const RunRecord run = finished.at(0).at(0).value<RunRecord>();
    QCOMPARE(waits.count(), 0); // every step has its command
    QCOMPARE(run.unit.unitId, QString("0033002b3538510c20363733"));
    QCOMPARE(run.unit.firmware, QString("1.3.7"));
    QCOMPARE(run.unit.hardware, 2u);
    QCOMPARE(int(run.unit.bvd), 0x5A);
    QCOMPARE(int(run.steps.size()), 4);
    const double means[] = {500, 1000, 2060, 3000};
    const double bounds[] = {25, 30, 40, 50};
    for (int i = 0; i < 4; ++i) {
        const StepResult &s = run.steps[size_t(i)];
        QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
        QCOMPARE(s.framesSeen, qint64(20));
        QCOMPARE(s.meanMm, means[i]);
        QCOMPARE(s.stdMm, 0.0);
        QCOMPARE(s.bias.bound, bounds[i]);
        QCOMPARE(s.blankedPercent, 0.0);
        QCOMPARE(s.verdict, i == 2 ? Verdict::Fail : Verdict::Pass);
    }
    QCOMPARE(run.steps[2].bias.outcome, Outcome::Fail);
    QCOMPARE(run.steps[2].biasMm, 60.0);
    QCOMPARE(run.verdict, Verdict::Fail);
    QVERIFY(host.net->lease().isFree());
    QVERIFY(sim.isRunning());

    QTRY_VERIFY_WITH_TIMEOUT(kept.count() == 1, 10000);
    QVERIFY2(serverSession.outcome().storeNotice.isEmpty(), qPrintable(serverSession.outcome().storeNotice));
    for (const ResultsLocation &where : {toFile.results, *server}) {
        const auto runs = storedRuns(where);
        QCOMPARE(int(runs.size()), 1);
        QCOMPARE(runs[0].verdict, Verdict::Fail);
        QCOMPARE(runs[0].unit.unitId, run.unit.unitId);
        QCOMPARE(int(runs[0].steps.size()), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(runs[0].steps[size_t(i)].meanMm, means[i]);
            QCOMPARE(runs[0].steps[size_t(i)].verdict, run.steps[size_t(i)].verdict);
        }
    }
    QVERIFY(!QFile::exists(toServer.local.filePath()));
    const RunSession::Outcome &files = fileSession.outcome();
    QVERIFY2(files.reportErrors.isEmpty(), qPrintable(files.reportErrors.join(QLatin1Char('\n'))));
    QCOMPARE(files.reports.size(), 2);
    for (const QString &report : files.reports)
        QVERIFY(QFileInfo(report).size() > 1000);
    QFile lot(files.lotCsv);
    QVERIFY(lot.open(QIODevice::ReadOnly));
    QCOMPARE(lot.readAll().count('\n'), 2);
}

QTEST_MAIN(tst_E2eTestRun)
#include "tst_e2e_test_run.moc"
