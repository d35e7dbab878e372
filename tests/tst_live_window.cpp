#include "app/MainWindow.h"
#include "link/QTRNet.h"
#include "link/TRCodec.h"
#include "link/comSettings.h"
#include "workflow/MeasurementPipeline.h"
#include "tests/support/DebugCapture.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"
#include "tests/support/StoredCurves.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <qcustomplot.h>

struct MainWindowProbe {
    static QCustomPlot *plot(MainWindow &w) { return w.plot; }
    static QTimer *timer(MainWindow &w) { return w.refreshTimer; }
    static void tick(MainWindow &w) { w.refreshPlotArea(); }
    static bool autoPlot(MainWindow &w) { return w.autoPlot; }
    static int curveIndex(MainWindow &w) { return w.curveIndex; }
    static int plotKey(MainWindow &w) { return w.plotKey; }
    static bool plotPending(MainWindow &w) { return w.plotPending; }
    static quint32 lastTimestamp(MainWindow &w) { return w.measurementPipeline->processor().lastTimestamp; }
};

namespace {

// One measurement frame whose points all have `distance`.
QByteArray measurement(qint16 distance, int points = 1, quint32 timestamp = 1000)
{
    QByteArray payload(15 * points + 4, '\0');
    auto *p = reinterpret_cast<uchar *>(payload.data());
    for (int i = 0; i < points; ++i)
        qToLittleEndian<qint16>(distance, p + 15 * i);
    qToLittleEndian<quint32>(timestamp, p + 15 * points);
    return payload;
}

QByteArray filled(int size, char byte) { return QByteArray(size, byte); }

QByteArray bytesOf(const char *hex) { return QByteArray::fromHex(hex); }

} // namespace

class tst_LiveWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyCodeGoesToItsHandler_data();
    void everyCodeGoesToItsHandler();
    void shortPayloadIsDroppedWithOneLine_data();
    void shortPayloadIsDroppedWithOneLine();
    void tickAppendsOnlyTheLatestBatch();
    void tickShowsTheLatestTextButNeverOverADeviceAnswer();
    void doubleClickFreezesAndReleasesTheAxes();
    void switchAlternatesTheScalingGraph();
    void clearRestartsTheCurveAtKeyZero();
    void plotWithFewerGraphsKeepsAcquiring_data();
    void plotWithFewerGraphsKeepsAcquiring();
    void startWithoutUsablePortSendsNothing();
    void startOpensThePortAndTheDeviceIsFollowed();
    void commandsGoOutAsFrames_data();
    void commandsGoOutAsFrames();

private:
    void feed(const QByteArray &bytes) { window->findChild<QTRNet *>()->receiveData(bytes); }
    QString view() const { return window->findChild<QPlainTextEdit *>("msg")->toPlainText(); }
    QCPGraph *graph(int i) { return MainWindowProbe::plot(*window)->graph(i); }

    QTemporaryDir workDir;
    MainWindow *window = nullptr;
};

void tst_LiveWindow::initTestCase()
{
    QVERIFY(workDir.isValid());
    QDir::setCurrent(workDir.path());
}

void tst_LiveWindow::init()
{
    window = new MainWindow;
    // Ticks are driven by hand so that a test decides when the plot refreshes.
    MainWindowProbe::timer(*window)->stop();
}

void tst_LiveWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void tst_LiveWindow::everyCodeGoesToItsHandler_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("debugLine"); // start of a logged line; empty: nothing logged
    QTest::addColumn<QString>("viewStart"); // empty: view unchanged

    QTest::newRow("measurement") << 0x02 << measurement(321) << "" << "distance:321\nconfidence:0\n";
    QTest::newRow("ack") << 0x10 << bytesOf("0c01") << "ack:12, result:1" << "";
    QTest::newRow("calibration parameters")
        << 0x12 << (bytesOf("0102030400000000") + filled(23, 0) + bytesOf("09")) << "size:32"
        << "ck=1,xtalk_cal=2,MP_cal=3,cg_cal=4\n";
    QTest::newRow("device information") << 0x14 << (bytesOf("0301020105000000") + filled(44, 0))
                                        << "firmware_version:v1.2.3," << "softversion:1.2.259\nhardversion:5\n";
    QTest::newRow("timing") << 0x24 << bytesOf("ffffffff07000000") << "timing:-1 7" << "";
    QTest::newRow("calibration result") << 0x27 << (bytesOf("0000ff") + filled(31, 0)) << "ret:0"
                                        << "ck=255,xtalk_cal=0,";
    QTest::newRow("eleven-byte record") << 0x28 << bytesOf("0a00ff0101010101010101") << "\"a0ff11111111\""
                                        << "";
    QTest::newRow("original data code") << 0x03 << filled(19, 1) << "" << "";
    QTest::newRow("stop code") << 0x0F << filled(4, 0) << "" << "";
    QTest::newRow("code 0x00") << 0x00 << filled(60, 0) << "" << "";
    QTest::newRow("code 0xff") << 0xFF << QByteArray() << "" << "";
}

void tst_LiveWindow::everyCodeGoesToItsHandler()
{
    QFETCH(int, cmd);
    QFETCH(QByteArray, payload);
    QFETCH(QString, debugLine);
    QFETCH(QString, viewStart);
    window->findChild<QPlainTextEdit *>("msg")->setPlainText("before");

    DebugCapture capture;
    feed(encodedFrame(quint8(cmd), payload));

    if (debugLine.isEmpty())
        QCOMPARE(capture.lines(), QStringList());
    else
        QVERIFY2(!capture.lines().filter(QRegularExpression('^' + QRegularExpression::escape(debugLine))).isEmpty(),
                 qPrintable(capture.lines().join(" | ")));
    if (viewStart.isEmpty())
        QCOMPARE(view(), QStringLiteral("before"));
    else
        QVERIFY2(view().startsWith(viewStart), qPrintable(view()));
    QCOMPARE(MainWindowProbe::plotPending(*window), cmd == 0x02);
}

void tst_LiveWindow::shortPayloadIsDroppedWithOneLine_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<int>("length");
    for (int len : {0, 1, 2, 3, 18})
        QTest::newRow(qPrintable(QString("measurement of %1").arg(len))) << 0x02 << len;
    QTest::newRow("ack of 1") << 0x10 << 1;
    QTest::newRow("calibration parameters of 31") << 0x12 << 31;
    QTest::newRow("device information of 51") << 0x14 << 51;
    QTest::newRow("timing of 7") << 0x24 << 7;
    QTest::newRow("calibration result of 33") << 0x27 << 33;
    QTest::newRow("eleven-byte record of 10") << 0x28 << 10;
}

void tst_LiveWindow::shortPayloadIsDroppedWithOneLine()
{
    QFETCH(int, cmd);
    QFETCH(int, length);
    feed(encodedFrame(0x02, measurement(10, 1, 777)));
    MainWindowProbe::tick(*window);
    const QString before = view();

    DebugCapture capture;
    feed(encodedFrame(quint8(cmd), filled(length, char(0xEE))));

    QCOMPARE(capture.lines().size(), 1);
    QCOMPARE(view(), before);
    QVERIFY(!MainWindowProbe::plotPending(*window));
    QCOMPARE(MainWindowProbe::lastTimestamp(*window), quint32(777));
}

void tst_LiveWindow::tickAppendsOnlyTheLatestBatch()
{
    QCustomPlot *plot = MainWindowProbe::plot(*window);
    QSignalSpy replots(plot, &QCustomPlot::afterReplot);
    feed(encodedFrame(0x02, measurement(500)));
    feed(encodedFrame(0x02, measurement(510, 1, 2000)));
    MainWindowProbe::tick(*window);

    QCOMPARE(replots.count(), 1);
    QCOMPARE(graph(0)->dataCount(), 10);
    QCOMPARE(StoredCurves::keys(graph(0)), (QVector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    QCOMPARE(StoredCurves::values(graph(0)), QVector<double>(10, 510.0));
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 30));
    QCOMPARE(graph(1)->dataCount(), 0);

    MainWindowProbe::tick(*window);
    QCOMPARE(replots.count(), 1);
    QCOMPARE(graph(0)->dataCount(), 10);
}

// Under a flood the view may lag by one tick, but the tick brings it to the
// newest frame, and a device answer is not overwritten by older frames.
void tst_LiveWindow::tickShowsTheLatestTextButNeverOverADeviceAnswer()
{
    for (qint16 d = 400; d < 410; ++d)
        feed(encodedFrame(0x02, measurement(d)));
    MainWindowProbe::tick(*window);
    QVERIFY(view().startsWith("distance:409\n"));

    for (qint16 d = 500; d < 510; ++d)
        feed(encodedFrame(0x02, measurement(d)));
    feed(encodedFrame(0x14, bytesOf("0301020105000000") + filled(44, 0)));
    QVERIFY(view().startsWith("softversion:1.2.259\n"));
    MainWindowProbe::tick(*window);
    QVERIFY(view().startsWith("softversion:1.2.259\n"));
}

void tst_LiveWindow::doubleClickFreezesAndReleasesTheAxes()
{
    QCustomPlot *plot = MainWindowProbe::plot(*window);
    QTest::mouseDClick(plot, Qt::LeftButton);
    QVERIFY(!MainWindowProbe::autoPlot(*window));
    const QCPRange keys = plot->xAxis->range();
    const QCPRange values = plot->yAxis->range();
    feed(encodedFrame(0x02, measurement(9000)));
    MainWindowProbe::tick(*window);
    QCOMPARE(graph(0)->dataCount(), 10);
    QCOMPARE(plot->xAxis->range(), keys);
    QCOMPARE(plot->yAxis->range(), values);

    QTest::mouseDClick(plot, Qt::LeftButton);
    QVERIFY(MainWindowProbe::autoPlot(*window));
    feed(encodedFrame(0x02, measurement(9000, 1, 2000)));
    MainWindowProbe::tick(*window);
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 40));
    QVERIFY(plot->yAxis->range().contains(9000));
}

void tst_LiveWindow::switchAlternatesTheScalingGraph()
{
    QCustomPlot *plot = MainWindowProbe::plot(*window);
    feed(encodedFrame(0x02, measurement(100, 1)));
    MainWindowProbe::tick(*window);
    StoredCurves::append(graph(1), {-5000, -4000});

    auto *button = window->findChild<QPushButton *>("pbSwitchCurve");
    button->click();
    QCOMPARE(MainWindowProbe::curveIndex(*window), 1);
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 10));
    QCOMPARE(plot->yAxis->range(), QCPRange(-5000, -4000));
    // Live data still goes to graph 0 while graph 1 drives the value axis.
    feed(encodedFrame(0x02, measurement(100, 1, 2000)));
    MainWindowProbe::tick(*window);
    QCOMPARE(graph(0)->dataCount(), 20);
    QCOMPARE(plot->yAxis->range(), QCPRange(-5000, -4000));

    button->click();
    QCOMPARE(MainWindowProbe::curveIndex(*window), 0);
}

void tst_LiveWindow::clearRestartsTheCurveAtKeyZero()
{
    QCustomPlot *plot = MainWindowProbe::plot(*window);
    feed(encodedFrame(0x02, measurement(100)));
    MainWindowProbe::tick(*window);
    plot->addGraph()->addData(3, 3); // as after a curve file with three curves
    window->findChild<QPushButton *>("pbClear")->click();
    for (int i = 0; i < plot->graphCount(); ++i)
        QCOMPARE(graph(i)->dataCount(), 0);
    QCOMPARE(plot->graphCount(), 3);
    QCOMPARE(MainWindowProbe::plotKey(*window), 0);
    QVERIFY(view().startsWith("distance:100"));

    feed(encodedFrame(0x02, measurement(200, 1, 2000)));
    MainWindowProbe::tick(*window);
    QCOMPARE(StoredCurves::keys(graph(0)).value(0), 0.0);
    QCOMPARE(StoredCurves::values(graph(0)).value(0), 200.0);
}

void tst_LiveWindow::plotWithFewerGraphsKeepsAcquiring_data()
{
    QTest::addColumn<int>("graphsLeft");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
}

void tst_LiveWindow::plotWithFewerGraphsKeepsAcquiring()
{
    QFETCH(int, graphsLeft);
    QCustomPlot *plot = MainWindowProbe::plot(*window);
    while (plot->graphCount() > graphsLeft)
        plot->removeGraph(plot->graphCount() - 1);

    window->findChild<QPushButton *>("pbSwitchCurve")->click(); // scaling graph 1, which is gone
    QCOMPARE(MainWindowProbe::curveIndex(*window), 1);
    feed(encodedFrame(0x02, measurement(42)));
    MainWindowProbe::tick(*window);
    window->findChild<QPushButton *>("pbSwitchCurve")->click();
    feed(encodedFrame(0x02, measurement(43, 1, 2000)));
    MainWindowProbe::tick(*window);

    QCOMPARE(plot->graphCount(), 1);
    QCOMPARE(graph(0)->dataCount(), 20);
    QCOMPARE(graph(0)->pen().color(), QColor(Qt::blue));
    QCOMPARE(graph(0)->brush().style(), Qt::NoBrush);
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 40));
}

void tst_LiveWindow::startWithoutUsablePortSendsNothing()
{
    feed(encodedFrame(0x02, measurement(100)));
    MainWindowProbe::tick(*window);
    window->findChild<comSettings *>()->settings.name = workDir.filePath("no-such-port");

    auto *start = window->findChild<QPushButton *>("pbStart");
    start->click();

    QVERIFY(start->isEnabled());
    QVERIFY(!window->findChild<QSerialPort *>()->isOpen());
    QCOMPARE(graph(0)->dataCount(), 10);
    QCOMPARE(MainWindowProbe::plotKey(*window), 10);
}

void tst_LiveWindow::startOpensThePortAndTheDeviceIsFollowed()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    feed(encodedFrame(0x02, measurement(100)));
    MainWindowProbe::tick(*window);
    window->findChild<comSettings *>()->settings.name = pty.portName();

    auto *start = window->findChild<QPushButton *>("pbStart");
    bool enabledDuringSend = true;
    QTimer::singleShot(10, this, [&] { enabledDuringSend = start->isEnabled(); });
    start->click();

    QVERIFY(!enabledDuringSend);
    QVERIFY(start->isEnabled());
    QCOMPARE(pty.read(15, 5000), bytesOf("aa aa aa aa 00 02 00 00 04 00 00 00 00 00 06"));
    QCOMPARE(graph(0)->dataCount(), 0);

    MainWindowProbe::timer(*window)->start(30);
    pty.write(encodedFrame(0x02, measurement(1234, 2, 5000)));
    QTRY_VERIFY_WITH_TIMEOUT(view().startsWith("distance:1234\n"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(graph(0)->dataCount(), 10, 10000);
    QCOMPARE(StoredCurves::values(graph(0)).value(0), 1234.0);
}

void tst_LiveWindow::commandsGoOutAsFrames_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("debugLine");

    QTest::newRow("stop") << QByteArray("on_pbStop_clicked") << bytesOf("aa aa aa aa 00 0f 00 00 04 00 00 00 00 00 13") << "";
    QTest::newRow("device information") << QByteArray("on_pbGetConfig_clicked")
                                        << bytesOf("aa aa aa aa 00 14 00 00 04 00 00 00 00 00 18") << "";
    QTest::newRow("original data") << QByteArray("on_actionOrignalData_triggered")
                                   << bytesOf("aa aa aa aa 00 03 00 00 04 00 00 00 00 00 07") << "orignal data";
    QTest::newRow("calibration parameters") << QByteArray("getCaliParam")
                                            << bytesOf("aa aa aa aa 00 12 00 00 04 00 00 00 00 00 16") << "";
    QTest::newRow("parameter calibration")
        << QByteArray("paramCali") << bytesOf("aa aa aa aa 00 27 00 00 10 00 70 61 72 61 6d 20 63 61 6c 69 00 00 00 00 00 00 01") << "";
}

void tst_LiveWindow::commandsGoOutAsFrames()
{
    QFETCH(QByteArray, slot);
    QFETCH(QByteArray, expected);
    QFETCH(QString, debugLine);
    PtyPair pty;
    QVERIFY(pty.isValid());
    window->findChild<comSettings *>()->settings.name = pty.portName();
    window->findChild<QPushButton *>("pbStart")->click();
    QCOMPARE(pty.read(15, 5000).size(), 15);
    QTest::qWait(60); // the start command's pause must be over

    DebugCapture capture;
    QVERIFY(QMetaObject::invokeMethod(window, slot.constData()));
    QCOMPARE(pty.read(expected.size(), 5000), expected);
    if (!debugLine.isEmpty())
        QVERIFY(capture.lines().contains(debugLine));
}

QTEST_MAIN(tst_LiveWindow)
#include "tst_live_window.moc"
