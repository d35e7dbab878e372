#include "link/LinkTexts.h"
#include "link/PortLoss.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(LinkState)

class tst_LinkTexts : public QObject {
    Q_OBJECT
private slots:
    void openFailureSaysWhatWentWrong_data();
    void openFailureSaysWhatWentWrong();
    void stateLineNamesPortRateAndState_data();
    void stateLineNamesPortRateAndState();
    void refusedSendNamesCommandAndReason();
    void portNamesLeadToTheirDeviceFiles();
    void readableDeviceIsNotDeniedByPermissions();
};

void tst_LinkTexts::openFailureSaysWhatWentWrong_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("denied");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no port chosen") << QString() << int(QSerialPort::DeviceNotFoundError) << false << "dialout"
                                    << "串口未设置：请在“设置 → 打开串口”中选择";
    QTest::newRow("not in the dialout group")
        << "ttyUSB0" << int(QSerialPort::PermissionError) << true << "dialout"
        << "无权访问串口 /dev/ttyUSB0：请运行 sudo usermod -aG dialout $USER，然后重新登录";
    QTest::newRow("the device's own group")
        << "ttyACM0" << int(QSerialPort::PermissionError) << true << "uucp"
        << "无权访问串口 /dev/ttyACM0：请运行 sudo usermod -aG uucp $USER，然后重新登录";
    QTest::newRow("locked or held by another program")
        << "ttyUSB0" << int(QSerialPort::PermissionError) << false << "dialout" << "串口 /dev/ttyUSB0 被占用（why）";
    QTest::newRow("missing") << "ttyUSB3" << int(QSerialPort::DeviceNotFoundError) << false << "dialout"
                             << "找不到串口 /dev/ttyUSB3";
    QTest::newRow("anything else") << "ttyS0" << int(QSerialPort::UnknownError) << false << "dialout"
                                   << "无法打开串口 /dev/ttyS0：why";
}

void tst_LinkTexts::openFailureSaysWhatWentWrong()
{
    QFETCH(QString, port);
    QFETCH(int, error);
    QFETCH(bool, denied);
    QFETCH(QString, group);
    LinkTexts::OpenFailure failure;
    failure.port = port;
    failure.error = QSerialPort::SerialPortError(error);
    failure.reason = QStringLiteral("why");
    failure.deniedByPermissions = denied;
    failure.group = group;
    QTEST(LinkTexts::openFailed(failure), "expected");
}

void tst_LinkTexts::stateLineNamesPortRateAndState_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<LinkState>("state");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing chosen yet") << QString() << LinkState::Unconnected << "未连接";
    QTest::newRow("closed") << "ttyUSB0" << LinkState::Unconnected << "/dev/ttyUSB0  230400 bps  未连接";
    QTest::newRow("open") << "ttyUSB0" << LinkState::Connected << "/dev/ttyUSB0  230400 bps  已连接";
    QTest::newRow("acquiring") << "ttyUSB0" << LinkState::Acquiring << "/dev/ttyUSB0  230400 bps  采集中";
    QTest::newRow("lost") << "ttyUSB0" << LinkState::Disconnected << "/dev/ttyUSB0  230400 bps  已断开";
    QTest::newRow("retrying") << "ttyUSB0" << LinkState::Reconnecting << "/dev/ttyUSB0  230400 bps  重新连接中";
    // The serial library's short name of a pseudo-terminal.
    QTest::newRow("named under /dev") << "pts/0" << LinkState::Acquiring << "/dev/pts/0  230400 bps  采集中";
    QTest::newRow("a path of its own") << "/tmp/ttyLidar" << LinkState::Acquiring << "/tmp/ttyLidar  230400 bps  采集中";
}

void tst_LinkTexts::stateLineNamesPortRateAndState()
{
    QFETCH(QString, port);
    QFETCH(LinkState, state);
    QTEST(LinkTexts::stateLine(port, 230400, state), "expected");
}

void tst_LinkTexts::refusedSendNamesCommandAndReason()
{
    QCOMPARE(LinkTexts::sendRefused(0x0F, QTRNet::Refusal::PortClosed), QStringLiteral("命令 0x0f 未发送：串口未打开"));
    QCOMPARE(LinkTexts::sendRefused(0x02, QTRNet::Refusal::Busy), QStringLiteral("命令 0x02 未发送：正在等待上一条命令"));
    QCOMPARE(LinkTexts::sendRefused(0x14, QTRNet::Refusal::WriteFailed), QStringLiteral("命令 0x14 未发送：串口拒绝写入"));
}

void tst_LinkTexts::portNamesLeadToTheirDeviceFiles()
{
    QCOMPARE(PortLoss::deviceFile(QStringLiteral("ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(PortLoss::deviceFile(QStringLiteral("/tmp/ttyLidar")), QStringLiteral("/tmp/ttyLidar"));
    QCOMPARE(PortLoss::deviceFile(QString()), QString());
}

// Whoever runs the tests can read a file of their own: that is no permission
// problem, and a missing file is none either (it is not found).
void tst_LinkTexts::readableDeviceIsNotDeniedByPermissions()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tty"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(!PortLoss::deniedByPermissions(file));
    QVERIFY(!PortLoss::deniedByPermissions(dir.filePath(QStringLiteral("missing"))));
    QVERIFY(!PortLoss::owningGroup(file).isEmpty());
}

QTEST_GUILESS_MAIN(tst_LinkTexts)
#include "tst_linktexts.moc"
