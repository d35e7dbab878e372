// lidar-cli end to end against the real simulator: what a script gets from
// each command, a download that arrives whole or is refused, the progress bar
// on a terminal, and the README's own Python example.
#include "tests/cli/CliProcess.h"
#include "tests/cli/PythonParse.h"
#include "tests/e2e/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray patternFile(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + 5) & 0xFF);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The first block of `language` in the README's "Scripting" section.
QString readmeExample(const QString &language)
{
    const QString readme = QString::fromUtf8(readFile(QStringLiteral(LIDAR_SOURCE_DIR "/README.md")));
    const int section = readme.indexOf(QLatin1String("\n## Scripting\n"));
    const QString opening = QStringLiteral("```") + language + QLatin1Char('\n');
    const int begin = readme.indexOf(opening, section);
    const int end = readme.indexOf(QLatin1String("\n```"), begin + opening.size());
    return section < 0 || begin < 0 || end < 0 ? QString()
                                                : readme.mid(begin + opening.size(), end - begin - opening.size());
}

// A plan whose commands move the simulated target through its control
// pipe; `steps` are "REFERENCE" (the target moved there) or
// "REFERENCE:CONTROL LINES" (those lines instead), or "REFERENCE:" for a
// step without a command.
QByteArray simulatorPlan(const QString &control, const QStringList &steps)
{
    QStringList entries;
    for (const QString &step : steps) {
        const QString reference = step.section(QLatin1Char(':'), 0, 0);
        if (step.endsWith(QLatin1Char(':'))) {
            entries << QStringLiteral("{\"reference_mm\": %1}").arg(reference);
            continue;
        }
        const QString lines = step.contains(QLatin1Char(':')) ? step.section(QLatin1Char(':'), 1)
                                                               : QStringLiteral("distance ") + reference;
        entries << QStringLiteral("{\"reference_mm\": %1, \"command\": \"printf '%2\\\\n' > '%3'\"}")
                       .arg(reference, QString(lines).replace(QLatin1Char(';'), QStringLiteral("\\\\n")), control);
    }
    return QStringLiteral("{\"name\": \"Accuracy 0.5-3 m\", \"frames\": 20, \"settle_s\": 0.3, "
                          "\"limits\": {\"bias_mm\": 20, \"bias_percent\": 1.0, \"std_mm\": 5}, \"steps\": [\n%1]}\n")
        .arg(entries.join(QStringLiteral(",\n")))
        .toUtf8();
}

QJsonArray storedRuns(const QString &results)
{
    CliProcess cli;
    if (!cli.run({"results", "--results", results, "--json"}) || cli.exitCode() != 0)
        return QJsonArray();
    return PythonParse::json(cli.standardOutput()).toArray();
}

const QStringList kStillTarget = {"--jitter", "0", "--wander", "0", "--rate", "100"};

} // namespace

class tst_CliEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void streamGivesEveryFrameOfTheSimulator_data();
    void streamGivesEveryFrameOfTheSimulator();
    void statsFiguresMatchTheSimulatedTarget();
    void downloadDeliversTheImageWhole_data();
    void downloadDeliversTheImageWhole();
    void simulatorRefusingABlockGivesFour();
    void onATerminalTheProgressIsABar();
    void portsJsonIsAListOfPorts();
    void readmePythonExampleJudgesTheSpread_data();
    void readmePythonExampleJudgesTheSpread();
    void runFailsNamingTheBiasedStepAndKeepsIt();
    void runWaitsForEnterBeforeAStepWithoutCommand_data();
    void runWaitsForEnterBeforeAStepWithoutCommand();
    void readmeShellExampleFlashesThenRuns();

private:
    QTemporaryDir dir;
};

void tst_CliEndToEnd::initTestCase()
{
    QVERIFY(dir.isValid());
}

void tst_CliEndToEnd::streamGivesEveryFrameOfTheSimulator_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("csv") << "csv";
    QTest::newRow("jsonl") << "jsonl";
}

void tst_CliEndToEnd::streamGivesEveryFrameOfTheSimulator()
{
    QFETCH(QString, format);
    SimProcess sim;
    QVERIFY(sim.start({"--rate", "200", "--points", "5", "--distance", "1200", "--jitter", "3"}));
    CliProcess cli;
    QVERIFY(cli.run({"stream", "--port", sim.port(), "--frames", "40", "--format", format}));
    QCOMPARE(cli.exitCode(), 0);
    QJsonArray rows = format == QLatin1String("csv")
        ? PythonParse::csv(cli.standardOutput()).toObject().value("rows").toArray()
        : PythonParse::jsonLines(cli.standardOutput()).toArray();
    QCOMPARE(rows.size(), 40);
    qint64 lastDeviceTime = -1;
    for (int i = 0; i < rows.size(); ++i) {
        const QVariantMap row = rows.at(i).toObject().toVariantMap();
        QCOMPARE(row.value("frame").toInt(), i + 1);
        QCOMPARE(row.value("points").toInt(), 5);
        QVERIFY(qAbs(row.value("mean_mm").toDouble() - 1200) < 20);
        const qint64 deviceTime = row.value("device_time_us").toLongLong();
        QVERIFY(deviceTime > lastDeviceTime);
        lastDeviceTime = deviceTime;
    }
    QVERIFY(sim.terminate());
    QVERIFY2(sim.errorOutput().contains("dropped 0"), qPrintable(sim.errorOutput()));
}

void tst_CliEndToEnd::statsFiguresMatchTheSimulatedTarget()
{
    SimProcess sim;
    // The simulated target wanders by 1 % of its distance: 5 mm at 500 mm.
    QVERIFY(sim.start({"--rate", "100", "--points", "1", "--distance", "500", "--jitter", "2", "--bias", "10"}));
    CliProcess cli;
    QVERIFY(cli.run({"stats", "--port", sim.port(), "--seconds", "1.5", "--json"}));
    QCOMPARE(cli.exitCode(), 0);
    const QJsonObject stats = PythonParse::json(cli.standardOutput()).toObject();
    QVERIFY2(stats.value("count").toInt() >= 100, qPrintable(cli.standardOutput()));
    QVERIFY2(qAbs(stats.value("mean_mm").toDouble() - 510) < 7, qPrintable(cli.standardOutput()));
    QVERIFY(stats.value("std_mm").toDouble() > 1 && stats.value("std_mm").toDouble() < 10);
    QVERIFY(stats.value("min_mm").toDouble() <= stats.value("median_mm").toDouble());
    QVERIFY(stats.value("median_mm").toDouble() <= stats.value("max_mm").toDouble());
    QCOMPARE(stats.value("peak_to_peak_mm").toDouble(),
             stats.value("max_mm").toDouble() - stats.value("min_mm").toDouble());
    QCOMPARE(stats.value("blanked_percent").toDouble(), 0.0);
    QVERIFY(qAbs(stats.value("rate_hz").toDouble() - 100) < 15);
}

void tst_CliEndToEnd::downloadDeliversTheImageWhole_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("size");
    QTest::newRow("firmware of 1000 bytes") << "--firmware" << 1000;
    QTest::newRow("table of 130 bytes, padded") << "--table" << 130;
}

void tst_CliEndToEnd::downloadDeliversTheImageWhole()
{
    QFETCH(QString, option);
    QFETCH(int, size);
    const QString image = dir.filePath("image.bin");
    const QString received = dir.filePath("received.bin");
    QFile::remove(received);
    QVERIFY(writeFile(image, patternFile(size)));
    SimProcess sim;
    QVERIFY(sim.start({"--image-out", received}));
    CliProcess cli;
    QVERIFY(cli.run({"download", "--port", sim.port(), option, image}));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(cli.standardOutput().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(received).size() >= size, 5000);
    QCOMPARE(readFile(received).left(size), patternFile(size));
    QVERIFY2(cli.errorText().contains(QStringLiteral("Download complete: %1 bytes").arg((size + 3) / 4 * 4)), qPrintable(cli.errorText()));
}

void tst_CliEndToEnd::simulatorRefusingABlockGivesFour()
{
    const QString image = dir.filePath("refused.bin");
    QVERIFY(writeFile(image, patternFile(640)));
    SimProcess sim;
    QVERIFY(sim.start({"--ack-fail", "3"}));
    CliProcess cli;
    QVERIFY(cli.run({"download", "--port", sim.port(), "--firmware", image}));
    QCOMPARE(cli.exitCode(), 4);
    QVERIFY2(cli.errorText().contains("refused block 4 of 10"), qPrintable(cli.errorText()));
}

// Standard error on a pseudo-terminal (through script(1)): the bar redraws
// its one line, then the outcome follows on a line of its own.
void tst_CliEndToEnd::onATerminalTheProgressIsABar()
{
    const QString image = dir.filePath("bar.bin");
    QVERIFY(writeFile(image, patternFile(64 * 20)));
    SimProcess sim;
    QVERIFY(sim.start({}));
    QProcess script;
    const QString command = QStringLiteral("'%1' download --port '%2' --firmware '%3' >'%4'")
                                .arg(CliProcess::program(), sim.port(), image, dir.filePath("stdout.txt"));
    script.start("script", {"-qefc", command, "/dev/null"});
    QVERIFY(script.waitForFinished(30000));
    QCOMPARE(script.exitCode(), 0);
    const QString terminal = QString::fromUtf8(script.readAllStandardOutput());
    QVERIFY2(terminal.contains(QRegularExpression("\\r\\[#{30}\\]  20/20 blocks  [0-9.]+ [kM]?B/s  0:00 left")),
             qPrintable(terminal));
    QVERIFY(terminal.contains(QRegularExpression("\\n?Download complete: 1280 bytes, 20 blocks")));
    QVERIFY(readFile(dir.filePath("stdout.txt")).isEmpty());
}

void tst_CliEndToEnd::portsJsonIsAListOfPorts()
{
    CliProcess cli;
    QVERIFY(cli.run({"ports", "--json"}));
    QCOMPARE(cli.exitCode(), 0);
    const QJsonValue ports = PythonParse::json(cli.standardOutput());
    QVERIFY(ports.isArray());
    for (const QJsonValue &port : ports.toArray()) {
        QStringList keys = port.toObject().keys();
        QCOMPARE(keys, (QStringList{"description", "name", "path", "product_id", "vendor_id"}));
    }
}

void tst_CliEndToEnd::readmePythonExampleJudgesTheSpread_data()
{
    QTest::addColumn<QString>("jitter");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("steady sensor passes") << "1" << 0;
    QTest::newRow("noisy sensor fails") << "40" << 1;
}

void tst_CliEndToEnd::readmePythonExampleJudgesTheSpread()
{
    QFETCH(QString, jitter);
    QFETCH(int, exitCode);
    const QString example = readmeExample(QStringLiteral("python"));
    QVERIFY(example.contains("lidar-cli"));
    const QString script = dir.filePath("check_noise.py");
    QVERIFY(writeFile(script, example.toUtf8()));
    SimProcess sim;
    // Near, so that the target's wander (1 % of the distance) stays small.
    QVERIFY(sim.start({"--rate", "1000", "--points", "1", "--distance", "100", "--jitter", jitter}));
    QProcess python;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", QFileInfo(CliProcess::program()).absolutePath() + ":" + env.value("PATH"));
    python.setProcessEnvironment(env);
    python.start("python3", {script, sim.port()});
    QVERIFY(python.waitForFinished(60000));
    QCOMPARE(python.exitCode(), exitCode);
    QVERIFY(python.readAllStandardOutput().startsWith("500 frames: mean "));
}

// Every step moves the target by its command, the third with a bias beyond
// its bound; the run goes into a results file and a PDF report.
void tst_CliEndToEnd::runFailsNamingTheBiasedStepAndKeepsIt()
{
    QTemporaryDir here;
    const QString control = here.filePath("sim.ctl");
    SimProcess sim;
    QVERIFY(sim.start(QStringList{"--control", control} + kStillTarget));
    const QString plan = here.filePath("plan.json");
    QVERIFY(writeFile(plan, simulatorPlan(control, {"500", "1000", "2000:distance 2000;bias 60", "3000:bias 0;distance 3000"})));
    const QString results = here.filePath("runs.sqlite");
    const QString report = here.filePath("unit.pdf");
    CliProcess cli;
    QVERIFY(cli.run({"run", "--port", sim.port(), "--plan", plan, "--yes", "--results", results, "--report", report}, 60000));
    QVERIFY2(cli.exitCode() == 1, qPrintable(cli.errorText()));

    const QStringList lines = QString::fromUtf8(cli.standardOutput()).split('\n');
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.last(), QString());
    const char *begins[] = {"step 1  500 mm  PASS  frames 20 of 20  mean 500.000 mm  bias 0.000 mm (PASS, limit 25)",
                            "step 2  1000 mm  PASS  frames 20 of 20  mean 1000.000 mm",
                            "step 3  2000 mm  FAIL  frames 20 of 20  mean 2060.000 mm  bias 60.000 mm (FAIL, limit 40)  "
                            "std 0.000 mm (PASS, limit 5)  blanked 0.00 % (not checked)  rate ",
                            "step 4  3000 mm  PASS"};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(lines.at(i).startsWith(begins[i]), qPrintable(lines.at(i)));
    QCOMPARE(lines.at(4), QStringLiteral("verdict: FAIL (step 3 at 2000 mm: bias)"));
    QVERIFY2(!cli.errorText().contains("Place the target"), qPrintable(cli.errorText()));

    const QJsonArray runs = storedRuns(results);
    QCOMPARE(runs.size(), 1);
    const QJsonObject run = runs.at(0).toObject();
    QCOMPARE(run.value("verdict").toString(), QStringLiteral("FAIL"));
    QCOMPARE(run.value("unit_id").toString(), QStringLiteral("0033002b3538510c20363733"));
    const QJsonArray steps = run.value("steps").toArray();
    QCOMPARE(steps.size(), 4);
    QCOMPARE(steps.at(2).toObject().value("mean_mm").toDouble(), 2060.0);
    QCOMPARE(steps.at(2).toObject().value("checks").toObject().value("bias").toString(), QStringLiteral("FAIL"));
    QVERIFY(readFile(report).startsWith("%PDF"));
    QVERIFY2(cli.errorText().contains("Report written: " + report), qPrintable(cli.errorText()));
}

void tst_CliEndToEnd::runWaitsForEnterBeforeAStepWithoutCommand_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("Enter pressed") << true << 0 << "verdict: PASS";
    QTest::newRow("input closed") << false << 6 << "verdict: INCOMPLETE (1 of 2 steps not run)";
}

// The first step places the target by its command; the second has none, so
// the operator is asked and the run waits for a line.
void tst_CliEndToEnd::runWaitsForEnterBeforeAStepWithoutCommand()
{
    QFETCH(bool, answered);
    QFETCH(int, exitCode);
    QFETCH(QString, verdict);
    QTemporaryDir here;
    const QString control = here.filePath("sim.ctl");
    SimProcess sim;
    QVERIFY(sim.start(QStringList{"--control", control} + kStillTarget));
    const QString plan = here.filePath("plan.json");
    QVERIFY(writeFile(plan, simulatorPlan(control, {"800", "800:"})));
    const QString results = here.filePath("runs.sqlite");
    CliProcess cli;
    QVERIFY(cli.start({"run", "--port", sim.port(), "--plan", plan, "--results", results}));
    const QString prompt = QStringLiteral("Place the target at 800 mm and press Enter\n");
    QTRY_VERIFY_WITH_TIMEOUT(cli.errorText().contains(prompt), 30000);
    // It waits: the second step has not begun.
    QTest::qWait(300);
    QCOMPARE(cli.errorText().count(QStringLiteral("collecting")), 1);
    if (answered)
        cli.write("\n");
    cli.closeInput();
    QVERIFY(cli.finish(60000));
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(cli.errorText()));
    const QStringList lines = QString::fromUtf8(cli.standardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), answered ? 3 : 2);
    QVERIFY(lines.at(0).startsWith("step 1  800 mm  PASS"));
    QCOMPARE(lines.last(), verdict);
    QCOMPARE(cli.errorText().count(prompt), 1);

    const QJsonArray runs = storedRuns(results);
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.at(0).toObject().value("verdict").toString(), verdict.section(' ', 1, 1));
    QCOMPARE(runs.at(0).toObject().value("steps").toArray().size(), answered ? 2 : 1);
}

// The README's shell example, its three arguments the simulator's port, a
// firmware image and a plan: the image arrives whole, the plan passes.
void tst_CliEndToEnd::readmeShellExampleFlashesThenRuns()
{
    const QString example = readmeExample(QStringLiteral("sh"));
    QVERIFY(example.contains("lidar-cli download") && example.contains("lidar-cli run"));
    QTemporaryDir here;
    const QString script = here.filePath("flash-and-test.sh");
    QVERIFY(writeFile(script, example.toUtf8()));
    const QString image = here.filePath("sensor.ifw");
    QVERIFY(writeFile(image, patternFile(300)));
    const QString received = here.filePath("received.bin");
    const QString control = here.filePath("sim.ctl");
    SimProcess sim;
    QVERIFY(sim.start(QStringList{"--control", control, "--image-out", received} + kStillTarget));
    const QString plan = here.filePath("accuracy.json");
    QVERIFY(writeFile(plan, simulatorPlan(control, {"500", "1500"})));
    QProcess sh;
    sh.setWorkingDirectory(here.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", QFileInfo(CliProcess::program()).absolutePath() + ":" + env.value("PATH"));
    sh.setProcessEnvironment(env);
    sh.start("sh", {script, sim.port(), image, plan});
    QVERIFY(sh.waitForFinished(90000));
    const QString errors = QString::fromUtf8(sh.readAllStandardError());
    QVERIFY2(sh.exitCode() == 0, qPrintable(errors));
    const QByteArray out = sh.readAllStandardOutput();
    QVERIFY2(out.endsWith("verdict: PASS\nPASS\n"), out.constData());
    QCOMPARE(readFile(received).left(300), patternFile(300));
    QCOMPARE(storedRuns(here.filePath("results.sqlite")).size(), 1);
    QCOMPARE(QDir(here.path()).entryList({"unit-*.pdf"}).size(), 1);
}

QTEST_GUILESS_MAIN(tst_CliEndToEnd)
#include "tst_cli_e2e.moc"
