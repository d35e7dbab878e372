#include "app/LaunchOptions.h"
#include "app/MainWindow.h"
#include "download/DownloadDialog.h"
#include "settings/UiLanguage.h"
#include "widgets/UserPrompts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

class tst_InterfaceLanguage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    // Runs first: it needs the process still without any translator.
    void chineseRunShowsTheSourceTextsUnchanged();
    void chineseRunTranslatesQtsOwnDialogs();
    void englishLeavesNoChineseInTheWindowMenusAndDialogs();
    void englishBoxesAndQtDialogsCarryNoChinese();
    void englishMenuEntriesOpenNothingChinese();
    void specifiedBoxesKeepTheirTextsInChineseAndReadAsEnglishInEnglish_data();
    void specifiedBoxesKeepTheirTextsInChineseAndReadAsEnglishInEnglish();
    void languageMenuStoresTheChoiceForTheNextStart();
    void unknownStoredLanguageFallsBackToChinese();
    void langOptionOverridesForOneRun_data();
    void langOptionOverridesForOneRun();

private:
    QScopedPointer<QTemporaryDir> dir;
};

namespace {
using Texts = QMap<QString, QString>; // where the text sits -> the text

const QRegularExpression kChinese(
    QStringLiteral("[\\x{3000}-\\x{303f}\\x{3400}-\\x{9fff}\\x{f900}-\\x{faff}\\x{ff00}-\\x{ffef}]"));
// The language menu names itself in both languages and each language in its
// own script, so a reader of either finds the way back.
const QStringList kEndonyms = {QStringLiteral("语言 / Language"), QStringLiteral("中文")};

QString where(const QObject *object)
{
    QStringList path;
    for (const QObject *o = object; o; o = o->parent()) {
        const QObject *parent = o->parent();
        const int index = parent ? parent->children().indexOf(const_cast<QObject *>(o)) : 0;
        path.prepend(o->objectName().isEmpty()
                         ? QStringLiteral("%1#%2").arg(QLatin1String(o->metaObject()->className())).arg(index)
                         : o->objectName());
    }
    return path.join(QLatin1Char('/'));
}

void collect(Texts &texts, const QObject *object)
{
    static const char *const kTextProperties[] = {"text", "title", "windowTitle", "toolTip", "statusTip",
                                                  "whatsThis", "placeholderText", "iconText", "plainText",
                                                  "labelText"};
    const QString at = where(object);
    auto add = [&](const QString &key, const QString &text) {
        if (!text.isEmpty())
            texts.insert(at + QLatin1Char('.') + key, text);
    };
    for (const char *name : kTextProperties) {
        const QVariant value = object->property(name);
        if (value.userType() == QMetaType::QString)
            add(QLatin1String(name), value.toString());
    }
    if (const auto *combo = qobject_cast<const QComboBox *>(object))
        for (int i = 0; i < combo->count(); ++i)
            add(QStringLiteral("item%1").arg(i), combo->itemText(i));
    if (const auto *view = qobject_cast<const QAbstractItemView *>(object); view && view->model())
        for (int c = 0; c < view->model()->columnCount(); ++c)
            add(QStringLiteral("header%1").arg(c), view->model()->headerData(c, Qt::Horizontal).toString());
}

// Every text of `root` and of everything it owns, shown or not: widgets,
// dialogs, menus and actions.
Texts textsOf(const QObject *root)
{
    Texts texts;
    collect(texts, root);
    for (const QObject *child : root->findChildren<QObject *>())
        collect(texts, child);
    return texts;
}

QStringList chineseIn(const Texts &texts)
{
    QStringList found;
    for (auto it = texts.begin(); it != texts.end(); ++it)
        if (it.value().contains(kChinese) && !kEndonyms.contains(it.value()))
            found << it.key() + QStringLiteral(": ") + it.value();
    return found;
}

// Runs `open` and gives the texts of every modal box or dialog it shows
// meanwhile; each is closed as soon as it is read, so `open` returns.
Texts textsOfModal(const std::function<void()> &open)
{
    Texts texts;
    int seen = 0;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        const Texts box = textsOf(modal);
        ++seen;
        for (auto it = box.begin(); it != box.end(); ++it)
            texts.insert(QStringLiteral("box%1:").arg(seen) + it.key(), it.value());
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    });
    poll.start();
    open();
    return texts;
}

// Every entry of the menu bar's menus and their submenus.
QList<QAction *> menuEntries(const QList<QAction *> &level)
{
    QList<QAction *> entries;
    for (QAction *action : level) {
        if (action->menu())
            entries += menuEntries(action->menu()->actions());
        else if (!action->isSeparator())
            entries += action;
    }
    return entries;
}

QString textOf(const QObject *root, const char *name)
{
    const QObject *object = root->findChild<QObject *>(QLatin1String(name));
    if (!object)
        return QStringLiteral("<missing %1>").arg(QLatin1String(name));
    return object->property(qobject_cast<const QMenu *>(object) ? "title" : "text").toString();
}

void useLanguage(const QString &code)
{
    QVERIFY(UiLanguage::install(*qApp, code));
}
} // namespace

void tst_InterfaceLanguage::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
}

void tst_InterfaceLanguage::cleanup()
{
    UserPrompts::setSaveFileChooser({});
    UserPrompts::setOpenFileChooser({});
    UserPrompts::setCriticalBox({});
    QDir::setCurrent(QDir::tempPath());
    dir.reset();
}

// Chinese is the source language: choosing it must leave every text of the
// program exactly as it is without any catalogue.
void tst_InterfaceLanguage::chineseRunShowsTheSourceTextsUnchanged()
{
    Texts untranslated;
    {
        MainWindow window;
        untranslated = textsOf(&window);
    }
    useLanguage(UiLanguage::kChinese);
    MainWindow window;
    const Texts chinese = textsOf(&window);
    QCOMPARE(chinese, untranslated);
    QCOMPARE(window.windowTitle(), QStringLiteral("雷达数据波形工具 V1.0.0"));
    QCOMPARE(textOf(&window, "pbStart"), QStringLiteral("开始"));
    QCOMPARE(textOf(&window, "pbClear"), QStringLiteral("清除"));
    QCOMPARE(textOf(&window, "menu_2"), QStringLiteral("设置"));
    QCOMPARE(textOf(&window, "actionDownload"), QStringLiteral("下载程序"));
    QCOMPARE(window.findChild<QDialog *>(QStringLiteral("comSettings"))->windowTitle(), QStringLiteral("手动设置串口"));
    QCOMPARE(window.findChild<QDialog *>(QStringLiteral("ConfigDialog"))->windowTitle(), QStringLiteral("参数配置"));
    QCOMPARE(window.findChild<QDialog *>(QStringLiteral("DownloadDialog"))->windowTitle(), QStringLiteral("下载"));
}

void tst_InterfaceLanguage::chineseRunTranslatesQtsOwnDialogs()
{
    useLanguage(UiLanguage::kChinese);
    MainWindow window;
    const Texts box = textsOfModal([&] { window.findChild<QAction *>(QStringLiteral("actionAbout"))->trigger(); });
    QVERIFY2(box.values().contains(QStringLiteral("确定")), qPrintable(QStringList(box.values()).join('|')));
    const Texts chooser = textsOfModal([&] {
        UserPrompts::getOpenFileName(&window, QStringLiteral("open"), dir->path(), QStringLiteral("cur(*.cur)"));
    });
    QVERIFY(!chooser.isEmpty());
    QVERIFY(!chineseIn(chooser).isEmpty());
}

void tst_InterfaceLanguage::englishLeavesNoChineseInTheWindowMenusAndDialogs()
{
    useLanguage(UiLanguage::kEnglish);
    MainWindow window;
    window.show();
    const Texts texts = textsOf(&window);
    const QStringList left = chineseIn(texts);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
    QCOMPARE(window.windowTitle(), QStringLiteral("Lidar Data Waveform Tool V1.0.0"));
    QCOMPARE(textOf(&window, "pbStart"), QStringLiteral("Start"));
    QCOMPARE(textOf(&window, "pbClear"), QStringLiteral("Clear"));
    QCOMPARE(textOf(&window, "menu_2"), QStringLiteral("Settings"));
    QCOMPARE(textOf(&window, "actionLanguageNote"), QStringLiteral("Takes effect at the next start"));
    QCOMPARE(window.findChild<QDialog *>(QStringLiteral("comSettings"))->windowTitle(), QStringLiteral("Set Serial Port"));
}

void tst_InterfaceLanguage::englishBoxesAndQtDialogsCarryNoChinese()
{
    useLanguage(UiLanguage::kEnglish);
    MainWindow window;
    const QString unwritable = dir->filePath(QStringLiteral("missing/folder/x.cur"));
    UserPrompts::setSaveFileChooser([&](QWidget *, const QString &, const QString &, const QString &) { return unwritable; });
    UserPrompts::setOpenFileChooser([&](QWidget *, const QString &, const QString &, const QString &) { return unwritable; });
    auto trigger = [&](const char *action) {
        return [&window, action] { window.findChild<QAction *>(QLatin1String(action))->trigger(); };
    };
    const QMap<QString, Texts> boxes = {
        {QStringLiteral("about"), textsOfModal(trigger("actionAbout"))},
        {QStringLiteral("write error"), textsOfModal(trigger("actionRecordData"))},
        {QStringLiteral("read error"), textsOfModal(trigger("actionPlaybackData"))},
        {QStringLiteral("download error"), textsOfModal([&] {
             window.findChild<DownloadDialog *>()->findChild<QPushButton *>(QStringLiteral("startDownload"))->click();
         })},
    };
    UserPrompts::setOpenFileChooser({});
    const Texts chooser = textsOfModal([&] {
        UserPrompts::getOpenFileName(&window, QStringLiteral("open"), dir->path(), QStringLiteral("cur(*.cur)"));
    });
    QVERIFY(chooser.values().contains(QStringLiteral("Look in:")));
    for (auto it = boxes.begin(); it != boxes.end(); ++it) {
        QVERIFY2(!it.value().isEmpty(), qPrintable(it.key() + QStringLiteral(" box did not appear")));
        const QStringList left = chineseIn(it.value()) + chineseIn(chooser);
        QVERIFY2(left.isEmpty(), qPrintable(it.key() + QStringLiteral(": ") + left.join(QLatin1Char('\n'))));
    }
    QVERIFY(boxes[QStringLiteral("write error")].values().contains(QStringLiteral("Write error")));
    QVERIFY(boxes[QStringLiteral("read error")].values().contains(QStringLiteral("Cannot read the file\r\nNo permission")));
}

// Windows and dialogs made only when their entry is chosen are checked too.
void tst_InterfaceLanguage::englishMenuEntriesOpenNothingChinese()
{
    useLanguage(UiLanguage::kEnglish);
    MainWindow window;
    window.show();
    const QList<QAction *> entries = menuEntries(window.findChild<QMenuBar *>()->actions());
    QVERIFY(entries.size() >= 11);
    Texts texts = textsOfModal([&] {
        for (QAction *entry : entries)
            if (entry->isEnabled())
                entry->trigger();
    });
    for (QWidget *top : QApplication::topLevelWidgets()) {
        const Texts shown = top->isVisible() ? textsOf(top) : Texts();
        for (auto it = shown.begin(); it != shown.end(); ++it)
            texts.insert(it.key(), it.value());
    }
    QVERIFY(texts.size() > 50);
    const QStringList left = chineseIn(texts);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
}

void tst_InterfaceLanguage::specifiedBoxesKeepTheirTextsInChineseAndReadAsEnglishInEnglish_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("captions"); // picture, curve file, playback, firmware
    QTest::addColumn<QStringList>("boxes");    // title and text of the two failed downloads
    QTest::addColumn<QString>("aboutTitle");
    QTest::newRow("Chinese, as specified")
        << UiLanguage::kChinese << QStringList{"save", "save", "open", "open file"}
        << QStringList{"erorr", "download image error", "erorr", "download image error"} << "about";
    QTest::newRow("English")
        << UiLanguage::kEnglish << QStringList{"Save", "Save", "Open", "Open file"}
        << QStringList{"Error", "The firmware download failed", "Error", "The calibration table download failed"}
        << "About";
}

void tst_InterfaceLanguage::specifiedBoxesKeepTheirTextsInChineseAndReadAsEnglishInEnglish()
{
    QFETCH(QString, language);
    useLanguage(language);
    MainWindow window;
    QStringList captions;
    const auto chooser = [&](QWidget *, const QString &caption, const QString &, const QString &) {
        captions << caption;
        return QString();
    };
    UserPrompts::setSaveFileChooser(chooser);
    UserPrompts::setOpenFileChooser(chooser);
    QStringList boxes;
    UserPrompts::setCriticalBox([&](QWidget *, const QString &title, const QString &text) { boxes << title << text; });

    for (const char *action : {"actionSaveCurveToPic", "actionRecordData", "actionPlaybackData"})
        window.findChild<QAction *>(QLatin1String(action))->trigger();
    auto *download = window.findChild<DownloadDialog *>();
    download->findChild<QAbstractButton *>(QStringLiteral("openFilePath"))->click();
    QTEST(captions, "captions");

    // Without a port both downloads fail at once.
    download->findChild<QPushButton *>(QStringLiteral("startDownload"))->click();
    download->findChild<QPushButton *>(QStringLiteral("startDownloadCaliFile"))->click();
    QTEST(boxes, "boxes");

    QString aboutTitle;
    QTimer::singleShot(0, this, [&] {
        if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            aboutTitle = box->windowTitle();
            box->reject();
        }
    });
    window.findChild<QAction *>(QStringLiteral("actionAbout"))->trigger();
    QTEST(aboutTitle, "aboutTitle");
}

void tst_InterfaceLanguage::languageMenuStoresTheChoiceForTheNextStart()
{
    useLanguage(UiLanguage::kChinese);
    {
        MainWindow window;
        auto *chinese = window.findChild<QAction *>(QStringLiteral("actionLanguageChinese"));
        auto *english = window.findChild<QAction *>(QStringLiteral("actionLanguageEnglish"));
        QVERIFY(chinese && english);
        QVERIFY(chinese->isChecked());
        QVERIFY(!window.findChild<QAction *>(QStringLiteral("actionLanguageNote"))->isEnabled());
        english->trigger();
        QVERIFY(english->isChecked());
        QVERIFY(!chinese->isChecked());
        // Nothing changes before the next start.
        QCOMPARE(textOf(&window, "pbStart"), QStringLiteral("开始"));
        QVERIFY(!QFile::exists(QStringLiteral("Trivane_QZ90.ini")));
    }
    QCOMPARE(UiLanguage::fromFile(QStringLiteral("Trivane_QZ90.ini")), UiLanguage::kEnglish);
    MainWindow next;
    QVERIFY(next.findChild<QAction *>(QStringLiteral("actionLanguageEnglish"))->isChecked());
}

void tst_InterfaceLanguage::unknownStoredLanguageFallsBackToChinese()
{
    QSettings(QStringLiteral("Trivane_QZ90.ini"), QSettings::IniFormat).setValue(QStringLiteral("Language"), "fr");
    QCOMPARE(UiLanguage::fromFile(QStringLiteral("Trivane_QZ90.ini")), UiLanguage::kChinese);
    QCOMPARE(UiLanguage::fromFile(QStringLiteral("no-such.ini")), UiLanguage::kChinese);
    {
        MainWindow window;
        QVERIFY(window.findChild<QAction *>(QStringLiteral("actionLanguageChinese"))->isChecked());
    }
    QCOMPARE(QSettings(QStringLiteral("Trivane_QZ90.ini"), QSettings::IniFormat).value("Language").toString(),
             QStringLiteral("zh_CN"));
}

void tst_InterfaceLanguage::langOptionOverridesForOneRun_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("language");
    const QString stored = UiLanguage::kChinese;
    QTest::newRow("no option keeps the stored choice") << QStringList{"w"} << true << stored;
    QTest::newRow("english") << QStringList{"w", "--lang", "en"} << true << "en";
    QTest::newRow("chinese with equals") << QStringList{"w", "--lang=zh_CN"} << true << "zh_CN";
    QTest::newRow("beside a port") << QStringList{"w", "--port", "p", "--lang", "en"} << true << "en";
    QTest::newRow("unknown code") << QStringList{"w", "--lang", "fr"} << false << stored;
    QTest::newRow("codes are exact") << QStringList{"w", "--lang", "EN"} << false << stored;
    QTest::newRow("no code") << QStringList{"w", "--lang"} << false << stored;
}

void tst_InterfaceLanguage::langOptionOverridesForOneRun()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QString language = UiLanguage::kChinese;
    QString error;
    QCOMPARE(LaunchOptions::parseLanguage(args, language, error), ok);
    QCOMPARE(error.isEmpty(), ok);
    QTEST(language, "language");
    // The port options are read beside it, undisturbed.
    LaunchOptions::PortChoice choice;
    if (ok)
        QVERIFY(LaunchOptions::parse(args, choice, error));
}

QTEST_MAIN(tst_InterfaceLanguage)
#include "tst_interface_language.moc"
