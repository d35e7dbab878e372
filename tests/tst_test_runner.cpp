#include "testrun/TestPlanJson.h"
#include "testrun/TestRunner.h"
#include "tests/support/HeadlessHost.h"
#include "tests/support/SensorPeer.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace TestRun;
using Point = SensorPeer::Point;
Q_DECLARE_METATYPE(TestRun::RunRecord)
Q_DECLARE_METATYPE(TestRun::StepResult)
Q_DECLARE_METATYPE(TestRun::StepProgress)
Q_DECLARE_METATYPE(TestRun::Verdict)
Q_DECLARE_METATYPE(TestRun::Outcome)

namespace {

// One-point frames whose distances cycle through `distances` from each
// Start on, with the confidences cycling alongside.
std::function<std::vector<Point>(int, int)> cycling(std::vector<std::vector<qint16>> perSession,
                                                    std::vector<quint8> confidences = {50})
{
    return [perSession, confidences](int session, int frame) {
        const auto &d = perSession[std::min(size_t(session), perSession.size() - 1)];
        return std::vector<Point> {
            Point {d[size_t(frame) % d.size()], confidences[size_t(frame) % confidences.size()], 40}};
    };
}

struct RunBench {
    PtyPair pty;
    SensorPeer peer {pty};
    HeadlessHost host {pty.portName()};
    TestRunner runner {host.net, host.pipeline.feed()};
    QSignalSpy finished {&runner, &TestRunner::runFinished};
    QSignalSpy notStarted {&runner, &TestRunner::identificationFailed};
    QSignalSpy steps {&runner, &TestRunner::stepFinished};
    QSignalSpy waits {&runner, &TestRunner::waitingForOperator};
    QString why;

    explicit RunBench(TestRunner::Pace pace = TestRunner::Pace::Unattended)
    {
        TestRunner::Timing timing;
        timing.answerMs = 300;
        timing.firstFrameMs = 500;
        timing.frameGapMs = 500;
        timing.drainMs = 20;
        timing.progressMs = 10;
        runner.setTiming(timing);
        runner.setPace(pace);
    }
    bool start(const QByteArray &json)
    {
        PlanError error;
        const auto plan = parsePlan(json, &error);
        return plan && host.open() && runner.start(*plan, json, &why);
    }
    bool ended() const { return finished.count() + notStarted.count() > 0; }
    RunRecord record() const { return finished.at(0).at(0).value<RunRecord>(); }
    bool collecting(qint64 frames) const
    {
        return runner.phase() == TestRunner::Phase::Collecting && runner.progress().figures.framesSeen >= frames;
    }
};

QByteArray onePlan(const QByteArray &limits, int frames = 3, int minConfidence = 0)
{
    return "{\"name\": \"one\", \"frames\": " + QByteArray::number(frames)
        + ", \"settle_s\": 0, \"min_confidence\": " + QByteArray::number(minConfidence) + ", \"limits\": {" + limits
        + "}, \"steps\": [{\"reference_mm\": 1000}]}";
}

bool processGone(qint64 pid)
{
    return ::kill(pid_t(pid), 0) != 0;
}

} // namespace

class tst_TestRunner : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void limitsAreJudgedExactly_data();
    void limitsAreJudgedExactly();
    void blankedShareIsJudgedExactly_data();
    void blankedShareIsJudgedExactly();
    void runGivesExactFiguresAndVerdicts();
    void unansweredIdentificationDoesNotStartTheRun();
    void interruptionEndsTheRunIncomplete_data();
    void interruptionEndsTheRunIncomplete();
    void failedCommandIsAStepError_data();
    void failedCommandIsAStepError();
    void operatorRetriesAStepAndItsNewResultCounts();
    void startIsRefusedWithAReason();
    void destroyingARunningRunnerStopsAndGivesTheLinkBack();
};

void tst_TestRunner::initTestCase()
{
    qRegisterMetaType<RunRecord>();
    qRegisterMetaType<StepResult>();
    qRegisterMetaType<StepProgress>();
}

// Three frames of 1018, 1020 and 1022 mm at 1000 mm: mean 1020, bias 20,
// standard deviation 2, each judged at and just beyond its limit.
void tst_TestRunner::limitsAreJudgedExactly_data()
{
    QTest::addColumn<QByteArray>("limits");
    QTest::addColumn<std::vector<qint16>>("distances");
    QTest::addColumn<std::vector<quint8>>("confidences");
    QTest::addColumn<int>("minConfidence");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("std");
    QTest::addColumn<int>("kept");
    QTest::addColumn<double>("biasBound");
    const std::vector<qint16> around1020 {1018, 1020, 1022};
    const std::vector<quint8> confident {50};
    QTest::newRow("bias exactly at bias_mm") << QByteArray("\"bias_mm\": 20") << around1020 << confident << 0
                                             << Verdict::Pass << 1020.0 << 2.0 << 3 << 20.0;
    QTest::newRow("mm and percent add") << QByteArray("\"bias_mm\": 10, \"bias_percent\": 1.0") << around1020
                                        << confident << 0 << Verdict::Pass << 1020.0 << 2.0 << 3 << 20.0;
    QTest::newRow("one step over") << QByteArray("\"bias_mm\": 10, \"bias_percent\": 0.99") << around1020
                                   << confident << 0 << Verdict::Fail << 1020.0 << 2.0 << 3 << 19.9;
    QTest::newRow("below the reference, at the limit")
        << QByteArray("\"bias_mm\": 20") << std::vector<qint16> {978, 980, 982} << confident << 0 << Verdict::Pass
        << 980.0 << 2.0 << 3 << 20.0;
    QTest::newRow("deviation exactly at std_mm") << QByteArray("\"std_mm\": 2") << around1020 << confident << 0
                                                 << Verdict::Pass << 1020.0 << 2.0 << 3 << 0.0;
    QTest::newRow("deviation just over") << QByteArray("\"std_mm\": 1.999") << around1020 << confident << 0
                                         << Verdict::Fail << 1020.0 << 2.0 << 3 << 0.0;
    // The first frame falls below the floor: 1020 and 1022 are left.
    QTest::newRow("unconfident frame not kept") << QByteArray("\"bias_mm\": 20") << around1020
                                                << std::vector<quint8> {10, 50, 50} << 20 << Verdict::Fail
                                                << 1021.0 << std::sqrt(2.0) << 2 << 20.0;
}

void tst_TestRunner::limitsAreJudgedExactly()
{
    QFETCH(QByteArray, limits);
    QFETCH(std::vector<qint16>, distances);
    QFETCH(std::vector<quint8>, confidences);
    QFETCH(int, minConfidence);
    QFETCH(Verdict, verdict);
    QFETCH(double, mean);
    QFETCH(double, std);
    QFETCH(int, kept);
    QFETCH(double, biasBound);
    RunBench b;
    b.peer.points = cycling({distances}, confidences);
    QVERIFY2(b.start(onePlan(limits, 3, minConfidence)), qPrintable(b.why));
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    const RunRecord run = b.record();
    QCOMPARE(int(run.steps.size()), 1);
    const StepResult &s = run.steps[0];
    QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
    QCOMPARE(s.framesSeen, qint64(3));
    QCOMPARE(s.framesKept, qint64(kept));
    QCOMPARE(s.meanMm, mean);
    QCOMPARE(s.biasMm, mean - 1000);
    QCOMPARE(s.stdMm, std);
    QCOMPARE(s.verdict, verdict);
    if (biasBound > 0)
        QCOMPARE(s.bias.bound, biasBound);
    QCOMPARE(run.verdict, verdict);
}

// Spread frames of three noisy points: the quality filter blanks the eighth
// frame on, so 13 of 20 frames, exactly 65 %.
void tst_TestRunner::blankedShareIsJudgedExactly_data()
{
    QTest::addColumn<QByteArray>("limit");
    QTest::addColumn<Outcome>("outcome");
    QTest::newRow("at the limit") << QByteArray("65") << Outcome::Pass;
    QTest::newRow("just under it") << QByteArray("64.9") << Outcome::Fail;
}

void tst_TestRunner::blankedShareIsJudgedExactly()
{
    QFETCH(QByteArray, limit);
    QFETCH(Outcome, outcome);
    RunBench b;
    b.peer.points = [](int, int) { return std::vector<Point> {{1000, 50, 100}, {1300, 50, 100}, {700, 50, 100}}; };
    QVERIFY2(b.start(onePlan("\"blanked_percent\": " + limit + ", \"bias_mm\": 0", 20)), qPrintable(b.why));
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    const StepResult s = b.record().steps.at(0);
    QCOMPARE(s.blankedPercent, 65.0);
    QCOMPARE(s.blanked.outcome, outcome);
    QCOMPARE(s.meanMm, 1000.0); // the first point, blanked or not
    QCOMPARE(s.bias.outcome, Outcome::Pass);
}

// Three steps, the second biased beyond its limit; a command before the
// third. Stop first, then Start and Stop around each step.
void tst_TestRunner::runGivesExactFiguresAndVerdicts()
{
    QTemporaryDir dir;
    const QString marker = dir.filePath("moved");
    const QByteArray plan = "{\"name\": \"three\", \"frames\": 4, \"settle_s\": 0, \"limits\": {\"bias_mm\": 20, "
                            "\"std_mm\": 2}, \"steps\": [{\"reference_mm\": 500}, {\"reference_mm\": 1000}, "
                            "{\"reference_mm\": 2000, \"command\": \"echo 2000 > '"
        + marker.toUtf8() + "'\"}]}";
    RunBench b;
    b.peer.points = cycling({{501, 503}, {1025, 1027}, {1997, 1999}});
    QSignalSpy progress(&b.runner, &TestRunner::progressChanged);
    QVERIFY2(b.start(plan), qPrintable(b.why));
    QCOMPARE(b.host.net->lease().holder(), LinkLease::Holder::TestRun);
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 15000);

    const RunRecord run = b.record();
    QCOMPARE(run.verdict, Verdict::Fail);
    QCOMPARE(run.unit.unitId, QString("0033002b3538510c20363733"));
    QCOMPARE(run.unit.firmware, QString("1.2.3"));
    QCOMPARE(run.planName, QString("three"));
    QCOMPARE(run.planJson, QString::fromUtf8(plan));
    QCOMPARE(run.toolVersion, QString("1.0.0"));
    QVERIFY(run.startedUtc.isValid() && run.startedUtc <= run.finishedUtc);
    QCOMPARE(int(run.steps.size()), 3);
    const double means[] = {502, 1026, 1998};
    const Verdict verdicts[] = {Verdict::Pass, Verdict::Fail, Verdict::Pass};
    for (int i = 0; i < 3; ++i) {
        const StepResult &s = run.steps[size_t(i)];
        QCOMPARE(s.index, i);
        QCOMPARE(s.framesSeen, qint64(4));
        QCOMPARE(s.meanMm, means[i]);
        QCOMPARE(s.stdMm, std::sqrt(4.0 / 3.0));
        QCOMPARE(s.minMm, means[i] - 1);
        QCOMPARE(s.maxMm, means[i] + 1);
        QCOMPARE(s.verdict, verdicts[i]);
    }
    QCOMPARE(run.steps[1].bias.outcome, Outcome::Fail);
    QCOMPARE(run.steps[1].std.outcome, Outcome::Pass);
    QVERIFY(QFile::exists(marker));
    QVERIFY(b.runner.linearity().fitted());
    QCOMPARE(b.runner.linearity().points, 3);

    QCOMPARE(b.peer.starts, 3);
    QCOMPARE(b.peer.stops, 4);
    QCOMPARE(int(b.peer.received.front().cmd), 0x0F);
    QVERIFY(!b.peer.streaming());
    QVERIFY(b.host.net->lease().isFree());
    QCOMPARE(b.runner.phase(), TestRunner::Phase::Finished);
    QCOMPARE(b.steps.count(), 3);
    // The last progress of each step shows all its frames.
    const auto last = progress.last().at(0).value<StepProgress>();
    QCOMPARE(last.step, 2);
    QCOMPARE(last.framesPlanned, qint64(4));
    QCOMPARE(last.figures.framesSeen, qint64(4));
}

void tst_TestRunner::unansweredIdentificationDoesNotStartTheRun()
{
    RunBench b;
    b.peer.deviceInfo = SensorPeer::Answer::Silent;
    QVERIFY(b.start(onePlan("\"bias_mm\": 20")));
    QCOMPARE(b.notStarted.count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    QCOMPARE(b.finished.count(), 0);
    QCOMPARE(b.notStarted.at(0).at(0).toString(), QString("设备信息请求 (0x14) 在 300 ms 内无应答（共发送 2 次）"));
    QCOMPARE(b.peer.starts, 0);
    QCOMPARE(b.steps.count(), 0);
    QVERIFY(b.host.net->lease().isFree());
    QVERIFY(!b.runner.isRunning());
}

enum class Interruption { LinkLost, ForeignStop, StartUnanswered, FramesStop, Abort, AbortWhileWaiting };
Q_DECLARE_METATYPE(Interruption)

void tst_TestRunner::interruptionEndsTheRunIncomplete_data()
{
    QTest::addColumn<Interruption>("how");
    QTest::addColumn<QString>("error");
    QTest::newRow("link lost") << Interruption::LinkLost << "连接已断开（串口已关闭）";
    QTest::newRow("stop sent by another") << Interruption::ForeignStop << "采集被另一条停止命令中断";
    QTest::newRow("start unanswered") << Interruption::StartUnanswered << "开始命令 (0x02) 后 500 ms 内没有测量帧";
    QTest::newRow("frames stop coming") << Interruption::FramesStop << "超过 500 ms 没有收到测量帧";
    QTest::newRow("abort while collecting") << Interruption::Abort << "操作员中止";
    QTest::newRow("abort between steps") << Interruption::AbortWhileWaiting << "";
}

void tst_TestRunner::interruptionEndsTheRunIncomplete()
{
    QFETCH(Interruption, how);
    QFETCH(QString, error);
    const bool waiting = how == Interruption::AbortWhileWaiting;
    RunBench b(waiting ? TestRunner::Pace::Operator : TestRunner::Pace::Unattended);
    b.peer.answerStart = how != Interruption::StartUnanswered;
    if (how == Interruption::FramesStop)
        b.peer.framesPerSession = 5;
    const QByteArray plan = "{\"name\": \"two\", \"frames\": " + QByteArray(waiting ? "3" : "100000")
        + ", \"limits\": {\"bias_mm\": 5}, \"steps\": [{\"reference_mm\": 1000}, {\"reference_mm\": 2000}]}";
    QVERIFY2(b.start(plan), qPrintable(b.why));

    switch (how) {
    case Interruption::LinkLost:
        QTRY_VERIFY_WITH_TIMEOUT(b.collecting(5), 10000);
        b.pty.closeMaster();
        break;
    case Interruption::ForeignStop: {
        QTRY_VERIFY_WITH_TIMEOUT(b.collecting(5), 10000);
        const quint8 zero[4] = {};
        QVERIFY(b.host.net->sendData(0, 0x0F, zero, 4, 0));
        break;
    }
    case Interruption::Abort:
        QTRY_VERIFY_WITH_TIMEOUT(b.collecting(5), 10000);
        b.runner.abort();
        break;
    case Interruption::AbortWhileWaiting:
        QTRY_VERIFY_WITH_TIMEOUT(b.waits.count() == 1, 10000);
        b.runner.proceed();
        QTRY_VERIFY_WITH_TIMEOUT(b.waits.count() == 2, 10000);
        QCOMPARE(b.runner.lastStep(), 0);
        QCOMPARE(b.runner.nextStep(), 1);
        b.runner.abort();
        break;
    default: break;
    }
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    const RunRecord run = b.record();
    QCOMPARE(run.verdict, Verdict::Incomplete);
    QCOMPARE(int(run.steps.size()), 1);
    QCOMPARE(run.steps[0].error, error);
    QCOMPARE(run.steps[0].verdict, waiting ? Verdict::Pass : Verdict::Incomplete);
    QVERIFY(run.finishedUtc.isValid());
    QVERIFY(b.host.net->lease().isFree());
    QCOMPARE(b.runner.phase(), TestRunner::Phase::Finished);
    if (how != Interruption::LinkLost)
        QTRY_VERIFY_WITH_TIMEOUT(!b.peer.streaming(), 10000);
    QCOMPARE(b.peer.starts, 1);
}

void tst_TestRunner::failedCommandIsAStepError_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("error");
    QTest::newRow("non-zero exit") << "echo no rail; exit 3" << "命令以退出码 3 结束（最后输出：no rail）";
    QTest::newRow("killed by a signal") << "kill -9 $$" << "命令被信号终止";
    // The shell's child is killed with it: its whole group goes.
    QTest::newRow("runs past its time") << "sleep 30 & echo $! > PIDFILE; wait"
                                        << "命令在 0.5 s 内未结束，已终止";
}

void tst_TestRunner::failedCommandIsAStepError()
{
    QFETCH(QString, command);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("pid");
    const bool leavesAChild = command.contains("PIDFILE");
    command.replace("PIDFILE", pidFile);
    RunBench b;
    const QByteArray plan = "{\"name\": \"rail\", \"frames\": 3, \"command_timeout_s\": 0.5, \"limits\": "
                            "{\"bias_mm\": 5}, \"steps\": [{\"reference_mm\": 1000, \"command\": \""
        + command.toUtf8() + "\"}, {\"reference_mm\": 2000}]}";
    QVERIFY2(b.start(plan), qPrintable(b.why));
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    const RunRecord run = b.record();
    QCOMPARE(run.verdict, Verdict::Incomplete);
    QCOMPARE(int(run.steps.size()), 1);
    QCOMPARE(run.steps[0].error, error);
    QCOMPARE(run.steps[0].verdict, Verdict::Incomplete);
    QCOMPARE(b.peer.starts, 0);
    QVERIFY(b.host.net->lease().isFree());
    if (leavesAChild) {
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const qint64 pid = file.readAll().trimmed().toLongLong();
        QVERIFY(pid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), 10000);
    }
}

// Paced by the operator: the first step comes out biased, its retry on
// target, and only the retry counts. A failed command can be retried too.
void tst_TestRunner::operatorRetriesAStepAndItsNewResultCounts()
{
    QTemporaryDir dir;
    const QString once = dir.filePath("once");
    RunBench b(TestRunner::Pace::Operator);
    b.peer.points = cycling({{1025}, {1000}, {2000}});
    const QByteArray plan = "{\"name\": \"retry\", \"frames\": 3, \"limits\": {\"bias_mm\": 5}, \"steps\": "
                            "[{\"reference_mm\": 1000}, {\"reference_mm\": 2000, \"command\": \"test -e '"
        + once.toUtf8() + "' || { touch '" + once.toUtf8() + "'; exit 1; }\"}]}";
    QVERIFY2(b.start(plan), qPrintable(b.why));
    QTRY_VERIFY_WITH_TIMEOUT(b.waits.count() == 1, 10000);
    QCOMPARE(b.runner.nextStep(), 0);
    QCOMPARE(b.runner.lastStep(), -1);
    QCOMPARE(TestRunner::targetPrompt(b.runner.steps().at(0).referenceMm),
             QString("将目标置于 1000 mm 处，然后按 继续"));
    b.runner.retryStep(); // nothing to retry yet
    QCOMPARE(b.runner.phase(), TestRunner::Phase::WaitingForOperator);

    b.runner.proceed();
    QTRY_VERIFY_WITH_TIMEOUT(b.waits.count() == 2, 10000);
    QCOMPARE(b.steps.last().at(0).value<StepResult>().verdict, Verdict::Fail);
    QCOMPARE(b.runner.lastStep(), 0);
    b.runner.retryStep();
    QTRY_VERIFY_WITH_TIMEOUT(b.waits.count() == 3, 10000);
    QCOMPARE(b.steps.last().at(0).value<StepResult>().verdict, Verdict::Pass);
    QCOMPARE(int(b.runner.record().steps.size()), 1);

    b.runner.proceed(); // the command fails the first time
    QTRY_VERIFY_WITH_TIMEOUT(b.waits.count() == 4, 10000);
    QCOMPARE(b.runner.record().steps.at(1).error, QString("命令以退出码 1 结束"));
    QCOMPARE(b.runner.lastStep(), 1);
    QCOMPARE(b.runner.nextStep(), -1);
    b.runner.retryStep();
    QTRY_VERIFY_WITH_TIMEOUT(b.waits.count() == 5, 10000);
    QCOMPARE(b.runner.nextStep(), -1);
    QCOMPARE(b.finished.count(), 0);
    b.runner.proceed();
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);

    const RunRecord run = b.record();
    QCOMPARE(run.verdict, Verdict::Pass);
    QCOMPARE(int(run.steps.size()), 2);
    QCOMPARE(run.steps[0].meanMm, 1000.0);
    QCOMPARE(run.steps[1].meanMm, 2000.0);
    QVERIFY(run.steps[1].error.isEmpty());
    QCOMPARE(b.peer.starts, 3);
    QVERIFY(b.host.net->lease().isFree());
}

void tst_TestRunner::startIsRefusedWithAReason()
{
    RunBench b;
    QVERIFY(b.host.open());
    PlanError error;
    const auto plan = parsePlan(onePlan("\"bias_mm\": 20"), &error);
    QVERIFY(plan);
    QString why;

    TestPlan noLimits = *plan;
    noLimits.limits = Limits();
    QVERIFY(!b.runner.start(noLimits, {}, &why));
    QVERIFY2(why.contains("bias_mm") || why.contains("limits"), qPrintable(why));

    QVERIFY(b.host.net->lease().tryAcquire(LinkLease::Holder::Transfer));
    QVERIFY(!b.runner.start(*plan, {}, &why));
    QCOMPARE(why, QString("测试无法开始：命令 0x0f 未发送：下载正在进行"));
    b.host.net->lease().release(LinkLease::Holder::Transfer);

    QVERIFY(b.runner.start(*plan, {}, &why));
    QVERIFY(!b.runner.start(*plan, {}, &why));
    QCOMPARE(why, QString("已有测试在运行"));
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    QCOMPARE(b.record().planJson, QString::fromUtf8(planToJson(*plan)));
    QVERIFY(b.host.net->lease().isFree());
}

void tst_TestRunner::destroyingARunningRunnerStopsAndGivesTheLinkBack()
{
    PtyPair pty;
    SensorPeer peer(pty);
    HeadlessHost host(pty.portName());
    QVERIFY(host.open());
    auto *runner = new TestRunner(host.net, host.pipeline.feed());
    runner->setPace(TestRunner::Pace::Unattended);
    const auto plan = parsePlan(onePlan("\"bias_mm\": 20", 100000));
    QVERIFY(runner->start(*plan));
    QTRY_VERIFY_WITH_TIMEOUT(runner->phase() == TestRunner::Phase::Collecting, 10000);
    delete runner;
    QVERIFY(host.net->lease().isFree());
    QTRY_VERIFY_WITH_TIMEOUT(!peer.streaming(), 10000);
}

QTEST_GUILESS_MAIN(tst_TestRunner)
#include "tst_test_runner.moc"
