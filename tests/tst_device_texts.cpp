#include "workflow/WorkflowTexts.h"

#include <QtEndian>
#include <QtTest>

#include <vector>

namespace {

// A 0x14 payload with the given firmware version, hardware version and id.
std::vector<quint8> deviceInfoPayload(quint32 firmware, quint32 hardware, const quint32 (&mcu)[3])
{
    std::vector<quint8> b(52, 0);
    qToLittleEndian<quint32>(firmware, b.data());
    qToLittleEndian<quint32>(hardware, b.data() + 4);
    qToLittleEndian<quint32>(20240115, b.data() + 8);
    qToLittleEndian<quint32>(93000, b.data() + 12);
    for (int i = 0; i < 3; ++i)
        qToLittleEndian<quint32>(mcu[i], b.data() + 16 + 4 * i);
    for (int i = 0; i < 8; ++i)
        b[28 + i] = quint8(0x10 * i + 0x0A);
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<quint16>(quint16(i + 1), b.data() + 36 + 2 * i);
    qToLittleEndian<quint16>(150, b.data() + 44);
    qToLittleEndian<quint16>(65535, b.data() + 46);
    qToLittleEndian<quint32>(4000, b.data() + 48);
    return b;
}

// A CaliParam block with every field distinct, at `at` in `b`.
void putCaliParam(std::vector<quint8> &b, std::size_t at)
{
    const quint8 head[] = {1, 2, 3, 4, 0xF6, 0xFF, 0x2C, 0x01, 0xFF, 0xFF, 0xFF, 0xFF};
    std::copy(std::begin(head), std::end(head), b.begin() + long(at));
    const qint32 words[] = {-5, 6, 7, -8, 123456};
    for (int i = 0; i < 5; ++i)
        qToLittleEndian<qint32>(words[i], b.data() + at + 12 + 4 * std::size_t(i));
}

const QString kCaliHead = QStringLiteral("ck=1,xtalk_cal=2,MP_cal=3,cg_cal=4\n"
                                         "offset_cal=-10,reftof=300,xtalk_peak=4294967295\nmasum=123456");

} // namespace

class tst_DeviceTexts : public QObject {
    Q_OBJECT
private slots:
    void deviceInfoShowsVersionsAndHexId_data();
    void deviceInfoShowsVersionsAndHexId();
    void deviceInfoLogsItsFieldsLineByLine();
    void calibrationAnswerTakesBvdFromTheLastByte_data();
    void calibrationAnswerTakesBvdFromTheLastByte();
    void calibrationResultShowsEightValuesWhateverRet_data();
    void calibrationResultShowsEightValuesWhateverRet();
    void shortAnswersGiveNothing_data();
    void shortAnswersGiveNothing();
    void diagnosticLinesKeepTheirFormats_data();
    void diagnosticLinesKeepTheirFormats();
};

void tst_DeviceTexts::deviceInfoShowsVersionsAndHexId_data()
{
    QTest::addColumn<quint32>("firmware");
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("logVersion");

    QTest::newRow("plain") << 0x01020003u << "softversion:1.2.3\nhardversion:5\nmcu id:33002b3538510c20363733"
                           << "firmware_version:v1.2.3,";
    QTest::newRow("patch above a byte") << 0x01020103u
                                        << "softversion:1.2.259\nhardversion:5\nmcu id:33002b3538510c20363733"
                                        << "firmware_version:v1.2.3,";
    QTest::newRow("top bits") << 0xFFFEFFFFu
                              << "softversion:255.254.65535\nhardversion:5\nmcu id:33002b3538510c20363733"
                              << "firmware_version:v255.254.255,";
}

void tst_DeviceTexts::deviceInfoShowsVersionsAndHexId()
{
    QFETCH(quint32, firmware);
    QFETCH(QString, logVersion);
    const std::vector<quint8> payload = deviceInfoPayload(firmware, 5, {0x0033002B, 0x3538510C, 0x20363733});
    const auto answer = WorkflowTexts::deviceInfoAnswer(payload.data(), payload.size());
    QVERIFY(answer);
    QTEST(answer->viewText, "view");
    QVERIFY(answer->debugLines.value(0).startsWith(logVersion));
}

void tst_DeviceTexts::deviceInfoLogsItsFieldsLineByLine()
{
    const std::vector<quint8> payload = deviceInfoPayload(0x01020103, 7, {0x0A, 0, 0xFFFFFFFF});
    const auto answer = WorkflowTexts::deviceInfoAnswer(payload.data(), payload.size());
    QVERIFY(answer);
    const QStringList expected{
        "firmware_version:v1.2.3,hardware_version:7,manufacture_date:20240115,manufacture_time:93000"
        "mcu id:10,0,4294967295frequence:4000,",
        "a", "1a", "2a", "3a", "4a", "5a", "6a", "7a",
        "mcuid:a0ffffffff",
        "blindare:150 65535\npitch_angle:1 2 3 4"};
    QCOMPARE(answer->debugLines, expected);
}

void tst_DeviceTexts::calibrationAnswerTakesBvdFromTheLastByte_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("bvdLine");
    QTest::newRow("32 bytes: bvd shares the masum byte") << 32 << "bvd=0";
    QTest::newRow("33 bytes") << 33 << "bvd=232";
    QTest::newRow("40 bytes") << 40 << "bvd=239";
}

void tst_DeviceTexts::calibrationAnswerTakesBvdFromTheLastByte()
{
    QFETCH(int, length);
    QFETCH(QString, bvdLine);
    std::vector<quint8> payload(std::size_t(length), 0);
    putCaliParam(payload, 0);
    for (int i = 32; i < length; ++i)
        payload[std::size_t(i)] = quint8(200 + i);
    const auto answer = WorkflowTexts::caliParamAnswer(payload.data(), payload.size());
    QVERIFY(answer);
    QCOMPARE(answer->viewText,
             kCaliHead + ",k=-5\npileup_1=6,pileup_2=7,pileup_3=-8\n" + bvdLine);
    const QStringList expectedLog{
        QString("size:%1").arg(length), "ck=1,xtalk_cal=2,MP_cal=3,cg_cal=4,offset_cal=-10",
        "reftof=300,xtalk_peak=-1", "masum=123456 k=-5 pileup_1=6 pileup_2=7 pileup_3=-8"};
    QCOMPARE(answer->debugLines, expectedLog);
}

void tst_DeviceTexts::calibrationResultShowsEightValuesWhateverRet_data()
{
    QTest::addColumn<quint8>("ret");
    QTest::newRow("failed") << quint8(0);
    QTest::newRow("succeeded") << quint8(1);
}

void tst_DeviceTexts::calibrationResultShowsEightValuesWhateverRet()
{
    QFETCH(quint8, ret);
    std::vector<quint8> payload(34, 0);
    payload[0] = 0x77;
    payload[1] = ret;
    putCaliParam(payload, 2);
    const auto answer = WorkflowTexts::caliResultAnswer(payload.data(), payload.size());
    QVERIFY(answer);
    QCOMPARE(answer->viewText, kCaliHead);
    QCOMPARE(answer->debugLines.value(0), QString("ret:%1").arg(ret));
    // The view shows xtalk_peak unsigned, the diagnostic line signed.
    QCOMPARE(answer->debugLines.value(2), QStringLiteral("reftof=300,xtalk_peak=-1"));
    QCOMPARE(answer->debugLines.value(3), QStringLiteral("masum=123456"));
}

void tst_DeviceTexts::shortAnswersGiveNothing_data()
{
    QTest::addColumn<quint8>("cmd");
    QTest::addColumn<int>("length");
    QTest::newRow("0x12 of 31") << quint8(0x12) << 31;
    QTest::newRow("0x27 of 33") << quint8(0x27) << 33;
    QTest::newRow("0x27 of 1") << quint8(0x27) << 1;
    QTest::newRow("0x14 of 51") << quint8(0x14) << 51;
    QTest::newRow("0x14 of 0") << quint8(0x14) << 0;
}

void tst_DeviceTexts::shortAnswersGiveNothing()
{
    QFETCH(quint8, cmd);
    QFETCH(int, length);
    // Exactly `length` bytes on the heap, so a read past them is caught by the sanitizer.
    std::vector<quint8> payload(std::size_t(length), 0x5A);
    const quint8 *p = payload.empty() ? nullptr : payload.data();
    std::optional<DeviceAnswer> answer;
    if (cmd == 0x12)
        answer = WorkflowTexts::caliParamAnswer(p, payload.size());
    else if (cmd == 0x27)
        answer = WorkflowTexts::caliResultAnswer(p, payload.size());
    else
        answer = WorkflowTexts::deviceInfoAnswer(p, payload.size());
    QVERIFY(!answer);
}

void tst_DeviceTexts::diagnosticLinesKeepTheirFormats_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    const quint8 record[] = {0x0A, 0x00, 0xFF, 1, 1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("eleven-byte record") << WorkflowTexts::hexRecordLine(record, sizeof record) << "a0ff11111111";
    QTest::newRow("ack") << WorkflowTexts::ackLine(0x0C, 0) << "ack:12, result:0";
    QTest::newRow("timing") << WorkflowTexts::timingLine(-1, 2147483647) << "timing:-1 2147483647";
}

void tst_DeviceTexts::diagnosticLinesKeepTheirFormats()
{
    QFETCH(QString, line);
    QTEST(line, "expected");
}

QTEST_GUILESS_MAIN(tst_DeviceTexts)
#include "tst_device_texts.moc"
