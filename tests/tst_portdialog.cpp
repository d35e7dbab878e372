#include "app/LaunchOptions.h"
#include "link/PortList.h"
#include "link/comSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using Ports = QVector<PortList::Entry>;
Q_DECLARE_METATYPE(Ports)

class tst_PortDialog : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void bridgePortsComeFirst_data();
    void bridgePortsComeFirst();
    void dialogListsInjectedPortsAndSelectsTheFirst();
    void refreshPicksUpANewPortAndSelectsTheTopAgain();
    void formCarriesItsNamesAndTexts();
    void applyStoresTheChoiceHidesAndSignals();
    void applyTakesATypedPortName();
    void typedNameIsStoredExactlyAsTyped_data();
    void typedNameIsStoredExactlyAsTyped();
    void applyWithNoPortStoresAnEmptyName();
    void presetSelectsAndStoresWithoutSignalling();
    void presetRefusesAnEmptyNameOrUnofferedRate();
    void launchOptions_data();
    void launchOptions();
};

namespace {
QComboBox *box(comSettings &d, const char *name) { return d.findChild<QComboBox *>(QLatin1String(name)); }

QStringList items(QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

PortList::Entry port(const char *name, quint16 vendorId)
{
    PortList::Entry entry;
    entry.name = QString::fromLatin1(name);
    entry.vendorId = vendorId;
    return entry;
}

void usePorts(const Ports &ports)
{
    PortList::setSource([ports] { return ports; });
}
} // namespace

void tst_PortDialog::cleanup()
{
    PortList::setSource({});
}

void tst_PortDialog::bridgePortsComeFirst_data()
{
    QTest::addColumn<Ports>("ports");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("none") << Ports{} << QStringList{};
    QTest::newRow("two bridges after another vendor")
        << Ports{port("COM1", 0x0403), port("COM5", 0x10C4), port("COM7", 0x10C4)} << QStringList{"COM7", "COM5", "COM1"};
    QTest::newRow("no vendor id is appended like any other")
        << Ports{port("ttyS0", 0), port("ttyUSB0", 0x10C4), port("ttyS1", 0)} << QStringList{"ttyUSB0", "ttyS0", "ttyS1"};
    QTest::newRow("others keep the system order")
        << Ports{port("B", 1), port("A", 2), port("C", 0x10C5)} << QStringList{"B", "A", "C"};
}

void tst_PortDialog::bridgePortsComeFirst()
{
    QFETCH(Ports, ports);
    QFETCH(QStringList, expected);
    QCOMPARE(PortList::ordered(ports), expected);
}

void tst_PortDialog::dialogListsInjectedPortsAndSelectsTheFirst()
{
    usePorts({port("COM1", 0x0403), port("COM5", 0x10C4), port("COM7", 0x10C4)});
    comSettings dialog;
    QCOMPARE(items(box(dialog, "LidarCom")), (QStringList{"COM7", "COM5", "COM1"}));
    QCOMPARE(box(dialog, "LidarCom")->currentText(), QStringLiteral("COM7"));
    QCOMPARE(dialog.settings.name, QString());
    QCOMPARE(dialog.settings.baudRate, 115200);
}

void tst_PortDialog::refreshPicksUpANewPortAndSelectsTheTopAgain()
{
    usePorts({port("COM1", 0)});
    comSettings dialog;
    QComboBox *ports = box(dialog, "LidarCom");
    ports->setEditText(QStringLiteral("typed"));
    usePorts({port("COM1", 0), port("COM9", 0x10C4)});
    dialog.findChild<QPushButton *>(QStringLiteral("refresh"))->click();
    QCOMPARE(items(ports), (QStringList{"COM9", "COM1"}));
    QCOMPARE(ports->currentIndex(), 0);
    QCOMPARE(ports->currentText(), QStringLiteral("COM9"));
}

void tst_PortDialog::formCarriesItsNamesAndTexts()
{
    usePorts({});
    comSettings dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("comSettings"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("手动设置串口"));
    QCOMPARE(items(box(dialog, "DevCom")), QStringList{"RVK-58M"});
    QStringList rates;
    for (qint32 rate : PortList::offeredBaudRates())
        rates << QString::number(rate);
    QCOMPARE(items(box(dialog, "baudRateCB")), (QStringList{"230400", "115200", "460800", "921600"}));
    QCOMPARE(items(box(dialog, "baudRateCB")), rates);
    QCOMPARE(box(dialog, "baudRateCB")->currentIndex(), 0);
    QVERIFY(box(dialog, "LidarCom")->isEditable());
    const QStringList labels = {"label_3", "label", "label_2"};
    const QStringList texts = {"雷达型号：", "串口：", "波特率："};
    for (int i = 0; i < labels.size(); ++i)
        QCOMPARE(dialog.findChild<QLabel *>(labels[i])->text(), texts[i]);
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("refresh"))->text(), QStringLiteral("刷新"));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("apply"))->text(), QStringLiteral("应用"));
}

void tst_PortDialog::applyStoresTheChoiceHidesAndSignals()
{
    usePorts({port("COM3", 0x10C4)});
    comSettings dialog;
    dialog.show();
    QSignalSpy ready(&dialog, &comSettings::comReady);
    dialog.findChild<QPushButton *>(QStringLiteral("apply"))->click();
    QCOMPARE(ready.count(), 1);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.settings.name, QStringLiteral("COM3"));
    QCOMPARE(dialog.settings.baudRate, 230400);

    box(dialog, "baudRateCB")->setCurrentIndex(3);
    dialog.findChild<QPushButton *>(QStringLiteral("apply"))->click();
    QCOMPARE(dialog.settings.baudRate, 921600);
    QCOMPARE(dialog.settings.dataBits, int(QSerialPort::Data8));
    QCOMPARE(dialog.settings.parity, int(QSerialPort::NoParity));
    QCOMPARE(dialog.settings.stopBits, int(QSerialPort::OneStop));
    QCOMPARE(dialog.settings.flowControl, int(QSerialPort::NoFlowControl));
}

void tst_PortDialog::applyTakesATypedPortName()
{
    usePorts({port("COM3", 0x10C4)});
    comSettings dialog;
    dialog.show();
    QComboBox *ports = box(dialog, "LidarCom");
    ports->lineEdit()->selectAll();
    QTest::keyClicks(ports->lineEdit(), QStringLiteral("/dev/pts/42 "));
    dialog.findChild<QPushButton *>(QStringLiteral("apply"))->click();
    QCOMPARE(dialog.settings.name, QStringLiteral("/dev/pts/42"));
}

void tst_PortDialog::typedNameIsStoredExactlyAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("pressEnter");
    QTest::newRow("prefix of a listed name") << "ttyS1" << false;
    QTest::newRow("prefix of a listed name, then Enter") << "ttyS1" << true;
    QTest::newRow("listed name in other case") << "TTYS10" << false;
    QTest::newRow("listed name in other case, then Enter") << "TTYS10" << true;
    QTest::newRow("prefix in other case") << "TTYUSB" << false;
}

// Port names are case-sensitive and one may be the start of another: nothing
// may complete or correct what the user typed.
void tst_PortDialog::typedNameIsStoredExactlyAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(bool, pressEnter);
    usePorts({port("ttyS10", 0), port("ttyUSB0", 0x10C4), port("ttyS11", 0)});
    comSettings dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QComboBox *ports = box(dialog, "LidarCom");
    ports->setFocus();
    ports->lineEdit()->selectAll();
    QTest::keyClicks(ports->lineEdit(), typed);
    if (pressEnter)
        QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
    QCOMPARE(ports->currentText(), typed);
    dialog.findChild<QPushButton *>(QStringLiteral("apply"))->click();
    QCOMPARE(dialog.settings.name, typed);
    QCOMPARE(items(ports), (QStringList{"ttyUSB0", "ttyS10", "ttyS11"}));
}

void tst_PortDialog::applyWithNoPortStoresAnEmptyName()
{
    usePorts({});
    comSettings dialog;
    QCOMPARE(box(dialog, "LidarCom")->currentIndex(), -1);
    QSignalSpy ready(&dialog, &comSettings::comReady);
    dialog.findChild<QPushButton *>(QStringLiteral("apply"))->click();
    QCOMPARE(ready.count(), 1);
    QCOMPARE(dialog.settings.name, QString());
}

void tst_PortDialog::presetSelectsAndStoresWithoutSignalling()
{
    usePorts({port("COM1", 0), port("COM5", 0x10C4)});
    comSettings dialog;
    QSignalSpy ready(&dialog, &comSettings::comReady);
    QVERIFY(dialog.presetPort(QStringLiteral("COM1"), 460800));
    QCOMPARE(items(box(dialog, "LidarCom")), (QStringList{"COM1", "COM5"}));
    QCOMPARE(box(dialog, "LidarCom")->currentIndex(), 0);
    QCOMPARE(box(dialog, "baudRateCB")->currentText(), QStringLiteral("460800"));
    QCOMPARE(dialog.settings.name, QStringLiteral("COM1"));
    QCOMPARE(dialog.settings.baudRate, 460800);
    QCOMPARE(ready.count(), 0);

    QVERIFY(dialog.presetPort(QStringLiteral("/dev/pts/7"), 230400));
    QCOMPARE(items(box(dialog, "LidarCom")), (QStringList{"/dev/pts/7", "COM1", "COM5"}));
    QCOMPARE(dialog.settings.name, QStringLiteral("/dev/pts/7"));
    QCOMPARE(dialog.settings.baudRate, 230400);
}

void tst_PortDialog::presetRefusesAnEmptyNameOrUnofferedRate()
{
    usePorts({port("COM1", 0)});
    comSettings dialog;
    QVERIFY(!dialog.presetPort(QStringLiteral("COM2"), 9600));
    QVERIFY(!dialog.presetPort(QStringLiteral("  "), 230400));
    QCOMPARE(items(box(dialog, "LidarCom")), QStringList{"COM1"});
    QCOMPARE(dialog.settings.name, QString());
    QCOMPARE(dialog.settings.baudRate, 115200);
}

void tst_PortDialog::launchOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("baud");
    QTest::newRow("nothing") << QStringList{"w"} << true << QString() << 0;
    QTest::newRow("port alone takes the default rate")
        << QStringList{"w", "--port", "/dev/ttyUSB0"} << true << "/dev/ttyUSB0" << 230400;
    QTest::newRow("port and rate") << QStringList{"w", "--port=COM4", "--baud", "921600"} << true << "COM4" << 921600;
    // Qt's own options are gone by the time these are read.
    QTest::newRow("an unknown option") << QStringList{"w", "--port", "p", "--frobnicate"} << false << QString() << 0;
    QTest::newRow("an argument that is no option") << QStringList{"w", "--port", "p", "p2"} << false << QString() << 0;
    QTest::newRow("rate not offered") << QStringList{"w", "--port", "p", "--baud", "9600"} << false << QString() << 0;
    QTest::newRow("rate no number") << QStringList{"w", "--port", "p", "--baud", "fast"} << false << QString() << 0;
    QTest::newRow("port without value") << QStringList{"w", "--port"} << false << QString() << 0;
    QTest::newRow("empty port") << QStringList{"w", "--port", ""} << false << QString() << 0;
    QTest::newRow("rate without port") << QStringList{"w", "--baud", "115200"} << false << QString() << 0;
}

void tst_PortDialog::launchOptions()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    LaunchOptions::PortChoice choice;
    QString error;
    QCOMPARE(LaunchOptions::parse(args, choice, error), ok);
    QCOMPARE(error.isEmpty(), ok);
    QTEST(choice.name, "name");
    QTEST(int(choice.baudRate), "baud");
    QVERIFY(!LaunchOptions::asksForHelp(args));
    QVERIFY(LaunchOptions::asksForHelp(args << QStringLiteral("--help")));
}

QTEST_MAIN(tst_PortDialog)
#include "tst_portdialog.moc"
