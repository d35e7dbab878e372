#include "app/MainWindow.h"
#include "app/TrafficModel.h"
#include "app/TrafficMonitor.h"
#include "link/QTRNet.h"
#include "link/TrafficLog.h"
#include "link/TrafficTap.h"
#include "tests/support/Frames.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QSerialPort>
#include <QShortcut>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

QString cell(const TrafficModel &model, int row, int column)
{
    return model.data(model.index(row, column)).toString();
}
} // namespace

class tst_TrafficMonitor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rowsFollowTheStreamInOrderAndMarkDamage();
    void dataShowsThePayloadAloneAndWholeInItsTooltip_data();
    void dataShowsThePayloadAloneAndWholeInItsTooltip();
    void copyAsHexGivesWholeFrames();
    void ringStaysBoundedWhateverTheFramesSizes();
    void clearedRecordsNeverComeBack_data();
    void clearedRecordsNeverComeBack();
    void tapFeedsTheLogOnlyWhileAttached();
    void recordsOnlyWhileShownAndPauseAndClearWork();
    void windowCountsShortPayloadsAndClearResetsTheShownCounters();

private:
    QTemporaryDir workDir;
};

void tst_TrafficMonitor::initTestCase()
{
    QVERIFY(workDir.isValid());
    QDir::setCurrent(workDir.path());
}

void tst_TrafficMonitor::rowsFollowTheStreamInOrderAndMarkDamage()
{
    QSerialPort port;
    QTRNet net(&port);
    TrafficLog log;
    TrafficModel model(log);
    TrafficTap tap(&log);
    tap.attach(&net);

    QByteArray damaged = encodedFrame(0x14, hex("0102030405060708090A"));
    damaged[damaged.size() - 1] = char(damaged.at(damaged.size() - 1) + 1);
    net.receiveData(hex("0102") + encodedFrame(0x02, hex("11223344")) + damaged + hex("0506070809")
                    + encodedFrame(0x10, hex("0C01")));
    log.recordOutgoing(encodedFrame(0x0F, hex("00000000")));
    model.refresh();

    QCOMPARE(model.rowCount(), 6);
    const QStringList checks = {"杂散字节", "正确", "错误", "杂散字节", "正确", "正确"};
    const QStringList commands = {"", "02", "14", "", "10", "0F"};
    const QStringList lengths = {"2", "4", "10", "5", "2", "4"};
    for (int row = 0; row < 6; ++row) {
        QCOMPARE(cell(model, row, TrafficModel::Checksum), checks[row]);
        QCOMPARE(cell(model, row, TrafficModel::Command), commands[row]);
        QCOMPARE(cell(model, row, TrafficModel::Length), lengths[row]);
        QCOMPARE(cell(model, row, TrafficModel::Direction), QString(row == 5 ? "发" : "收"));
    }
    QCOMPARE(cell(model, 2, TrafficModel::Data), QStringLiteral("01 02 03 04 05 06 07 08 ..."));
    QVERIFY(model.data(model.index(2, 0), Qt::ForegroundRole).isValid());
    QVERIFY(!model.data(model.index(1, 0), Qt::ForegroundRole).isValid());
}

void tst_TrafficMonitor::dataShowsThePayloadAloneAndWholeInItsTooltip_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("start, 4 bytes") << encodedFrame(0x02, hex("11223344")) << "11 22 33 44" << "11 22 33 44";
    QTest::newRow("ack, 2 bytes") << encodedFrame(0x10, hex("0C01")) << "0C 01" << "0C 01";
    QTest::newRow("empty payload") << encodedFrame(0x14, QByteArray()) << "" << "";
    QTest::newRow("7 bytes") << encodedFrame(0x27, hex("01020304050607")) << "01 02 03 04 05 06 07"
                             << "01 02 03 04 05 06 07";
    QTest::newRow("8 bytes") << encodedFrame(0x27, hex("0102030405060708")) << "01 02 03 04 05 06 07 08"
                             << "01 02 03 04 05 06 07 08";
    QTest::newRow("9 bytes") << encodedFrame(0x27, hex("010203040506070809")) << "01 02 03 04 05 06 07 08 ..."
                             << "01 02 03 04 05 06 07 08 09";
    QByteArray damaged = encodedFrame(0x14, hex("AABB"));
    damaged[damaged.size() - 1] = char(damaged.at(damaged.size() - 1) + 1);
    QTest::newRow("damaged, 2 bytes") << damaged + encodedFrame(0x10, hex("0C01")) << "AA BB" << "AA BB";
    QTest::newRow("stray bytes") << hex("0102030405060708090A") + encodedFrame(0x10, hex("0C01"))
                                 << "01 02 03 04 05 06 07 08 ..."
                                 << "01 02 03 04 05 06 07 08 09 0A";
    // 40 bytes: one tooltip line of 32, then the rest.
    QByteArray forty;
    QStringList fortyHex;
    for (int i = 0; i < 40; ++i) {
        forty += char(i);
        fortyHex << QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
    }
    QTest::newRow("two tooltip lines") << encodedFrame(0x02, forty) << fortyHex.mid(0, 8).join(' ') + " ..."
                                       << fortyHex.mid(0, 32).join(' ') + "\n" + fortyHex.mid(32).join(' ');
}

// The checksum byte and the header never pass for payload.
void tst_TrafficMonitor::dataShowsThePayloadAloneAndWholeInItsTooltip()
{
    QFETCH(QByteArray, wire);
    QSerialPort port;
    QTRNet net(&port);
    TrafficLog log;
    TrafficModel model(log);
    TrafficTap tap(&log);
    tap.attach(&net);
    net.receiveData(wire);
    model.refresh();
    QVERIFY(model.rowCount() >= 1);
    QTEST(cell(model, 0, TrafficModel::Data), "shown");
    QTEST(model.data(model.index(0, TrafficModel::Data), Qt::ToolTipRole).toString(), "tooltip");
}

void tst_TrafficMonitor::copyAsHexGivesWholeFrames()
{
    QSerialPort port;
    QTRNet net(&port);
    TrafficLog log;
    TrafficModel model(log);
    TrafficTap tap(&log);
    tap.attach(&net);
    const QByteArray longest = encodedFrame(0x02, QByteArray(65535, '\x07'));
    net.receiveData(encodedFrame(0x0F, hex("00000000")) + encodedFrame(0x02, QByteArray(100, '\x07')) + longest);
    model.refresh();
    QCOMPARE(model.rowCount(), 3);

    QCOMPARE(model.copyAsHex({0}), QStringLiteral("AA AA AA AA 00 0F 00 00 04 00 00 00 00 00 13"));
    const QString hundred = model.copyAsHex({1});
    QVERIFY(hundred.startsWith(QStringLiteral("AA AA AA AA 00 02 00 00 64 00 07 07")));
    QCOMPARE(QByteArray::fromHex(hundred.toLatin1()), encodedFrame(0x02, QByteArray(100, '\x07')));
    QCOMPARE(QByteArray::fromHex(model.copyAsHex({2}).toLatin1()), longest);
    QCOMPARE(model.copyAsHex({0, 1}).count(QLatin1Char('\n')), 1);
    QVERIFY(!model.copyAsHex({0, 1, 2}).contains(QStringLiteral("...")));
}

// Many of the longest frames: the oldest go when their bytes are needed,
// and what is kept is whole.
void tst_TrafficMonitor::ringStaysBoundedWhateverTheFramesSizes()
{
    TrafficLog log;
    const QByteArray longest = encodedFrame(0x02, QByteArray(65535, '\x07'));
    constexpr int kFrames = 200;
    for (int k = 0; k < kFrames; ++k)
        log.recordOutgoing(longest);
    const quint64 kept = log.endNumber() - log.firstNumber();
    QVERIFY(kept > 0);
    QVERIFY(kept * quint64(longest.size()) <= quint64(TrafficLog::kByteCapacity));
    QVERIFY((kept + 1) * quint64(longest.size()) > quint64(TrafficLog::kByteCapacity));
    for (quint64 n = log.firstNumber(); n < log.endNumber(); ++n)
        QCOMPARE(log.bytes(n), longest);

    // Stray bytes beyond any frame's length keep the first part only.
    log.skippedBytes(reinterpret_cast<const quint8 *>(QByteArray(200000, '\x01').constData()), 200000);
    QCOMPARE(log.record(log.endNumber() - 1).size, 200000);
    QCOMPARE(log.bytes(log.endNumber() - 1).size(), TrafficLog::kMaxKept);
}

void tst_TrafficMonitor::clearedRecordsNeverComeBack_data()
{
    QTest::addColumn<int>("payloadBytes");
    QTest::addColumn<int>("framesAfter");
    QTest::newRow("a few short frames") << 4 << 3;
    QTest::newRow("short frames round the ring twice")
        << 4 << 2 * TrafficLog::kCapacity + 7;
    QTest::newRow("long frames round the byte store twice")
        << 60000 << 2 * TrafficLog::kByteCapacity / 60000 + 3;
}

// However far the ring wraps after Clear, the view shows only what came
// after it.
void tst_TrafficMonitor::clearedRecordsNeverComeBack()
{
    QFETCH(int, payloadBytes);
    QFETCH(int, framesAfter);
    TrafficLog log;
    TrafficModel model(log);
    const QByteArray before = encodedFrame(0x0F, QByteArray(payloadBytes, '\x0B'));
    const QByteArray after = encodedFrame(0x02, QByteArray(payloadBytes, '\x0A'));
    for (int k = 0; k < 10; ++k)
        log.recordOutgoing(before);
    model.refresh();
    QCOMPARE(model.rowCount(), 10);
    log.clear();
    const quint64 clearedAt = log.endNumber();
    model.refresh();
    QCOMPARE(model.rowCount(), 0);

    // The oldest rows are where an old record would come back.
    for (int k = 0; k < framesAfter; ++k) {
        log.recordOutgoing(after);
        QVERIFY(log.firstNumber() >= clearedAt);
        QCOMPARE(log.bytes(log.firstNumber()), after);
        model.refresh();
        QVERIFY(model.rowCount() <= k + 1);
        for (int row = 0; row < qMin(12, model.rowCount()); ++row)
            QVERIFY2(cell(model, row, TrafficModel::Command) == QStringLiteral("02"),
                     qPrintable(QStringLiteral("row %1 after %2 frames").arg(row).arg(k + 1)));
    }
    QVERIFY(!model.copyAsHex({0}).contains(QStringLiteral("0F")));
}

void tst_TrafficMonitor::tapFeedsTheLogOnlyWhileAttached()
{
    QSerialPort port;
    TrafficLog log;
    TrafficTap tap(&log);
    {
        QTRNet net(&port);
        net.receiveData(encodedFrame(0x02, hex("01")));
        QCOMPARE(log.endNumber(), quint64(0));
        tap.attach(&net);
        net.receiveData(encodedFrame(0x02, hex("02")));
        QCOMPARE(log.endNumber(), quint64(1));
        tap.detach();
        net.receiveData(encodedFrame(0x02, hex("03")));
        QCOMPARE(log.endNumber(), quint64(1));
        tap.attach(&net);
    }
    // The endpoint went first: nothing is left to detach from.
    QVERIFY(!tap.attached());
    tap.detach();
    QCOMPARE(log.endNumber(), quint64(1));
}

void tst_TrafficMonitor::recordsOnlyWhileShownAndPauseAndClearWork()
{
    MainWindow window;
    QTRNet *net = window.findChild<QTRNet *>();
    auto *monitor = window.findChild<TrafficMonitor *>();
    QAction *open = window.findChild<QAction *>("actionTrafficMonitor");
    QVERIFY(monitor && open);
    QVERIFY(window.findChild<QMenu *>("menu_2")->actions().contains(open));

    net->receiveData(encodedFrame(0x02, hex("01")));
    QCOMPARE(monitor->log()->endNumber(), quint64(0));

    open->trigger();
    QVERIFY(monitor->isVisible());
    QVERIFY(!monitor->isModal());
    net->receiveData(encodedFrame(0x02, hex("02")) + encodedFrame(0x02, hex("03")));
    QTRY_COMPARE_WITH_TIMEOUT(monitor->model()->rowCount(), 2, 5000);

    monitor->findChild<QPushButton *>("pauseButton")->click();
    net->receiveData(encodedFrame(0x02, hex("04")));
    monitor->refresh();
    QCOMPARE(monitor->model()->rowCount(), 2);
    monitor->findChild<QPushButton *>("pauseButton")->click();

    monitor->findChild<QPushButton *>("copyHexButton")->click();
    QCOMPARE(QApplication::clipboard()->text().count(QLatin1Char('\n')), 1);
    QVERIFY(QApplication::clipboard()->text().startsWith(QStringLiteral("AA AA AA AA 00 02 00 00 01 00 02")));

    monitor->findChild<QPushButton *>("clearButton")->click();
    QCOMPARE(monitor->model()->rowCount(), 0);

    monitor->close();
    net->receiveData(encodedFrame(0x02, hex("05")));
    QCOMPARE(monitor->log()->endNumber(), quint64(2));
}

// A short measurement frame is counted where the window drops it; Clear, by
// button or key, starts the shown counts again.
void tst_TrafficMonitor::windowCountsShortPayloadsAndClearResetsTheShownCounters()
{
    MainWindow window;
    window.show();
    QTRNet *net = window.findChild<QTRNet *>();
    auto *label = window.findChild<QLabel *>("linkStatsLabel");
    QVERIFY(label);
    QCOMPARE(label->parentWidget(), window.statusBar());
    QVERIFY(label->x() < window.findChild<QLabel *>("contactLabel")->x());
    const auto minimumWidth = [&window] {
        QCoreApplication::sendPostedEvents();
        window.layout()->activate();
        return window.minimumSizeHint().width();
    };
    const int widthBefore = minimumWidth();
    label->setText(QString(400, QLatin1Char('W')));
    QCOMPARE(minimumWidth(), widthBefore);

    net->receiveData(encodedFrame(0x02, hex("0102")) + encodedFrame(0x10, hex("0C01")));
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(QStringLiteral("帧 2 ")), 5000);
    QVERIFY(label->text().endsWith(QStringLiteral("过短 1")));

    window.findChild<QPushButton *>("pbClear")->click();
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(QStringLiteral("帧 0 ")), 5000);
    QVERIFY(label->toolTip().contains(QStringLiteral(">2<")));

    net->receiveData(encodedFrame(0x10, hex("0C01")));
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(QStringLiteral("帧 1 ")), 5000);
    QTest::keyClick(&window, Qt::Key_F3);
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(QStringLiteral("帧 0 ")), 5000);
}

QTEST_MAIN(tst_TrafficMonitor)
#include "tst_traffic_monitor.moc"
