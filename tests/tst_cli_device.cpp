// lidar-cli against a device played on a pseudo-terminal: the exact lines and
// figures it prints, the frames it sends, and each exit status from a real
// cause.
#include "tests/cli/CliProcess.h"
#include "tests/cli/DevicePeer.h"
#include "tests/cli/PythonParse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr quint8 kStart = 0x02;
constexpr quint8 kStop = 0x0F;
constexpr quint8 kAck = 0x10;
constexpr quint8 kCaliParam = 0x12;
constexpr quint8 kDeviceInfo = 0x14;

using Point = DevicePeer::Point;

// Three frames the test knows every figure of, a damaged one between the
// second and the third, and a fourth that --frames 3 must leave out.
QByteArray knownFrames()
{
    QByteArray damaged = DevicePeer::frame(0, kStart, DevicePeer::measurement({{7}}, 1001500));
    damaged[damaged.size() - 1] = char(damaged.at(damaged.size() - 1) ^ 0x5A);
    return DevicePeer::frame(0, kStart,
                             DevicePeer::measurement({{100, 20, 20000, 80, 120}, {101}, {102}, {104, 10, 5000, 77, 118}},
                                                     1000000))
        + DevicePeer::frame(0, kStart, DevicePeer::measurement({{-3}, {-4, 95, 3000, 60, -2}}, 1001000)) + damaged
        + DevicePeer::frame(0, kStart, DevicePeer::measurement({{1500, 30, 15000, 99, 121}}, 1002000))
        + DevicePeer::frame(0, kStart, DevicePeer::measurement({{2222}}, 1003000));
}

// Column -> text as the log writes it, for the three known frames; the host's
// clocks are checked by their form.
const QList<QMap<QString, QString>> &knownRows()
{
    static const QList<QMap<QString, QString>> rows = {
        {{"frame", "1"}, {"device_time_us", "1000000"}, {"points", "4"}, {"distance_mm", "100"},
         {"confidence", "77"}, {"mean_mm", "101"}, {"std_dev_mm", "1.6583124"}, {"point_rate_per_s", "1"},
         {"peak", "5000"}, {"noise", "10"}, {"reftof", "118"}, {"blanked", "0"},
         {"point_distances_mm", "100 101 102 104"}, {"bad_frames_before", "0"}},
        {{"frame", "2"}, {"device_time_us", "1001000"}, {"points", "2"}, {"distance_mm", "-3"},
         {"confidence", "60"}, {"mean_mm", "-3"}, {"std_dev_mm", "0.70710677"}, {"point_rate_per_s", "668"},
         {"peak", "3000"}, {"noise", "95"}, {"reftof", "-2"}, {"blanked", "0"},
         {"point_distances_mm", "-3 -4"}, {"bad_frames_before", "0"}},
        {{"frame", "3"}, {"device_time_us", "1002000"}, {"points", "1"}, {"distance_mm", "1500"},
         {"confidence", "99"}, {"mean_mm", "1500"}, {"std_dev_mm", "0"}, {"point_rate_per_s", "1001"},
         {"peak", "15000"}, {"noise", "30"}, {"reftof", "121"}, {"blanked", "0"},
         {"point_distances_mm", "1500"}, {"bad_frames_before", "1"}},
    };
    return rows;
}

const QStringList kLogColumns = {"frame", "host_time", "device_time_us", "points", "distance_mm", "confidence",
                                 "mean_mm", "std_dev_mm", "point_rate_per_s", "peak", "noise", "reftof",
                                 "blanked", "point_distances_mm", "host_mono_s", "bad_frames_before"};

const QRegularExpression kHostTime(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$"));

// Answers Start with `frames`, once.
void answerStartWith(DevicePeer &peer, const QByteArray &frames)
{
    peer.onFrame([&peer, frames](const TRData &f) {
        if (f.cmd == kStart && f.addr == 0)
            peer.pair().write(frames);
    });
}

QByteArray ack(quint8 code, quint8 result)
{
    QByteArray payload;
    payload.append(char(code)).append(char(result));
    return DevicePeer::frame(0, kAck, payload);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Firmware 1.2.3, hardware 5, id words with leading zeros.
QByteArray deviceInfoPayload()
{
    uchar p[52] = {};
    qToLittleEndian<quint32>(0x01020003, p);
    qToLittleEndian<quint32>(5, p + 4);
    qToLittleEndian<quint32>(0x0033002B, p + 16);
    qToLittleEndian<quint32>(0x00000000, p + 20);
    qToLittleEndian<quint32>(0x0F0F0F0F, p + 24);
    return QByteArray(reinterpret_cast<const char *>(p), sizeof p);
}

// The 32 calibration bytes and a 33rd, bvd.
QByteArray calibrationPayload()
{
    uchar p[33] = {};
    p[0] = 7;
    p[1] = 200;
    p[2] = 3;
    p[3] = 4;
    qToLittleEndian<qint16>(-10, p + 4);
    qToLittleEndian<qint16>(120, p + 6);
    qToLittleEndian<quint32>(4294967295u, p + 8);
    qToLittleEndian<qint32>(-1024, p + 12);
    qToLittleEndian<qint32>(310, p + 16);
    qToLittleEndian<qint32>(-42, p + 20);
    qToLittleEndian<qint32>(7, p + 24);
    qToLittleEndian<qint32>(123456, p + 28);
    p[32] = 0x5A;
    return QByteArray(reinterpret_cast<const char *>(p), sizeof p);
}

// The unit's side of identification: the first `ignoredInfo` device
// information requests and, when `calibration` is false, every calibration
// request go unanswered. Start is answered by one-point frames at 1000 mm
// every 2 ms until Stop when `streaming` is given.
struct IdentifyingUnit {
    DevicePeer &peer;
    int ignoredInfo = 0;
    bool calibration = true;
    QTimer *streaming = nullptr;
    quint32 timestamp = 0;

    void install()
    {
        peer.onFrame([this](const TRData &f) {
            if (f.cmd == kDeviceInfo && ignoredInfo-- <= 0)
                peer.send(0, kDeviceInfo, deviceInfoPayload());
            else if (f.cmd == kCaliParam && calibration)
                peer.send(0, kCaliParam, calibrationPayload());
            else if (f.cmd == kStart && streaming)
                streaming->start(2);
            else if (f.cmd == kStop && streaming)
                streaming->stop();
        });
        if (streaming)
            QObject::connect(streaming, &QTimer::timeout, [this] {
                peer.send(0, kStart, DevicePeer::measurement({{1000}}, timestamp += 2000));
            });
    }
};

const char kValidPlan[] = "{\"name\": \"bench\", \"frames\": 5, \"limits\": {\"std_mm\": 5}, "
                          "\"steps\": [{\"reference_mm\": 1000}]}";

} // namespace

class tst_CliDevice : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void streamWritesTheLogsColumnsForExactlyTheFramesAsked_data();
    void streamWritesTheLogsColumnsForExactlyTheFramesAsked();
    void streamIntoAFileLeavesStandardOutputEmpty();
    void signalDuringStreamSendsStopAndLeavesWholeLines_data();
    void signalDuringStreamSendsStopAndLeavesWholeLines();
    void statsGivesTheStatisticsWindowsFigures_data();
    void statsGivesTheStatisticsWindowsFigures();
    void statsAsTextIsKeyValueLines();
    void downloadSendsTheDialogsFramesAndEndsWithTheOutcomeLine();
    void refusedBlockGivesFourAndNoEndCommand();
    void silentDeviceGivesFour_data();
    void silentDeviceGivesFour();
    void deviceGoneDuringStreamGivesFour();
    void infoGivesTheUnitExactly_data();
    void infoGivesTheUnitExactly();
    void infoAsksAgainAndGivesFourWhenUnanswered_data();
    void infoAsksAgainAndGivesFourWhenUnanswered();
    void runOfAnUnidentifiedUnitGivesFourAndStoresNothing();
    void signalDuringRunSendsStopAndStoresItIncomplete_data();
    void signalDuringRunSendsStopAndStoresItIncomplete();
    void portThatDoesNotExistGivesThree_data();
    void portThatDoesNotExistGivesThree();
    void portWithoutPermissionGivesThreeAndTheGroupToJoin();
    void unreadableOrUnwritableFileGivesFiveAndSendsNothing_data();
    void unreadableOrUnwritableFileGivesFiveAndSendsNothing();

private:
    QTemporaryDir dir;
};

void tst_CliDevice::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(writeFile(dir.filePath("plan.json"), kValidPlan));
    QVERIFY(writeFile(dir.filePath("misspelled-plan.json"),
                      "{\"name\": \"x\", \"frames\": 5, \"steps\": [{\"reference_mm\": 500, "
                      "\"limits\": {\"bias_mn\": 3}}]}"));
}

void tst_CliDevice::streamWritesTheLogsColumnsForExactlyTheFramesAsked_data()
{
    QTest::addColumn<QString>("format");
    QTest::newRow("csv") << "csv";
    QTest::newRow("jsonl") << "jsonl";
}

void tst_CliDevice::streamWritesTheLogsColumnsForExactlyTheFramesAsked()
{
    QFETCH(QString, format);
    DevicePeer peer;
    QVERIFY(peer.isValid());
    answerStartWith(peer, knownFrames());
    CliProcess cli;
    QVERIFY(cli.run({"stream", "--port", peer.port(), "--frames", "3", "--format", format}));
    QCOMPARE(cli.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(peer.commands(), (QVector<quint8>{kStart, kStop}), 5000);

    QJsonArray rows;
    if (format == QLatin1String("csv")) {
        const QJsonObject parsed = PythonParse::csv(cli.standardOutput()).toObject();
        QCOMPARE(parsed.value("header").toVariant().toStringList(), kLogColumns);
        rows = parsed.value("rows").toArray();
    } else {
        rows = PythonParse::jsonLines(cli.standardOutput()).toArray();
    }
    QCOMPARE(rows.size(), 3);
    double lastMono = -1;
    for (int i = 0; i < 3; ++i) {
        const QJsonObject row = rows.at(i).toObject();
        QCOMPARE(row.keys().size(), kLogColumns.size());
        QVERIFY2(kHostTime.match(row.value("host_time").toString()).hasMatch(), qPrintable(row.value("host_time").toString()));
        const QMap<QString, QString> &expected = knownRows().at(i);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QJsonValue value = row.value(it.key());
            if (format == QLatin1String("csv")) {
                QCOMPARE(value.toString(), it.value());
            } else if (it.key() == QLatin1String("point_distances_mm")) {
                QStringList distances;
                for (const QJsonValue &d : value.toArray()) {
                    QVERIFY(d.isDouble());
                    distances << QString::number(d.toInt());
                }
                QCOMPARE(distances.join(' '), it.value());
            } else {
                QVERIFY2(value.isDouble(), qPrintable(it.key()));
                QCOMPARE(value.toDouble(), it.value().toDouble());
            }
        }
        const double mono = format == QLatin1String("csv") ? row.value("host_mono_s").toString().toDouble()
                                                           : row.value("host_mono_s").toDouble();
        QVERIFY(mono >= lastMono);
        lastMono = mono;
    }
}

void tst_CliDevice::streamIntoAFileLeavesStandardOutputEmpty()
{
    DevicePeer peer;
    answerStartWith(peer, knownFrames());
    const QString path = dir.filePath("frames.csv");
    QVERIFY(writeFile(path, "old content that must go\n"));
    CliProcess cli;
    QVERIFY(cli.run({"stream", "--port", peer.port(), "--frames", "2", "--output", path}));
    QCOMPARE(cli.exitCode(), 0);
    QVERIFY(cli.standardOutput().isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray rows = PythonParse::csv(file.readAll()).toObject().value("rows").toArray();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1).toObject().value("point_distances_mm").toString(), QStringLiteral("-3 -4"));
}

void tst_CliDevice::signalDuringStreamSendsStopAndLeavesWholeLines_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Ctrl-C") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
}

// The device streams many-point frames without pause, so the signal comes
// while frames arrive and lines are being written.
void tst_CliDevice::signalDuringStreamSendsStopAndLeavesWholeLines()
{
    QFETCH(int, signal);
    QFETCH(int, exitCode);
    DevicePeer peer;
    std::vector<Point> points(40, Point{1234});
    quint32 timestamp = 0;
    QTimer streaming;
    connect(&streaming, &QTimer::timeout, [&] {
        QByteArray burst;
        for (int i = 0; i < 4; ++i)
            burst += DevicePeer::frame(0, kStart, DevicePeer::measurement(points, timestamp += 2000));
        peer.pair().write(burst);
    });
    peer.onFrame([&](const TRData &f) {
        if (f.cmd == kStart)
            streaming.start(2);
        else if (f.cmd == kStop)
            streaming.stop();
    });
    CliProcess cli;
    QVERIFY(cli.start({"stream", "--port", peer.port(), "--seconds", "60", "--format", "csv"}));
    QTRY_VERIFY_WITH_TIMEOUT(cli.standardOutput().count('\n') > 50, 20000);
    QCOMPARE(::kill(pid_t(cli.pid()), signal), 0);
    QVERIFY(cli.finish());
    QCOMPARE(cli.exitCode(), exitCode);
    QCOMPARE(peer.commands().mid(0, 1), QVector<quint8>{kStart});
    QCOMPARE(peer.count(kStop), 1);
    const QJsonArray rows = PythonParse::csv(cli.standardOutput()).toObject().value("rows").toArray();
    QVERIFY(rows.size() >= 50);
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows.at(i).toObject().value("frame").toString(), QString::number(i + 1));
        QCOMPARE(rows.at(i).toObject().value("points").toString(), QStringLiteral("40"));
    }
    QVERIFY2(cli.errorText().contains("Interrupted"), qPrintable(cli.errorText()));
}

void tst_CliDevice::statsGivesTheStatisticsWindowsFigures_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QList<double>>("expected"); // count, mean, std, min, max, p2p, median, blanked
    // First points 1000, 1002, 1004, 1006, 1010; frame means 1000, 1001, 1002, 1003, 1005.
    QTest::newRow("first point") << "first" << QList<double>{5, 1004.4, 3.847076812334269, 1000, 1010, 10, 1004, 0};
    QTest::newRow("frame mean") << "mean" << QList<double>{5, 1002.2, 1.9235384061671346, 1000, 1005, 5, 1002, 0};
}

void tst_CliDevice::statsGivesTheStatisticsWindowsFigures()
{
    QFETCH(QString, quantity);
    QFETCH(QList<double>, expected);
    QByteArray frames;
    const qint16 first[] = {1000, 1002, 1004, 1006, 1010};
    quint32 timestamp = 500000;
    for (const qint16 d : first)
        frames += DevicePeer::frame(0, kStart, DevicePeer::measurement({{d}, {qint16(1000)}}, timestamp += 20000));
    DevicePeer peer;
    answerStartWith(peer, frames);
    CliProcess cli;
    QVERIFY(cli.run({"stats", "--port", peer.port(), "--frames", "5", "--quantity", quantity, "--json"}));
    QCOMPARE(cli.exitCode(), 0);
    const QJsonObject figures = PythonParse::json(cli.standardOutput()).toObject();
    const char *keys[] = {"count", "mean_mm", "std_mm", "min_mm", "max_mm", "peak_to_peak_mm", "median_mm",
                          "blanked_percent"};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(figures.value(keys[i]).toDouble(), expected.at(i));
    QVERIFY(figures.value("rate_hz").isDouble());
    QCOMPARE(figures.size(), 9);
    // In the order the interface lists them.
    int at = -1;
    for (const char *key : {"count", "mean_mm", "std_mm", "min_mm", "max_mm", "peak_to_peak_mm", "median_mm",
                            "blanked_percent", "rate_hz"}) {
        const int next = cli.standardOutput().indexOf(QByteArray("\"") + key + "\"");
        QVERIFY2(next > at, key);
        at = next;
    }
    QCOMPARE(peer.commands(), (QVector<quint8>{kStart, kStop}));
}

void tst_CliDevice::statsAsTextIsKeyValueLines()
{
    QByteArray frames;
    for (int i = 0; i < 4; ++i)
        frames += DevicePeer::frame(0, kStart, DevicePeer::measurement({{qint16(200 + i)}}, 100000 * quint32(i + 1)));
    DevicePeer peer;
    answerStartWith(peer, frames);
    CliProcess cli;
    QVERIFY(cli.run({"stats", "--port", peer.port(), "--frames", "4"}));
    QCOMPARE(cli.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(cli.standardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.mid(0, 3), (QStringList{"count: 4", "mean_mm: 201.5", "std_mm: 1.2909944487358056"}));
    QCOMPARE(lines.size(), 9);
    QVERIFY(lines.last().startsWith("rate_hz: "));
}

// The device acknowledges everything; the frames are those of the dialog's
// transfer, and standard output stays empty.
void tst_CliDevice::downloadSendsTheDialogsFramesAndEndsWithTheOutcomeLine()
{
    QByteArray image(150, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 7 + 3);
    const QString path = dir.filePath("image.ifw");
    QVERIFY(writeFile(path, image));
    DevicePeer peer;
    peer.onFrame([&peer](const TRData &f) { peer.pair().write(ack(f.cmd, 1)); });
    CliProcess cli;
    QVERIFY(cli.run({"download", "--port", peer.port(), "--firmware", path}));
    QVERIFY2(cli.exitCode() == 0, qPrintable(cli.errorText()));
    QVERIFY(cli.standardOutput().isEmpty());
    QCOMPARE(peer.commands(), (QVector<quint8>{0x0A, 0x0B, 0x0B, 0x0B, 0x0C}));
    const QVector<TRData> &frames = peer.received();
    QByteArray sent;
    for (int i = 1; i <= 3; ++i) {
        QCOMPARE(frames.at(i).addr, quint8(1));
        QCOMPARE(frames.at(i).offset, quint16((i - 1) * 64));
        sent += QByteArray(reinterpret_cast<const char *>(frames.at(i).data.data()) + 16, int(frames.at(i).data.size()) - 16);
    }
    QCOMPARE(sent, image + QByteArray(2, char(0xFF)));
    // "complete", then the kind of an encrypted image: 2.
    QCOMPARE(frames.at(4).data.at(16), quint8(2));
    QVERIFY2(cli.errorText().contains("Download complete: 152 bytes, 3 blocks"), qPrintable(cli.errorText()));
    QVERIFY(cli.errorText().contains("3/3 blocks"));
}

void tst_CliDevice::refusedBlockGivesFourAndNoEndCommand()
{
    const QString path = dir.filePath("refused.bin");
    QVERIFY(writeFile(path, QByteArray(64 * 5, 'x')));
    DevicePeer peer;
    int blocks = 0;
    peer.onFrame([&](const TRData &f) {
        const bool refuse = f.cmd == 0x08 && ++blocks == 2;
        peer.pair().write(ack(f.cmd, refuse ? 0 : 1));
    });
    CliProcess cli;
    QVERIFY(cli.run({"download", "--port", peer.port(), "--table", path}));
    QVERIFY2(cli.exitCode() == 4, qPrintable(cli.errorText()));
    QCOMPARE(peer.commands(), (QVector<quint8>{0x07, 0x08, 0x08}));
    QVERIFY2(cli.errorText().contains("refused block 2 of 5"), qPrintable(cli.errorText()));
    QVERIFY(cli.standardOutput().isEmpty());
}

void tst_CliDevice::silentDeviceGivesFour_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("stream") << QStringList{"stream", "--frames", "5"} << "did not answer";
    QTest::newRow("stats") << QStringList{"stats", "--seconds", "10", "--json"} << "did not answer";
    QTest::newRow("download") << QStringList{"download", "--firmware", "@image"} << "did not acknowledge the start";
}

void tst_CliDevice::silentDeviceGivesFour()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const QString image = dir.filePath("silent.bin");
    QVERIFY(writeFile(image, QByteArray(100, 'y')));
    args.replaceInStrings("@image", image);
    DevicePeer peer;
    CliProcess cli;
    QVERIFY(cli.run(args << "--port" << peer.port()));
    QCOMPARE(cli.exitCode(), 4);
    QVERIFY2(cli.errorText().contains(message), qPrintable(cli.errorText()));
    // Only what a script asked for: the CSV header of a stream, nothing else.
    if (args.first() == QLatin1String("stream"))
        QCOMPARE(cli.standardOutput(), QByteArray(kLogColumns.join(',').toUtf8() + '\n'));
    else
        QVERIFY(cli.standardOutput().isEmpty());
    if (args.first() != QLatin1String("download"))
        QTRY_COMPARE_WITH_TIMEOUT(peer.commands(), (QVector<quint8>{kStart, kStop}), 5000);
}

void tst_CliDevice::deviceGoneDuringStreamGivesFour()
{
    DevicePeer peer;
    peer.onFrame([&peer](const TRData &f) {
        if (f.cmd == kStart) {
            peer.pair().write(knownFrames().left(200));
            QTimer::singleShot(300, [&peer] { peer.pair().closeMaster(); });
        }
    });
    CliProcess cli;
    QVERIFY(cli.run({"stream", "--port", peer.port(), "--frames", "1000"}));
    QCOMPARE(cli.exitCode(), 4);
    QVERIFY2(cli.errorText().contains("went away"), qPrintable(cli.errorText()));
    const QJsonArray rows = PythonParse::csv(cli.standardOutput()).toObject().value("rows").toArray();
    QVERIFY(rows.size() >= 1);
}

void tst_CliDevice::infoGivesTheUnitExactly_data()
{
    QTest::addColumn<bool>("json");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("json") << true
                          << QByteArray("{\"unit_id\":\"0033002b000000000f0f0f0f\",\"firmware\":\"1.2.3\",\"hardware\":5,"
                                        "\"calibration\":{\"ck\":7,\"xtalk_cal\":200,\"MP_cal\":3,\"cg_cal\":4,"
                                        "\"offset_cal\":-10,\"reftof\":120,\"xtalk_peak\":4294967295,\"masum\":123456,"
                                        "\"k\":-1024,\"pileup_1\":310,\"pileup_2\":-42,\"pileup_3\":7,\"bvd\":90}}\n");
    QTest::newRow("key: value lines")
        << false
        << QByteArray("unit_id: 0033002b000000000f0f0f0f\nfirmware: 1.2.3\nhardware: 5\nck: 7\nxtalk_cal: 200\n"
                      "MP_cal: 3\ncg_cal: 4\noffset_cal: -10\nreftof: 120\nxtalk_peak: 4294967295\nmasum: 123456\n"
                      "k: -1024\npileup_1: 310\npileup_2: -42\npileup_3: 7\nbvd: 90\n");
}

// Acquisition stopped first, then one request each.
void tst_CliDevice::infoGivesTheUnitExactly()
{
    QFETCH(bool, json);
    QFETCH(QByteArray, expected);
    DevicePeer peer;
    IdentifyingUnit unit{peer};
    unit.install();
    CliProcess cli;
    QStringList args = {"info", "--port", peer.port()};
    if (json)
        args << "--json";
    QVERIFY(cli.run(args));
    QVERIFY2(cli.exitCode() == 0, qPrintable(cli.errorText()));
    QCOMPARE(cli.standardOutput(), expected);
    QCOMPARE(peer.commands(), (QVector<quint8>{kStop, kDeviceInfo, kCaliParam}));
    if (!json)
        return;
    const QJsonObject parsed = PythonParse::json(cli.standardOutput()).toObject();
    QCOMPARE(parsed.keys().size(), 4);
    QCOMPARE(parsed.value("unit_id").toString(), QStringLiteral("0033002b000000000f0f0f0f"));
    QCOMPARE(parsed.value("hardware").toInt(), 5);
    const QJsonObject calibration = parsed.value("calibration").toObject();
    QCOMPARE(calibration.keys().size(), 13);
    QCOMPARE(calibration.value("xtalk_peak").toDouble(), 4294967295.0);
    QCOMPARE(calibration.value("offset_cal").toInt(), -10);
}

void tst_CliDevice::infoAsksAgainAndGivesFourWhenUnanswered_data()
{
    QTest::addColumn<int>("ignoredInfo");
    QTest::addColumn<bool>("calibration");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QVector<quint8>>("commands");
    QTest::addColumn<QString>("message");
    QTest::newRow("device information answered the second time")
        << 1 << true << 0 << QVector<quint8>{kStop, kDeviceInfo, kDeviceInfo, kCaliParam} << QString();
    QTest::newRow("device information never answered")
        << 100 << true << 4 << QVector<quint8>{kStop, kDeviceInfo, kDeviceInfo} << "(0x14)";
    QTest::newRow("calibration never answered")
        << 0 << false << 4 << QVector<quint8>{kStop, kDeviceInfo, kCaliParam, kCaliParam} << "(0x12)";
}

void tst_CliDevice::infoAsksAgainAndGivesFourWhenUnanswered()
{
    QFETCH(int, ignoredInfo);
    QFETCH(bool, calibration);
    QFETCH(int, exitCode);
    QFETCH(QVector<quint8>, commands);
    QFETCH(QString, message);
    DevicePeer peer;
    IdentifyingUnit unit{peer, ignoredInfo, calibration};
    unit.install();
    CliProcess cli;
    QVERIFY(cli.run({"info", "--port", peer.port(), "--json"}));
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(cli.errorText()));
    QCOMPARE(peer.commands(), commands);
    if (exitCode == 0)
        return;
    QVERIFY(cli.standardOutput().isEmpty());
    QVERIFY2(cli.errorText().contains("did not answer") && cli.errorText().contains(message), qPrintable(cli.errorText()));
}

void tst_CliDevice::runOfAnUnidentifiedUnitGivesFourAndStoresNothing()
{
    DevicePeer peer;
    IdentifyingUnit unit{peer, 0, false};
    unit.install();
    const QString results = dir.filePath("unidentified.sqlite");
    CliProcess cli;
    QVERIFY(cli.run({"run", "--port", peer.port(), "--plan", dir.filePath("plan.json"), "--yes", "--results", results}));
    QVERIFY2(cli.exitCode() == 4, qPrintable(cli.errorText()));
    QVERIFY(cli.standardOutput().isEmpty());
    QVERIFY2(cli.errorText().contains("(0x12)"), qPrintable(cli.errorText()));
    QVERIFY(!peer.commands().contains(kStart));
    QVERIFY(!QFile::exists(results));
}

void tst_CliDevice::signalDuringRunSendsStopAndStoresItIncomplete_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("unattended");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Ctrl-C while collecting") << int(SIGINT) << true << 130;
    QTest::newRow("SIGTERM at the prompt") << int(SIGTERM) << false << 143;
}

// The step asks for far more frames than come before the signal.
void tst_CliDevice::signalDuringRunSendsStopAndStoresItIncomplete()
{
    QFETCH(int, signal);
    QFETCH(bool, unattended);
    QFETCH(int, exitCode);
    const QString plan = dir.filePath("long-plan.json");
    QVERIFY(writeFile(plan, "{\"name\": \"long\", \"frames\": 1000000, \"limits\": {\"std_mm\": 5}, "
                            "\"steps\": [{\"reference_mm\": 1000}]}"));
    const QString results = dir.filePath(QStringLiteral("interrupted-%1.sqlite").arg(signal));
    DevicePeer peer;
    QTimer streaming;
    IdentifyingUnit unit{peer, 0, true, &streaming};
    unit.install();
    CliProcess cli;
    QStringList args = {"run", "--port", peer.port(), "--plan", plan, "--results", results};
    if (unattended)
        args << "--yes";
    QVERIFY(cli.start(args));
    if (unattended)
        QTRY_VERIFY_WITH_TIMEOUT(peer.count(kStart) == 1 && unit.timestamp > 100000, 20000);
    else
        QTRY_VERIFY_WITH_TIMEOUT(cli.errorText().contains("Place the target at 1000 mm and press Enter\n"), 20000);
    QCOMPARE(::kill(pid_t(cli.pid()), signal), 0);
    QVERIFY(cli.finish());
    QVERIFY2(cli.exitCode() == exitCode, qPrintable(cli.errorText()));
    const QVector<quint8> commands = peer.commands();
    QCOMPARE(commands.mid(0, 3), (QVector<quint8>{kStop, kDeviceInfo, kCaliParam}));
    QTRY_VERIFY_WITH_TIMEOUT(peer.commands().mid(3).contains(kStop), 5000);
    QCOMPARE(peer.commands().last(), kStop);
    if (unattended) {
        const QList<QByteArray> lines = cli.standardOutput().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines.at(0).startsWith("step 1  1000 mm  INCOMPLETE  frames "), lines.at(0).constData());
        QVERIFY2(lines.at(1).startsWith("verdict: INCOMPLETE (step 1 at 1000 mm: "), lines.at(1).constData());
    } else {
        QCOMPARE(cli.standardOutput(), QByteArray("verdict: INCOMPLETE (1 of 1 steps not run)\n"));
    }
    CliProcess stored;
    QVERIFY(stored.run({"results", "--results", results, "--json"}));
    const QJsonArray runs = PythonParse::json(stored.standardOutput()).toArray();
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.at(0).toObject().value("verdict").toString(), QStringLiteral("INCOMPLETE"));
    QCOMPARE(runs.at(0).toObject().value("steps").toArray().size(), unattended ? 1 : 0);
}

void tst_CliDevice::portThatDoesNotExistGivesThree_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("stream") << QStringList{"stream", "--frames", "1"};
    QTest::newRow("info") << QStringList{"info", "--json"};
    QTest::newRow("run") << QStringList{"run", "--plan", "@dir/plan.json", "--yes", "--results", "@dir/none.sqlite"};
}

void tst_CliDevice::portThatDoesNotExistGivesThree()
{
    QFETCH(QStringList, args);
    args.replaceInStrings("@dir", dir.path());
    CliProcess cli;
    QVERIFY(cli.run(args << "--port" << dir.filePath("no-such-port")));
    QCOMPARE(cli.exitCode(), 3);
    QVERIFY2(cli.errorText().contains("not found"), qPrintable(cli.errorText()));
    QVERIFY(cli.standardOutput().isEmpty());
}

// The port's device file refuses this user; the message names the group
// that owns it. As root, the program runs as "nobody", whom the mode shuts out.
void tst_CliDevice::portWithoutPermissionGivesThreeAndTheGroupToJoin()
{
    DevicePeer peer;
    const QByteArray device = QFile::encodeName(peer.port());
    const bool root = ::geteuid() == 0;
    QCOMPARE(::chmod(device.constData(), root ? 0600 : 0000), 0);
    QString group = QFileInfo(peer.port()).group();
    if (group.isEmpty() || group == QLatin1String("root"))
        group = QStringLiteral("dialout");
    CliProcess cli;
    const QStringList asNobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    QVERIFY(cli.start({"stats", "--port", peer.port(), "--frames", "1"}, root ? asNobody : QStringList()));
    QVERIFY(cli.finish());
    QCOMPARE(cli.exitCode(), 3);
    QVERIFY2(cli.errorText().contains("usermod -aG " + group), qPrintable(cli.errorText()));
    QVERIFY(cli.standardOutput().isEmpty());
    QVERIFY(peer.received().isEmpty());
}

void tst_CliDevice::unreadableOrUnwritableFileGivesFiveAndSendsNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing firmware") << QStringList{"download", "--firmware", "@dir/missing.bin"} << "cannot read";
    QTest::newRow("folder as table") << QStringList{"download", "--table", "@dir"} << "cannot read";
    QTest::newRow("output in a missing folder")
        << QStringList{"stream", "--frames", "1", "--output", "@dir/missing/out.csv"} << "cannot write";
    QTest::newRow("output onto a folder") << QStringList{"stream", "--frames", "1", "--output", "@dir"}
                                          << "not a regular file";
    QTest::newRow("missing plan") << QStringList{"run", "--plan", "@dir/missing.json", "--yes"} << "missing.json";
    QTest::newRow("plan with a misspelled limit")
        << QStringList{"run", "--plan", "@dir/misspelled-plan.json", "--yes"} << "Step 1: unknown key \"limits.bias_mn\"";
    QTest::newRow("report in a missing folder")
        << QStringList{"run", "--plan", "@dir/plan.json", "--report", "@dir/missing/r.html"} << "does not exist";
}

void tst_CliDevice::unreadableOrUnwritableFileGivesFiveAndSendsNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    args.replaceInStrings("@dir", dir.path());
    DevicePeer peer;
    CliProcess cli;
    QVERIFY(cli.run(args << "--port" << peer.port()));
    QCOMPARE(cli.exitCode(), 5);
    QVERIFY2(cli.errorText().contains(message), qPrintable(cli.errorText()));
    QVERIFY(cli.standardOutput().isEmpty());
    QTest::qWait(100);
    QVERIFY(peer.received().isEmpty());
}

QTEST_GUILESS_MAIN(tst_CliDevice)
#include "tst_cli_device.moc"
