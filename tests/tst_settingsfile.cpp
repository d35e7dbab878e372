#include "app/ConfigDialog.h"
#include "app/MainWindow.h"
#include "app/StoredShortcut.h"
#include "settings/SettingsRules.h"

#include <QDir>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

struct MainWindowProbe {
    static ConfigDialog *config(MainWindow &w) { return w.configDialog; }
    static QString savedFilePath(MainWindow &w) { return w.savedFilePath; }
    static QKeySequence startKey(MainWindow &w) { return w.startShortcut->key(); }
    static QKeySequence clearKey(MainWindow &w) { return w.clearShortcut->key(); }
};

class tst_SettingsFile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void defaultSizeRoundsTwice_data();
    void defaultSizeRoundsTwice();
    void storedIntegersWrapTo16Bits_data();
    void storedIntegersWrapTo16Bits();
    void storedSizeMustBeUsableOnTheScreen_data();
    void storedSizeMustBeUsableOnTheScreen();
    void firstRunUsesDefaultsAndWritesAllKeys();
    void storedValuesRoundTrip();
    void startKeyComesFromTheFile();
    void unreadableKeysAreLeftOutOfAStoredShortcut_data();
    void unreadableKeysAreLeftOutOfAStoredShortcut();
    void unreadableShortcutIsWrittenBackStable();
    void unappliedClampedValueIsWrittenBackUnclamped();
    void unusableSizeFallsBackToTheDefault_data();
    void unusableSizeFallsBackToTheDefault();
    void configSpinBoxesAndStoredValuesAreSeparate();

private:
    void writeIni(const QVariantMap &values);
    QString iniPath() const { return dir->filePath(QStringLiteral("Trivane_QZ90.ini")); }
    QScopedPointer<QTemporaryDir> dir;
};

namespace {
QSpinBox *spin(ConfigDialog *d, const char *name) { return d->findChild<QSpinBox *>(QLatin1String(name)); }
QPushButton *button(QWidget *w, const char *name) { return w->findChild<QPushButton *>(QLatin1String(name)); }
// The test platform has a single screen.
QSize availableArea() { return QGuiApplication::primaryScreen()->availableGeometry().size(); }
} // namespace

void tst_SettingsFile::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
}

void tst_SettingsFile::cleanup()
{
    QDir::setCurrent(QDir::tempPath());
    dir.reset();
}

void tst_SettingsFile::writeIni(const QVariantMap &values)
{
    QSettings ini(iniPath(), QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it)
        ini.setValue(it.key(), it.value());
}

void tst_SettingsFile::defaultSizeRoundsTwice_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("1366 gives 1026") << QSize(1366, 768) << QSize(1026, 576);
    QTest::newRow("full hd less task bar") << QSize(1920, 1040) << QSize(1440, 780);
    QTest::newRow("halves round away from zero") << QSize(1002, 1006) << QSize(753, 756);
    QTest::newRow("tiny") << QSize(1, 2) << QSize(0, 3);
}

void tst_SettingsFile::defaultSizeRoundsTwice()
{
    QFETCH(QSize, available);
    QTEST(SettingsRules::defaultWindowSize(available), "expected");
}

void tst_SettingsFile::storedIntegersWrapTo16Bits_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("in range") << QVariant(2300) << 2300;
    QTest::newRow("above 16 bits") << QVariant(QStringLiteral("70000")) << 4464;
    QTest::newRow("negative") << QVariant(QStringLiteral("-5")) << 65531;
    QTest::newRow("top") << QVariant(QStringLiteral("65535")) << 65535;
    QTest::newRow("no number") << QVariant(QStringLiteral("abc")) << 0;
    QTest::newRow("fraction is no integer") << QVariant(QStringLiteral("12.5")) << 0;
}

void tst_SettingsFile::storedIntegersWrapTo16Bits()
{
    QFETCH(QVariant, stored);
    QTEST(int(SettingsRules::storedU16(stored)), "expected");
}

void tst_SettingsFile::storedSizeMustBeUsableOnTheScreen_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("usable");
    QTest::newRow("ordinary") << QVariant(QSize(640, 480)) << true;
    QTest::newRow("the whole available area") << QVariant(QSize(1920, 1040)) << true;
    QTest::newRow("one pixel wider than the area") << QVariant(QSize(1921, 480)) << false;
    QTest::newRow("one pixel taller than the area") << QVariant(QSize(640, 1041)) << false;
    QTest::newRow("far larger") << QVariant(QSize(40000, 40000)) << false;
    QTest::newRow("nothing") << QVariant(QSize(0, 0)) << false;
    QTest::newRow("no height") << QVariant(QSize(640, 0)) << false;
    QTest::newRow("no width") << QVariant(QSize(0, 480)) << false;
    QTest::newRow("negative") << QVariant(QSize(-640, 480)) << false;
    QTest::newRow("text") << QVariant(QStringLiteral("garbage")) << false;
    QTest::newRow("missing") << QVariant() << false;
}

void tst_SettingsFile::storedSizeMustBeUsableOnTheScreen()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, usable);
    const QSize fallback(1440, 780);
    const QSize result = SettingsRules::storedSize(stored, fallback, QSize(1920, 1040));
    QCOMPARE(result, usable ? stored.toSize() : fallback);
}

void tst_SettingsFile::firstRunUsesDefaultsAndWritesAllKeys()
{
    QSize sizeAtExit;
    {
        MainWindow w;
        QCOMPARE(w.size(), SettingsRules::defaultWindowSize(availableArea()));
        QCOMPARE(MainWindowProbe::startKey(w), QKeySequence(Qt::Key_Space));
        QCOMPARE(MainWindowProbe::clearKey(w), QKeySequence(Qt::Key_F3));
        QCOMPARE(MainWindowProbe::savedFilePath(w), QStringLiteral("."));
        ConfigDialog *config = MainWindowProbe::config(w);
        QCOMPARE(config->getPeakValue(), quint16(2300));
        QCOMPARE(config->getOriginalValue(), quint16(10));
        QCOMPARE(spin(config, "peakHeightSpin")->value(), 2300);
        QCOMPARE(spin(config, "originalValueSpin")->value(), 10);
        QCOMPARE(button(&w, "pbStart")->text(), QStringLiteral("开始"));
        QCOMPARE(button(&w, "pbClear")->text(), QStringLiteral("清除"));
        QVERIFY(!QFile::exists(iniPath()));
        w.resize(700, 500);
        sizeAtExit = w.size();
    }
    QSettings ini(iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.allKeys().size(), 9);
    QCOMPARE(ini.value("PlotAxis").toString(), QStringLiteral("points"));
    QCOMPARE(ini.value("Language").toString(), QStringLiteral("zh_CN"));
    QCOMPARE(ini.value("AutoReconnect").toString(), QStringLiteral("true"));
    QCOMPARE(ini.value("WindowSize").toSize(), sizeAtExit);
    QCOMPARE(ini.value("PeakValue").toInt(), 2300);
    QCOMPARE(ini.value("OriginalValue").toInt(), 10);
    QCOMPARE(ini.value("SavedFilePath").toString(), QStringLiteral("."));
    QCOMPARE(ini.value("Begin").toString(), QStringLiteral("Space"));
    QCOMPARE(ini.value("Clear").toString(), QStringLiteral("F3"));
}

void tst_SettingsFile::storedValuesRoundTrip()
{
    writeIni({{"WindowSize", QSize(640, 480)}, {"PeakValue", 70000}, {"OriginalValue", 1234},
              {"SavedFilePath", "/data/curves"}, {"Clear", "Ctrl+L"}});
    {
        MainWindow w;
        QCOMPARE(w.size(), QSize(640, 480));
        QCOMPARE(MainWindowProbe::config(w)->getPeakValue(), quint16(4464));
        QCOMPARE(MainWindowProbe::config(w)->getOriginalValue(), quint16(1234));
        QCOMPARE(MainWindowProbe::savedFilePath(w), QStringLiteral("/data/curves"));
        QCOMPARE(MainWindowProbe::clearKey(w), QKeySequence(Qt::CTRL + Qt::Key_L));
        QCOMPARE(MainWindowProbe::startKey(w), QKeySequence(Qt::Key_Space));
    }
    QSettings ini(iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value("WindowSize").toSize(), QSize(640, 480));
    QCOMPARE(ini.value("PeakValue").toInt(), 4464);
    QCOMPARE(ini.value("OriginalValue").toInt(), 1234);
    QCOMPARE(ini.value("SavedFilePath").toString(), QStringLiteral("/data/curves"));
    QCOMPARE(ini.value("Clear").toString(), QStringLiteral("Ctrl+L"));
    QCOMPARE(ini.value("Begin").toString(), QStringLiteral("Space"));
}

void tst_SettingsFile::startKeyComesFromTheFile()
{
    writeIni({{"Begin", "F2"}});
    {
        MainWindow w;
        QCOMPARE(MainWindowProbe::startKey(w), QKeySequence(Qt::Key_F2));
    }
    QCOMPARE(QSettings(iniPath(), QSettings::IniFormat).value("Begin").toString(), QStringLiteral("F2"));
}

void tst_SettingsFile::unreadableKeysAreLeftOutOfAStoredShortcut_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QKeySequence>("expected");
    QTest::newRow("readable") << "Ctrl+L, Alt+X" << QKeySequence(Qt::CTRL + Qt::Key_L, Qt::ALT + Qt::Key_X);
    QTest::newRow("unreadable second") << "Ctrl+Shift+F2, Alt+A#" << QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_F2);
    QTest::newRow("unreadable first") << "Ctr\uFFFDl+F2, F4" /* U+FFFD: a byte that was no UTF-8 */ << QKeySequence(Qt::Key_F4);
    QTest::newRow("empties between commas") << ", , " << QKeySequence();
    QTest::newRow("nothing") << "" << QKeySequence();
}

void tst_SettingsFile::unreadableKeysAreLeftOutOfAStoredShortcut()
{
    QFETCH(QString, stored);
    QFETCH(QKeySequence, expected);
    const QKeySequence read = storedShortcut(stored);
    QCOMPARE(read, expected);
    // What is written back reads back the same.
    QCOMPARE(storedShortcut(read.toString(QKeySequence::PortableText)), read);
}

void tst_SettingsFile::unreadableShortcutIsWrittenBackStable()
{
    writeIni({{"Begin", "Ctrl+Shift+F2, Alt+A#"}, {"Clear", ", , "}});
    { MainWindow w; }
    QSettings once(iniPath(), QSettings::IniFormat);
    QCOMPARE(once.value("Begin").toString(), QStringLiteral("Ctrl+Shift+F2"));
    QCOMPARE(once.value("Clear").toString(), QString());
    { MainWindow w; }
    QSettings twice(iniPath(), QSettings::IniFormat);
    QCOMPARE(twice.value("Begin").toString(), QStringLiteral("Ctrl+Shift+F2"));
    QCOMPARE(twice.value("Clear").toString(), QString());
}

void tst_SettingsFile::unappliedClampedValueIsWrittenBackUnclamped()
{
    writeIni({{"PeakValue", -5}, {"OriginalValue", 20000}});
    {
        MainWindow w;
        ConfigDialog *config = MainWindowProbe::config(w);
        QCOMPARE(spin(config, "peakHeightSpin")->value(), 10000);
        QCOMPARE(spin(config, "originalValueSpin")->value(), 10000);
        QCOMPARE(config->getPeakValue(), quint16(65531));
    }
    QSettings ini(iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value("PeakValue").toInt(), 65531);
    QCOMPARE(ini.value("OriginalValue").toInt(), 20000);
}

void tst_SettingsFile::unusableSizeFallsBackToTheDefault_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("text") << QVariant(QStringLiteral("garbage"));
    QTest::newRow("larger than the screen") << QVariant(QSize(40000, 40000));
    QTest::newRow("nothing") << QVariant(QSize(0, 0));
    QTest::newRow("no height") << QVariant(QSize(640, 0));
}

// The default replaces the stored value for good: it is what goes back.
void tst_SettingsFile::unusableSizeFallsBackToTheDefault()
{
    QFETCH(QVariant, stored);
    writeIni({{"WindowSize", stored}});
    const QSize expected = SettingsRules::defaultWindowSize(availableArea());
    {
        MainWindow w;
        QCOMPARE(w.size(), expected);
    }
    QCOMPARE(QSettings(iniPath(), QSettings::IniFormat).value("WindowSize").toSize(), expected);
}

void tst_SettingsFile::configSpinBoxesAndStoredValuesAreSeparate()
{
    ConfigDialog dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("ConfigDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("参数配置"));
    QSpinBox *peak = spin(&dialog, "peakHeightSpin");
    QSpinBox *original = spin(&dialog, "originalValueSpin");
    QCOMPARE(peak->minimum(), 0);
    QCOMPARE(peak->maximum(), 10000);
    QCOMPARE(original->maximum(), 10000);

    dialog.setPeakValue(20000);
    dialog.setOriginalValue(7);
    QCOMPARE(peak->value(), 2300); // setters leave the boxes alone
    dialog.showValues();
    QCOMPARE(peak->value(), 10000);
    QCOMPARE(original->value(), 7);
    QCOMPARE(dialog.getPeakValue(), quint16(20000));

    peak->setValue(5000);
    QCOMPARE(dialog.getPeakValue(), quint16(20000)); // not applied yet
    QPushButton *apply = button(&dialog, "ApplyPB");
    QCOMPARE(apply->text(), QStringLiteral("Apply"));
    apply->click();
    QCOMPARE(dialog.getPeakValue(), quint16(5000));
    QCOMPARE(dialog.getOriginalValue(), quint16(7));
    apply->click();
    QCOMPARE(dialog.getPeakValue(), quint16(5000));
    QCOMPARE(dialog.getOriginalValue(), quint16(7));
}

QTEST_MAIN(tst_SettingsFile)
#include "tst_settingsfile.moc"
