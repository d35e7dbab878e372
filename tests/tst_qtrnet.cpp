#include "link/QTRNet.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

#include <ctime>

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

// Records every published packet by value: the pointer is valid only during the call.
struct Recorder : QObject {
    QList<TRData> packets;
    void attach(QTRNet &net)
    {
        QObject::connect(&net, &QTRNet::dataReady, this, [this](TRData *p) { packets.append(*p); });
    }
};

double cpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
} // namespace

class tst_QTRNet : public QObject {
    Q_OBJECT
private slots:
    void nullPortThrowsItsText();
    void receivePublishesFramesInOrder_data();
    void receivePublishesFramesInOrder();
    void frameSplitAcrossChunksIsPublishedOnce();
    void byteByByteDeliveryFindsEveryFrame();
    void incrementalScanMatchesFullRescan_data();
    void incrementalScanMatchesFullRescan();
    void headerLineThenFramesMatchesFullRescan();
    void longestFrameAfterNoiseArrivesInSmallChunks();
    void garbagePileStaysBoundedAndLaterFramesArrive();
    void receiverThatFeedsMoreBytesDoesNotReenterThePass();
    void sendWritesExactlyTheFrameToThePort();
    void sendsAreRefusedWhenClosedBusyOrUnwritable();
    void payloadUpToTheLengthFieldsLimitIsSentAndNoLonger();
    void waitLastsAtLeastItsTimeHandlesEventsAndDoesNotSpin();
    void nestedWaitReturnsAtOnce();
};

void tst_QTRNet::nullPortThrowsItsText()
{
    bool thrown = false;
    try {
        QTRNet net(nullptr);
    } catch (const char *text) {
        thrown = QByteArray(text) == "SerialPort is NULL";
    }
    QVERIFY(thrown);
}

void tst_QTRNet::receivePublishesFramesInOrder_data()
{
    const QByteArray a = encodedFrame(0x02, hex("01020304"));
    const QByteArray b = encodedFrame(0x10, hex("0A01"));
    const QByteArray empty = encodedFrame(0x28, {});
    QByteArray damaged = a;
    damaged[12] = char(damaged[12] ^ 1);

    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("cmds");
    QTest::addColumn<int>("left");

    QTest::newRow("two frames in one chunk") << a + b << hex("0210") << 0;
    QTest::newRow("noise then frame: noise goes too") << hex("00 11 AA AA 22") + b << hex("10") << 0;
    QTest::newRow("noise alone stays") << hex("00 11 22 33 44 55 66") << QByteArray() << 7;
    QTest::newRow("noise then a frame's start stays") << hex("01 02") + a.left(7) << QByteArray() << 9;
    QTest::newRow("damaged then good: both go") << damaged + b << hex("10") << 0;
    QTest::newRow("damaged alone stays") << damaged << QByteArray() << damaged.size();
    QTest::newRow("under five bytes: no scan") << hex("AA AA AA AA") << QByteArray() << 4;
    QTest::newRow("empty payload") << empty << hex("28") << 0;
    QTest::newRow("frame then the next one's start") << a + b.left(6) << hex("02") << 6;
    QTest::newRow("header bytes inside a payload") << encodedFrame(0x02, hex("AAAAAAAA0102")) + b << hex("0210") << 0;
}

void tst_QTRNet::receivePublishesFramesInOrder()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, cmds);
    QFETCH(int, left);

    QSerialPort port;
    QTRNet net(&port);
    Recorder rec;
    rec.attach(net);
    net.receiveData(bytes);
    QByteArray seen;
    for (const TRData &p : rec.packets)
        seen.append(char(p.cmd));
    QCOMPARE(seen.toHex(), cmds.toHex());
    QCOMPARE(net.bufferedBytes(), left);

    net.receiveData({});
    QCOMPARE(rec.packets.size(), cmds.size());
}

void tst_QTRNet::frameSplitAcrossChunksIsPublishedOnce()
{
    const QByteArray a = encodedFrame(0x14, QByteArray(52, '\x07'));
    QSerialPort port;
    QTRNet net(&port);
    Recorder rec;
    rec.attach(net);
    net.receiveData(a.left(20));
    QCOMPARE(rec.packets.size(), 0);
    QCOMPARE(net.bufferedBytes(), 20);
    net.receiveData(a.mid(20));
    QCOMPARE(rec.packets.size(), 1);
    QCOMPARE(rec.packets[0].data.size(), size_t(52));
    QCOMPARE(net.bufferedBytes(), 0);
}

void tst_QTRNet::byteByByteDeliveryFindsEveryFrame()
{
    QByteArray stream;
    for (int i = 0; i < 50; ++i) {
        stream += encodedFrame(quint8(i), QByteArray(i * 7, char(i)));
        stream += QByteArray(i % 5, char(0x55));
    }
    QSerialPort port;
    QTRNet net(&port);
    Recorder rec;
    rec.attach(net);
    for (char c : stream)
        net.receiveData(QByteArray(1, c));
    QCOMPARE(rec.packets.size(), 50);
    for (int i = 0; i < 50; ++i) {
        QCOMPARE(int(rec.packets[i].cmd), i);
        QCOMPARE(rec.packets[i].data.size(), size_t(i * 7));
    }
}

// Noise of the header-heavy kind: runs of 0xAA (every position a header
// claiming 0xAAAA bytes) and headers with short lengths over random bytes,
// so that many overlapping candidates complete and fail their checksums.
namespace {
QByteArray headerHeavyNoise(QRandomGenerator &rng)
{
    if (rng.bounded(2) == 0)
        return QByteArray(1 + rng.bounded(300), char(0xAA));
    QByteArray noise = QByteArray(4 + rng.bounded(3), char(0xAA));
    for (int k = 0, n = 4 + rng.bounded(40); k < n; ++k)
        noise += char(rng.bounded(4) == 0 ? 0xAA : rng.bounded(24));
    return noise;
}
} // namespace

void tst_QTRNet::incrementalScanMatchesFullRescan_data()
{
    QTest::addColumn<bool>("headerHeavy");
    QTest::newRow("scattered noise") << false;
    QTest::newRow("header-heavy noise") << true;
}

void tst_QTRNet::incrementalScanMatchesFullRescan()
{
    QFETCH(bool, headerHeavy);
    QRandomGenerator rng(headerHeavy ? 4711 : 20261207);
    for (int round = 0; round < 200; ++round) {
        QByteArray stream;
        while (stream.size() < 3000) {
            const int kind = rng.bounded(4);
            if (kind == 0 && headerHeavy) {
                stream += headerHeavyNoise(rng);
            } else if (kind == 0) {
                QByteArray noise(rng.bounded(12), '\0');
                for (char &c : noise)
                    c = char(rng.bounded(3) == 0 ? 0xAA : rng.bounded(256));
                stream += noise;
            } else {
                QByteArray f = encodedFrame(quint8(rng.bounded(256)), QByteArray(rng.bounded(40), char(rng.bounded(256))));
                if (kind == 1)
                    f[rng.bounded(f.size())] = char(rng.bounded(256));
                if (kind == 2)
                    f.chop(rng.bounded(f.size()));
                stream += f;
            }
        }
        QSerialPort port;
        QTRNet net(&port);
        QList<QByteArray> seen;
        connect(&net, &QTRNet::dataReady, this, [&](TRData *p) {
            seen.append(encodedFrame(*p));
        });
        ReferenceScanner reference;
        for (int at = 0; at < stream.size();) {
            const int n = 1 + rng.bounded(64);
            net.receiveData(stream.mid(at, n));
            reference.receive(stream.mid(at, n));
            at += n;
        }
        QCOMPARE(seen, reference.published);
        QCOMPARE(net.bufferedBytes(), reference.buffer.size());
    }
}

// A line held at 0xAA long enough for its claimed frames to complete: their
// checksums run over the frames after it, and some happen to match.
void tst_QTRNet::headerLineThenFramesMatchesFullRescan()
{
    QRandomGenerator rng(12);
    QByteArray stream(50000, char(0xAA));
    for (int k = 0; k < 60; ++k)
        stream += encodedFrame(quint8(k), QByteArray(rng.bounded(200), char(rng.bounded(256))));
    stream += QByteArray(3000, char(0xAA)) + encodedFrame(0x10, hex("0201"));

    QSerialPort port;
    QTRNet net(&port);
    QList<QByteArray> seen;
    connect(&net, &QTRNet::dataReady, this, [&](TRData *p) { seen.append(encodedFrame(*p)); });
    ReferenceScanner reference;
    for (int at = 0; at < stream.size();) {
        const QByteArray piece = stream.mid(at, 4096 + rng.bounded(12288));
        net.receiveData(piece);
        reference.receive(piece);
        at += piece.size();
    }
    QVERIFY(!reference.published.isEmpty());
    QCOMPARE(seen, reference.published);
    QCOMPARE(net.bufferedBytes(), reference.buffer.size());
}

// The longest frame, behind a little noise and trickling in, must not lose
// its beginning to the bound on dead bytes.
void tst_QTRNet::longestFrameAfterNoiseArrivesInSmallChunks()
{
    QRandomGenerator rng(18);
    QByteArray payload(int(TRCodec::kMaxPayload), '\0');
    for (char &c : payload)
        c = char(rng.bounded(256));
    QByteArray noise(1000, '\0');
    for (char &c : noise)
        c = char(rng.bounded(0x80));
    const QByteArray stream = noise + encodedFrame(0x02, payload);
    QCOMPARE(stream.size(), 1000 + 65546);

    QSerialPort port;
    QTRNet net(&port);
    Recorder rec;
    rec.attach(net);
    for (int at = 0; at < stream.size(); at += 1000)
        net.receiveData(stream.mid(at, 1000));
    QCOMPARE(rec.packets.size(), 1);
    QVERIFY(rec.packets[0].data == std::vector<quint8>(payload.begin(), payload.end()));
    QCOMPARE(net.bufferedBytes(), 0);
}

void tst_QTRNet::garbagePileStaysBoundedAndLaterFramesArrive()
{
    QSerialPort port;
    QTRNet net(&port);
    Recorder rec;
    rec.attach(net);
    // A header that claims the longest payload keeps its bytes until they are
    // all there; plain noise may be dropped beyond the bound.
    net.receiveData(hex("AA AA AA AA 00 02 00 00 FF FF"));
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 37) & 0x7F);
    for (int i = 0; i < 400; ++i) {
        net.receiveData(noise);
        QVERIFY(net.bufferedBytes() <= QTRNet::kDeadBytesKept + int(TRCodec::kMaxFrame) + noise.size());
    }
    net.receiveData(encodedFrame(0x24, hex("0100000002000000")));
    QCOMPARE(rec.packets.size(), 1);
    QCOMPARE(int(rec.packets[0].cmd), 0x24);
    QCOMPARE(net.bufferedBytes(), 0);
}

void tst_QTRNet::receiverThatFeedsMoreBytesDoesNotReenterThePass()
{
    QSerialPort port;
    QTRNet net(&port);
    QList<int> order;
    const QByteArray second = encodedFrame(0x02, hex("0202"));
    const QByteArray third = encodedFrame(0x03, hex("0303"));
    connect(&net, &QTRNet::dataReady, this, [&](TRData *p) {
        order.append(p->cmd);
        if (p->cmd == 0x01)
            net.receiveData(third); // as if a receiver's event loop read the port
        QCOMPARE(int(p->data.size()), 2);
    });
    net.receiveData(encodedFrame(0x01, hex("0101")) + second);
    QCOMPARE(order, (QList<int> {1, 2, 3}));
    QCOMPARE(net.bufferedBytes(), 0);
}

void tst_QTRNet::sendWritesExactlyTheFrameToThePort()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QSerialPort port(pty.portName());
    QVERIFY(port.open(QIODevice::ReadWrite));
    QTRNet net(&port);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(net.sendCmd(0, 0x0F, 0));
    QVERIFY(clock.elapsed() >= 50);
    QCOMPARE(pty.read(15, 3000).toHex(' '), hex("AA AA AA AA 00 0F 00 00 04 00 00 00 00 00 13").toHex(' '));

    const QByteArray payload = QByteArray("param cali") + QByteArray(6, '\0');
    QVERIFY(net.sendData(0, 0x27, reinterpret_cast<const quint8 *>(payload.constData()), 16, 0));
    QCOMPARE(pty.read(27, 3000), encodedFrame(0x27, payload));
}

void tst_QTRNet::sendsAreRefusedWhenClosedBusyOrUnwritable()
{
    PtyPair pty;
    QSerialPort port(pty.portName());
    QTRNet net(&port);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!net.sendCmd(0, 0x02, 0));
    QVERIFY(clock.elapsed() < 50);

    QVERIFY(port.open(QIODevice::ReadWrite));
    bool refusedDuringWait = false;
    bool waitReturnedAtOnce = false;
    QTimer::singleShot(10, this, [&] {
        const quint8 b = 1;
        refusedDuringWait = !net.sendData(0, 0x03, &b, 1, 0) && !net.sendCmd(0, 0x02, 0);
        QElapsedTimer inner;
        inner.start();
        net.waitMs(500);
        waitReturnedAtOnce = inner.elapsed() < 100;
    });
    net.waitMs(100);
    QVERIFY(refusedDuringWait);
    QVERIFY(waitReturnedAtOnce);
    QVERIFY(pty.read(1, 100).isEmpty());
    port.close();

    QVERIFY(port.open(QIODevice::ReadOnly));
    QVERIFY(!net.sendCmd(0, 0x02, 0));
}

void tst_QTRNet::payloadUpToTheLengthFieldsLimitIsSentAndNoLonger()
{
    PtyPair pty;
    QSerialPort port(pty.portName());
    QVERIFY(port.open(QIODevice::ReadWrite));
    QTRNet net(&port);
    QByteArray big(65536, 'x');
    big[0] = 1;
    const auto *bytes = reinterpret_cast<const quint8 *>(big.constData());
    QVERIFY(!net.sendData(1, 0x0B, bytes, 65536, 0));
    QVERIFY(pty.read(1, 200).isEmpty());

    QVERIFY(net.sendData(1, 0x0B, bytes, 65535, 0));
    const QByteArray written = pty.read(65546, 20000);
    QCOMPARE(written.size(), 65546);
    QCOMPARE(written.mid(8, 2).toHex(), QByteArray("ffff"));
    QCOMPARE(written, encodedFrame(0x0B, big.left(65535), 1));
}

void tst_QTRNet::waitLastsAtLeastItsTimeHandlesEventsAndDoesNotSpin()
{
    QSerialPort port;
    QTRNet net(&port);
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(20);
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = cpuSeconds();
    net.waitMs(400);
    const double cpu = cpuSeconds() - cpuBefore;
    QVERIFY(clock.elapsed() >= 400);
    QVERIFY(ticks >= 5);
    QVERIFY(!net.isBusy());
    // A spinning wait burns the whole 0.4 s; a blocking one almost nothing.
    QVERIFY2(cpu < 0.2, qPrintable(QString::number(cpu)));
}

void tst_QTRNet::nestedWaitReturnsAtOnce()
{
    QSerialPort port;
    QTRNet net(&port);
    qint64 nested = -1;
    QTimer::singleShot(5, this, [&] {
        QElapsedTimer c;
        c.start();
        net.wait50Ms();
        nested = c.elapsed();
    });
    net.waitMs(200);
    QVERIFY(nested >= 0 && nested < 40);
}

QTEST_GUILESS_MAIN(tst_QTRNet)
#include "tst_qtrnet.moc"
