#include "download/DownloadTransfer.h"
#include "link/EventPump.h"
#include "link/QTRNet.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/PtyPair.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using State = DownloadTransfer::State;
using Reason = DownloadTransfer::Reason;

QString writeFile(const QTemporaryDir &dir, const QString &name, int size)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(size, '\x5A')) != size)
        return {};
    return path;
}

// A transfer on an endpoint bound to a real pseudo-terminal, the device peer
// on its other end, acknowledgements handed over as the dialog does.
struct Rig {
    PtyPair pty;
    QSerialPort port;
    QTRNet *net = nullptr;
    DownloadTransfer transfer;
    DevicePeer peer{pty};
    int openerCalls = 0;

    explicit Rig(bool open = true)
    {
        port.setPortName(pty.portName());
        if (open)
            port.open(QIODevice::ReadWrite);
        net = new QTRNet(&port);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { net->receiveData(port.readAll()); });
        QObject::connect(net, &QTRNet::dataReady, [this](TRData *p) {
            if (p->cmd == 0x10 && p->data.size() >= 2)
                transfer.acknowledge(p->data[0], p->data[1]);
        });
        transfer.setNet(net);
    }

    void openWithOpener(bool succeeds)
    {
        transfer.setPortOpener([this, succeeds] {
            ++openerCalls;
            return succeeds && port.open(QIODevice::ReadWrite);
        });
    }
    bool finished()
    {
        return EventPump::waitUntil(30000, [this] { return !transfer.isActive(); }) == EventPump::Outcome::Done;
    }
    // What reached the device once the transfer has ended and the line settled.
    QList<int> settledCodes()
    {
        QTest::qWait(150);
        QList<int> codes;
        for (const TRData &f : peer.frames)
            codes << f.cmd;
        return codes;
    }
};

QList<int> firmwareCodes(int blocks, bool withEnd = true)
{
    QList<int> codes{0x0A};
    for (int i = 0; i < blocks; ++i)
        codes << 0x0B;
    if (withEnd)
        codes << 0x0C;
    return codes;
}

} // namespace

class tst_DownloadTransfer : public QObject {
    Q_OBJECT
private slots:
    void successCountsTheFileAndItsBlocks_data();
    void successCountsTheFileAndItsBlocks();
    void eachFailureHasItsOwnReason_data();
    void eachFailureHasItsOwnReason();
    void closedPortIsOpenedByTheOpenerBeforeAnythingIsSent();
    void portClosedUnderTheTransferEndsItAtOnce_data();
    void portClosedUnderTheTransferEndsItAtOnce();
    void cancelStopsAtABlockBoundaryWithoutTheEndCommand_data();
    void cancelStopsAtABlockBoundaryWithoutTheEndCommand();
    void abandonEndsAtOnceAndTheLateAnswerChangesNothing();
    void lateStartAnswerOfACancelledTransferAnswersNoOther_data();
    void lateStartAnswerOfACancelledTransferAnswersNoOther();
    void secondStartWhileRunningIsRefused();
};

void tst_DownloadTransfer::successCountsTheFileAndItsBlocks_data()
{
    QTest::addColumn<bool>("firmware");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("blocks");
    QTest::newRow("empty firmware") << true << 0 << 0;
    QTest::newRow("firmware of 201 bytes, padded to 204") << true << 201 << 4;
    QTest::newRow("firmware of exactly four blocks") << true << 256 << 4;
    QTest::newRow("table of 65 bytes") << false << 65 << 2;
}

void tst_DownloadTransfer::successCountsTheFileAndItsBlocks()
{
    QFETCH(bool, firmware);
    QFETCH(int, size);
    QFETCH(int, blocks);

    QTemporaryDir dir;
    Rig rig;
    QSignalSpy finished(&rig.transfer, &DownloadTransfer::finished);
    QVERIFY(rig.transfer.start(firmware ? TransferProfile::firmware() : TransferProfile::table(),
                               writeFile(dir, "image.bin", size)));
    QVERIFY(rig.transfer.isActive());
    QVERIFY(rig.finished());

    QCOMPARE(rig.transfer.state(), State::Done);
    QCOMPARE(rig.transfer.reason(), Reason::None);
    QCOMPARE(rig.transfer.fileBytes(), qint64(size));
    QCOMPARE(rig.transfer.blocks(), blocks);
    QCOMPARE(rig.transfer.blocksDone(), blocks);
    QCOMPARE(finished.count(), 1);
    // The start's pause lies in every transfer.
    QVERIFY(rig.transfer.elapsedMs() >= DownloadTransfer::kStartPauseMs);
    QList<int> expected = firmware ? firmwareCodes(blocks) : QList<int>{0x07, 0x08, 0x08, 0x09};
    QCOMPARE(rig.settledCodes(), expected);
}

void tst_DownloadTransfer::eachFailureHasItsOwnReason_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("framesSent");
    QTest::addColumn<int>("blockIndex");

    // A 200-byte firmware image: start, blocks 0 to 3, end. Silence and
    // refusal at each step are also read out by the dialog's tests.
    QTest::newRow("short last block refused") << "fail 4" << int(Reason::BlockRefused) << 5 << 3;
    QTest::newRow("port closed, no way to open it") << "closed" << int(Reason::PortNotOpen) << 0 << 0;
    QTest::newRow("port closed, opening fails") << "unopenable" << int(Reason::PortNotOpen) << 0 << 0;
    QTest::newRow("endpoint inside a wait of its own") << "busy" << int(Reason::SendRefused) << 0 << 0;
    QTest::newRow("link held by a test run") << "held" << int(Reason::SendRefused) << 0 << 0;
    QTest::newRow("port closed under block 1") << "vanish 2" << int(Reason::PortClosed) << 3 << 1;
}

void tst_DownloadTransfer::eachFailureHasItsOwnReason()
{
    QFETCH(QString, fault);
    QFETCH(int, reason);
    QFETCH(int, framesSent);
    QFETCH(int, blockIndex);

    QTemporaryDir dir;
    Rig rig(fault != "closed" && fault != "unopenable");
    QString path = writeFile(dir, "fw.bin", 200);
    const QStringList words = fault.split(' ');
    const int frame = words.value(1).toInt();
    if (words[0] == "fail")
        rig.peer.setReply(frame, DevicePeer::Reply::Fail);
    else if (words[0] == "vanish")
        rig.peer.onFrame = [&](const TRData &) {
            if (int(rig.peer.frames.size()) == frame + 1)
                rig.port.close();
        };
    else if (fault == "unopenable")
        rig.openWithOpener(false);
    else if (fault == "held")
        QVERIFY(rig.net->lease().tryAcquire(LinkLease::Holder::TestRun));

    bool startedInWait = false;
    if (fault == "busy") {
        QTimer::singleShot(0, [&] { startedInWait = rig.transfer.start(TransferProfile::firmware(), path); });
        rig.net->waitMs(200);
        QVERIFY(startedInWait);
    } else {
        QVERIFY(rig.transfer.start(TransferProfile::firmware(), path));
    }
    QVERIFY(rig.finished());

    QCOMPARE(rig.transfer.state(), State::Failed);
    QCOMPARE(int(rig.transfer.reason()), reason);
    QCOMPARE(rig.transfer.blockIndex(), blockIndex);
    QCOMPARE(int(rig.settledCodes().size()), framesSent);
    QVERIFY(!rig.settledCodes().contains(0x0C));
    QCOMPARE(rig.openerCalls, fault == "unopenable" ? 1 : 0);
    // The link is given back, and never taken from another holder.
    QCOMPARE(rig.net->lease().holder(), fault == "held" ? LinkLease::Holder::TestRun : LinkLease::Holder::None);
}

void tst_DownloadTransfer::closedPortIsOpenedByTheOpenerBeforeAnythingIsSent()
{
    QTemporaryDir dir;
    Rig rig(false);
    rig.openWithOpener(true);
    QVERIFY(rig.transfer.start(TransferProfile::firmware(), writeFile(dir, "fw.bin", 100)));
    QVERIFY(rig.finished());

    QCOMPARE(rig.openerCalls, 1);
    QCOMPARE(rig.transfer.state(), State::Done);
    QCOMPARE(rig.settledCodes(), firmwareCodes(2));

    // Open already: not asked again.
    QVERIFY(rig.transfer.start(TransferProfile::firmware(), writeFile(dir, "fw.bin", 100)));
    QVERIFY(rig.finished());
    QCOMPARE(rig.openerCalls, 1);
}

void tst_DownloadTransfer::portClosedUnderTheTransferEndsItAtOnce_data()
{
    QTest::addColumn<int>("closeAtFrame");
    QTest::addColumn<int>("blocksDone");
    // A 200-byte image: start, blocks 0 to 3, end.
    QTest::newRow("during the start's pause") << 0 << 0;
    QTest::newRow("with block 1 on its way") << 2 << 1;
    QTest::newRow("with the end on its way") << 5 << 4;
}

// However the port goes (a loss, the user), the transfer ends with the close,
// not when a wait runs out, and gives the link back.
void tst_DownloadTransfer::portClosedUnderTheTransferEndsItAtOnce()
{
    QFETCH(int, closeAtFrame);
    QFETCH(int, blocksDone);

    QTemporaryDir dir;
    Rig rig;
    int endedBeforeTheNextEvent = -1;
    rig.peer.onFrame = [&](const TRData &) {
        if (int(rig.peer.frames.size()) != closeAtFrame + 1)
            return;
        rig.port.close();
        // Posted after the close: it runs before any wait could run out.
        QTimer::singleShot(0, [&] { endedBeforeTheNextEvent = !rig.transfer.isActive(); });
    };
    QVERIFY(rig.transfer.start(TransferProfile::firmware(), writeFile(dir, "fw.bin", 200)));
    QCOMPARE(rig.net->lease().holder(), LinkLease::Holder::Transfer);
    QVERIFY(rig.finished());

    QCOMPARE(endedBeforeTheNextEvent, 1);
    QCOMPARE(rig.transfer.state(), State::Failed);
    QCOMPARE(rig.transfer.reason(), Reason::PortClosed);
    QCOMPARE(rig.transfer.blocksDone(), blocksDone);
    QVERIFY(rig.net->lease().isFree());
}

void tst_DownloadTransfer::cancelStopsAtABlockBoundaryWithoutTheEndCommand_data()
{
    QTest::addColumn<int>("cancelAtFrame");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("blocksDone");
    QTest::addColumn<QList<int>>("codes");

    // A 400-byte image: start, blocks 0 to 6, end. The cancel comes as each
    // frame reaches the device, before the device answers it.
    QTest::newRow("during the start's wait") << 0 << int(State::Cancelled) << 0 << firmwareCodes(0, false);
    QTest::newRow("with block 1 on its way") << 2 << int(State::Cancelled) << 2 << firmwareCodes(2, false);
    QTest::newRow("with the last block on its way") << 7 << int(State::Cancelled) << 7 << firmwareCodes(7, false);
    // The device already holds the whole image and its end.
    QTest::newRow("once the end is out") << 8 << int(State::Done) << 7 << firmwareCodes(7);
}

void tst_DownloadTransfer::cancelStopsAtABlockBoundaryWithoutTheEndCommand()
{
    QFETCH(int, cancelAtFrame);
    QFETCH(int, state);
    QFETCH(int, blocksDone);
    QFETCH(QList<int>, codes);

    QTemporaryDir dir;
    Rig rig;
    rig.peer.onFrame = [&](const TRData &) {
        if (int(rig.peer.frames.size()) == cancelAtFrame + 1)
            rig.transfer.cancel();
    };
    QVERIFY(rig.transfer.start(TransferProfile::firmware(), writeFile(dir, "fw.bin", 400)));
    QVERIFY(rig.finished());

    QCOMPARE(int(rig.transfer.state()), state);
    QCOMPARE(rig.transfer.reason(), state == int(State::Done) ? Reason::None : Reason::Cancelled);
    QCOMPARE(rig.transfer.blocksDone(), blocksDone);
    QCOMPARE(rig.settledCodes(), codes);
}

// Nothing waits for the block on its way; its answer, when it comes, sends nothing.
void tst_DownloadTransfer::abandonEndsAtOnceAndTheLateAnswerChangesNothing()
{
    QTemporaryDir dir;
    Rig rig;
    rig.peer.lateMs = 200;
    rig.peer.setReply(2, DevicePeer::Reply::Late);
    bool endedAtOnce = false;
    rig.peer.onFrame = [&](const TRData &) {
        if (rig.peer.frames.size() == 3) {
            rig.transfer.abandon();
            endedAtOnce = !rig.transfer.isActive();
        }
    };
    QVERIFY(rig.transfer.start(TransferProfile::firmware(), writeFile(dir, "fw.bin", 400)));
    QVERIFY(rig.finished());
    QTest::qWait(400);

    QVERIFY(endedAtOnce);
    QCOMPARE(rig.transfer.reason(), Reason::Abandoned);
    QCOMPARE(rig.transfer.blocksDone(), 1);
    QCOMPARE(rig.settledCodes(), firmwareCodes(2, false));
}

void tst_DownloadTransfer::lateStartAnswerOfACancelledTransferAnswersNoOther_data()
{
    QTest::addColumn<bool>("nextAfterTheAnswer");
    QTest::newRow("next transfer started once the answer is in") << true;
    QTest::newRow("next transfer started as soon as the cancelled one ended") << false;
}

// Cancelled while its start awaits an answer, which the device gives late;
// then it stays silent. The next transfer must not take that answer for its
// own: it fails at its start, with no block sent.
void tst_DownloadTransfer::lateStartAnswerOfACancelledTransferAnswersNoOther()
{
    QFETCH(bool, nextAfterTheAnswer);

    QTemporaryDir dir;
    Rig rig;
    const QString path = writeFile(dir, "fw.bin", 200);
    int startAnswers = 0;
    QObject::connect(rig.net, &QTRNet::dataReady, [&](TRData *p) {
        startAnswers += p->cmd == 0x10 && p->data.size() >= 2 && p->data[0] == 0x0A;
    });
    rig.peer.lateMs = 400;
    rig.peer.setReply(0, DevicePeer::Reply::Late);
    for (int frame = 1; frame < 10; ++frame)
        rig.peer.setReply(frame, DevicePeer::Reply::Silent);
    rig.peer.onFrame = [&](const TRData &) {
        if (rig.peer.frames.size() == 1)
            rig.transfer.cancel();
    };
    QVERIFY(rig.transfer.start(TransferProfile::firmware(), path));
    QVERIFY(rig.finished());
    QCOMPARE(rig.transfer.state(), State::Cancelled);
    if (nextAfterTheAnswer)
        QTRY_COMPARE_WITH_TIMEOUT(startAnswers, 1, 10000);

    QVERIFY(rig.transfer.start(TransferProfile::firmware(), path));
    QVERIFY(rig.finished());
    QCOMPARE(startAnswers, 1);
    QCOMPARE(rig.transfer.state(), State::Failed);
    QCOMPARE(rig.transfer.reason(), Reason::StartUnanswered);
    QCOMPARE(rig.settledCodes(), (QList<int>{0x0A, 0x0A}));
}

void tst_DownloadTransfer::secondStartWhileRunningIsRefused()
{
    QTemporaryDir dir;
    Rig rig;
    const QString path = writeFile(dir, "fw.bin", 100);
    QVERIFY(rig.transfer.start(TransferProfile::firmware(), path));
    QVERIFY(!rig.transfer.start(TransferProfile::table(), path));
    QVERIFY(rig.finished());
    QCOMPARE(rig.settledCodes(), firmwareCodes(2));
}

QTEST_GUILESS_MAIN(tst_DownloadTransfer)
#include "tst_downloadtransfer.moc"
