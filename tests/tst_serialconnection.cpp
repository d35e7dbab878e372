#include "app/MainWindow.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"
#include "tests/support/DebugCapture.h"
#include "tests/support/PtyPair.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

struct MainWindowProbe {
    static QSerialPort *port(MainWindow &w) { return w.serialPort; }
    static QTRNet *net(MainWindow &w) { return w.net; }
    static comSettings *dialog(MainWindow &w) { return w.comSettingsDialog; }
    static bool openCom(MainWindow &w) { return w.openCom(); }
};

namespace {
// Counts the port's readyRead connections through QObject's protected receivers().
struct ReceiverCount : QSerialPort {
    static int readyRead(QSerialPort *port)
    {
        return (port->*(&ReceiverCount::receivers))(SIGNAL(readyRead()));
    }
    static int errorOccurred(QObject *port)
    {
        return (port->*(&ReceiverCount::receivers))(SIGNAL(errorOccurred(QSerialPort::SerialPortError)));
    }
};

// addr 0, cmd 0x55 (no command of the sensor), offset 0, payload 01 02, sum 0x5A.
const QByteArray kFrame = QByteArray::fromHex("aaaaaaaa00550000020001025a");

QAction *action(MainWindow &w, const char *name) { return w.findChild<QAction *>(QLatin1String(name)); }

// Chooses `port` in the port dialog and presses Apply, as the user would.
void applyPort(MainWindow &w, const QString &port, int baudIndex = 0)
{
    comSettings *dialog = MainWindowProbe::dialog(w);
    dialog->findChild<QComboBox *>(QStringLiteral("LidarCom"))->setEditText(port);
    dialog->findChild<QComboBox *>(QStringLiteral("baudRateCB"))->setCurrentIndex(baudIndex);
    dialog->findChild<QPushButton *>(QStringLiteral("apply"))->click();
}
} // namespace

class tst_SerialConnection : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openWithoutAPortChosenReportsNotSet();
    void portThatCannotBeOpenedReportsItsName();
    void applyOpensThePortAndBytesReachTheEndpoint();
    void reopeningKeepsOneReadyReadConnection();
    void unpluggedDeviceClosesThePortAndCutsReadyRead();
    void otherSerialErrorsLeaveThePortOpen();
    void closeComReportsEvenWhenAlreadyClosed();
    void presetPortLetsOpenComSucceedWithoutApply();
    void windowStopsHearingThePortBeforeItsPartsAreDestroyed();

private:
    QTemporaryDir workDir;
    QScopedPointer<MainWindow> window;
    QScopedPointer<DebugCapture> debug;
    int frames = 0;
};

void tst_SerialConnection::initTestCase()
{
    QVERIFY(workDir.isValid());
    QDir::setCurrent(workDir.path());
}

void tst_SerialConnection::init()
{
    window.reset(new MainWindow);
    frames = 0;
    connect(MainWindowProbe::net(*window), &QTRNet::dataReady, this, [this](TRData *pack) {
        if (pack->cmd == 0x55)
            ++frames;
    });
    debug.reset(new DebugCapture);
}

void tst_SerialConnection::cleanup()
{
    debug.reset();
    window.reset();
}

void tst_SerialConnection::openWithoutAPortChosenReportsNotSet()
{
    QVERIFY(!MainWindowProbe::port(*window)->isOpen());
    QVERIFY(!MainWindowProbe::openCom(*window));
    QCOMPARE(debug->lines(), (QStringList{"115200", "Error:串口未设置"}));
    QVERIFY(!MainWindowProbe::port(*window)->isOpen());
}

void tst_SerialConnection::portThatCannotBeOpenedReportsItsName()
{
    const QString missing = workDir.filePath(QStringLiteral("no-such-tty"));
    applyPort(*window, missing);
    QCOMPARE(debug->lines(), (QStringList{"230400", "Error:Lidar serial port(" + missing + ")error"}));
    QVERIFY(!MainWindowProbe::port(*window)->isOpen());
}

void tst_SerialConnection::applyOpensThePortAndBytesReachTheEndpoint()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    applyPort(*window, pty.portName(), 3);
    QSerialPort *port = MainWindowProbe::port(*window);
    QVERIFY(port->isOpen());
    QCOMPARE(port->baudRate(), 921600);
    QCOMPARE(debug->lines(), (QStringList{"921600", "Info:Lidar serial port(" + pty.portName() + ")connect"}));

    QVERIFY(pty.write(kFrame + kFrame.left(5)));
    QTRY_COMPARE_WITH_TIMEOUT(frames, 1, 10000);
    QVERIFY(pty.write(kFrame.mid(5)));
    QTRY_COMPARE_WITH_TIMEOUT(frames, 2, 10000);
}

void tst_SerialConnection::reopeningKeepsOneReadyReadConnection()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QSerialPort *port = MainWindowProbe::port(*window);
    const int before = ReceiverCount::readyRead(port);
    applyPort(*window, pty.portName());
    const int once = ReceiverCount::readyRead(port);
    QCOMPARE(once, before + 1);
    applyPort(*window, pty.portName(), 1);
    applyPort(*window, pty.portName(), 2);
    QVERIFY(port->isOpen());
    QCOMPARE(port->baudRate(), 460800);
    QCOMPARE(ReceiverCount::readyRead(port), once);

    QVERIFY(pty.write(kFrame));
    QTRY_COMPARE_WITH_TIMEOUT(frames, 1, 10000);
    QTest::qWait(50);
    QCOMPARE(frames, 1);
}

void tst_SerialConnection::unpluggedDeviceClosesThePortAndCutsReadyRead()
{
    QSerialPort *port = MainWindowProbe::port(*window);
    const int before = ReceiverCount::readyRead(port);
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        applyPort(*window, pty.portName());
        QVERIFY(port->isOpen());
        emit port->errorOccurred(QSerialPort::ResourceError);
    }
    QVERIFY(!port->isOpen());
    QCOMPARE(ReceiverCount::readyRead(port), before);
    QVERIFY(debug->lines().contains(QStringLiteral("Info:雷达拔出")));

    // Plugged in again: Apply reopens and data flows.
    PtyPair again;
    QVERIFY(again.isValid());
    applyPort(*window, again.portName());
    QVERIFY(port->isOpen());
    QVERIFY(again.write(kFrame));
    QTRY_COMPARE_WITH_TIMEOUT(frames, 1, 10000);
}

void tst_SerialConnection::otherSerialErrorsLeaveThePortOpen()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    applyPort(*window, pty.portName());
    QSerialPort *port = MainWindowProbe::port(*window);
    const int connected = ReceiverCount::readyRead(port);
    debug->clear();
    for (auto error : {QSerialPort::ParityError, QSerialPort::FramingError, QSerialPort::ReadError,
                       QSerialPort::WriteError, QSerialPort::TimeoutError, QSerialPort::UnknownError})
        emit port->errorOccurred(error);
    QVERIFY(port->isOpen());
    QCOMPARE(ReceiverCount::readyRead(port), connected);
    QCOMPARE(debug->lines(), QStringList());
}

void tst_SerialConnection::closeComReportsEvenWhenAlreadyClosed()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    applyPort(*window, pty.portName());
    debug->clear();
    action(*window, "actionCloseCom")->trigger();
    QVERIFY(!MainWindowProbe::port(*window)->isOpen());
    action(*window, "actionCloseCom")->trigger();
    QCOMPARE(debug->lines(), (QStringList{"Info:serial port has been closed", "Info:serial port has been closed"}));
}

void tst_SerialConnection::presetPortLetsOpenComSucceedWithoutApply()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QSignalSpy ready(MainWindowProbe::dialog(*window), &comSettings::comReady);
    QVERIFY(window->presetPort(pty.portName(), 115200));
    QVERIFY(!MainWindowProbe::port(*window)->isOpen());
    QCOMPARE(ready.count(), 0);
    QComboBox *ports = MainWindowProbe::dialog(*window)->findChild<QComboBox *>(QStringLiteral("LidarCom"));
    QCOMPARE(ports->itemText(0), pty.portName());
    QCOMPARE(ports->currentIndex(), 0);

    QVERIFY(MainWindowProbe::openCom(*window));
    QCOMPARE(MainWindowProbe::port(*window)->baudRate(), 115200);
    QVERIFY(pty.write(kFrame));
    QTRY_COMPARE_WITH_TIMEOUT(frames, 1, 10000);
}

// The port dies with the window's children; whatever its close reports then
// must not reach a window that is already half destroyed.
void tst_SerialConnection::windowStopsHearingThePortBeforeItsPartsAreDestroyed()
{
    PtyPair pty;
    QVERIFY(window->presetPort(pty.portName(), 230400));
    QVERIFY(MainWindowProbe::openCom(*window));
    QSerialPort *port = MainWindowProbe::port(*window);
    // The window and its link supervisor.
    QCOMPARE(ReceiverCount::errorOccurred(port), 2);
    // The central widget goes before the port: the window is already being
    // taken apart while the port still lives.
    int listenersWhileDismantling = -1;
    connect(window->centralWidget(), &QObject::destroyed, this,
            [&] { listenersWhileDismantling = ReceiverCount::errorOccurred(port); });
    window.reset();
    QCOMPARE(listenersWhileDismantling, 0);
}

QTEST_MAIN(tst_SerialConnection)
#include "tst_serialconnection.moc"
