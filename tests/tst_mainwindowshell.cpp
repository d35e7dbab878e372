#include "app/ConfigDialog.h"
#include "app/MainWindow.h"
#include "link/comSettings.h"

#include <QAction>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

struct MainWindowProbe {
    static QShortcut *startShortcut(MainWindow &w) { return w.startShortcut; }
    static QShortcut *clearShortcut(MainWindow &w) { return w.clearShortcut; }
    static QSerialPort *port(MainWindow &w) { return w.serialPort; }
};

class tst_MainWindowShell : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void actionsCarryTheirTextsAndFlags_data();
    void actionsCarryTheirTextsAndFlags();
    void menusHoldTheirEntriesInOrder();
    void slotsAreWiredByObjectName_data();
    void slotsAreWiredByObjectName();
    void controlFrameHoldsButtonsAndAReadOnlyView();
    void shortcutsAnswerSpaceAndF3Only();
    void menuEntriesOnlyShowTheDialogs();
    void exitClosesTheWindow();
    void contactLabelSitsInTheStatusBar();
    void windowOpensAtThreeQuartersOfASmallScreen();
    void aboutBoxListsSevenItems();

private:
    QTemporaryDir workDir;
    QScopedPointer<MainWindow> window;
};

namespace {
template <typename T>
T *child(QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qWarning("missing child %s", qPrintable(name));
    return found;
}

// Entries added in code beside the form's own, and their separators.
const QStringList kAddedInCode = {"actionStartLog", "actionStopLog", "actionStatistics"};

// The form's entries, in order.
QStringList actionNames(const QList<QAction *> &actions)
{
    QStringList names;
    for (const QAction *action : actions) {
        const QString name = action->menu() ? action->menu()->objectName() : action->objectName();
        if (!action->isSeparator() && !kAddedInCode.contains(name))
            names << name;
    }
    return names;
}
} // namespace

void tst_MainWindowShell::initTestCase()
{
    QVERIFY(workDir.isValid());
    QDir::setCurrent(workDir.path());
}

void tst_MainWindowShell::init()
{
    window.reset(new MainWindow);
}

void tst_MainWindowShell::cleanup()
{
    window.reset();
}

void tst_MainWindowShell::actionsCarryTheirTextsAndFlags_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("shortcut");
    QTest::addColumn<bool>("inAMenu");
    auto row = [](const char *name, const char *text, bool checkable, bool enabled, const char *key, bool inMenu) {
        QTest::newRow(name) << name << QString::fromUtf8(text) << checkable << enabled << key << inMenu;
    };
    row("actionSaveCurveToPic", "保存曲线为图片", false, true, "", true);
    row("actionRecordData", "保存数据", false, true, "", true);
    row("actionPlaybackData", "载入数据", false, true, "", true);
    row("actionEixt", "退出", false, true, "", true);
    row("actionOpenCom", "打开串口", false, true, "", true);
    row("actionCloseCom", "关闭串口", false, true, "", true);
    row("actionConfigPara", "配置参数", false, true, "", true);
    row("actionDownload", "下载程序", false, true, "", true);
    row("actionAbout", "关于", false, true, "", true);
    row("actionViewLog", "查看日志", false, true, "", false);
    row("actionFactoryMode", "工程模式", true, false, "F5", false);
    row("actionDebugMode", "调试模式", true, false, "F6", false);
    row("actionDemarcate", "标定", true, true, "", false);
    row("actionCalibration", "校准", true, true, "", false);
    row("actionManualDemarcate", "手动标定", false, true, "", false);
    row("actionComTest", "通讯测试", true, true, "", false);
    row("actionGetCaliParam", "Get cali param", false, true, "", false);
    row("actionPramCali", "PramCali", false, true, "", false);
    row("actionSave", "保存参数", false, true, "", false);
    row("actionOrigalData", "原始数据", false, true, "", false);
    row("actioninternal", "internal", false, true, "", false);
}

void tst_MainWindowShell::actionsCarryTheirTextsAndFlags()
{
    QFETCH(QString, name);
    QFETCH(bool, inAMenu);
    QAction *action = child<QAction>(window.data(), name);
    QVERIFY(action);
    QCOMPARE(action->parent(), window.data());
    QTEST(action->text(), "text");
    QTEST(action->isCheckable(), "checkable");
    QTEST(action->isEnabled(), "enabled");
    QTEST(action->shortcut().toString(), "shortcut");
    QCOMPARE(!action->associatedWidgets().isEmpty(), inAMenu);
}

void tst_MainWindowShell::menusHoldTheirEntriesInOrder()
{
    QMenuBar *bar = child<QMenuBar>(window.data(), "menuBar");
    QCOMPARE(actionNames(bar->actions()), (QStringList{"menu", "menu_2", "download", "menuTest", "menuHelp"}));
    const QStringList titles = {"文件", "设置", "下载", "测试", "帮助"};
    for (int i = 0; i < titles.size(); ++i)
        QCOMPARE(bar->actions().at(i)->text(), titles[i]);
    QCOMPARE(actionNames(child<QMenu>(window.data(), "menu")->actions()),
             (QStringList{"actionSaveCurveToPic", "actionRecordData", "actionPlaybackData", "actionEixt"}));
    QCOMPARE(actionNames(child<QMenu>(window.data(), "menu_2")->actions()),
             (QStringList{"actionOpenCom", "actionCloseCom", "actionConfigPara", "menuLanguage", "actionTrafficMonitor"}));
    QCOMPARE(actionNames(child<QMenu>(window.data(), "download")->actions()), QStringList{"actionDownload"});
    QCOMPARE(actionNames(child<QMenu>(window.data(), "menuTest")->actions()),
             (QStringList{"actionRunTestPlan", "actionEditTestPlan", "actionTestResults"}));
    QStringList testTexts;
    for (const QAction *action : child<QMenu>(window.data(), "menuTest")->actions())
        testTexts << action->text();
    QCOMPARE(testTexts, (QStringList{"运行测试计划...", "编辑测试计划...", "测试结果..."}));
    QCOMPARE(actionNames(child<QMenu>(window.data(), "menuHelp")->actions()), QStringList{"actionAbout"});
}

void tst_MainWindowShell::slotsAreWiredByObjectName_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QByteArray>("slot");
    QTest::newRow("pbStart") << "pbStart" << QByteArray(SIGNAL(clicked())) << QByteArray(SLOT(on_pbStart_clicked()));
    QTest::newRow("pbStop") << "pbStop" << QByteArray(SIGNAL(clicked())) << QByteArray(SLOT(on_pbStop_clicked()));
    QTest::newRow("pbSwitchCurve") << "pbSwitchCurve" << QByteArray(SIGNAL(clicked()))
                                   << QByteArray(SLOT(on_pbSwitchCurve_clicked()));
    QTest::newRow("pbClear") << "pbClear" << QByteArray(SIGNAL(clicked())) << QByteArray(SLOT(on_pbClear_clicked()));
    QTest::newRow("pbGetConfig") << "pbGetConfig" << QByteArray(SIGNAL(clicked()))
                                 << QByteArray(SLOT(on_pbGetConfig_clicked()));
    QTest::newRow("actioninternal") << "actioninternal" << QByteArray(SIGNAL(triggered()))
                                    << QByteArray(SLOT(on_actioninternal_triggered()));
}

// A disconnect succeeds only where a connection was made.
void tst_MainWindowShell::slotsAreWiredByObjectName()
{
    QFETCH(QString, sender);
    QFETCH(QByteArray, signal);
    QFETCH(QByteArray, slot);
    QObject *object = child<QObject>(window.data(), sender);
    QVERIFY(object);
    QVERIFY(QObject::disconnect(object, signal.constData(), window.data(), slot.constData()));
}

void tst_MainWindowShell::controlFrameHoldsButtonsAndAReadOnlyView()
{
    const QStringList buttons = {"pbStart", "pbStop", "pbSwitchCurve", "pbClear", "pbGetConfig"};
    const QStringList texts = {"开始", "停止", "切换曲线", "清除", "系统信息"};
    auto *frame = child<QFrame>(window.data(), "frame_control");
    QCOMPARE(frame->maximumWidth(), 400);
    for (int i = 0; i < buttons.size(); ++i) {
        auto *button = child<QPushButton>(frame, buttons[i]);
        QVERIFY(button);
        QCOMPARE(button->text(), texts[i]);
    }
    QVERIFY(child<QPlainTextEdit>(frame, "msg")->isReadOnly());

    // Made larger than the screen by hand once shown (it opens within it).
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    window->resize(1600, 900);
    QTRY_VERIFY(child<QFrame>(window.data(), "frame_plot")->width() > 541);
    QCOMPARE(frame->width(), 400);
}

void tst_MainWindowShell::shortcutsAnswerSpaceAndF3Only()
{
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.data()));
    QSignalSpy start(MainWindowProbe::startShortcut(*window), &QShortcut::activated);
    QSignalSpy clear(MainWindowProbe::clearShortcut(*window), &QShortcut::activated);
    QSignalSpy factory(child<QAction>(window.data(), "actionFactoryMode"), &QAction::triggered);
    QSignalSpy debugMode(child<QAction>(window.data(), "actionDebugMode"), &QAction::triggered);

    for (Qt::Key key : {Qt::Key_F2, Qt::Key_F5, Qt::Key_F6})
        QTest::keyClick(window.data(), key);
    QCOMPARE(start.count() + clear.count() + factory.count() + debugMode.count(), 0);
    QTest::keyClick(window.data(), Qt::Key_Space);
    QCOMPARE(start.count(), 1);
    QTest::keyClick(window.data(), Qt::Key_F3);
    QCOMPARE(clear.count(), 1);
    QCOMPARE(start.count(), 1);
}

void tst_MainWindowShell::menuEntriesOnlyShowTheDialogs()
{
    auto *portDialog = window->findChild<comSettings *>();
    auto *config = window->findChild<ConfigDialog *>();
    QVERIFY(!portDialog->isVisible());
    QVERIFY(!config->isVisible());
    QSignalSpy ready(portDialog, &comSettings::comReady);
    child<QAction>(window.data(), "actionOpenCom")->trigger();
    QVERIFY(portDialog->isVisible());
    QVERIFY(!portDialog->isModal());
    QCOMPARE(ready.count(), 0);
    QVERIFY(!MainWindowProbe::port(*window)->isOpen());
    child<QAction>(window.data(), "actionConfigPara")->trigger();
    QVERIFY(config->isVisible());
}

void tst_MainWindowShell::exitClosesTheWindow()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    child<QAction>(window.data(), "actionEixt")->trigger();
    QVERIFY(!window->isVisible());
}

void tst_MainWindowShell::contactLabelSitsInTheStatusBar()
{
    auto *label = child<QLabel>(window.data(), "contactLabel");
    QVERIFY(label);
    QCOMPARE(label->parentWidget(), child<QStatusBar>(window.data(), "statusBar"));
    QCOMPARE(label->frameStyle(), int(QFrame::NoFrame | QFrame::Sunken));
    const QRegularExpression format(QStringLiteral("^Website: \\S+;   Tel: [^;]+;   Email: \\S+@\\S+$"));
    QVERIFY2(format.match(label->text()).hasMatch(), qPrintable(label->text()));
}

// The offscreen platform's one screen is 800 x 600. Nothing in the window,
// the status bar's contact text included, may force it wider or taller.
void tst_MainWindowShell::windowOpensAtThreeQuartersOfASmallScreen()
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QSKIP("needs the offscreen platform's 800 x 600 screen");
    window.reset();
    QFile::remove(QStringLiteral("Trivane_QZ90.ini"));
    window.reset(new MainWindow);
    QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), QSize(800, 600));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QCOMPARE(window->size(), QSize(600, 450));
    QVERIFY(window->minimumSizeHint().width() <= 600);
    QVERIFY(window->minimumSizeHint().height() <= 450);
}

void tst_MainWindowShell::aboutBoxListsSevenItems()
{
    QString title;
    QString text;
    QTimer::singleShot(0, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    child<QAction>(window.data(), "actionAbout")->trigger();
    QCOMPARE(title, QStringLiteral("about"));
    QCOMPARE(text.count(QStringLiteral("<ul>")), 7);
    const QString gap(23, QLatin1Char(' '));
    QCOMPARE(text.count(QStringLiteral("</ul>") + gap + QStringLiteral("<ul>")), 6);
    QVERIFY(text.startsWith(QStringLiteral("<ul>0. Install cp2102 driver.</ul>")));
    QVERIFY(text.contains(QStringLiteral("<ul>2. Click <b>Start</b> button.</ul>")));
    QVERIFY(text.contains(QStringLiteral("\">") + gap + QStringLiteral("http")));
    QVERIFY(text.contains(QStringLiteral("<ul>Github <a href=")));
    QVERIFY(text.contains(QStringLiteral("<ul>Gitee <a href=")));
    QVERIFY(text.contains(QStringLiteral("lidar-waveform " LIDAR_PROJECT_VERSION)));
}

QTEST_MAIN(tst_MainWindowShell)
#include "tst_mainwindowshell.moc"
