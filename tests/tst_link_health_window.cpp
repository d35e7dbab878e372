#include "app/MainWindow.h"
#include "link/LinkStats.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"
#include "widgets/UserPrompts.h"
#include "tests/support/DebugCapture.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"
#include "tests/support/StoredCurves.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <qcustomplot.h>

struct MainWindowProbe {
    static QSerialPort *port(MainWindow &w) { return w.serialPort; }
    static comSettings *portDialog(MainWindow &w) { return w.comSettingsDialog; }
};

namespace {

const QByteArray kStartFrame = QByteArray::fromHex("aaaaaaaa0002000004000000000006");
const QByteArray kStopFrame = QByteArray::fromHex("aaaaaaaa000f0000040000000000" "13");

// One point at `distance`, a clean echo.
QByteArray measurement(qint16 distance)
{
    QByteArray payload(19, '\0');
    auto *p = reinterpret_cast<uchar *>(payload.data());
    qToLittleEndian<qint16>(distance, p);
    qToLittleEndian<quint16>(50, p + 2);
    return encodedFrame(0x02, payload);
}

// The window started in a fresh working directory, its port reached through
// a symbolic link that a device can come back under.
struct Rig {
    QTemporaryDir dir;
    QString link = dir.filePath(QStringLiteral("ttyLidar"));
    std::unique_ptr<MainWindow> window;

    explicit Rig(const QByteArray &ini = {})
    {
        QDir::setCurrent(dir.path());
        if (!ini.isEmpty()) {
            QFile file(dir.filePath(QStringLiteral("Trivane_QZ90.ini")));
            file.open(QIODevice::WriteOnly);
            file.write(ini);
        }
        window = std::make_unique<MainWindow>();
        window->show();
    }

    bool pointAt(const PtyPair &pty)
    {
        QFile::remove(link);
        return QFile::link(pty.portName(), link);
    }
    void pull(PtyPair &pty)
    {
        QFile::remove(link);
        pty.closeMaster();
    }
    // Port chosen, Start pressed, Start read off the line.
    bool startOn(PtyPair &pty)
    {
        if (!pointAt(pty) || !window->presetPort(link, 230400))
            return false;
        click("pbStart");
        return pty.read(15, 5000) == kStartFrame;
    }

    // As the port dialog's Apply, with this port and rate chosen.
    bool apply(const QString &port, qint32 baudRate)
    {
        if (!window->presetPort(port, baudRate))
            return false;
        emit MainWindowProbe::portDialog(*window)->comReady();
        return portOpen();
    }

    void click(const char *name) { window->findChild<QAbstractButton *>(name)->click(); }
    QString state() { return window->findChild<QLabel *>("linkStateLabel")->text(); }
    QString message() { return window->findChild<QLabel *>("linkMessageLabel")->text(); }
    QPlainTextEdit *view() { return window->findChild<QPlainTextEdit *>("msg"); }
    bool viewGreyed()
    {
        const QPalette p = view()->palette();
        return p.color(QPalette::Active, QPalette::Text) == p.color(QPalette::Disabled, QPalette::Text);
    }
    QCPGraph *curve() { return window->findChild<QCustomPlot *>()->graph(0); }
    bool portOpen() { return MainWindowProbe::port(*window)->isOpen(); }
};

} // namespace

class tst_LinkHealthWindow : public QObject {
    Q_OBJECT
private slots:
    void statusBarFollowsAPulledSensorBackToAcquisition();
    void failuresShowInTheStatusBarWithoutABox();
    void noRetriesAfterTheUserClosedThePortOrTheWindow();
    void autoReconnectKeyTurnsRetriesOffAndIsKept();
    void anotherRateOrPortAppliedShowsInTheStatusBar_data();
    void anotherRateOrPortAppliedShowsInTheStatusBar();
    void closingThePortSettlesTheSessionTotals();
    void playbackStopsARunningAcquisitionFirstAndSaysSo_data();
    void playbackStopsARunningAcquisitionFirstAndSaysSo();
};

void tst_LinkHealthWindow::statusBarFollowsAPulledSensorBackToAcquisition()
{
    Rig rig;
    QCOMPARE(rig.state(), QStringLiteral("未连接"));
    // Chosen in advance, as --port does: named before it is opened.
    QVERIFY(rig.window->presetPort(rig.link, 460800));
    QCOMPARE(rig.state(), rig.link + QStringLiteral("  460800 bps  未连接"));
    PtyPair first;
    QVERIFY(rig.startOn(first));
    QCOMPARE(rig.state(), rig.link + QStringLiteral("  230400 bps  采集中"));

    for (qint16 d = 1000; d < 1010; ++d) {
        QVERIFY(first.write(measurement(d)));
        QTest::qWait(40);
    }
    QTRY_VERIFY_WITH_TIMEOUT(rig.curve()->dataCount() >= 50, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(rig.view()->toPlainText().startsWith(QStringLiteral("distance:1009\n")), 10000);
    const QString lastText = rig.view()->toPlainText();
    const int pointsBefore = rig.curve()->dataCount();
    const double firstValue = StoredCurves::values(rig.curve()).value(0);
    QVERIFY(!rig.viewGreyed());

    rig.pull(first);
    QTRY_COMPARE_WITH_TIMEOUT(rig.state(), rig.link + QStringLiteral("  230400 bps  已断开"), 10000);
    QVERIFY(rig.message().contains(QStringLiteral("已断开")));
    QVERIFY(rig.viewGreyed());
    QCOMPARE(rig.view()->toPlainText(), lastText);
    QTRY_VERIFY_WITH_TIMEOUT(rig.state().endsWith(QStringLiteral("重新连接中")), 10000);

    PtyPair second;
    QVERIFY(rig.pointAt(second));
    QCOMPARE(second.read(15, 10000), kStartFrame);
    QTRY_VERIFY_WITH_TIMEOUT(rig.state().endsWith(QStringLiteral("采集中")), 10000);
    QVERIFY(rig.viewGreyed());
    QVERIFY(second.write(measurement(2000)));
    QTRY_VERIFY_WITH_TIMEOUT(rig.view()->toPlainText().startsWith(QStringLiteral("distance:2000\n")), 10000);
    QVERIFY(!rig.viewGreyed());
    QTRY_VERIFY_WITH_TIMEOUT(rig.curve()->dataCount() > pointsBefore, 10000);
    QCOMPARE(StoredCurves::values(rig.curve()).value(0), firstValue);
    QCOMPARE(StoredCurves::keys(rig.curve()).value(pointsBefore - 1), double(pointsBefore - 1));
    // The loss is a gap: on the time axis the curve breaks where it resumed.
    const CurveStore &stored = qobject_cast<LodGraph *>(rig.curve())->curve();
    QCOMPARE(stored.stretchStartsIn(0, stored.size()), std::vector<qint64>{pointsBefore});
    QCOMPARE(second.read(1, 1000), QByteArray());
}

void tst_LinkHealthWindow::failuresShowInTheStatusBarWithoutABox()
{
    Rig rig;
    DebugCapture debug;
    rig.click("pbStart");
    QCOMPARE(rig.message(), QStringLiteral("串口未设置：请在“设置 → 打开串口”中选择"));
    QVERIFY(debug.contains(QStringLiteral("Error:串口未设置")));

    QVERIFY(rig.window->presetPort(rig.link, 460800));
    rig.click("pbStart");
    QCOMPARE(rig.message(), QStringLiteral("找不到串口 ") + rig.link);
    QCOMPARE(rig.state(), rig.link + QStringLiteral("  460800 bps  未连接"));

    rig.click("pbStop");
    QCOMPARE(rig.message(), QStringLiteral("命令 0x0f 未发送：串口未打开"));
    QVERIFY(!QApplication::activeModalWidget());
    // Shown as far as it fits, whole in its tooltip; the others keep their places.
    QLabel *shown = rig.window->findChild<QLabel *>("linkMessageLabel");
    QVERIFY(shown->isVisible());
    QCOMPARE(shown->toolTip(), shown->text());
    QVERIFY(rig.window->findChild<QLabel *>("contactLabel")->isVisible());
    QVERIFY(rig.window->findChild<QLabel *>("linkStateLabel")->isVisible());
}

void tst_LinkHealthWindow::noRetriesAfterTheUserClosedThePortOrTheWindow()
{
    Rig rig;
    PtyPair first;
    QVERIFY(rig.startOn(first));
    rig.pull(first);
    QTRY_VERIFY_WITH_TIMEOUT(rig.state().endsWith(QStringLiteral("重新连接中")), 10000);
    rig.window->findChild<QAction *>("actionCloseCom")->trigger();
    QVERIFY(rig.state().endsWith(QStringLiteral("未连接")));
    PtyPair second;
    QVERIFY(rig.pointAt(second));
    QTest::qWait(1500);
    QVERIFY(!rig.portOpen());
    QCOMPARE(second.read(1, 100), QByteArray());

    // Acquiring again on the second device, then the window is closed while
    // the device is away.
    QVERIFY(rig.startOn(second));
    rig.pull(second);
    QTRY_VERIFY_WITH_TIMEOUT(rig.state().endsWith(QStringLiteral("重新连接中")), 10000);
    rig.window->close();
    PtyPair third;
    QVERIFY(rig.pointAt(third));
    QTest::qWait(1500);
    QVERIFY(!rig.portOpen());
}

void tst_LinkHealthWindow::autoReconnectKeyTurnsRetriesOffAndIsKept()
{
    Rig rig("[General]\nAutoReconnect=false\n");
    PtyPair first;
    QVERIFY(rig.startOn(first));
    rig.pull(first);
    QTRY_VERIFY_WITH_TIMEOUT(rig.state().endsWith(QStringLiteral("已断开")), 10000);
    PtyPair second;
    QVERIFY(rig.pointAt(second));
    QTest::qWait(1500);
    QVERIFY(!rig.portOpen());
    QVERIFY(rig.state().endsWith(QStringLiteral("已断开")));
    rig.window.reset();
    QCOMPARE(QSettings(QStringLiteral("Trivane_QZ90.ini"), QSettings::IniFormat).value("AutoReconnect").toBool(),
             false);
}

void tst_LinkHealthWindow::anotherRateOrPortAppliedShowsInTheStatusBar_data()
{
    QTest::addColumn<bool>("otherPort");
    QTest::addColumn<bool>("acquiring");
    QTest::newRow("another rate, connected") << false << false;
    QTest::newRow("another rate, acquiring") << false << true;
    QTest::newRow("another port, connected") << true << false;
}

// The state word stays; the port and rate beside it follow what was applied.
void tst_LinkHealthWindow::anotherRateOrPortAppliedShowsInTheStatusBar()
{
    QFETCH(bool, otherPort);
    QFETCH(bool, acquiring);

    Rig rig;
    PtyPair first;
    PtyPair second;
    QVERIFY(rig.pointAt(first));
    QVERIFY(rig.apply(rig.link, 230400));
    if (acquiring) {
        rig.click("pbStart");
        QCOMPARE(first.read(15, 5000), kStartFrame);
    }
    const QString stateWord = acquiring ? QStringLiteral("采集中") : QStringLiteral("已连接");
    QCOMPARE(rig.state(), rig.link + QStringLiteral("  230400 bps  ") + stateWord);

    const QString port = otherPort ? second.portName() : rig.link;
    const qint32 rate = otherPort ? 230400 : 921600;
    QVERIFY(rig.apply(port, rate));
    // A device's port may be shown with or without its folder.
    const QString shownPort = port.startsWith(QStringLiteral("/dev/")) ? port.mid(5) : port;
    const QString state = rig.state();
    QVERIFY2(state.contains(shownPort + QStringLiteral("  %1 bps  ").arg(rate)) && state.endsWith(stateWord),
             qPrintable(state));
}

// The totals since the port opened, after a close, are those of the session
// just closed: not those of the sessions before it as well.
void tst_LinkHealthWindow::closingThePortSettlesTheSessionTotals()
{
    Rig rig;
    auto *stats = rig.window->findChild<LinkStats *>();
    QVERIFY(stats);
    PtyPair pty;
    QVERIFY(rig.pointAt(pty));
    QAction *close = rig.window->findChild<QAction *>("actionCloseCom");
    quint64 sent = 0;
    for (int frames : {3, 5}) {
        QVERIFY(rig.apply(rig.link, 230400));
        for (int k = 0; k < frames; ++k)
            QVERIFY(pty.write(measurement(qint16(1000 + k))));
        sent += quint64(frames);
        QTRY_COMPARE_WITH_TIMEOUT(stats->totals().frames, sent, 10000);
        close->trigger();
        QVERIFY(!rig.portOpen());
        QCOMPARE(stats->sinceOpen().frames, quint64(frames));
    }
}

void tst_LinkHealthWindow::playbackStopsARunningAcquisitionFirstAndSaysSo_data()
{
    QTest::addColumn<bool>("acquiring");
    QTest::newRow("acquisition running") << true;
    QTest::newRow("acquisition stopped") << false;
}

// A recording played back during acquisition is not drawn on by the live
// stream: Stop goes out first, the status bar says why, and the file's curve
// alone is shown. Without acquisition nothing is sent.
void tst_LinkHealthWindow::playbackStopsARunningAcquisitionFirstAndSaysSo()
{
    QFETCH(bool, acquiring);

    Rig rig;
    PtyPair pty;
    QVERIFY(rig.startOn(pty));
    QVERIFY(pty.write(measurement(1500)));
    QTRY_VERIFY_WITH_TIMEOUT(rig.curve()->dataCount() >= 10, 10000);
    if (!acquiring) {
        rig.click("pbStop");
        QCOMPARE(pty.read(15, 5000), kStopFrame);
    }
    const QString file = rig.dir.filePath(QStringLiteral("recorded.cur"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write("7,8,9,\n") == 7);
    out.close();
    const QString before = rig.message();
    UserPrompts::setOpenFileChooser([file](QWidget *, const QString &, const QString &, const QString &) {
        return file;
    });
    rig.window->findChild<QAction *>("actionPlaybackData")->trigger();
    UserPrompts::setOpenFileChooser({});

    QCOMPARE(pty.read(15, 1000), acquiring ? kStopFrame : QByteArray());
    QVERIFY(rig.state().endsWith(QStringLiteral("已连接")));
    QCOMPARE(rig.message(), acquiring ? QStringLiteral("已停止采集以回放文件") : before);
    QTest::qWait(100); // refresh ticks
    QCOMPARE(rig.curve()->dataCount(), 3);
    QCOMPARE(StoredCurves::values(rig.curve()).value(2), 9.0);
}

QTEST_MAIN(tst_LinkHealthWindow)
#include "tst_link_health_window.moc"
