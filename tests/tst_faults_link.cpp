#include "app/MainWindow.h"
#include "link/EventPump.h"
#include "link/QTRNet.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <set>

struct MainWindowProbe {
    static QTRNet *net(MainWindow &w) { return w.net; }
    static QSerialPort *port(MainWindow &w) { return w.serialPort; }
};
using Probe = MainWindowProbe;

namespace {

// A measurement frame of `points` points whose timestamp carries `seq`, so
// the receiver can tell exactly which frames arrived.
QByteArray measurementFrame(quint32 seq, int points, QRandomGenerator &rng)
{
    QByteArray payload(15 * points + 4, '\0');
    auto *p = reinterpret_cast<uchar *>(payload.data());
    for (int i = 0; i < points; ++i) {
        qToLittleEndian<qint16>(qint16(rng.bounded(-32768, 32768)), p + 15 * i);
        qToLittleEndian<quint16>(quint16(rng.bounded(200)), p + 15 * i + 2);
        qToLittleEndian<quint32>(rng.generate(), p + 15 * i + 4);
        p[15 * i + 8] = uchar(rng.bounded(256));
    }
    qToLittleEndian<quint32>(seq, p + 15 * points);
    return encodedFrame(0x02, payload);
}

QByteArray randomBytes(int count, QRandomGenerator &rng)
{
    QByteArray bytes(count, '\0');
    for (char &c : bytes)
        c = char(rng.bounded(256));
    return bytes;
}

// Line noise as a wrong baud rate, a damaged cable or another device makes
// it: random bytes, frame headers with random lengths that never complete,
// and frames with one byte changed.
QByteArray noise(QRandomGenerator &rng)
{
    QByteArray out = randomBytes(rng.bounded(2000), rng);
    switch (rng.bounded(4)) {
    case 0:
        out += QByteArray(4, char(0xAA)) + randomBytes(6 + rng.bounded(20), rng);
        break;
    case 1: {
        QByteArray damaged = measurementFrame(0xFFFFFFFFu, 1 + rng.bounded(20), rng);
        const int at = 4 + rng.bounded(damaged.size() - 4);
        damaged[at] = char(damaged.at(at) ^ char(1 + rng.bounded(255)));
        out += damaged;
        break;
    }
    default:
        break;
    }
    return out;
}

// Positions of every frame that a receiver could decode in `stream`.
std::set<int> decodablePositions(const QByteArray &stream)
{
    std::set<int> found;
    TRCodec codec;
    const auto *bytes = reinterpret_cast<const quint8 *>(stream.constData());
    for (int i = 0; i + 4 < stream.size(); ++i)
        if (codec.isHeader(bytes + i) && codec.decode(bytes + i, quint32(stream.size() - i)))
            found.insert(i);
    return found;
}

// Good frames in noise, where nothing but the good frames can be decoded: a
// damaged frame or a stray header that happened to check out would be a
// frame the peer really sent, and could rightly swallow a good one.
struct NoisyStream {
    QByteArray bytes;
    int goodFrames = 0;

    static NoisyStream make(int frames, int deadRunBytes, quint32 seed)
    {
        for (;; ++seed) {
            QRandomGenerator rng(seed);
            NoisyStream s;
            std::set<int> goodAt;
            for (int k = 0; k < frames; ++k) {
                if (k == frames / 2)
                    s.bytes += randomBytes(deadRunBytes, rng).replace(char(0xAA), char(0x55));
                s.bytes += noise(rng);
                goodAt.insert(s.bytes.size());
                s.bytes += measurementFrame(quint32(k), 1 + rng.bounded(300), rng);
            }
            s.goodFrames = frames;
            if (decodablePositions(s.bytes) == goodAt)
                return s;
        }
    }
};

// The main window on one end of a pseudo-terminal, started as a user would.
// Watches what the window's endpoint publishes and how much it keeps.
struct Rig {
    QTemporaryDir workDir;
    PtyPair pty;
    std::unique_ptr<MainWindow> window;
    QList<quint32> sequence;
    int chunk = 0;
    int worstExcess = INT_MIN; // buffered bytes beyond the bound, at worst

    Rig()
    {
        QDir::setCurrent(workDir.path());
        window = std::make_unique<MainWindow>();
        QTRNet *net = Probe::net(*window);
        QObject::connect(net, &QTRNet::dataReady, net, [this](TRData *p) {
            const std::size_t len = p->data.size();
            if (p->cmd == 0x02 && len >= 19)
                sequence << qFromLittleEndian<quint32>(p->data.data() + 15 * ((len - 19) / 15 + 1));
        });
    }

    // Around the window's own readyRead connection, which Start makes.
    void watchBuffer()
    {
        QSerialPort *port = Probe::port(*window);
        QObject::connect(port, &QSerialPort::readyRead, port, [this, port] { chunk = int(port->bytesAvailable()); });
    }
    void checkBufferAfterRead()
    {
        QSerialPort *port = Probe::port(*window);
        QObject::connect(port, &QSerialPort::readyRead, port, [this] {
            const int bound = QTRNet::kDeadBytesKept + int(TRCodec::kMaxFrame) + chunk;
            worstExcess = qMax(worstExcess, Probe::net(*window)->bufferedBytes() - bound);
        });
    }

    QAbstractButton *button(const char *name) { return window->findChild<QAbstractButton *>(name); }
    QString message() { return window->findChild<QPlainTextEdit *>("msg")->toPlainText(); }

    // Pushes the stream through in pieces of random size, spread over at
    // least `ms`, letting the window read in between.
    bool feed(PtyPair &peer, const QByteArray &stream, quint32 seed, int ms = 0)
    {
        QRandomGenerator rng(seed);
        QElapsedTimer clock;
        clock.start();
        for (int pos = 0; pos < stream.size();) {
            const int n = qMin(stream.size() - pos, 1 + rng.bounded(8192));
            if (!peer.write(stream.mid(pos, n)))
                return false;
            pos += n;
            const qint64 due = qint64(ms) * pos / stream.size();
            EventPump::waitUntil(int(qMax<qint64>(0, due - clock.elapsed())));
        }
        return true;
    }

    QList<quint32> expected(quint32 first, int count) const
    {
        QList<quint32> seq;
        for (int k = 0; k < count; ++k)
            seq << first + quint32(k);
        return seq;
    }
};

} // namespace

class tst_FaultsLink : public QObject {
    Q_OBJECT

private slots:
    void noisyStreamStaysBoundedAndEveryGoodFrameArrives();
    void vanishedPeerMidFrameAndStartWithTheNextPeer();
    void portBufferIsBoundedAndTheLongestFrameStillArrives();
};

// Several seconds of noise, with a long run that never holds a header: the
// endpoint keeps its buffer bounded, and every good frame arrives, in order,
// exactly once.
void tst_FaultsLink::noisyStreamStaysBoundedAndEveryGoodFrameArrives()
{
    Rig rig;
    QVERIFY(rig.pty.isValid());
    const NoisyStream stream = NoisyStream::make(1200, 1 << 20, 20261207);
    rig.watchBuffer();
    QVERIFY(rig.window->presetPort(rig.pty.portName(), 230400));
    rig.button("pbStart")->click();
    QVERIFY(Probe::port(*rig.window)->isOpen());
    rig.checkBufferAfterRead();
    QCOMPARE(rig.pty.read(15, 5000), encodedFrame(0x02, QByteArray(4, '\0')));

    QVERIFY(rig.feed(rig.pty, stream.bytes, 7, 4000));
    QTRY_COMPARE_WITH_TIMEOUT(rig.sequence.size(), stream.goodFrames, 60000);
    QCOMPARE(rig.sequence, rig.expected(0, stream.goodFrames));
    QVERIFY2(rig.worstExcess <= 0, qPrintable(QString::number(rig.worstExcess)));
    QVERIFY(rig.message().startsWith(QStringLiteral("distance:")));
}

// The peer goes away with half a frame on the line and a new one appears under
// the same name; Start reopens the port, and the stale half frame in the
// receive buffer swallows none of the new peer's frames.
void tst_FaultsLink::vanishedPeerMidFrameAndStartWithTheNextPeer()
{
    Rig rig;
    const QString link = rig.workDir.filePath(QStringLiteral("ttyLidar"));
    QVERIFY(QFile::link(rig.pty.portName(), link));
    QVERIFY(rig.window->presetPort(link, 230400));
    rig.button("pbStart")->click();
    QVERIFY(Probe::port(*rig.window)->isOpen());

    QRandomGenerator rng(5);
    QByteArray before;
    for (quint32 k = 0; k < 20; ++k)
        before += measurementFrame(k, 1 + rng.bounded(300), rng);
    const QByteArray half = measurementFrame(999, 300, rng).left(2000);
    QVERIFY(rig.feed(rig.pty, before + half, 1));
    QTRY_COMPARE_WITH_TIMEOUT(rig.sequence.size(), 20, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(Probe::net(*rig.window)->bufferedBytes(), half.size(), 20000);
    rig.pty.closeMaster();
    QTRY_VERIFY_WITH_TIMEOUT(!Probe::port(*rig.window)->isOpen(), 20000);

    // Start while the sensor is still missing: nothing opens, nothing breaks.
    QVERIFY(QFile::remove(link));
    rig.button("pbStart")->click();
    QVERIFY(!Probe::port(*rig.window)->isOpen());
    QVERIFY(rig.button("pbStart")->isEnabled());

    PtyPair next;
    QVERIFY(QFile::link(next.portName(), link));
    rig.button("pbStart")->click();
    QVERIFY(Probe::port(*rig.window)->isOpen());
    QCOMPARE(next.read(15, 5000), encodedFrame(0x02, QByteArray(4, '\0')));

    QByteArray after;
    for (quint32 k = 100; k < 140; ++k)
        after += measurementFrame(k, 1 + rng.bounded(300), rng);
    QCOMPARE(*decodablePositions(half + after).begin(), half.size());
    QVERIFY(rig.feed(next, after, 2));
    QTRY_COMPARE_WITH_TIMEOUT(rig.sequence.size(), 60, 20000);
    QCOMPARE(rig.sequence.mid(20), rig.expected(100, 40));
}

// What the window has not read yet waits in the port's own buffer, which is
// bounded; the longest frame still passes, between ordinary ones.
void tst_FaultsLink::portBufferIsBoundedAndTheLongestFrameStillArrives()
{
    Rig rig;
    QVERIFY(rig.window->presetPort(rig.pty.portName(), 921600));
    rig.button("pbStart")->click();
    QSerialPort *port = Probe::port(*rig.window);
    QVERIFY(port->isOpen());
    QVERIFY(port->readBufferSize() >= 2 * qint64(TRCodec::kMaxFrame));
    QVERIFY(port->readBufferSize() <= 64 * qint64(TRCodec::kMaxFrame));

    QRandomGenerator rng(13);
    // 4368 points, the timestamp, then 11 bytes the handler ignores.
    QByteArray payload = measurementFrame(1, 4368, rng).mid(10, 65524);
    payload += QByteArray(11, char(0xAA));
    const QByteArray longest = encodedFrame(0x02, payload);
    QCOMPARE(longest.size(), 65546);
    QVERIFY(rig.feed(rig.pty, measurementFrame(0, 3, rng) + longest + measurementFrame(2, 3, rng), 3));
    QTRY_COMPARE_WITH_TIMEOUT(rig.sequence.size(), 3, 20000);
    QCOMPARE(rig.sequence, rig.expected(0, 3));
}

QTEST_MAIN(tst_FaultsLink)
#include "tst_faults_link.moc"
