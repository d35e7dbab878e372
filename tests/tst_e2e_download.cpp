#include "app/UserPrompts.h"
#include "download/DownloadDialog.h"
#include "tests/e2e/SimProcess.h"
#include "tests/e2e/WindowDriver.h"

#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray patternFile(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 13 + 5) & 0xFF);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class DownloadEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void downloadedFileArrivesPaddedOrEndsInTheErrorBox_data();
    void downloadedFileArrivesPaddedOrEndsInTheErrorBox();

private:
    QTemporaryDir workDir;
};

void DownloadEndToEnd::initTestCase()
{
    QVERIFY(workDir.isValid());
    QVERIFY(QDir::setCurrent(workDir.path()));
}

void DownloadEndToEnd::cleanup()
{
    UserPrompts::setOpenFileChooser({});
    UserPrompts::setCriticalBox({});
}

void DownloadEndToEnd::downloadedFileArrivesPaddedOrEndsInTheErrorBox_data()
{
    QTest::addColumn<bool>("firmware");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("firmware of 201 bytes") << true << 201 << QStringList() << true;
    QTest::newRow("firmware over a noisy line") << true << 330 << QStringList {"--garbage", "7"} << true;
    QTest::newRow("calibration table of 130 bytes") << false << 130 << QStringList() << true;
    QTest::newRow("firmware block refused") << true << 400 << QStringList {"--ack-fail", "1"} << false;
    QTest::newRow("firmware block never acknowledged") << true << 400 << QStringList {"--ack-drop", "2"} << false;
    QTest::newRow("calibration block refused") << false << 200 << QStringList {"--ack-fail", "0"} << false;
}

void DownloadEndToEnd::downloadedFileArrivesPaddedOrEndsInTheErrorBox()
{
    QFETCH(bool, firmware);
    QFETCH(int, size);
    QFETCH(QStringList, faults);
    QFETCH(bool, succeeds);
    const QString source = workDir.filePath(firmware ? "image.bin" : "table.bin");
    const QString received = workDir.filePath("received.bin");
    QFile::remove(received);
    const QByteArray content = patternFile(size);
    QVERIFY(writeFile(source, content));
    UserPrompts::setOpenFileChooser([&](QWidget *, const QString &, const QString &, const QString &) {
        return source;
    });
    QStringList boxes;
    UserPrompts::setCriticalBox([&](QWidget *, const QString &title, const QString &text) {
        boxes << title + "|" + text;
    });

    SimProcess sim;
    QVERIFY(sim.start(QStringList {"--image-out", received} + faults));
    WindowDriver w;
    w.choosePort(sim.port(), true);
    QVERIFY(w.portOpen());
    auto *dialog = w.child<DownloadDialog>();
    QVERIFY(dialog);
    dialog->show();

    // The transfer runs inside the slot, in nested event loops.
    if (firmware) {
        dialog->findChild<QAbstractButton *>("openFilePath")->click();
        dialog->findChild<QAbstractButton *>("startDownload")->click();
    } else {
        QVERIFY(QMetaObject::invokeMethod(dialog, "setCaliFilePath"));
        QVERIFY(QMetaObject::invokeMethod(dialog, "on_startDownloadCaliFile_clicked"));
    }

    if (succeeds) {
        QVERIFY(boxes.isEmpty());
        QByteArray padded = content;
        padded.append(QByteArray((4 - size % 4) % 4, char(0xFF)));
        QCOMPARE(readFile(received), padded);
    } else {
        QCOMPARE(boxes, QStringList {"erorr|download image error"});
        QVERIFY(!QFile::exists(received));
    }
    QVERIFY(dialog->findChild<QProgressBar *>("progressBar")->isHidden());
    QVERIFY(dialog->findChild<QAbstractButton *>("startDownload")->isEnabled());
}

QTEST_MAIN(DownloadEndToEnd)
#include "tst_e2e_download.moc"
