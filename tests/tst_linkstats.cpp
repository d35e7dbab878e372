#include "link/LinkStats.h"
#include "link/QTRNet.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"

#include <QRandomGenerator>
#include <QSerialPort>
#include <QtTest>

namespace {
QByteArray noise(QRandomGenerator &rng, int count)
{
    QByteArray bytes(count, '\0');
    for (char &c : bytes)
        c = char(rng.bounded(0xA0)); // never a header byte
    return bytes;
}
} // namespace

class tst_LinkStats : public QObject {
    Q_OBJECT
private slots:
    void countersAreExactForAStreamWithDamagedFramesAndNoise();
    void ratesCoverTheLastSecond_data();
    void ratesCoverTheLastSecond();
    void clearResetsWhatIsShownButNotTheSessionTotals();
    void closingSettlesASessionNobodyReadWhileItRan();
};

// Good frames, frames with a wrong checksum and runs of noise, in random
// pieces through a real serial line: every count comes out exact.
void tst_LinkStats::countersAreExactForAStreamWithDamagedFramesAndNoise()
{
    QRandomGenerator rng(14);
    QByteArray stream;
    int good = 0, damaged = 0;
    quint64 skipped = 0;
    for (int k = 0; k < 300; ++k) {
        const QByteArray gap = noise(rng, rng.bounded(3) == 0 ? rng.bounded(40) : 0);
        skipped += quint64(gap.size());
        QByteArray frame = encodedFrame(quint8(rng.bounded(0x30)), noise(rng, rng.bounded(100)));
        if (rng.bounded(5) == 0) {
            frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x5A);
            skipped += quint64(frame.size());
            ++damaged;
        } else {
            ++good;
        }
        stream += gap + frame;
    }
    stream += encodedFrame(0x10, QByteArray::fromHex("0201")); // the last damage is behind a good frame
    ++good;

    PtyPair pty;
    QSerialPort port(pty.portName());
    QVERIFY(port.open(QIODevice::ReadWrite));
    QTRNet net(&port);
    connect(&port, &QSerialPort::readyRead, &net, [&] { net.receiveData(port.readAll()); });
    LinkStats stats(net.counters());
    for (int at = 0; at < stream.size();) {
        const int n = 1 + rng.bounded(700);
        QVERIFY(pty.write(stream.mid(at, n)));
        at += n;
    }
    QTRY_COMPARE_WITH_TIMEOUT(stats.totals().frames, quint64(good), 20000);
    const LinkCounters c = stats.totals();
    QCOMPARE(c.bytes, quint64(stream.size()));
    QCOMPARE(c.badChecksums, quint64(damaged));
    QCOMPARE(c.skippedBytes, skipped);
    QVERIFY(damaged > 30);
    QCOMPARE(net.bufferedBytes(), 0);
}

void tst_LinkStats::ratesCoverTheLastSecond_data()
{
    QTest::addColumn<QList<int>>("sampledAtMs");
    QTest::addColumn<QList<int>>("framesBetween"); // arrived before each sample
    QTest::addColumn<double>("framesPerSecond");
    const QList<int> everyQuarter = {0, 250, 500, 750, 1000, 1250, 1500, 1750, 2000};
    QTest::newRow("400/s, then 1000/s from a sample a second back")
        << everyQuarter << QList<int>{100, 100, 100, 100, 250, 250, 250, 250, 250} << 1000.0;
    // A window reaching one sample further back would read 880.
    QTest::newRow("400/s, then 1000/s over exactly the last second")
        << everyQuarter << QList<int>{0, 100, 100, 100, 100, 250, 250, 250, 250} << 1000.0;
    QTest::newRow("less than a second of samples")
        << QList<int>{0, 250, 500} << QList<int>{0, 100, 100} << 400.0;
    QTest::newRow("a late sample: back to the latest one a second older")
        << QList<int>{0, 250, 500, 1600} << QList<int>{0, 100, 100, 1100} << 1000.0;
}

void tst_LinkStats::ratesCoverTheLastSecond()
{
    QFETCH(QList<int>, sampledAtMs);
    QFETCH(QList<int>, framesBetween);
    LinkCounters source;
    LinkStats stats(source);
    QCOMPARE(stats.framesPerSecond(), 0.0);
    for (int i = 0; i < sampledAtMs.size(); ++i) {
        source.frames += quint64(framesBetween[i]);
        source.bytes += quint64(framesBetween[i]) * 34;
        stats.sample(sampledAtMs[i]);
    }
    QFETCH(double, framesPerSecond);
    QCOMPARE(stats.framesPerSecond(), framesPerSecond);
    QCOMPARE(stats.bytesPerSecond(), framesPerSecond * 34);
}

// Clear starts the shown counts again; the totals since the port opened run
// on, and the next session starts from what arrives after a close.
void tst_LinkStats::clearResetsWhatIsShownButNotTheSessionTotals()
{
    LinkCounters source;
    LinkStats stats(source);
    source.frames = 10;
    source.bytes = 340;
    stats.countShortPayload();
    stats.clear();
    QCOMPARE(stats.sinceClear(), LinkCounters());
    QCOMPARE(stats.sinceOpen().frames, quint64(10));
    QCOMPARE(stats.sinceOpen().shortPayloads, quint64(1));

    source.frames = 15;
    stats.portClosing();
    QCOMPARE(stats.sinceOpen().frames, quint64(15)); // the session just ended, while closed
    source.frames = 17;
    source.bytes = 400;
    QCOMPARE(stats.sinceOpen().frames, quint64(2));
    QCOMPARE(stats.sinceOpen().bytes, quint64(60));
    QCOMPARE(stats.sinceClear().frames, quint64(7));
}

// The totals are read only now and then (a tooltip); a session that ran and
// closed between two reads is still the one reported after the close.
void tst_LinkStats::closingSettlesASessionNobodyReadWhileItRan()
{
    LinkCounters source;
    LinkStats stats(source);
    source.frames = 10;
    stats.portClosing();
    QCOMPARE(stats.sinceOpen().frames, quint64(10));
    source.frames = 25;
    stats.portClosing();
    QCOMPARE(stats.sinceOpen().frames, quint64(15));
    source.frames = 26;
    stats.portClosing();
    source.frames = 30;
    stats.portClosing();
    QCOMPARE(stats.sinceOpen().frames, quint64(4));
}

QTEST_GUILESS_MAIN(tst_LinkStats)
#include "tst_linkstats.moc"
