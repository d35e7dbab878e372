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

// The first ```python block of the README's "Scripting" section.
QString readmePythonExample()
{
    const QString readme = QString::fromUtf8(readFile(QStringLiteral(LIDAR_SOURCE_DIR "/README.md")));
    const int section = readme.indexOf(QLatin1String("\n## Scripting\n"));
    const int begin = readme.indexOf(QLatin1String("```python\n"), section);
    const int end = readme.indexOf(QLatin1String("\n```"), begin + 10);
    return section < 0 || begin < 0 || end < 0 ? QString() : readme.mid(begin + 10, end - begin - 10);
}

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
    const QString example = readmePythonExample();
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

QTEST_GUILESS_MAIN(tst_CliEndToEnd)
#include "tst_cli_e2e.moc"
