// lidar-cli's parts without a device: the grammar and its usage errors (also
// as the program reports them), the progress texts of a download, the port
// listing and the JSON lines made from the log's rows.
#include "cli/CommandLine.h"
#include "cli/CommandOptions.h"
#include "cli/FrameLines.h"
#include "cli/PortsCommand.h"
#include "cli/TransferProgress.h"
#include "tests/cli/CliProcess.h"
#include "tests/cli/PythonParse.h"
#include "workflow/MeasurementRecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

class tst_CliParts : public QObject {
    Q_OBJECT

private slots:
    void commandLineIsReadAgainstTheGrammar_data();
    void commandLineIsReadAgainstTheGrammar();
    void optionValuesAreCheckedBeforeAnythingIsOpened_data();
    void optionValuesAreCheckedBeforeAnythingIsOpened();
    void usageErrorPrintsTheUsageLineAndExitsTwo_data();
    void usageErrorPrintsTheUsageLineAndExitsTwo();
    void helpAndVersionGoToStandardOutput_data();
    void helpAndVersionGoToStandardOutput();
    void progressTellsBlocksRateAndTimeLeft_data();
    void progressTellsBlocksRateAndTimeLeft();
    void portsListBridgesFirstWithTheirIds();
    void jsonLineHoldsTheLogRowsFieldsTyped();
};

void tst_CliParts::commandLineIsReadAgainstTheGrammar_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("kind"); // Invocation::Kind
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("detail"); // an option's value, or a word of the error
    using K = Invocation::Kind;
    QTest::newRow("value after a blank") << QStringList{"stream", "--port", "ttyUSB0", "--frames", "5"} << int(K::Command)
                                         << "stream" << "ttyUSB0";
    QTest::newRow("value after =") << QStringList{"stream", "--port=/dev/pts/3", "--seconds=1.5"} << int(K::Command)
                                   << "stream" << "/dev/pts/3";
    QTest::newRow("flag") << QStringList{"ports", "--json"} << int(K::Command) << "ports" << "";
    QTest::newRow("tool help") << QStringList{"--help"} << int(K::Help) << "" << "";
    QTest::newRow("command help wins over errors") << QStringList{"stats", "--bogus", "--help"} << int(K::Help)
                                                   << "stats" << "";
    QTest::newRow("version") << QStringList{"--version"} << int(K::Version) << "" << "";
    QTest::newRow("nothing") << QStringList{} << int(K::UsageError) << "" << "no command";
    QTest::newRow("unknown command") << QStringList{"flash"} << int(K::UsageError) << "" << "flash";
    QTest::newRow("option before the command") << QStringList{"--json", "ports"} << int(K::UsageError) << ""
                                               << "no command";
    QTest::newRow("another command's option") << QStringList{"ports", "--port", "x"} << int(K::UsageError)
                                              << "ports" << "--port";
    QTest::newRow("misspelled option") << QStringList{"stream", "--frame", "5"} << int(K::UsageError) << "stream"
                                       << "--frame";
    QTest::newRow("missing value at the end") << QStringList{"info", "--port"} << int(K::UsageError) << "info"
                                              << "needs a value";
    QTest::newRow("option where a value belongs") << QStringList{"info", "--port", "--json"} << int(K::UsageError)
                                                  << "info" << "needs a value";
    QTest::newRow("empty value") << QStringList{"info", "--port="} << int(K::UsageError) << "info"
                                 << "needs a value";
    QTest::newRow("value for a flag") << QStringList{"ports", "--json=yes"} << int(K::UsageError) << "ports"
                                      << "takes no value";
    QTest::newRow("twice") << QStringList{"stats", "--frames", "1", "--frames", "2"} << int(K::UsageError)
                           << "stats" << "twice";
    QTest::newRow("stray word") << QStringList{"results", "extra"} << int(K::UsageError) << "results" << "extra";
}

void tst_CliParts::commandLineIsReadAgainstTheGrammar()
{
    QFETCH(QStringList, args);
    QFETCH(int, kind);
    QFETCH(QString, command);
    QFETCH(QString, detail);
    const Invocation in = CommandLine::parse(args);
    QCOMPARE(int(in.kind), kind);
    QCOMPARE(in.command, command);
    if (in.kind == Invocation::Kind::UsageError)
        QVERIFY2(in.error.contains(detail), qPrintable(in.error));
    else if (!detail.isEmpty())
        QCOMPARE(in.value("port"), detail);
}

void tst_CliParts::optionValuesAreCheckedBeforeAnythingIsOpened_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error"); // empty: accepted
    QTest::newRow("frames") << QStringList{"--port", "p", "--frames", "10"} << "";
    QTest::newRow("fraction of a second") << QStringList{"--port", "p", "--seconds", "0.25"} << "";
    QTest::newRow("a rate the sensor speaks") << QStringList{"--port", "p", "--baud", "921600", "--frames", "1"} << "";
    QTest::newRow("no port") << QStringList{"--frames", "1"} << "--port is needed";
    QTest::newRow("odd baud") << QStringList{"--port", "p", "--baud", "9600", "--frames", "1"} << "9600";
    QTest::newRow("baud not a number") << QStringList{"--port", "p", "--baud", "fast", "--frames", "1"} << "fast";
    QTest::newRow("neither amount") << QStringList{"--port", "p"} << "--frames or --seconds is needed";
    QTest::newRow("both amounts") << QStringList{"--port", "p", "--frames", "1", "--seconds", "1"} << "exclude";
    QTest::newRow("no frames") << QStringList{"--port", "p", "--frames", "0"} << "from 1 up";
    QTest::newRow("frames not whole") << QStringList{"--port", "p", "--frames", "2.5"} << "from 1 up";
    QTest::newRow("negative seconds") << QStringList{"--port", "p", "--seconds", "-1"} << "above 0";
    QTest::newRow("endless seconds") << QStringList{"--port", "p", "--seconds", "inf"} << "above 0";
    QTest::newRow("seconds not a number") << QStringList{"--port", "p", "--seconds", "soon"} << "above 0";
}

void tst_CliParts::optionValuesAreCheckedBeforeAnythingIsOpened()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    const Invocation in = CommandLine::parse(QStringList{"stream"} + args);
    QCOMPARE(int(in.kind), int(Invocation::Kind::Command));
    CommandOptions::Port port;
    CommandOptions::Amount amount;
    QString why;
    const bool ok = CommandOptions::readPort(in, port, why) && CommandOptions::readAmount(in, amount, why);
    QCOMPARE(ok, error.isEmpty());
    QVERIFY2(why.contains(error), qPrintable(why));
    if (ok)
        QVERIFY((amount.frames > 0) != (amount.seconds > 0));
}

void tst_CliParts::usageErrorPrintsTheUsageLineAndExitsTwo_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("usage"); // the line that must follow the message
    QTest::newRow("unknown command") << QStringList{"flash"} << "usage: lidar-cli ports    [--json]";
    QTest::newRow("unknown option") << QStringList{"ports", "--all"} << "usage: lidar-cli ports [--json]";
    QTest::newRow("missing amount") << QStringList{"stream", "--port", "x"}
                                    << "usage: lidar-cli stream --port NAME [--baud N] (--frames N | --seconds S) "
                                       "[--format csv|jsonl] [--output FILE]";
    QTest::newRow("bad format") << QStringList{"stream", "--port", "x", "--frames", "1", "--format", "xml"}
                                << "usage: lidar-cli stream";
    QTest::newRow("bad quantity") << QStringList{"stats", "--port", "x", "--frames", "1", "--quantity", "last"}
                                  << "usage: lidar-cli stats";
    QTest::newRow("both images") << QStringList{"download", "--port", "x", "--firmware", "a", "--table", "b"}
                                 << "usage: lidar-cli download";
    QTest::newRow("report of no known kind")
        << QStringList{"run", "--port", "x", "--plan", "p.json", "--report", "unit.docx"}
        << "usage: lidar-cli run --port NAME [--baud N] --plan FILE";
    QTest::newRow("run without a plan") << QStringList{"run", "--port", "x", "--yes"} << "usage: lidar-cli run";
}

void tst_CliParts::usageErrorPrintsTheUsageLineAndExitsTwo()
{
    QFETCH(QStringList, args);
    QFETCH(QString, usage);
    CliProcess cli;
    QVERIFY(cli.run(args));
    QCOMPARE(cli.exitCode(), 2);
    QVERIFY(cli.standardOutput().isEmpty());
    const QStringList lines = cli.errorText().split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 2 && lines.first().startsWith("lidar-cli: "), qPrintable(cli.errorText()));
    QVERIFY2(lines.at(1).startsWith(usage), qPrintable(cli.errorText()));
}

void tst_CliParts::helpAndVersionGoToStandardOutput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("texts");
    const QStringList exitCodes = {"  2    usage", "  3    the port cannot be opened", "  4    the device did not answer",
                                   "  5    a file", "  6    a run INCOMPLETE", "  130  interrupted"};
    QTest::newRow("tool") << QStringList{"--help"} << exitCodes + QStringList{"lidar-cli results  [--results FILE|URL]"};
    QTest::newRow("command") << QStringList{"stream", "--help"} << exitCodes + QStringList{"--output FILE", "130 or 143"};
    QTest::newRow("run") << QStringList{"run", "--help"}
                         << exitCodes + QStringList{"Place the target at 1000 mm and press Enter", "--yes", "is code"};
    QTest::newRow("version") << QStringList{"--version"} << QStringList{"lidar-cli 1.0.0\n"};
}

void tst_CliParts::helpAndVersionGoToStandardOutput()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, texts);
    CliProcess cli;
    QVERIFY(cli.run(args));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(cli.errorText().isEmpty());
    // A text may be wrapped over two lines of the help.
    const QString words = QString::fromUtf8(cli.standardOutput()).simplified();
    for (const QString &text : texts)
        QVERIFY2(cli.standardOutput().contains(text.toUtf8()) || words.contains(text), qPrintable(text));
}

void tst_CliParts::progressTellsBlocksRateAndTimeLeft_data()
{
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("bar");
    QTest::addColumn<QString>("line");
    QTest::newRow("before the first block") << 0 << 400 << qint64(0) << "[..........]  0/400 blocks  0 B/s  ? left"
                                            << "0/400 blocks, 0 B/s, ? left";
    QTest::newRow("a quarter") << 100 << 400 << qint64(2000) << "[##........]  100/400 blocks  3.2 kB/s  0:06 left"
                               << "100/400 blocks, 3.2 kB/s, 0:06 left";
    QTest::newRow("slow and long") << 1 << 4000 << qint64(1000) << "[..........]  1/4000 blocks  64 B/s  1:06:39 left"
                                   << "1/4000 blocks, 64 B/s, 1:06:39 left";
    QTest::newRow("all") << 3 << 3 << qint64(30) << "[##########]  3/3 blocks  6.4 kB/s  0:00 left"
                         << "3/3 blocks, 6.4 kB/s, 0:00 left";
}

void tst_CliParts::progressTellsBlocksRateAndTimeLeft()
{
    QFETCH(int, done);
    QFETCH(int, blocks);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, bar);
    QFETCH(QString, line);
    TransferProgress::Figures f;
    f.blocksDone = done;
    f.blocks = blocks;
    f.bytesDone = qint64(done) * 64;
    f.elapsedMs = elapsedMs;
    QCOMPARE(TransferProgress::bar(f, 10), bar);
    QCOMPARE(TransferProgress::line(f), line);
}

void tst_CliParts::portsListBridgesFirstWithTheirIds()
{
    const QVector<PortList::Entry> system = {
        {"ttyS0", 0, 0, "", "/dev/ttyS0"},
        {"ttyUSB0", 0x10C4, 0xEA60, "CP2102 USB to UART \"Bridge\"", "/dev/ttyUSB0"},
        {"ttyACM0", 0x2341, 0x0043, "Board", "/dev/ttyACM0"},
        {"ttyUSB1", 0x10C4, 0xEA60, "", ""},
    };
    const QJsonArray ports =
        PythonParse::json(QByteArray::fromStdString(PortsCommand::jsonText(PortList::orderedEntries(system)))).toArray();
    QCOMPARE(ports.size(), 4);
    QStringList names;
    for (const QJsonValue &port : ports)
        names << port.toObject().value("name").toString();
    QCOMPARE(names, (QStringList{"ttyUSB1", "ttyUSB0", "ttyS0", "ttyACM0"}));
    const QJsonObject bridge = ports.at(1).toObject();
    QCOMPARE(bridge.value("vendor_id").toString(), QStringLiteral("10c4"));
    QCOMPARE(bridge.value("product_id").toString(), QStringLiteral("ea60"));
    QCOMPARE(bridge.value("description").toString(), QStringLiteral("CP2102 USB to UART \"Bridge\""));
    QCOMPARE(ports.at(0).toObject().value("path").toString(), QStringLiteral("/dev/ttyUSB1"));
    QVERIFY(ports.at(2).toObject().value("vendor_id").isNull());
    QCOMPARE(QString::fromStdString(PortsCommand::tableText(PortList::orderedEntries(system))).split('\n').at(1),
             QStringLiteral("ttyUSB0  /dev/ttyUSB0  10c4:ea60  CP2102 USB to UART \"Bridge\""));
}

// Built from the log's own row: the same numbers, typed, in the same order.
void tst_CliParts::jsonLineHoldsTheLogRowsFieldsTyped()
{
    MeasurementRecord record;
    record.hostMsecsSinceEpoch = 1733580000123;
    record.hostNanoseconds = 2500000000;
    record.deviceTimestamp = 29999999;
    record.info.distance = -12;
    record.info.confidence = 255;
    record.info.average = -11;
    record.info.standardDeviation = 0.1f;
    record.info.peak = 4294967295u;
    record.pointRate = 65535;
    record.blanked = true;
    record.linkBadFrames = 7;
    record.distances = {-12, -10, 32767};
    FrameLines csv(FrameLines::Format::Csv, 500000000, 2);
    FrameLines jsonl(FrameLines::Format::Jsonl, 500000000, 2);
    std::string csvText = csv.header();
    std::string jsonText;
    csv.append(csvText, record);
    jsonl.append(jsonText, record);
    QVERIFY(jsonl.header().empty());

    const QJsonObject fromCsv =
        PythonParse::csv(QByteArray::fromStdString(csvText)).toObject().value("rows").toArray().at(0).toObject();
    const QJsonArray lines = PythonParse::jsonLines(QByteArray::fromStdString(jsonText)).toArray();
    QCOMPARE(lines.size(), 1);
    const QJsonObject fromJson = lines.at(0).toObject();
    QCOMPARE(fromJson.keys(), fromCsv.keys());
    QCOMPARE(fromJson.value("host_time").toString(), fromCsv.value("host_time").toString());
    QCOMPARE(fromJson.value("point_distances_mm").toArray(), (QJsonArray{-12, -10, 32767}));
    QCOMPARE(fromJson.value("std_dev_mm").toDouble(), 0.1);
    QCOMPARE(fromJson.value("peak").toDouble(), 4294967295.0);
    QCOMPARE(fromJson.value("host_mono_s").toDouble(), 2.0);
    QCOMPARE(fromJson.value("bad_frames_before").toInt(), 5);
    QCOMPARE(fromJson.value("blanked").toInt(), 1);
    for (const QString &key : fromCsv.keys())
        if (key != "host_time" && key != "point_distances_mm")
            QCOMPARE(fromJson.value(key).toDouble(), fromCsv.value(key).toString().toDouble());
    // The key order is the log's column order.
    const std::string header = csv.header();
    QCOMPARE(QByteArray::fromStdString(jsonText).indexOf("\"frame\""), 1);
    QVERIFY(jsonText.find("\"host_mono_s\"") > jsonText.find("\"point_distances_mm\""));
    QCOMPARE(QByteArray::fromStdString(header).trimmed().split(',').size(), fromCsv.keys().size());
}

QTEST_GUILESS_MAIN(tst_CliParts)
#include "tst_cli_parts.moc"
