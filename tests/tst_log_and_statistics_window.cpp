#include "app/LogStartDialog.h"
#include "app/MainWindow.h"
#include "app/StatisticsWindow.h"
#include "files/MeasurementLog.h"
#include "link/QTRNet.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"
#include "tests/support/StalledDisk.h"
#include "workflow/MeasurementFeed.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <qcustomplot.h>

struct MainWindowProbe {
    static bool openCom(MainWindow &w) { return w.openCom(); }
    static QShortcut *startShortcut(MainWindow &w) { return w.startShortcut; }
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

// Runs `answer` on the modal widget of type T once it is the active one;
// for nested boxes, arm it before the click that opens them.
template <typename T>
void whenModal(std::function<void(T *)> answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        auto *widget = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!widget)
            return;
        poll->stop();
        poll->deleteLater();
        answer(widget);
    });
    poll->start();
}

void clickOk(LogStartDialog *dialog, const QString &path)
{
    dialog->findChild<QLineEdit *>("pathEdit")->setText(path);
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
}

// The buttons the existing-file question offers, by name, and a click on `choice`.
void answerExistingFileQuestion(const QString &choice, QStringList *offered)
{
    whenModal<QMessageBox>([choice, offered](QMessageBox *box) {
        QCOMPARE(box->objectName(), QStringLiteral("existingLogQuestion"));
        offered->clear();
        for (QAbstractButton *button : box->buttons())
            *offered << button->objectName();
        offered->sort();
        box->findChild<QAbstractButton *>(choice)->click();
    });
}

QList<QStringList> rowsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QStringList> rows;
    for (const QString &line : QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts))
        rows << line.split(',');
    return rows;
}

// A one-point frame whose peak and spread the quality filter judges.
QByteArray judgedFrame(int points, bool weak, quint32 timestamp)
{
    QByteArray payload(15 * points + 4, '\0');
    auto *p = reinterpret_cast<uchar *>(payload.data());
    for (int i = 0; i < points; ++i) {
        qToLittleEndian<qint16>(qint16(i % 2 ? 2000 : 1000), p + 15 * i);
        qToLittleEndian<quint16>(40, p + 15 * i + 2);
        qToLittleEndian<quint32>(weak ? 100 : 20000, p + 15 * i + 4);
    }
    qToLittleEndian<quint32>(timestamp, p + 15 * points);
    return encodedFrame(0x02, payload);
}

} // namespace

class tst_LogAndStatisticsWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void newEntriesSitInTheFileAndSettingsMenus();
    void logKeepsEveryFrameFromTheLinkOnceAndInOrder();
    void statisticsWindowShowsTheChosenWindowOfFrames();
    void existingFileIsReplacedOrAppendedToOnlyWhenAsked();
    void startingOnTheRunningLogsFileKeepsItsLines();
    void stalledLogHoldsTheWindowsCloseNoLongerThanTheWait();
    void blankedFrameReadsOneInTheLogAndCountsInTheStatistics();
    void statisticsRestartWithTheStartThatGoesOut_data();
    void statisticsRestartWithTheStartThatGoesOut();
    void timeAxisCountsFromTheLastStart();

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
        QCOMPARE(f.size(), 16);
        QCOMPARE(f[0].toInt(), k + 1);
        QCOMPARE(f[2].toInt(), 1000 * (k + 1));
        QCOMPARE(f[3].toInt(), k % 5 + 1);
        QCOMPARE(f[4].toInt(), 1000 + k);
        QCOMPARE(f[9].toInt(), 20000);
        QCOMPARE(f[13], distancesOf(k));
        QCOMPARE(f[15], QStringLiteral("0"));
        if (k > 0)
            QVERIFY(f[14].toDouble() >= lines[k].split(',')[14].toDouble());
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
    // No Start was sent: the time axis runs from the first frame, and says so.
    QCOMPARE(stats->findChild<QCustomPlot *>("timePlot")->xAxis->label(), QStringLiteral("自第一帧起的时间 (秒)"));
}

void tst_LogAndStatisticsWindow::statisticsRestartWithTheStartThatGoesOut_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("button") << "button";
    QTest::newRow("start key") << "key";
    QTest::newRow("button, port that cannot open") << "unopenable";
}

// A device that streams at once: its first frames reach the host during
// Start's own pause. However Start is given, those frames are the new run's;
// a Start that cannot go out keeps the run before it.
void tst_LogAndStatisticsWindow::statisticsRestartWithTheStartThatGoesOut()
{
    QFETCH(QString, how);

    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    QVERIFY(window.presetPort(how == "unopenable" ? workDir.filePath("no-such-port") : pty.portName(), 921600));
    action(window, "actionStatistics")->trigger();
    auto *stats = window.findChild<StatisticsWindow *>();
    for (int k = 0; k < 20; ++k)
        Probe::net(window)->receiveData(frame(k));
    QCOMPARE(stats->statistics().total(), qint64(20));

    DevicePeer device(pty);
    device.onFrame = [&](const TRData &f) {
        if (f.cmd != 0x02)
            return;
        QByteArray burst;
        for (int k = 100; k < 105; ++k)
            burst += frame(k);
        pty.write(burst);
    };
    if (how == "key")
        emit Probe::startShortcut(window)->activated();
    else
        window.findChild<QPushButton *>("pbStart")->click();

    if (how == "unopenable") {
        QTest::qWait(200);
        QCOMPARE(stats->statistics().total(), qint64(20));
        QVERIFY(device.frames.empty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(stats->statistics().total(), qint64(5), 10000);
    QTest::qWait(200);
    QCOMPARE(stats->statistics().total(), qint64(5));
    QCOMPARE(int(device.frames.size()), 1);
}

// The statistics window made during a run counts its time from that run's
// Start, not from its own making; the next Start sets the origin again.
// Bounds come from clocks read outside the window, never from speed.
void tst_LogAndStatisticsWindow::timeAxisCountsFromTheLastStart()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    MainWindow window;
    QVERIFY(window.presetPort(pty.portName(), 921600));
    DevicePeer device(pty);
    auto *start = window.findChild<QPushButton *>("pbStart");
    start->click();
    QTRY_COMPARE_WITH_TIMEOUT(int(device.frames.size()), 1, 10000);
    QElapsedTimer sinceStart;
    sinceStart.start();
    QTest::qWait(600);
    const double madeAfter = double(sinceStart.elapsed()) / 1000;
    action(window, "actionStatistics")->trigger();
    auto *stats = window.findChild<StatisticsWindow *>();
    QCustomPlot *timePlot = stats->findChild<QCustomPlot *>("timePlot");
    QCOMPARE(timePlot->xAxis->label(), QStringLiteral("自开始的时间 (秒)"));
    QVERIFY(pty.write(frame(0) + frame(1)));
    QTRY_COMPARE_WITH_TIMEOUT(timePlot->graph(0)->dataCount(), 2, 10000);
    QVERIFY2(timePlot->graph(0)->data()->at(0)->key >= madeAfter,
             qPrintable(QString::number(timePlot->graph(0)->data()->at(0)->key)));

    QElapsedTimer sinceRestart;
    sinceRestart.start();
    start->click();
    QTRY_COMPARE_WITH_TIMEOUT(int(device.frames.size()), 2, 10000);
    QCOMPARE(stats->statistics().total(), qint64(0));
    QVERIFY(pty.write(frame(2)));
    QTRY_COMPARE_WITH_TIMEOUT(timePlot->graph(0)->dataCount(), 1, 10000);
    const double key = timePlot->graph(0)->data()->at(0)->key;
    QVERIFY2(key >= 0 && key <= double(sinceRestart.elapsed()) / 1000, qPrintable(QString::number(key)));
    QCOMPARE(timePlot->xAxis->label(), QStringLiteral("自开始的时间 (秒)"));
}

// A typed path is checked as a chosen one: an existing file is never
// emptied without a question, and Cancel in the question keeps the dialog.
void tst_LogAndStatisticsWindow::existingFileIsReplacedOrAppendedToOnlyWhenAsked()
{
    const QString other = workDir.filePath("notes.csv");
    const QString log = workDir.filePath("earlier.csv");
    {
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("keep me\n") == 8);
    }
    MainWindow window;
    QStringList offered;
    bool stayedOpen = false;
    whenModal<LogStartDialog>([&](LogStartDialog *dialog) {
        answerExistingFileQuestion("cancelButton", &offered);
        clickOk(dialog, other);
        stayedOpen = dialog->isVisible();
        dialog->reject();
    });
    action(window, "actionStartLog")->trigger();
    QVERIFY(stayedOpen);
    QCOMPARE(offered, (QStringList{"cancelButton", "replaceButton"})); // other columns: no append
    QVERIFY(!Probe::log(window)->isRunning());
    {
        QFile file(other);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me\n"));
    }

    // A log of the same layout may be continued.
    answerStartDialog(log);
    action(window, "actionStartLog")->trigger();
    Probe::net(window)->receiveData(frame(0));
    Probe::log(window)->stop();
    whenModal<LogStartDialog>([&](LogStartDialog *dialog) {
        answerExistingFileQuestion("appendButton", &offered);
        clickOk(dialog, log);
    });
    action(window, "actionStartLog")->trigger();
    QCOMPARE(offered, (QStringList{"appendButton", "cancelButton", "replaceButton"}));
    Probe::net(window)->receiveData(frame(1));
    Probe::log(window)->stop();
    QList<QStringList> rows = rowsOf(log);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[2][0], QStringLiteral("2"));

    whenModal<LogStartDialog>([&](LogStartDialog *dialog) {
        answerExistingFileQuestion("replaceButton", &offered);
        clickOk(dialog, log);
    });
    action(window, "actionStartLog")->trigger();
    QVERIFY(Probe::log(window)->isRunning());
    Probe::log(window)->stop();
    QCOMPARE(rowsOf(log).size(), 1);
}

// 51 lines must stay 51 and grow: the running log's file is offered for
// appending only.
void tst_LogAndStatisticsWindow::startingOnTheRunningLogsFileKeepsItsLines()
{
    const QString path = workDir.filePath("running.csv");
    MainWindow window;
    answerStartDialog(path);
    action(window, "actionStartLog")->trigger();
    for (int k = 0; k < 50; ++k)
        Probe::net(window)->receiveData(frame(k));
    QStringList offered;
    whenModal<LogStartDialog>([&](LogStartDialog *dialog) {
        answerExistingFileQuestion("appendButton", &offered);
        clickOk(dialog, path);
    });
    action(window, "actionStartLog")->trigger();
    QCOMPARE(offered, (QStringList{"appendButton", "cancelButton"}));
    QVERIFY(Probe::log(window)->isRunning());
    for (int k = 50; k < 60; ++k)
        Probe::net(window)->receiveData(frame(k));
    window.close();

    const QList<QStringList> rows = rowsOf(path);
    QCOMPARE(rows.size(), 61);
    for (int k = 0; k < 60; ++k) {
        QCOMPARE(rows[k + 1][0].toInt(), k + 1);
        QCOMPARE(rows[k + 1][13], distancesOf(k));
    }
}

void tst_LogAndStatisticsWindow::stalledLogHoldsTheWindowsCloseNoLongerThanTheWait()
{
    StalledDisk disk;
    Watchdog dog(30, [&] { disk.release(); });
    auto *window = new MainWindow;
    window->show();
    MeasurementLog *log = Probe::log(*window);
    log->setFileAccessHook(disk.hook());
    QVERIFY(log->start(workDir.filePath("stalled.csv"), MeasurementLog::Layout::FramePerLine));
    Probe::net(*window)->receiveData(frame(0));
    QTRY_COMPARE_WITH_TIMEOUT(log->status().linesWritten, qint64(1), 20000);
    disk.block();
    for (int k = 1; k < 8; ++k)
        Probe::net(*window)->receiveData(frame(k));
    QTRY_VERIFY_WITH_TIMEOUT(disk.holdsAWriter(), 20000);

    QVERIFY(window->close());
    QVERIFY(!log->isRunning());
    QCOMPARE(log->status().failure, LogFileWriter::Failure::Stalled);
    QCOMPARE(log->status().linesDropped, qint64(7));
    const QString shown = window->findChild<QLabel *>("logStatusLabel")->text();
    QVERIFY2(shown.startsWith(QStringLiteral("日志写入超时")) && shown.endsWith(QStringLiteral("丢失 7 行")), qPrintable(shown));
    delete window;
    disk.release();
}

// Through a pseudo-terminal: two frames of wide spread and weak peaks make
// the filter blank the second; a good frame after a damaged one clears it.
void tst_LogAndStatisticsWindow::blankedFrameReadsOneInTheLogAndCountsInTheStatistics()
{
    const QString path = workDir.filePath("blanked.csv");
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto *window = new MainWindow;
    int published = 0;
    QObject::connect(Probe::feed(*window), &MeasurementFeed::frameMeasured, window, [&] { ++published; });
    QVERIFY(window->presetPort(pty.portName(), 921600));
    QVERIFY(Probe::openCom(*window));
    action(*window, "actionStatistics")->trigger();
    auto *stats = window->findChild<StatisticsWindow *>();
    QVERIFY(stats);
    answerStartDialog(path);
    action(*window, "actionStartLog")->trigger();
    QVERIFY(Probe::log(*window)->isRunning());

    const QByteArray damaged = [] {
        QByteArray f = judgedFrame(1, false, 3500);
        f[f.size() - 1] = char(f.at(f.size() - 1) ^ 0x5A);
        return f;
    }();
    QVERIFY(pty.write(judgedFrame(1, false, 1000) + judgedFrame(40, true, 2000) + judgedFrame(40, true, 3000) + damaged
                      + judgedFrame(40, false, 4000)));
    QTRY_COMPARE_WITH_TIMEOUT(published, 4, 30000);
    auto *blankedShare = stats->findChild<QLabel *>("figure7");
    QTRY_COMPARE_WITH_TIMEOUT(blankedShare->text(), QStringLiteral("25.00%"), 5000);
    window->close();
    delete window;

    const QList<QStringList> rows = rowsOf(path);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows[0][12], QStringLiteral("blanked"));
    const char *expected[][3] = {{"0", "1000", "0"}, {"0", "1000", "0"}, {"1", "0", "0"}, {"0", "1000", "1"}};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(rows[i + 1][12], QString::fromLatin1(expected[i][0]));  // blanked
        QCOMPARE(rows[i + 1][4], QString::fromLatin1(expected[i][1]));   // distance_mm
        QCOMPARE(rows[i + 1][15], QString::fromLatin1(expected[i][2]));  // bad_frames_before
    }
}

QTEST_MAIN(tst_LogAndStatisticsWindow)
#include "tst_log_and_statistics_window.moc"
