#include "app/ChineseFontCheck.h"
#include "app/MainWindow.h"
#include "download/DownloadDialog.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"

#include <QDir>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <qcustomplot.h>

struct MainWindowProbe {
    static QCustomPlot *plot(MainWindow &w) { return w.plot; }
    static QSerialPort *port(MainWindow &w) { return w.serialPort; }
    static QTRNet *net(MainWindow &w) { return w.net; }
    static QTimer *timer(MainWindow &w) { return w.refreshTimer; }
    static DownloadDialog *download(MainWindow &w) { return w.downloadDialog; }
};

class tst_MainWindowStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void constructionBuildsAndWiresEverything();
    void endpointDiesWithThePort();
    void missingChineseFontIsReportedWithThePackageTheSetupInstalls();
    void toolStartingWithoutAChineseFontSaysSoOnce();
    void commandLineIsAnsweredBeforeAnyWindow_data();
    void commandLineIsAnsweredBeforeAnyWindow();

private:
    QTemporaryDir workDir;
};

void tst_MainWindowStartup::initTestCase()
{
    QVERIFY(workDir.isValid());
    QDir::setCurrent(workDir.path());
}

void tst_MainWindowStartup::constructionBuildsAndWiresEverything()
{
    MainWindow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("雷达数据波形工具 V1.0.0"));
    QVERIFY(!w.windowIcon().isNull());

    QSerialPort *port = MainWindowProbe::port(w);
    QVERIFY(port && !port->isOpen());
    QCOMPARE(port->parent(), &w);
    QTRNet *net = MainWindowProbe::net(w);
    QVERIFY(net);
    QCOMPARE(net->parent(), port);

    QCustomPlot *plot = MainWindowProbe::plot(w);
    QVERIFY(plot);
    QCOMPARE(plot->parentWidget()->objectName(), QStringLiteral("frame_plot"));
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(plot->graph(0)->pen().color(), QColor(Qt::blue));
    QCOMPARE(plot->graph(1)->pen().color(), QColor(Qt::red));

    QTimer *timer = MainWindowProbe::timer(w);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 30);

    DownloadDialog *download = MainWindowProbe::download(w);
    QVERIFY(download);
    QCOMPARE(download->parent(), &w);
    QVERIFY(!download->isVisible());
    QVERIFY(w.findChild<comSettings *>());
}

void tst_MainWindowStartup::endpointDiesWithThePort()
{
    auto *w = new MainWindow;
    QPointer<QTRNet> net = MainWindowProbe::net(*w);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->close();
    delete w;
    QVERIFY(net.isNull());
}

void tst_MainWindowStartup::missingChineseFontIsReportedWithThePackageTheSetupInstalls()
{
    const QString notice = ChineseFontCheck::notice({});
    QVERIFY(notice.contains(QLatin1String(ChineseFontCheck::kFontPackage)));
    QVERIFY(!notice.contains(QLatin1Char('\n')));
    QCOMPARE(ChineseFontCheck::notice({QStringLiteral("WenQuanYi Micro Hei")}), QString());

    QFile setup(QStringLiteral(LIDAR_SOURCE_DIR "/scripts/setup.sh"));
    QVERIFY(setup.open(QIODevice::ReadOnly));
    const QRegularExpression listed(
        QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(QLatin1String(ChineseFontCheck::kFontPackage))));
    QVERIFY(listed.match(QString::fromUtf8(setup.readAll())).hasMatch());
}

// The tool itself, on a machine whose font configuration knows no font.
void tst_MainWindowStartup::toolStartingWithoutAChineseFontSaysSoOnce()
{
    QTemporaryDir fonts;
    QFile config(fonts.filePath(QStringLiteral("fonts.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("<?xml version=\"1.0\"?>\n<fontconfig><cachedir>" + QFile::encodeName(fonts.path())
                 + "</cachedir></fontconfig>\n");
    config.close();

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("FONTCONFIG_FILE"), config.fileName());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    tool.setProcessEnvironment(env);
    tool.setWorkingDirectory(workDir.path());
    tool.start(QStringLiteral(LIDAR_TOOL_PATH), QStringList());
    QVERIFY(tool.waitForStarted(10000));
    const QByteArray package(ChineseFontCheck::kFontPackage);
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += tool.readAllStandardError()).contains(package), 60000);
    tool.terminate();
    QVERIFY(tool.waitForFinished(10000));
    errors += tool.readAllStandardError();
    QCOMPARE(errors.count(package), 1);
}

void tst_MainWindowStartup::commandLineIsAnsweredBeforeAnyWindow_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("errors"); // parts of the error output, the usage among them
    const QString version = QStringLiteral("lidar-waveform " LIDAR_PROJECT_VERSION "\n");
    const QString usage = QStringLiteral("Usage: ");
    QTest::newRow("version") << QStringList{"--version"} << 0 << version << QStringList();
    QTest::newRow("version, short") << QStringList{"-v"} << 0 << version << QStringList();
    QTest::newRow("version beside other options") << QStringList{"--lang", "en", "--version"} << 0 << version
                                                  << QStringList();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << QString()
                                    << QStringList{"Unknown option 'bogus'.", usage, "--port <NAME>"};
    QTest::newRow("port without its name") << QStringList{"--port"} << 2 << QString()
                                           << QStringList{"Missing value after '--port'.", usage};
    QTest::newRow("language without its code") << QStringList{"--lang"} << 2 << QString()
                                               << QStringList{"Missing value after '--lang'.", usage};
    QTest::newRow("rate not offered") << QStringList{"--port", "p", "--baud", "9600"} << 2 << QString()
                                      << QStringList{"Unsupported baud rate: 9600.", usage};
    QTest::newRow("an argument that is no option") << QStringList{"ttyUSB0"} << 2 << QString()
                                                   << QStringList{"Unexpected argument 'ttyUSB0'.", usage};
}

// The tool itself: it answers and ends, with no window and no settings file.
void tst_MainWindowStartup::commandLineIsAnsweredBeforeAnyWindow()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    tool.setProcessEnvironment(env);
    tool.setWorkingDirectory(dir.path());
    tool.start(QStringLiteral(LIDAR_TOOL_PATH), args);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QTEST(tool.exitCode(), "exitCode");
    const QString out = QString::fromLocal8Bit(tool.readAllStandardOutput());
    const QString printed = QString::fromLocal8Bit(tool.readAllStandardError());
    QTEST(out, "out");
    QFETCH(QStringList, errors);
    for (const QString &part : errors)
        QVERIFY2(printed.contains(part), qPrintable(printed));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Trivane_QZ90.ini"))));
}

QTEST_MAIN(tst_MainWindowStartup)
#include "tst_mainwindow_startup.moc"
