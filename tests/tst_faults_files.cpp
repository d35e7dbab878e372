#include "app/ConfigDialog.h"
#include "app/MainWindow.h"
#include "widgets/UserPrompts.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/StoredCurves.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

struct MainWindowProbe {
    static ConfigDialog *config(MainWindow &w) { return w.configDialog; }
    static QString &savedFilePath(MainWindow &w) { return w.savedFilePath; }
    static QCustomPlot *plot(MainWindow &w) { return w.plot; }
    static void record(MainWindow &w) { w.saveCurveData(); }
};
using Probe = MainWindowProbe;

namespace {

const QString kIni = QStringLiteral("Trivane_QZ90.ini");

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The settings file and anything named after it (a lock, a temporary copy).
QStringList settingsEntries(const QString &dir)
{
    return QDir(dir).entryList({kIni + QLatin1Char('*')}, QDir::AllEntries | QDir::Hidden | QDir::System);
}


// A small memory file system on `dir`, so that writes there run out of
// space; unavailable without the privilege to mount.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const QString &dir)
        : path(QFile::encodeName(dir))
    {
        mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallFileSystem()
    {
        if (mounted)
            ::umount2(path.constData(), MNT_DETACH);
    }
    bool isMounted() const { return mounted; }

private:
    QByteArray path;
    bool mounted = false;
};

// Root passes every permission check, so where the test runs as root the
// enclosed code runs as the unprivileged user "nobody" (real and effective
// ids, as access() looks at the real one). The saved ids stay root, which
// lets the destructor switch back.
class AsUnprivilegedUser {
public:
    static constexpr uid_t kNobody = 65534;

    AsUnprivilegedUser()
    {
        if (::geteuid() != 0)
            return;
        if (::setresgid(kNobody, kNobody, 0) != 0)
            return;
        switched = ::setresuid(kNobody, kNobody, 0) == 0;
        if (!switched)
            ::setresgid(0, 0, 0);
    }
    ~AsUnprivilegedUser()
    {
        if (switched && ::setresuid(0, 0, 0) == 0)
            ::setresgid(0, 0, 0);
    }
    AsUnprivilegedUser(const AsUnprivilegedUser &) = delete;
    AsUnprivilegedUser &operator=(const AsUnprivilegedUser &) = delete;

    static bool needed() { return ::geteuid() == 0; }
    bool isSwitched() const { return switched; }

private:
    bool switched = false;
};

} // namespace

class tst_FaultsFiles : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void unwritableSettingsStartWithDefaultsAndExitQuietly_data();
    void unwritableSettingsStartWithDefaultsAndExitQuietly();
    void fullDiskLeavesThePreviousSettingsFileWhole_data();
    void fullDiskLeavesThePreviousSettingsFileWhole();
    void curveFileOnAFullFileSystemKeepsThePreviousFile();
    void curveFileInALockedFolderIsWrittenInPlaceOnlyIfWritable_data();
    void curveFileInALockedFolderIsWrittenInPlaceOnlyIfWritable();
};

void tst_FaultsFiles::cleanup()
{
    UserPrompts::setSaveFileChooser({});
    UserPrompts::setCriticalBox({});
}

void tst_FaultsFiles::unwritableSettingsStartWithDefaultsAndExitQuietly_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("settings name taken by a folder") << "folder";
    QTest::newRow("working folder in the process file system") << "proc";
}

// Even root cannot write either place. The window starts with the defaults,
// and at exit the write fails without a message and without leftovers.
void tst_FaultsFiles::unwritableSettingsStartWithDefaultsAndExitQuietly()
{
    QFETCH(QString, where);
    QTemporaryDir dir;
    QString cwd = dir.path();
    if (where == "folder")
        QVERIFY(QDir(cwd).mkdir(kIni));
    else
        cwd = QStringLiteral("/proc");
    QVERIFY(QDir::setCurrent(cwd));
    // Other processes come and go in the process file system meanwhile: only
    // names the window could have written are compared there.
    const auto listing = [&] { return where == "proc" ? settingsEntries(cwd) : entries(cwd); };
    const QStringList before = listing();
    {
        MainWindow window;
        QCOMPARE(Probe::config(window)->getPeakValue(), quint16(2300));
        QCOMPARE(Probe::config(window)->getOriginalValue(), quint16(10));
        QCOMPARE(Probe::savedFilePath(window), QStringLiteral("."));
        Probe::config(window)->setPeakValue(777);
    }
    QVERIFY(QDir::setCurrent(dir.path()));
    if (where == "proc" && QFile::exists("/proc/" + kIni))
        QSKIP("this system lets the process file system take a new file");
    QCOMPARE(listing(), before);
    if (where == "folder")
        QVERIFY(QFileInfo(QDir(cwd).filePath(kIni)).isDir());
}

void tst_FaultsFiles::fullDiskLeavesThePreviousSettingsFileWhole_data()
{
    QTest::addColumn<bool>("fileSystemFull");
    QTest::newRow("file-size limit") << false;
    QTest::newRow("file system full") << true;
}

// The new settings do not fit: the previous file must stay as it was, not
// be cut short, and no temporary file may be left next to it.
void tst_FaultsFiles::fullDiskLeavesThePreviousSettingsFileWhole()
{
    QFETCH(bool, fileSystemFull);
    QTemporaryDir dir;
    const QString folder = dir.filePath("settings");
    QVERIFY(QDir().mkpath(folder));
    std::unique_ptr<SmallFileSystem> small;
    if (fileSystemFull) {
        small = std::make_unique<SmallFileSystem>(folder);
        if (!small->isMounted())
            QSKIP("mounting a small file system needs privileges this run does not have");
    }
    const QByteArray previous("[General]\nPeakValue=1234\nOriginalValue=56\nSavedFilePath=/data/runs\n");
    QVERIFY(writeFile(QDir(folder).filePath(kIni), previous));
    if (fileSystemFull)
        QVERIFY(!writeFile(QDir(folder).filePath("filler"), QByteArray(128 * 1024, 'f')));
    QVERIFY(QDir::setCurrent(folder));
    const QStringList before = entries(folder);
    {
        // Reading is unaffected; the window writes its settings as it is
        // destroyed, before the limit is lifted.
        std::unique_ptr<FileSizeLimit> limit;
        if (!fileSystemFull)
            limit = std::make_unique<FileSizeLimit>(32);
        MainWindow window;
        QCOMPARE(Probe::config(window)->getPeakValue(), quint16(1234));
        Probe::config(window)->setPeakValue(4321);
    }
    QVERIFY(QDir::setCurrent(dir.path()));
    QCOMPARE(contents(QDir(folder).filePath(kIni)), previous);
    QCOMPARE(entries(folder), before);
}

// Recording more than the file system holds shows the write error and keeps
// the earlier recording under that name whole.
void tst_FaultsFiles::curveFileOnAFullFileSystemKeepsThePreviousFile()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString folder = dir.filePath("runs");
    QVERIFY(QDir().mkpath(folder));
    SmallFileSystem small(folder);
    if (!small.isMounted())
        QSKIP("mounting a small file system needs privileges this run does not have");
    const QString file = QDir(folder).filePath("run.cur");
    QVERIFY(writeFile(file, "1,2,3,\n"));

    MainWindow window;
    QStringList boxes;
    UserPrompts::setSaveFileChooser([&](QWidget *, const QString &, const QString &, const QString &) { return file; });
    UserPrompts::setCriticalBox([&](QWidget *, const QString &title, const QString &text) { boxes << title + '|' + text; });
    QVector<double> many;
    for (int i = 0; i < 50000; ++i)
        many.append(1234567.5 + i);
    StoredCurves::append(Probe::plot(window)->graph(0), many);
    Probe::record(window);

    QCOMPARE(boxes, QStringList{QStringLiteral("写入错误|无法写入文件\r\n无权限")});
    QCOMPARE(contents(file), QByteArray("1,2,3,\n"));
    QCOMPARE(entries(folder), QStringList{"run.cur"});
}

void tst_FaultsFiles::curveFileInALockedFolderIsWrittenInPlaceOnlyIfWritable_data()
{
    QTest::addColumn<bool>("fileWritable");
    QTest::newRow("writable file: recorded in place") << true;
    QTest::newRow("read-only file: write error, file kept") << false;
}

// A folder that takes no new file holds an earlier recording. The atomic
// save cannot make its temporary file there; a file the user may write is
// then written in place, one the user may not write is left alone.
void tst_FaultsFiles::curveFileInALockedFolderIsWrittenInPlaceOnlyIfWritable()
{
    QFETCH(bool, fileWritable);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString folder = dir.filePath("locked");
    QVERIFY(QDir().mkpath(folder));
    const QString file = QDir(folder).filePath("run.cur");
    QVERIFY(writeFile(file, "1,2,3,\n"));
    const QFile::Permissions readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const QFile::Permissions enter = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(file, readable | (fileWritable ? QFile::WriteOwner : QFile::Permissions())));
    if (AsUnprivilegedUser::needed()) {
        // Root keeps the folders; the file becomes the unprivileged user's.
        QVERIFY(QFile::setPermissions(dir.path(), readable | enter | QFile::WriteOwner));
        QCOMPARE(::chown(QFile::encodeName(file).constData(), AsUnprivilegedUser::kNobody,
                         AsUnprivilegedUser::kNobody), 0);
    } else {
        QVERIFY(QFile::setPermissions(folder, readable | enter));
    }

    MainWindow window;
    QStringList boxes;
    UserPrompts::setSaveFileChooser([&](QWidget *, const QString &, const QString &, const QString &) { return file; });
    UserPrompts::setCriticalBox([&](QWidget *, const QString &title, const QString &text) { boxes << title + '|' + text; });
    StoredCurves::append(Probe::plot(window)->graph(0), {7, 8});
    {
        AsUnprivilegedUser user;
        if (AsUnprivilegedUser::needed() && !user.isSwitched())
            QSKIP("switching to an unprivileged user needs privileges this run does not have");
        Probe::record(window);
    }
    QFile::setPermissions(folder, readable | enter | QFile::WriteOwner);

    if (fileWritable) {
        QCOMPARE(boxes, QStringList());
        QCOMPARE(contents(file), QByteArray("7,8,\n\n"));
    } else {
        QCOMPARE(boxes, QStringList{QStringLiteral("写入错误|无法写入文件\r\n无权限")});
        QCOMPARE(contents(file), QByteArray("1,2,3,\n"));
    }
    QCOMPARE(entries(folder), QStringList{"run.cur"});
}

QTEST_MAIN(tst_FaultsFiles)
#include "tst_faults_files.moc"
