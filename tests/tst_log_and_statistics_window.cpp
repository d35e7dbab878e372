#include "app/LogStartDialog.h"
#include "app/MainWindow.h"
#include "app/StatisticsWindow.h"
#include "files/MeasurementLog.h"
#include "link/QTRNet.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"
#include "workflow/MeasurementFeed.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <qcustomplot.h>

struct MainWindowProbe {
    static bool openCom(MainWindow &w) { return w.openCom(); }
    static MeasurementFeed *feed(MainWindow &w) { return w.measurementFeed; }
    static MeasurementLog *log(MainWindow &w) { return w.measurementLog; }
    static QTRNet *net(MainWindow &w) { return w.net; }
};
using Probe = MainWindowProbe;

namespace {

// Frame k: k % 5 + 1 points at 1000 + k + i, timestamp 1000 * (k + 1).
QByteArray frame(int k)
{
    const int points = k % 5 + 1;
    QByteArray payload(15 * points + 4, '\0');
    auto *p = reinterpret_cast<uchar *>(payload.data());
    for (int i = 0; i < points; ++i) {
        qToLittleEndian<qint16>(qint16(1000 + k + i), p + 15 * i);
        qToLittleEndian<quint32>(20000, p + 15 * i + 4);
    }
    qToLittleEndian<quint32>(quint32(1000 * (k + 1)), p + 15 * points);
    return encodedFrame(0x02, payload);
}

QString distancesOf(int k)
{
    QStringList d;
    for (int i = 0; i < k % 5 + 1; ++i)
        d << QString::number(1000 + k + i);
    return d.join(' ');
}

QAction *action(MainWindow &w, const char *name)
{
    return w.findChild<QAction *>(QString::fromLatin1(name));
}

// Answers the start dialog, which the action shows modally.
void answerStartDialog(const QString &path)
{
    QTimer::singleShot(0, [path] {
        auto *dialog = qobject_cast<LogStartDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QVERIFY(dialog->findChild<QLineEdit *>("pathEdit")->text().endsWith(".csv"));
        dialog->findChild<QLineEdit *>("pathEdit")->setText(path);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
}

} // namespace

class tst_LogAndStatisticsWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void newEntriesSitInTheFileAndSettingsMenus();
    void logKeepsEveryFrameFromTheLinkOnceAndInOrder();
    void statisticsWindowShowsTheChosenWindowOfFrames();

private:
    QTemporaryDir workDir;
};

void tst_LogAndStatisticsWindow::initTestCase()
{
    QVERIFY(workDir.isValid());
    QDir::setCurrent(workDir.path());
}

void tst_LogAndStatisticsWindow::newEntriesSitInTheFileAndSettingsMenus()
{
    MainWindow window;
    const QList<QAction *> file = window.findChild<QMenu *>("menu")->actions();
    const int exit = file.indexOf(action(window, "actionEixt"));
    QCOMPARE(file.indexOf(action(window, "actionStartLog")), exit - 3);
    QCOMPARE(file.indexOf(action(window, "actionStopLog")), exit - 2);
    QVERIFY(file.at(exit - 1)->isSeparator());
    QCOMPARE(action(window, "actionStartLog")->text(), QStringLiteral("开始记录日志..."));
    QCOMPARE(action(window, "actionStopLog")->text(), QStringLiteral("停止记录日志"));
    QVERIFY(window.findChild<QMenu *>("menu_2")->actions().contains(action(window, "actionStatistics")));
    QCOMPARE(action(window, "actionStatistics")->text(), QStringLiteral("统计..."));
}

// Frames written by a device peer on a pseudo-terminal; the log runs on
// through Stop and is flushed and closed with the window.
void tst_LogAndStatisticsWindow::logKeepsEveryFrameFromTheLinkOnceAndInOrder()
{
    const QString path = workDir.filePath("link.csv");
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto *window = new MainWindow;
    int published = 0;
    QObject::connect(Probe::feed(*window), &MeasurementFeed::frameMeasured, window, [&] { ++published; });
    QVERIFY(window->presetPort(pty.portName(), 921600));
    QVERIFY(Probe::openCom(*window));

    QVERIFY(!action(*window, "actionStopLog")->isEnabled());
    answerStartDialog(path);
    action(*window, "actionStartLog")->trigger();
    QVERIFY(Probe::log(*window)->isRunning());
    QVERIFY(action(*window, "actionStopLog")->isEnabled());

    constexpr int kBefore = 600, kAfter = 40;
    QByteArray burst;
    for (int k = 0; k < kBefore; ++k)
        burst += frame(k);
    QVERIFY(pty.write(burst));
    QTRY_COMPARE_WITH_TIMEOUT(published, kBefore, 30000);
    window->findChild<QPushButton *>("pbStop")->click();
    QVERIFY(Probe::log(*window)->isRunning());
    for (int k = kBefore; k < kBefore + kAfter; ++k)
        QVERIFY(pty.write(frame(k)));
    QTRY_COMPARE_WITH_TIMEOUT(published, kBefore + kAfter, 30000);
    auto *label = window->findChild<QLabel *>("logStatusLabel");
    QTRY_VERIFY_WITH_TIMEOUT(label->text().contains("link.csv") && label->text().contains(QString::number(kBefore + kAfter)), 20000);

    window->close();
    QVERIFY(!Probe::log(*window)->isRunning());
    delete window;

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + kBefore + kAfter);
    for (int k = 0; k < kBefore + kAfter; ++k) {
        const QStringList f = lines[k + 1].split(',');
        QCOMPARE(f.size(), 14);
        QCOMPARE(f[0].toInt(), k + 1);
        QCOMPARE(f[2].toInt(), 1000 * (k + 1));
        QCOMPARE(f[3].toInt(), k % 5 + 1);
        QCOMPARE(f[4].toInt(), 1000 + k);
        QCOMPARE(f[9].toInt(), 20000);
        QCOMPARE(f[13], distancesOf(k));
    }
}

void tst_LogAndStatisticsWindow::statisticsWindowShowsTheChosenWindowOfFrames()
{
    MainWindow window;
    action(window, "actionStatistics")->trigger();
    auto *stats = window.findChild<StatisticsWindow *>();
    QVERIFY(stats && stats->isVisible());
    for (int k = 0; k < 150; ++k)
        Probe::net(window)->receiveData(frame(k));

    auto figure = [&](int i) { return stats->findChild<QLabel *>(QStringLiteral("figure%1").arg(i))->text(); };
    auto barsTotal = [&] {
        auto *bars = qobject_cast<QCPBars *>(stats->findChild<QCustomPlot *>("histogramPlot")->plottable(0));
        double sum = 0;
        for (auto it = bars->data()->constBegin(); it != bars->data()->constEnd(); ++it)
            sum += it->value;
        return sum;
    };
    QTRY_COMPARE_WITH_TIMEOUT(figure(0), QStringLiteral("150"), 5000);
    QCOMPARE(figure(3), QStringLiteral("1000")); // first point of frame 0
    QCOMPARE(figure(4), QStringLiteral("1149"));
    QCOMPARE(barsTotal(), 150.0);
    QCOMPARE(stats->findChild<QCustomPlot *>("timePlot")->graph(0)->dataCount(), 150);

    stats->findChild<QComboBox *>("windowBox")->setCurrentIndex(0);
    QCOMPARE(figure(0), QStringLiteral("100"));
    QCOMPARE(figure(3), QStringLiteral("1050"));
    QCOMPARE(barsTotal(), 100.0);
    QCOMPARE(stats->findChild<QCustomPlot *>("timePlot")->graph(0)->dataCount(), 100);

    stats->findChild<QPushButton *>("freezeButton")->click();
    for (int k = 150; k < 160; ++k)
        Probe::net(window)->receiveData(frame(k));
    QTest::qWait(3 * StatisticsWindow::kRefreshMs);
    QCOMPARE(figure(4), QStringLiteral("1149"));
    QCOMPARE(stats->statistics().total(), qint64(160)); // counted all the same
    stats->findChild<QPushButton *>("copyButton")->click();
    QVERIFY2(QApplication::clipboard()->text().contains("\t1149\n"), qPrintable(QApplication::clipboard()->text()));

    stats->findChild<QPushButton *>("freezeButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(figure(4), QStringLiteral("1159"), 5000);
    stats->restart();
    QCOMPARE(figure(0), QStringLiteral("0"));
}

QTEST_MAIN(tst_LogAndStatisticsWindow)
#include "tst_log_and_statistics_window.moc"
