#include "link/TRCodec.h"

#include <QtTest>

Q_DECLARE_METATYPE(std::vector<quint8>)

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

std::vector<quint8> bytes(const QByteArray &a) { return std::vector<quint8>(a.begin(), a.end()); }

const quint8 *raw(const QByteArray &a) { return reinterpret_cast<const quint8 *>(a.constData()); }

QByteArray tagged(const char *tag, int tagField, const QByteArray &tail)
{
    QByteArray field(tagField, '\0');
    field.replace(0, int(qstrlen(tag)), tag);
    return field + tail;
}
} // namespace

class tst_TRCodec : public QObject {
    Q_OBJECT
private slots:
    void encodeGivesTheReferenceFrame_data();
    void encodeGivesTheReferenceFrame();
    void decodeGivesThePacketBack_data() { encodeGivesTheReferenceFrame_data(); }
    void decodeGivesThePacketBack();
    void decodeNeedsTheWholeFrameAndIgnoresWhatFollows();
    void anyDamagedByteFailsAndChangesNothing();
    void checksumWrapsModulo256();
    void longestPayloadRoundTrips();
    void laterShorterFrameGetsItsOwnLength();
};

void tst_TRCodec::encodeGivesTheReferenceFrame_data()
{
    QTest::addColumn<int>("addr");
    QTest::addColumn<int>("cmd");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("stop command") << 0 << 0x0F << 0 << hex("00000000")
                                  << hex("AA AA AA AA 00 0F 00 00 04 00 00 00 00 00 13");
    QTest::newRow("value 500") << 0 << 0x14 << 0 << hex("F4010000")
                               << hex("AA AA AA AA 00 14 00 00 04 00 F4 01 00 00 0D");
    QTest::newRow("offset word") << 1 << 0x0C << 0x0100 << hex("010203")
                                 << hex("AA AA AA AA 01 0C 00 01 03 00 01 02 03 17");
    QTest::newRow("empty payload") << 0 << 0x02 << 0 << QByteArray()
                                   << hex("AA AA AA AA 00 02 00 00 00 00 02");
    QTest::newRow("firmware start") << 1 << 0x0A << 0 << tagged("start download", 16, {})
                                    << hex("AA AA AA AA 01 0A 00 00 10 00 73 74 61 72 74 20 64 6F 77 6E 6C 6F 61 64 00 00 C1");
    QTest::newRow("firmware end, kind 2") << 1 << 0x0C << 0 << tagged("complete", 16, hex("02000000"))
                                          << hex("AA AA AA AA 01 0C 00 00 14 00 63 6F 6D 70 6C 65 74 65 00 00 00 00 00 00 00 00 02 00 00 00 7C");
    QTest::newRow("table start") << 1 << 0x07 << 0 << tagged("lut start", 16, {})
                                 << hex("AA AA AA AA 01 07 00 00 10 00 6C 75 74 20 73 74 61 72 74 00 00 00 00 00 00 00 BB");
    QTest::newRow("table end") << 1 << 0x09 << 0 << hex("01000000")
                               << hex("AA AA AA AA 01 09 00 00 04 00 01 00 00 00 0F");
}

void tst_TRCodec::encodeGivesTheReferenceFrame()
{
    QFETCH(int, addr);
    QFETCH(int, cmd);
    QFETCH(int, offset);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);

    TRData pack;
    pack.addr = quint8(addr);
    pack.cmd = quint8(cmd);
    pack.offset = quint16(offset);
    pack.data = bytes(payload);
    QByteArray out("stale bytes that must go");
    QVERIFY(TRCodec().encode(pack, out));
    QCOMPARE(out.toHex(' '), frame.toHex(' '));
}

void tst_TRCodec::decodeGivesThePacketBack()
{
    QFETCH(int, addr);
    QFETCH(int, cmd);
    QFETCH(int, offset);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);

    TRCodec codec;
    const TRData *pack = codec.decode(raw(frame), quint32(frame.size()));
    QVERIFY(pack);
    QCOMPARE(int(pack->addr), addr);
    QCOMPARE(int(pack->cmd), cmd);
    QCOMPARE(int(pack->offset), offset);
    QCOMPARE(pack->data, bytes(payload));
    QCOMPARE(codec.frameLen, quint32(frame.size()));
}

void tst_TRCodec::decodeNeedsTheWholeFrameAndIgnoresWhatFollows()
{
    const QByteArray frame = hex("AA AA AA AA 00 14 00 00 04 00 F4 01 00 00 0D");
    TRCodec codec;
    QVERIFY(!codec.decode(raw(frame), quint32(frame.size() - 1)));
    QVERIFY(!codec.decode(raw(frame), 10));
    QVERIFY(!codec.decode(nullptr, 100));

    const QByteArray followed = frame + hex("AA AA AA AA 00");
    QVERIFY(codec.decode(raw(followed), quint32(followed.size())));
    QCOMPARE(codec.frameLen, 15u);
}

void tst_TRCodec::anyDamagedByteFailsAndChangesNothing()
{
    const QByteArray good = hex("AA AA AA AA 01 0C 00 01 03 00 01 02 03 17");
    TRCodec codec;
    QVERIFY(codec.decode(raw(good), quint32(good.size())));
    for (int i = 0; i < good.size(); ++i) {
        QByteArray bad = good;
        bad[i] = char(bad[i] ^ 0x40);
        QVERIFY2(!codec.decode(raw(bad), quint32(bad.size())), qPrintable(QString::number(i)));
        QCOMPARE(codec.frameLen, quint32(good.size()));
    }
}

void tst_TRCodec::checksumWrapsModulo256()
{
    const quint8 sum0x1FF[] = {0xFF, 0xFF, 0x01};
    QCOMPARE(TRCodec::checksum(sum0x1FF, 3), quint8(0xFF));
    QCOMPARE(TRCodec::checksum(sum0x1FF, 0), quint8(0));
}

// 6 + N leaves 16 bits for the longest payloads; such frames must still pass.
void tst_TRCodec::longestPayloadRoundTrips()
{
    for (quint32 n : {65529u, 65530u, 65535u}) {
        TRData pack;
        pack.cmd = 0x0B;
        pack.data.assign(n, 0x5A);
        QByteArray frame;
        TRCodec codec;
        codec.encode(pack, frame);
        QCOMPARE(quint32(frame.size()), 11 + n);
        const TRData *back = codec.decode(raw(frame), quint32(frame.size()));
        QVERIFY2(back, qPrintable(QString::number(n)));
        QCOMPARE(back->data.size(), size_t(n));

        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) + 1);
        QVERIFY(!codec.decode(raw(frame), quint32(frame.size())));
    }
}

void tst_TRCodec::laterShorterFrameGetsItsOwnLength()
{
    const QByteArray longer = hex("AA AA AA AA 00 14 00 00 04 00 F4 01 00 00 0D");
    const QByteArray shorter = hex("AA AA AA AA 00 02 00 00 00 00 02");
    TRCodec codec;
    QVERIFY(codec.decode(raw(longer), quint32(longer.size())));
    const TRData *pack = codec.decode(raw(shorter), quint32(shorter.size()));
    QVERIFY(pack);
    QVERIFY(pack->data.empty());
    QCOMPARE(codec.frameLen, 11u);
}

QTEST_GUILESS_MAIN(tst_TRCodec)
#include "tst_trcodec.moc"
