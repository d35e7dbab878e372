#include "tests/support/HeadlessHost.h"
#include "tests/support/SensorPeer.h"
#include "workflow/UnitIdentifier.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using Failure = UnitIdentifier::Failure;
Q_DECLARE_METATYPE(UnitIdentity)
Q_DECLARE_METATYPE(SensorPeer::Answer)
Q_DECLARE_METATYPE(Failure::Reason)

namespace {

struct Bench {
    PtyPair pty;
    SensorPeer peer {pty};
    HeadlessHost host {pty.portName()};
    UnitIdentifier identifier {host.net};
    QSignalSpy identified {&identifier, &UnitIdentifier::identified};
    QSignalSpy failed {&identifier, &UnitIdentifier::failed};

    Bench() { identifier.setAnswerTime(300, 2); }
    bool ended() const { return identified.count() + failed.count() > 0; }
    UnitIdentity unit() const { return identified.at(0).at(0).value<UnitIdentity>(); }
};

} // namespace

class tst_UnitIdentifier : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<UnitIdentity>();
        qRegisterMetaType<LinkLease::Holder>();
    }
    void identifiesWithAcquisitionStopped_data();
    void identifiesWithAcquisitionStopped();
    void unansweredRequestIsNamedWithItsReason_data();
    void unansweredRequestIsNamedWithItsReason();
    void secondAttemptIsAnsweredInTime();
    void closedPortEndsTheExchange();
    void leaseIsTakenOnlyWhenAsked();
};

void tst_UnitIdentifier::identifiesWithAcquisitionStopped_data()
{
    QTest::addColumn<quint32>("word0");
    QTest::addColumn<quint32>("word1");
    QTest::addColumn<quint32>("word2");
    QTest::addColumn<quint32>("firmware");
    QTest::addColumn<QString>("unitId");
    QTest::addColumn<QString>("firmwareText");
    QTest::newRow("the usual id") << 0x0033002Bu << 0x3538510Cu << 0x20363733u << 0x01020003u
                                  << "0033002b3538510c20363733" << "1.2.3";
    // The window's id text would read "2b0f0f0f0f" for both of these.
    QTest::newRow("leading zeros kept") << 0x0000002Bu << 0x00000000u << 0x0F0F0F0Fu << 0x01020103u
                                        << "0000002b000000000f0f0f0f" << "1.2.259";
    QTest::newRow("zeros elsewhere") << 0x00000002u << 0xB0F0F0F0u << 0xF0000000u << 0xFF00FFFFu
                                     << "00000002b0f0f0f0f0000000" << "255.0.65535";
}

void tst_UnitIdentifier::identifiesWithAcquisitionStopped()
{
    QFETCH(quint32, word0);
    QFETCH(quint32, word1);
    QFETCH(quint32, word2);
    QFETCH(quint32, firmware);
    QFETCH(QString, unitId);
    QFETCH(QString, firmwareText);
    Bench b;
    b.peer.mcuId[0] = word0;
    b.peer.mcuId[1] = word1;
    b.peer.mcuId[2] = word2;
    b.peer.firmware = firmware;
    QVERIFY(b.host.open());
    QVERIFY(b.identifier.start(UnitIdentifier::Lease::TakeOwn));
    QVERIFY(!b.identifier.start(UnitIdentifier::Lease::TakeOwn));
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    QCOMPARE(b.failed.count(), 0);
    const UnitIdentity unit = b.unit();
    QCOMPARE(unit.unitId, unitId);
    QCOMPARE(unit.firmware, firmwareText);
    QCOMPARE(unit.hardware, 5u);
    QCOMPARE(int(unit.calibration.ck), 7);
    QCOMPARE(unit.calibration.offset_cal, qint16(-10));
    QCOMPARE(unit.calibration.xtalk_peak, 4294967295u);
    QCOMPARE(unit.calibration.masum, 123456);
    QCOMPARE(int(unit.bvd), 0x5A); // byte 32 of the 33-byte answer
    // Stop first, then one request each, with the window's zero value.
    QCOMPARE(int(b.peer.received.size()), 3);
    const quint8 order[] = {0x0F, 0x14, 0x12};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(int(b.peer.received[size_t(i)].cmd), int(order[i]));
        QCOMPARE(b.peer.received[size_t(i)].data, (std::vector<quint8> {0, 0, 0, 0}));
    }
    QVERIFY(b.host.net->lease().isFree());
}

void tst_UnitIdentifier::unansweredRequestIsNamedWithItsReason_data()
{
    QTest::addColumn<SensorPeer::Answer>("deviceInfo");
    QTest::addColumn<SensorPeer::Answer>("calibration");
    QTest::addColumn<int>("request");
    QTest::addColumn<Failure::Reason>("reason");
    QTest::addColumn<QString>("text");
    using A = SensorPeer::Answer;
    QTest::newRow("device information unanswered")
        << A::Silent << A::Whole << 0x14 << Failure::Reason::NoAnswer
        << "设备信息请求 (0x14) 在 300 ms 内无应答（共发送 2 次）";
    QTest::newRow("calibration unanswered") << A::Whole << A::Silent << 0x12 << Failure::Reason::NoAnswer
                                            << "校准参数请求 (0x12) 在 300 ms 内无应答（共发送 2 次）";
    QTest::newRow("device information cut short")
        << A::Short << A::Whole << 0x14 << Failure::Reason::ShortAnswer
        << "设备信息请求 (0x14) 的应答只有 10 字节，需要 52 字节（共发送 2 次）";
    QTest::newRow("calibration cut short") << A::Whole << A::Short << 0x12 << Failure::Reason::ShortAnswer
                                           << "校准参数请求 (0x12) 的应答只有 10 字节，需要 32 字节（共发送 2 次）";
}

void tst_UnitIdentifier::unansweredRequestIsNamedWithItsReason()
{
    QFETCH(SensorPeer::Answer, deviceInfo);
    QFETCH(SensorPeer::Answer, calibration);
    QFETCH(int, request);
    QFETCH(Failure::Reason, reason);
    QFETCH(QString, text);
    Bench b;
    b.peer.deviceInfo = deviceInfo;
    b.peer.calibration = calibration;
    QVERIFY(b.host.open());
    QVERIFY(b.identifier.start(UnitIdentifier::Lease::TakeOwn));
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    QCOMPARE(b.identified.count(), 0);
    QCOMPARE(b.failed.at(0).at(0).toString(), text);
    QCOMPARE(b.identifier.failure().reason, reason);
    QCOMPARE(int(b.identifier.failure().request), request);
    QCOMPARE(b.peer.count(quint8(request)), 2);
    QVERIFY(b.host.net->lease().isFree());
    QVERIFY(!b.identifier.isRunning());
}

void tst_UnitIdentifier::secondAttemptIsAnsweredInTime()
{
    Bench b;
    b.peer.deviceInfoIgnored = 1;
    QVERIFY(b.host.open());
    QVERIFY(b.identifier.start(UnitIdentifier::Lease::TakeOwn));
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    QCOMPARE(b.identified.count(), 1);
    QCOMPARE(b.peer.count(0x14), 2);
    QCOMPARE(b.unit().unitId, QString("0033002b3538510c20363733"));
}

// The port closed under the exchange, or was never open.
void tst_UnitIdentifier::closedPortEndsTheExchange()
{
    {
        Bench b;
        b.peer.deviceInfo = SensorPeer::Answer::Silent;
        QVERIFY(b.host.open());
        QVERIFY(b.identifier.start(UnitIdentifier::Lease::TakeOwn));
        QTRY_VERIFY_WITH_TIMEOUT(b.peer.count(0x14) == 1, 10000);
        b.pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
        QCOMPARE(b.identifier.failure().reason, Failure::Reason::PortClosed);
        QCOMPARE(b.failed.at(0).at(0).toString(), QString("设备信息请求 (0x14) 未获应答：串口已关闭"));
        QVERIFY(b.host.net->lease().isFree());
    }
    {
        Bench b;
        QVERIFY(b.identifier.start(UnitIdentifier::Lease::TakeOwn));
        QCOMPARE(b.failed.count(), 0); // never from inside start()
        QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
        QCOMPARE(b.identifier.failure().reason, Failure::Reason::SendRefused);
        QCOMPARE(b.failed.at(0).at(0).toString(), QString("命令 0x0f 未发送：串口未打开"));
        QVERIFY(b.host.net->lease().isFree());
    }
}

// Standalone it takes the link as a test run and gives it back; under a
// caller's lease it leaves the lease alone; it never sends under someone
// else's lease.
void tst_UnitIdentifier::leaseIsTakenOnlyWhenAsked()
{
    Bench b;
    QVERIFY(b.host.open());
    LinkLease &lease = b.host.net->lease();
    QSignalSpy holders(&lease, &LinkLease::holderChanged);

    QVERIFY(b.identifier.start(UnitIdentifier::Lease::TakeOwn));
    QCOMPARE(lease.holder(), LinkLease::Holder::TestRun);
    QTRY_VERIFY_WITH_TIMEOUT(b.ended(), 10000);
    QVERIFY(lease.isFree());
    QCOMPARE(holders.count(), 2);

    QVERIFY(lease.tryAcquire(LinkLease::Holder::TestRun));
    QVERIFY(b.identifier.start(UnitIdentifier::Lease::HeldByCaller));
    QTRY_VERIFY_WITH_TIMEOUT(b.identified.count() == 2, 10000);
    QCOMPARE(lease.holder(), LinkLease::Holder::TestRun);
    lease.release(LinkLease::Holder::TestRun);

    QVERIFY(lease.tryAcquire(LinkLease::Holder::Transfer));
    const size_t sent = b.peer.received.size();
    QVERIFY(b.identifier.start(UnitIdentifier::Lease::TakeOwn));
    QTRY_VERIFY_WITH_TIMEOUT(b.failed.count() == 1, 10000);
    QCOMPARE(b.identifier.failure().reason, Failure::Reason::LinkHeld);
    QCOMPARE(b.failed.at(0).at(0).toString(), QString("命令 0x0f 未发送：下载正在进行"));
    QCOMPARE(lease.holder(), LinkLease::Holder::Transfer);
    lease.release(LinkLease::Holder::Transfer);

    // Under a lease nobody holds, nothing goes out either.
    QVERIFY(b.identifier.start(UnitIdentifier::Lease::HeldByCaller));
    QTRY_VERIFY_WITH_TIMEOUT(b.failed.count() == 2, 10000);
    QCOMPARE(b.identifier.failure().reason, Failure::Reason::LinkHeld);
    QTest::qWait(50);
    QCOMPARE(b.peer.received.size(), sent);
    QVERIFY(lease.isFree());
}

QTEST_GUILESS_MAIN(tst_UnitIdentifier)
#include "tst_unit_identifier.moc"
