#include "results/ResultsReader.h"
#include "runsession/RunSession.h"
#include "testrun/TestPlanJson.h"
#include "testrun/TestRunner.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/SensorPeer.h"
#include "tests/support/StoredRuns.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestRun;
using Point = SensorPeer::Point;
Q_DECLARE_METATYPE(TestRun::RunRecord)
Q_DECLARE_METATYPE(TestRun::StepResult)

namespace {

// 500 mm on target, 1000 mm 25 mm off (beyond 20 mm), three frames each.
const QByteArray kPlan = "{\"name\": \"two\", \"frames\": 3, \"limits\": {\"bias_mm\": 20}, \"steps\": "
                         "[{\"reference_mm\": 500}, {\"reference_mm\": 1000}]}";

struct SessionBench {
    QTemporaryDir dir;
    PtyPair pty;
    SensorPeer peer {pty};
    HeadlessHost host {pty.portName()};
    TestRunner runner {host.net, host.pipeline.feed()};
    RunSession::Outputs outputs;
    std::unique_ptr<RunSession> session;
    std::unique_ptr<QSignalSpy> finished;

    explicit SessionBench(TestRunner::Pace pace = TestRunner::Pace::Unattended)
    {
        TestRunner::Timing timing;
        timing.answerMs = 300;
        timing.drainMs = 20;
        runner.setTiming(timing);
        runner.setPace(pace);
        peer.points = [](int session, int) {
            return std::vector<Point> {Point {qint16(session == 0 ? 500 : 1025), 50, 40}};
        };
        outputs.results = ResultsLocation::sqliteFile(dir.filePath("results.sqlite"));
        outputs.local = outputs.results;
        outputs.reportFolder = dir.filePath("reports");
        outputs.lotCsv = dir.filePath("lot.csv");
    }
    bool start(const QByteArray &json = kPlan)
    {
        session = std::make_unique<RunSession>(&runner, outputs);
        finished = std::make_unique<QSignalSpy>(session.get(), &RunSession::finished);
        const auto plan = parsePlan(json);
        return plan && host.open() && runner.start(*plan, json);
    }
    std::vector<RunRecord> stored(const ResultsLocation &where) const { return storedRuns(where); }
    QStringList lotLines() const
    {
        QFile file(outputs.lotCsv);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
};

} // namespace

class tst_RunSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void finishedRunIsStoredReportedAndSummedUp();
    void stepsAreStoredAsTheyFinishAndARetryReplacesOne();
    void lostLinkIsStoredIncomplete();
    void unreachableServerSendsTheRunToTheLocalFile();
    void unidentifiedUnitLeavesNothing();
    void outputsComeFromTheSettings_data();
    void outputsComeFromTheSettings();
};

void tst_RunSession::initTestCase()
{
    qRegisterMetaType<RunRecord>();
    qRegisterMetaType<StepResult>();
}

void tst_RunSession::finishedRunIsStoredReportedAndSummedUp()
{
    SessionBench b;
    QVERIFY(b.start());
    QTRY_VERIFY_WITH_TIMEOUT(b.finished->count() == 1, 20000);
    const RunSession::Outcome &outcome = b.session->outcome();
    QVERIFY2(outcome.stored, qPrintable(outcome.storeError));
    QVERIFY(outcome.storeNotice.isEmpty());
    QCOMPARE(outcome.storedIn, b.outputs.results.displayText());

    const auto runs = b.stored(b.outputs.results);
    QCOMPARE(int(runs.size()), 1);
    const RunRecord &run = runs[0];
    QCOMPARE(run.runId, b.session->record().runId);
    QCOMPARE(run.verdict, Verdict::Fail);
    QCOMPARE(run.unit.unitId, QString("0033002b3538510c20363733"));
    QCOMPARE(run.planJson, QString::fromUtf8(kPlan));
    QVERIFY(run.finishedUtc.isValid());
    QCOMPARE(int(run.steps.size()), 2);
    QCOMPARE(run.steps[0].meanMm, 500.0);
    QCOMPARE(run.steps[0].verdict, Verdict::Pass);
    QCOMPARE(run.steps[1].meanMm, 1025.0);
    QCOMPARE(run.steps[1].bias.outcome, Outcome::Fail);

    QCOMPARE(outcome.reports.size(), 2);
    QVERIFY2(outcome.reportErrors.isEmpty(), qPrintable(outcome.reportErrors.join('\n')));
    QFile html(outcome.reports.at(0));
    QVERIFY(outcome.reports.at(0).endsWith(".html") && html.open(QIODevice::ReadOnly));
    QVERIFY(html.readAll().contains("0033002b3538510c20363733"));
    QFile pdf(outcome.reports.at(1));
    QVERIFY(outcome.reports.at(1).endsWith(".pdf") && pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");

    QCOMPARE(outcome.lotCsv, b.outputs.lotCsv);
    const QStringList lines = b.lotLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[1].contains(",0033002b3538510c20363733,two,FAIL,"), qPrintable(lines[1]));
}

void tst_RunSession::stepsAreStoredAsTheyFinishAndARetryReplacesOne()
{
    SessionBench b(TestRunner::Pace::Operator);
    b.peer.points = [](int session, int) {
        return std::vector<Point> {Point {qint16(session == 0 ? 530 : session == 1 ? 500 : 1000), 50, 40}};
    };
    QSignalSpy waits(&b.runner, &TestRunner::waitingForOperator);
    QVERIFY(b.start());
    QTRY_VERIFY_WITH_TIMEOUT(waits.count() == 1, 10000);
    b.runner.proceed();
    QTRY_VERIFY_WITH_TIMEOUT(waits.count() == 2, 10000);

    auto runs = b.stored(b.outputs.results);
    QCOMPARE(int(runs.size()), 1);
    QCOMPARE(runs[0].verdict, Verdict::Incomplete); // not finished yet
    QVERIFY(!runs[0].finishedUtc.isValid());
    QCOMPARE(int(runs[0].steps.size()), 1);
    QCOMPARE(runs[0].steps[0].meanMm, 530.0);

    b.runner.retryStep();
    QTRY_VERIFY_WITH_TIMEOUT(waits.count() == 3, 10000);
    runs = b.stored(b.outputs.results);
    QCOMPARE(int(runs[0].steps.size()), 1);
    QCOMPARE(runs[0].steps[0].meanMm, 500.0);
    QCOMPARE(runs[0].steps[0].verdict, Verdict::Pass);

    b.runner.proceed();
    QTRY_VERIFY_WITH_TIMEOUT(waits.count() == 4, 10000);
    b.runner.proceed();
    QTRY_VERIFY_WITH_TIMEOUT(b.finished->count() == 1, 10000);
    runs = b.stored(b.outputs.results);
    QCOMPARE(runs[0].verdict, Verdict::Pass);
    QCOMPARE(int(runs[0].steps.size()), 2);
}

// The link goes in the second step: the run is kept as INCOMPLETE with the
// step's reason, and still reported (here one PDF, named by the caller).
void tst_RunSession::lostLinkIsStoredIncomplete()
{
    SessionBench b;
    b.outputs.reportFolder.clear();
    b.outputs.reportFile = b.dir.filePath("run.pdf");
    const QByteArray plan = "{\"name\": \"cut\", \"frames\": 3, \"limits\": {\"bias_mm\": 20}, \"steps\": "
                            "[{\"reference_mm\": 500}, {\"reference_mm\": 1000, \"frames\": 100000}]}";
    QVERIFY(b.start(plan));
    QTRY_VERIFY_WITH_TIMEOUT(b.runner.currentStep() == 1 && b.runner.progress().figures.framesSeen >= 5, 10000);
    b.pty.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(b.finished->count() == 1, 10000);

    const auto runs = b.stored(b.outputs.results);
    QCOMPARE(int(runs.size()), 1);
    QCOMPARE(runs[0].verdict, Verdict::Incomplete);
    QVERIFY(runs[0].finishedUtc.isValid());
    QCOMPARE(int(runs[0].steps.size()), 2);
    QCOMPARE(runs[0].steps[0].verdict, Verdict::Pass);
    QCOMPARE(runs[0].steps[1].verdict, Verdict::Incomplete);
    QCOMPARE(runs[0].steps[1].error, QString("连接已断开（串口已关闭）"));
    QCOMPARE(b.session->outcome().reports, QStringList {b.outputs.reportFile});
    QVERIFY(QFile::exists(b.outputs.reportFile));
    QVERIFY(b.lotLines().value(1).contains(",cut,INCOMPLETE,"));
}

void tst_RunSession::unreachableServerSendsTheRunToTheLocalFile()
{
    SessionBench b;
    QString why;
    const auto server = ResultsLocation::parse("postgresql://nobody@127.0.0.1:1/runs?connect_timeout=2", &why);
    QVERIFY2(server, qPrintable(why));
    b.outputs.results = *server;
    b.outputs.local = ResultsLocation::sqliteFile(b.dir.filePath("local.sqlite"));
    QVERIFY(b.start());
    QSignalSpy notices(b.session.get(), &RunSession::storeNotice);
    QTRY_VERIFY_WITH_TIMEOUT(b.finished->count() == 1, 30000);
    QCOMPARE(notices.count(), 1);
    QVERIFY(!b.session->outcome().storeNotice.isEmpty());
    QVERIFY(b.session->outcome().stored);
    QCOMPARE(b.session->outcome().storedIn, b.outputs.local.displayText());
    const auto runs = b.stored(b.outputs.local);
    QCOMPARE(int(runs.size()), 1);
    QCOMPARE(runs[0].verdict, Verdict::Fail);
    QCOMPARE(int(runs[0].steps.size()), 2);
}

void tst_RunSession::unidentifiedUnitLeavesNothing()
{
    SessionBench b;
    b.peer.deviceInfo = SensorPeer::Answer::Silent;
    QSignalSpy notStarted(&b.runner, &TestRunner::identificationFailed);
    QVERIFY(b.start());
    QTRY_VERIFY_WITH_TIMEOUT(notStarted.count() == 1, 10000);
    QTest::qWait(100);
    QCOMPARE(b.finished->count(), 0);
    QVERIFY(!QFile::exists(b.outputs.results.filePath()));
    QVERIFY(!QFile::exists(b.outputs.lotCsv));
    QVERIFY(!QDir(b.outputs.reportFolder).exists());
}

void tst_RunSession::outputsComeFromTheSettings_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("csv");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("storedIn");
    QTest::newRow("defaults") << "" << "" << true << "results.sqlite";
    QTest::newRow("a shared server") << "postgresql://bench@results.lab:5432/accuracy" << "lot-7.csv" << true
                                     << "postgresql://bench@results.lab:5432/accuracy";
    QTest::newRow("a misspelt scheme") << "postgressql://bench@results.lab/accuracy" << "" << false << "";
}

void tst_RunSession::outputsComeFromTheSettings()
{
    QFETCH(QString, database);
    QFETCH(QString, csv);
    QFETCH(bool, valid);
    QFETCH(QString, storedIn);
    QTemporaryDir dir;
    QSettings settings(dir.filePath("t.ini"), QSettings::IniFormat);
    if (!database.isEmpty())
        settings.setValue("ResultsDatabase", database);
    if (!csv.isEmpty())
        settings.setValue("ResultsCsv", csv);
    QString why;
    const auto outputs = RunSession::Outputs::fromSettings(settings, &why);
    QCOMPARE(bool(outputs), valid);
    if (!valid) {
        QVERIFY(!why.isEmpty());
        return;
    }
    QVERIFY2(outputs->results.displayText().endsWith(storedIn), qPrintable(outputs->results.displayText()));
    QCOMPARE(QFileInfo(outputs->lotCsv).fileName(), csv.isEmpty() ? QString("results.csv") : csv);
}

QTEST_MAIN(tst_RunSession)
#include "tst_run_session.moc"
