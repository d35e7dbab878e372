#include "app/MainWindow.h"
#include "link/QTRNet.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

struct MainWindowProbe {
    static QTRNet *net(MainWindow &w) { return w.net; }
};

// Runs the real event loop, as main does, so closing the last window quits it.
class tst_ShutdownDuringWait : public QObject {
    Q_OBJECT
private slots:
    void closingTheWindowDuringAWaitEndsTheLoopAndSavesSettings();
};

void tst_ShutdownDuringWait::closingTheWindowDuringAWaitEndsTheLoopAndSavesSettings()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    constexpr int kLongWaitMs = 120000;

    auto *window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    bool waitStarted = false;
    bool waitReturned = false;
    QElapsedTimer clock;
    QTimer::singleShot(0, window, [&] {
        QTimer::singleShot(200, window, &QWidget::close);
        waitStarted = true;
        MainWindowProbe::net(*window)->waitMs(kLongWaitMs);
        waitReturned = true;
    });
    // Should the loop hang, this ends it so the test fails instead of timing out.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    guard.start(kLongWaitMs / 2);

    clock.start();
    const int code = QApplication::exec();
    const qint64 elapsed = clock.elapsed();
    guard.stop();
    QVERIFY(waitStarted);
    QVERIFY(waitReturned);
    QCOMPARE(code, 0);
    QVERIFY2(elapsed < kLongWaitMs / 2, qPrintable(QString::number(elapsed)));

    const QSize sizeAtExit = window->size();
    delete window;
    QSettings ini(dir.filePath(QStringLiteral("Trivane_QZ90.ini")), QSettings::IniFormat);
    // The settings were written whole: every key the window keeps is there.
    for (const char *key :
         {"WindowSize", "SavedFilePath", "Begin", "Clear", "PeakValue", "OriginalValue", "AutoReconnect"})
        QVERIFY2(ini.contains(QLatin1String(key)), key);
    QCOMPARE(ini.value(QStringLiteral("WindowSize")).toSize(), sizeAtExit);
    QDir::setCurrent(QDir::tempPath());
}

QTEST_MAIN(tst_ShutdownDuringWait)
#include "tst_shutdownduringwait.moc"
