#include "testrun/TestPlanJson.h"
#include "testrun/TestPlanTexts.h"

#include <QTemporaryDir>
#include <sys/stat.h>
#include <QtTest>

using namespace TestRun;
using Kind = PlanError::Kind;

Q_DECLARE_METATYPE(TestRun::PlanError::Kind)

namespace {

const QByteArray kIssuePlan = R"({
  "name": "Accuracy 0.5-4 m",
  "frames": 500,
  "settle_s": 1.0,
  "quantity": "first",
  "min_confidence": 0,
  "limits": { "bias_mm": 20, "bias_percent": 1.0, "std_mm": 15, "blanked_percent": 1.0, "min_rate_hz": 0 },
  "steps": [
    { "reference_mm": 500 },
    { "reference_mm": 1000, "frames": 1000, "limits": { "std_mm": 10 } },
    { "reference_mm": 4000, "command": "rail-move 4000" }
  ]
})";

// A valid plan with `step` as its only step and `top` added to the plan's keys.
QByteArray plan(const QByteArray &step, const QByteArray &top = QByteArray())
{
    return R"({ "name": "p", "frames": 10, "limits": { "bias_mm": 5 }, )" + top + R"( "steps": [ )" + step + " ] }";
}

} // namespace

class TestPlanTest : public QObject {
    Q_OBJECT

private slots:
    void issueExampleResolvesOverridesLimitByLimit()
    {
        PlanError error;
        const auto p = parsePlan(kIssuePlan, &error);
        QVERIFY2(p, qPrintable(TestPlanTexts::errorText(error)));
        QCOMPARE(p->name, QStringLiteral("Accuracy 0.5-4 m"));
        QCOMPARE(p->commandTimeoutS, 60.0);
        const auto steps = resolveSteps(*p);
        QCOMPARE(int(steps.size()), 3);

        QCOMPARE(steps[0].frames, qint64(500));
        QCOMPARE(steps[0].settleS, 1.0);
        QCOMPARE(steps[0].limits.stdMm, std::optional<double>(15));

        QCOMPARE(steps[1].referenceMm, 1000.0);
        QCOMPARE(steps[1].frames, qint64(1000));
        QCOMPARE(steps[1].limits.stdMm, std::optional<double>(10));
        QCOMPARE(steps[1].limits.biasMm, std::optional<double>(20));
        QCOMPARE(steps[1].limits.biasPercent, std::optional<double>(1.0));
        QCOMPARE(steps[1].limits.minRateHz, std::optional<double>(0));

        QCOMPARE(steps[2].command, QStringLiteral("rail-move 4000"));
        const auto commands = planCommands(*p);
        QCOMPARE(int(commands.size()), 1);
        QCOMPARE(commands[0].stepIndex, 2);
        QCOMPARE(commands[0].referenceMm, 4000.0);
    }

    void stepKeysOverrideThePlans()
    {
        const auto p = parsePlan(plan(R"({ "reference_mm": 700, "frames": 3, "settle_s": 0.5, "quantity": "mean",
                                             "min_confidence": 40, "limits": { "bias_percent": 2 } })",
                                      R"("settle_s": 2, "quantity": "first", "min_confidence": 10, "command_timeout_s": 5,)"));
        QVERIFY(p);
        const ResolvedStep s = resolveStep(*p, 0);
        QCOMPARE(s.frames, qint64(3));
        QCOMPARE(s.settleS, 0.5);
        QCOMPARE(s.quantity, Quantity::FrameMean);
        QCOMPARE(s.minConfidence, 40);
        QCOMPARE(s.limits.biasMm, std::optional<double>(5));
        QCOMPARE(s.limits.biasPercent, std::optional<double>(2));
        QVERIFY(!s.limits.stdMm);
        QCOMPARE(s.commandTimeoutS, 5.0);
    }

    void refusedPlanNamesTheKeyAndTheStep_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("key");

        const QByteArray ok = R"({ "reference_mm": 500 })";
        QTest::newRow("misspelled limit of a step")
            << plan(ok + R"(, { "reference_mm": 900, "limits": { "std_m": 10 } })") << Kind::UnknownKey << 1 << "limits.std_m";
        QTest::newRow("misspelled limit of the plan")
            << QByteArray(R"({ "name": "p", "frames": 5, "limits": { "bias_mn": 5 }, "steps": [ { "reference_mm": 1 } ] })")
            << Kind::UnknownKey << -1 << "limits.bias_mn";
        QTest::newRow("misspelled plan key") << plan(ok, R"("frame": 500,)") << Kind::UnknownKey << -1 << "frame";
        QTest::newRow("misspelled step key") << plan(R"({ "reference": 500 })") << Kind::UnknownKey << 0 << "reference";
        QTest::newRow("timeout is the plan's alone")
            << plan(R"({ "reference_mm": 500, "command_timeout_s": 5 })") << Kind::UnknownKey << 0 << "command_timeout_s";
        QTest::newRow("negative limit of a step")
            << plan(ok + R"(, { "reference_mm": 900, "limits": { "std_mm": -1 } })") << Kind::OutOfRange << 1 << "limits.std_mm";
        QTest::newRow("negative limit of the plan")
            << QByteArray(R"({ "name": "p", "frames": 5, "limits": { "bias_mm": -0.5 }, "steps": [ { "reference_mm": 1 } ] })")
            << Kind::OutOfRange << -1 << "limits.bias_mm";
        QTest::newRow("limit as a text")
            << plan(R"({ "reference_mm": 500, "limits": { "bias_mm": "20" } })") << Kind::WrongType << 0 << "limits.bias_mm";
        QTest::newRow("limit null") << plan(R"({ "reference_mm": 500, "limits": { "std_mm": null } })") << Kind::WrongType << 0
                                    << "limits.std_mm";
        QTest::newRow("limits as a list") << plan(R"({ "reference_mm": 500, "limits": [] })") << Kind::WrongType << 0 << "limits";
        QTest::newRow("reference missing") << plan(ok + R"(, { "frames": 5 })") << Kind::Missing << 1 << "reference_mm";
        QTest::newRow("reference zero") << plan(R"({ "reference_mm": 0 })") << Kind::OutOfRange << 0 << "reference_mm";
        QTest::newRow("reference negative") << plan(R"({ "reference_mm": -500 })") << Kind::OutOfRange << 0 << "reference_mm";
        QTest::newRow("reference beyond 16 bits") << plan(R"({ "reference_mm": 40000 })") << Kind::OutOfRange << 0 << "reference_mm";
        QTest::newRow("zero frames in a step") << plan(R"({ "reference_mm": 5, "frames": 0 })") << Kind::OutOfRange << 0 << "frames";
        QTest::newRow("zero frames in the plan")
            << QByteArray(R"({ "name": "p", "frames": 0, "limits": { "bias_mm": 5 }, "steps": [ { "reference_mm": 1 } ] })")
            << Kind::OutOfRange << -1 << "frames";
        QTest::newRow("fractional frames") << plan(R"({ "reference_mm": 5, "frames": 2.5 })") << Kind::WrongType << 0 << "frames";
        QTest::newRow("frames as a text") << plan(R"({ "reference_mm": 5, "frames": "500" })") << Kind::WrongType << 0 << "frames";
        QTest::newRow("frames nowhere")
            << QByteArray(R"({ "name": "p", "limits": { "bias_mm": 5 }, "steps": [ { "reference_mm": 1, "frames": 3 }, { "reference_mm": 2 } ] })")
            << Kind::Missing << 1 << "frames";
        QTest::newRow("confidence above a byte") << plan(ok, R"("min_confidence": 256,)") << Kind::OutOfRange << -1 << "min_confidence";
        QTest::newRow("confidence that would wrap into a byte")
            << plan(R"({ "reference_mm": 5, "min_confidence": 4294967301 })") << Kind::OutOfRange << 0 << "min_confidence";
        QTest::newRow("unknown quantity") << plan(R"({ "reference_mm": 5, "quantity": "median" })") << Kind::WrongType << 0 << "quantity";
        QTest::newRow("negative settle time") << plan(R"({ "reference_mm": 5, "settle_s": -1 })") << Kind::OutOfRange << 0 << "settle_s";
        QTest::newRow("zero command timeout") << plan(ok, R"("command_timeout_s": 0,)") << Kind::OutOfRange << -1 << "command_timeout_s";
        QTest::newRow("command as a list") << plan(R"({ "reference_mm": 5, "command": ["ls"] })") << Kind::WrongType << 0 << "command";
        QTest::newRow("empty name")
            << QByteArray(R"({ "name": " ", "frames": 5, "limits": { "bias_mm": 5 }, "steps": [ { "reference_mm": 1 } ] })")
            << Kind::Missing << -1 << "name";
        QTest::newRow("no steps key") << QByteArray(R"({ "name": "p", "frames": 5, "limits": { "bias_mm": 5 } })")
                                      << Kind::Missing << -1 << "steps";
        QTest::newRow("empty step list") << plan("") << Kind::NoSteps << -1 << "steps";
        QTest::newRow("step not an object") << plan(ok + ", 500") << Kind::WrongType << 1 << "";
        QTest::newRow("step judging nothing")
            << QByteArray(R"({ "name": "p", "frames": 5, "steps": [ { "reference_mm": 1, "limits": { "bias_mm": 1 } }, { "reference_mm": 2 } ] })")
            << Kind::NoLimits << 1 << "limits";
        QTest::newRow("deviation of one frame")
            << plan(R"({ "reference_mm": 5, "frames": 1, "limits": { "std_mm": 3 } })") << Kind::TooFewFramesForStd << 0
            << "limits.std_mm";
        QTest::newRow("limit given twice in a step")
            << plan(ok + R"(, { "reference_mm": 900, "limits": { "std_mm": 10, "std_mm": 100 } })") << Kind::DuplicateKey << 1
            << "limits.std_mm";
        QTest::newRow("limit given twice, once escaped")
            << plan(R"({ "reference_mm": 900, "limits": { "std_mm": 10, "std\u005fmm": 100 } })") << Kind::DuplicateKey << 0
            << "limits.std_mm";
        QTest::newRow("plan key given twice") << plan(ok, R"("frames": 20,)") << Kind::DuplicateKey << -1 << "frames";
        QTest::newRow("not JSON") << QByteArray(R"({ "name": "p", )") << Kind::NotJson << -1 << "";
        QTest::newRow("a list, not an object") << QByteArray("[]") << Kind::WrongType << -1 << "";
    }

    void refusedPlanNamesTheKeyAndTheStep()
    {
        QFETCH(QByteArray, json);
        QFETCH(Kind, kind);
        QFETCH(int, step);
        QFETCH(QString, key);
        PlanError error;
        QVERIFY(!parsePlan(json, &error));
        QCOMPARE(error.kind, kind);
        QCOMPARE(error.step, step);
        QCOMPARE(error.key, key);
        const QString text = TestPlanTexts::errorText(error);
        QVERIFY2(text.contains(key), qPrintable(text));
        if (step >= 0)
            QVERIFY2(text.contains(QStringLiteral("第 %1 步").arg(step + 1)), qPrintable(text));
    }

    void writtenPlanReadsBackTheSame_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("the issue's plan") << kIssuePlan;
        QTest::newRow("awkward numbers and texts")
            // An ordinary literal: moc misreads escaped quotes in a raw one.
            << QByteArray(
                "{ \"name\": \"Lot \\\"7\\\" 标定 ✓\", \"settle_s\": 0.30000000000000004, \"quantity\": \"mean\",\n"
                "                \"min_confidence\": 255, \"command_timeout_s\": 0.25,\n"
                "                \"limits\": { \"bias_percent\": 0.7, \"min_rate_hz\": 12.5 },\n"
                "                \"steps\": [ { \"reference_mm\": 20.000000000000004, \"frames\": 10000000, \"settle_s\": 0,\n"
                "                             \"quantity\": \"first\", \"min_confidence\": 0, \"limits\": { \"blanked_percent\": 0 },\n"
                "                             \"command\": \"echo distance 1000 > \\\"$SIM\\\"\\n\\tdone\" },\n"
                "                           { \"reference_mm\": 32767, \"frames\": 2, \"limits\": { \"bias_mm\": 0, \"std_mm\": 1e-3 } } ] }");
    }

    void writtenPlanReadsBackTheSame()
    {
        QFETCH(QByteArray, json);
        const auto first = parsePlan(json);
        QVERIFY(first);
        const QByteArray written = planToJson(*first);
        PlanError error;
        const auto second = parsePlan(written, &error);
        QVERIFY2(second, qPrintable(TestPlanTexts::errorText(error) + "\n" + written));
        QVERIFY(*second == *first);
        QCOMPARE(planToJson(*second), written);
    }

    void writtenPlanKeepsTheFormatsOrder()
    {
        const auto p = parsePlan(kIssuePlan);
        QVERIFY(p);
        QCOMPARE(planToJson(*p), QByteArray(R"({
  "name": "Accuracy 0.5-4 m",
  "frames": 500,
  "settle_s": 1,
  "quantity": "first",
  "min_confidence": 0,
  "command_timeout_s": 60,
  "limits": { "bias_mm": 20, "bias_percent": 1, "std_mm": 15, "blanked_percent": 1, "min_rate_hz": 0 },
  "steps": [
    { "reference_mm": 500 },
    { "reference_mm": 1000, "frames": 1000, "limits": { "std_mm": 10 } },
    { "reference_mm": 4000, "command": "rail-move 4000" }
  ]
}
)"));
    }

    void planFileIsWrittenWholeOrNotAtAll()
    {
        QTemporaryDir dir;
        const auto p = parsePlan(kIssuePlan);
        QVERIFY(p);
        const QString path = dir.filePath(QStringLiteral("plan.json"));
        QString why;
        QVERIFY2(writePlanFile(path, *p, &why), qPrintable(why));
        QByteArray json;
        const auto back = readPlanFile(path, &why, &json);
        QVERIFY2(back, qPrintable(why));
        QVERIFY(*back == *p);
        QCOMPARE(json, planToJson(*p));

        QVERIFY(!writePlanFile(dir.filePath(QStringLiteral("missing/plan.json")), *p, &why));
        QVERIFY(why.contains(QStringLiteral("missing/plan.json")));
        QVERIFY(!readPlanFile(dir.filePath(QStringLiteral("none.json")), &why));
        QVERIFY(why.contains(QStringLiteral("none.json")));
    }

    // A device or a FIFO never ends (or ends only when someone writes): the
    // reader must refuse it at once rather than wait.
    void onlyRegularFilesAreReadAsPlans()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("plan.fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        for (const QString &path : {QStringLiteral("/dev/zero"), fifo, dir.path()}) {
            QString why;
            QVERIFY(!readPlanFile(path, &why));
            QVERIFY2(why.contains(path), qPrintable(why));
        }
    }

    void byteOrderMarkOfAWindowsEditorIsAccepted()
    {
        QVERIFY(parsePlan("\xEF\xBB\xBF" + kIssuePlan));
    }
};

QTEST_GUILESS_MAIN(TestPlanTest)
#include "tst_test_plan.moc"
