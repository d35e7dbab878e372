#include "app/MainWindow.h"
#include "app/TrafficModel.h"
#include "app/TrafficMonitor.h"
#include "link/QTRNet.h"
#include "link/TrafficLog.h"
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
    void copyAsHexGivesTheWireBytes();
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
    log.attach(&net);

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

// The whole frame when it was short enough to keep; a longer record's kept
// bytes end in "...".
void tst_TrafficMonitor::copyAsHexGivesTheWireBytes()
{
    QSerialPort port;
    QTRNet net(&port);
    TrafficLog log;
    TrafficModel model(log);
    log.attach(&net);
    net.receiveData(encodedFrame(0x0F, hex("00000000")) + encodedFrame(0x02, QByteArray(100, '\x07')));
    model.refresh();

    QCOMPARE(model.copyAsHex({0}), QStringLiteral("AA AA AA AA 00 0F 00 00 04 00 00 00 00 00 13"));
    const QString longOne = model.copyAsHex({1});
    QVERIFY(longOne.startsWith(QStringLiteral("AA AA AA AA 00 02 00 00 64 00 07 07")));
    QVERIFY(longOne.endsWith(QStringLiteral("07 ...")));
    QCOMPARE(longOne.count(QLatin1Char(' ')), TrafficRecord::kKeptBytes);
    QCOMPARE(model.copyAsHex({0, 1}).count(QLatin1Char('\n')), 1);
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
