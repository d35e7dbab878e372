#include "link/LinkSupervisor.h"
#include "link/PortLoss.h"
#include "link/QTRNet.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(LinkState)

namespace {

// Start and Stop as the window sends them: address 0, value 0.
const QByteArray kStartFrame = QByteArray::fromHex("aaaaaaaa00020000040000000000" "06");
const QByteArray kStopFrame = QByteArray::fromHex("aaaaaaaa000f0000040000000000" "13");

QByteArray numberedFrame(quint32 seq)
{
    QByteArray payload(19, '\0');
    qToLittleEndian<quint32>(seq, reinterpret_cast<uchar *>(payload.data()) + 15);
    return encodedFrame(0x02, payload);
}

// A port, its endpoint and a supervisor, wired as the window wires them: the
// port is closed on a loss before the supervisor hears of it, and the reader
// is attached again when the supervisor reopens the port. The port is reached
// through a symbolic link, the stable name a device comes back under.
struct Link {
    QTemporaryDir dir;
    QString name = dir.filePath(QStringLiteral("ttyLidar"));
    QSerialPort port;
    QTRNet *net = new QTRNet(&port);
    std::unique_ptr<LinkSupervisor> supervisor;
    QList<LinkState> states;
    QList<quint32> received;
    QStringList problems;
    int reopens = 0;

    Link()
    {
        QObject::connect(&port, &QSerialPort::errorOccurred, &port, [this](QSerialPort::SerialPortError e) {
            if (PortLoss::deviceVanished(port, e))
                port.close();
        });
        QObject::connect(&port, &QSerialPort::readyRead, &port, [this] { net->receiveData(port.readAll()); });
        QObject::connect(net, &QTRNet::dataReady, net, [this](TRData *p) {
            if (p->cmd == 0x02 && p->data.size() == 19)
                received << qFromLittleEndian<quint32>(p->data.data() + 15);
        });
        supervisor = std::make_unique<LinkSupervisor>(&port, net, LinkSupervisor::AcquisitionCodes{0x02, 0x0F});
        QObject::connect(supervisor.get(), &LinkSupervisor::stateChanged, &port,
                         [this](LinkState s) { states << s; });
        QObject::connect(supervisor.get(), &LinkSupervisor::problem, &port,
                         [this](const QString &text) { problems << text; });
        QObject::connect(supervisor.get(), &LinkSupervisor::reopened, &port, [this] { ++reopens; });
    }
    ~Link() { supervisor.reset(); }

    bool pointAt(const PtyPair &pty)
    {
        QFile::remove(name);
        return QFile::link(pty.portName(), name);
    }
    // As the user opens a port: choose it, open, and let the supervisor know.
    bool open(const QString &portName)
    {
        port.setPortName(portName);
        port.setBaudRate(460800);
        const bool ok = port.open(QIODevice::ReadWrite);
        supervisor->sync();
        return ok;
    }
    // Acquisition running on `pty`, its Start read off the line.
    bool acquireOn(PtyPair &pty)
    {
        return pointAt(pty) && open(name) && net->sendCmd(0, 0x02, 0) && pty.read(15, 5000) == kStartFrame;
    }
    // The device goes away; the name leads nowhere until it is back.
    void pull(PtyPair &pty)
    {
        QFile::remove(name);
        pty.closeMaster();
    }
};

} // namespace

class tst_LinkSupervisor : public QObject {
    Q_OBJECT
private slots:
    void vanishedDeviceIsReopenedUnderItsNameAndStartIsSentOnce();
    void afterStopTheDeviceIsReopenedWithoutStart();
    void userClosingThePortEndsTheRetries();
    void anotherPortOpenedByTheUserEndsTheRetries();
    void autoReconnectOffLeavesTheLinkDisconnected();
    void portThatWillNotOpenIsReportedWithItsReason();
    void portOpenedBehindItsBackIsNoticedAtTheFirstFrameSent();
    void noReopenWhileAnotherSenderHoldsTheLink_data();
    void noReopenWhileAnotherSenderHoldsTheLink();
};

void tst_LinkSupervisor::vanishedDeviceIsReopenedUnderItsNameAndStartIsSentOnce()
{
    Link link;
    PtyPair first;
    QVERIFY(link.acquireOn(first));
    QVERIFY(first.write(numberedFrame(1) + numberedFrame(2)));
    QTRY_COMPARE_WITH_TIMEOUT(link.received.size(), 2, 10000);

    link.pull(first);
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Disconnected, 10000);
    QVERIFY(!link.port.isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Reconnecting, 10000);
    QTest::qWait(3 * LinkSupervisor::kRetryMs);
    QCOMPARE(link.supervisor->state(), LinkState::Reconnecting);

    PtyPair second;
    QVERIFY(link.pointAt(second));
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Acquiring, 10000);
    QCOMPARE(link.port.baudRate(), 460800);
    QCOMPARE(second.read(15, 5000), kStartFrame);
    QByteArray stream;
    for (quint32 k = 100; k < 150; ++k)
        stream += numberedFrame(k);
    QVERIFY(second.write(stream));
    QTRY_COMPARE_WITH_TIMEOUT(link.received.size(), 52, 10000);
    QList<quint32> expected {1, 2};
    for (quint32 k = 100; k < 150; ++k)
        expected << k;
    QCOMPARE(link.received, expected);
    QCOMPARE(second.read(1, 4 * LinkSupervisor::kRetryMs), QByteArray());
    QCOMPARE(link.reopens, 1);
    QCOMPARE(link.states,
             (QList<LinkState>{LinkState::Connected, LinkState::Acquiring, LinkState::Disconnected,
                               LinkState::Reconnecting, LinkState::Acquiring}));
}

void tst_LinkSupervisor::afterStopTheDeviceIsReopenedWithoutStart()
{
    Link link;
    PtyPair first;
    QVERIFY(link.acquireOn(first));
    QVERIFY(link.net->sendCmd(0, 0x0F, 0));
    QCOMPARE(first.read(15, 5000), kStopFrame);
    QCOMPARE(link.supervisor->state(), LinkState::Connected);
    link.pull(first);
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Disconnected, 10000);

    PtyPair second;
    QVERIFY(link.pointAt(second));
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Connected, 10000);
    QVERIFY(link.port.isOpen());
    QCOMPARE(second.read(1, 4 * LinkSupervisor::kRetryMs), QByteArray());
}

void tst_LinkSupervisor::userClosingThePortEndsTheRetries()
{
    Link link;
    PtyPair first;
    QVERIFY(link.acquireOn(first));
    link.pull(first);
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Reconnecting, 10000);
    link.port.close();
    link.supervisor->userClosed();
    QCOMPARE(link.supervisor->state(), LinkState::Unconnected);

    PtyPair second;
    QVERIFY(link.pointAt(second));
    QTest::qWait(4 * LinkSupervisor::kRetryMs);
    QVERIFY(!link.port.isOpen());
    QCOMPARE(link.supervisor->state(), LinkState::Unconnected);
    QCOMPARE(second.read(1, 100), QByteArray());
}

void tst_LinkSupervisor::anotherPortOpenedByTheUserEndsTheRetries()
{
    Link link;
    PtyPair first;
    QVERIFY(link.acquireOn(first));
    link.pull(first);
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Reconnecting, 10000);

    // The user trying the very port being waited for changes nothing.
    QVERIFY(!link.open(link.name));
    QCOMPARE(link.supervisor->state(), LinkState::Reconnecting);
    // A name that fails to open is waited for no longer either.
    QVERIFY(!link.open(link.dir.filePath(QStringLiteral("elsewhere"))));
    QCOMPARE(link.supervisor->state(), LinkState::Unconnected);
    PtyPair other;
    QVERIFY(link.open(other.portName()));
    QCOMPARE(link.supervisor->state(), LinkState::Connected);
    QVERIFY(other.portName().endsWith(link.supervisor->portName()));

    PtyPair second;
    QVERIFY(link.pointAt(second));
    QTest::qWait(4 * LinkSupervisor::kRetryMs);
    QVERIFY(other.portName().endsWith(link.port.portName()));
    QCOMPARE(link.supervisor->state(), LinkState::Connected);
    QCOMPARE(second.read(1, 100), QByteArray());
}

void tst_LinkSupervisor::autoReconnectOffLeavesTheLinkDisconnected()
{
    Link link;
    link.supervisor->setAutoReconnect(false);
    PtyPair first;
    QVERIFY(link.acquireOn(first));
    link.pull(first);
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Disconnected, 10000);
    PtyPair second;
    QVERIFY(link.pointAt(second));
    QTest::qWait(4 * LinkSupervisor::kRetryMs);
    QVERIFY(!link.port.isOpen());
    QCOMPARE(link.supervisor->state(), LinkState::Disconnected);
}

void tst_LinkSupervisor::portThatWillNotOpenIsReportedWithItsReason()
{
    Link link;
    QVERIFY(!link.open(link.name));
    QCOMPARE(link.problems.size(), 1);
    QCOMPARE(link.problems[0], QStringLiteral("找不到串口 ") + link.name);
    QCOMPARE(link.supervisor->state(), LinkState::Unconnected);

    link.problems.clear();
    QVERIFY(!link.open(QString()));
    QCOMPARE(link.problems.size(), 1);
    QVERIFY2(link.problems[0].startsWith(QStringLiteral("串口未设置")), qPrintable(link.problems[0]));

    // A send with the port closed is refused, and says so.
    link.problems.clear();
    QVERIFY(!link.net->sendCmd(0, 0x0F, 0));
    QCOMPARE(link.problems, QStringList {QStringLiteral("命令 0x0f 未发送：串口未打开")});
}

// A download opens a closed port itself and sends with address 1: the link is
// connected, but no acquisition runs.
void tst_LinkSupervisor::portOpenedBehindItsBackIsNoticedAtTheFirstFrameSent()
{
    Link link;
    PtyPair pty;
    link.port.setPortName(pty.portName());
    QVERIFY(link.port.open(QIODevice::ReadWrite));
    QCOMPARE(link.supervisor->state(), LinkState::Unconnected);
    const quint8 block[4] = {1, 2, 3, 4};
    QVERIFY(link.net->sendData(1, 0x0A, block, sizeof block, 0));
    QCOMPARE(link.supervisor->state(), LinkState::Connected);
}

void tst_LinkSupervisor::noReopenWhileAnotherSenderHoldsTheLink_data()
{
    QTest::addColumn<int>("holder");
    QTest::addColumn<bool>("heldAtTheLoss");
    QTest::addColumn<bool>("startAgain");

    using Holder = LinkLease::Holder;
    // A loss under the holder cut its exchange: it decides what follows.
    QTest::newRow("transfer, device lost under it") << int(Holder::Transfer) << true << false;
    QTest::newRow("test run, device lost under it") << int(Holder::TestRun) << true << false;
    // Acquisition was in charge when the device went away.
    QTest::newRow("transfer, link taken after the loss") << int(Holder::Transfer) << false << true;
}

// Acquisition runs when the device goes away; the device is back at once but
// another sender holds the link: the port stays closed and nothing reaches
// the device until the link is given back.
void tst_LinkSupervisor::noReopenWhileAnotherSenderHoldsTheLink()
{
    QFETCH(int, holder);
    QFETCH(bool, heldAtTheLoss);
    QFETCH(bool, startAgain);
    const auto who = LinkLease::Holder(holder);

    Link link;
    PtyPair first;
    QVERIFY(link.acquireOn(first));
    LinkLease &lease = link.net->lease();
    if (heldAtTheLoss)
        QVERIFY(lease.tryAcquire(who));
    link.pull(first);
    QTRY_COMPARE_WITH_TIMEOUT(link.supervisor->state(), LinkState::Disconnected, 10000);
    if (!heldAtTheLoss)
        QVERIFY(lease.tryAcquire(who));

    PtyPair second;
    QVERIFY(link.pointAt(second));
    QCOMPARE(second.read(1, 4 * LinkSupervisor::kRetryMs), QByteArray());
    QVERIFY(!link.port.isOpen());
    QCOMPARE(link.supervisor->state(), LinkState::Disconnected);
    QCOMPARE(lease.holder(), who);

    lease.release(who);
    QTRY_VERIFY_WITH_TIMEOUT(link.port.isOpen(), 10000);
    QCOMPARE(link.supervisor->state(), startAgain ? LinkState::Acquiring : LinkState::Connected);
    QCOMPARE(second.read(startAgain ? 15 : 1, 4 * LinkSupervisor::kRetryMs),
             startAgain ? kStartFrame : QByteArray());
    QVERIFY(lease.isFree());
}

QTEST_GUILESS_MAIN(tst_LinkSupervisor)
#include "tst_linksupervisor.moc"
