// Writes the input as the settings file and has the real main window read it
// and write it back; the written file must read back to the same values. A
// key sequence with an unreadable later key is written back without it, so
// the values are compared from the first file the window wrote itself.
#include "app/ConfigDialog.h"
#include "app/MainWindow.h"
#include "fuzz/FuzzSupport.h"

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QShortcut>
#include <QTemporaryDir>

#include <cstdlib>

struct MainWindowProbe {
    static void useFile(MainWindow &w, const QString &path) { w.iniFileName = path; }
    static void load(MainWindow &w) { w.loadSettings(); }
    static void save(MainWindow &w) { w.saveSettings(); }
    static QString state(const MainWindow &w)
    {
        return QStringLiteral("%1x%2|%3|%4|%5|%6|%7|%8")
            .arg(w.width())
            .arg(w.height())
            .arg(w.configDialog->getPeakValue())
            .arg(w.configDialog->getOriginalValue())
            .arg(w.savedFilePath, w.startShortcut->key().toString(), w.clearShortcut->key().toString())
            .arg(w.autoReconnect);
    }
};

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

MainWindow *window = nullptr;
QTemporaryDir *dir = nullptr;
quint64 round = 0;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::guiApp();
    dir = new QTemporaryDir;
    window = new MainWindow;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A fresh name each time: the settings library caches files by name.
    const QString path = dir->filePath(QStringLiteral("s%1.ini").arg(++round));
    QFile file(path);
    check(file.open(QIODevice::WriteOnly));
    check(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    file.close();

    MainWindowProbe::useFile(*window, path);
    MainWindowProbe::load(*window);

    const QString written = path + QStringLiteral(".saved");
    MainWindowProbe::useFile(*window, written);
    MainWindowProbe::save(*window);
    MainWindowProbe::load(*window);
    const QString first = MainWindowProbe::state(*window);

    const QString again = path + QStringLiteral(".again");
    MainWindowProbe::useFile(*window, again);
    MainWindowProbe::save(*window);
    MainWindowProbe::load(*window);
    check(MainWindowProbe::state(*window) == first);

    QFile::remove(path);
    QFile::remove(written);
    QFile::remove(again);
    return 0;
}
