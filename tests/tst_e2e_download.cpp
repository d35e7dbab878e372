#include "widgets/UserPrompts.h"
#include "download/DownloadDialog.h"
#include "link/EventPump.h"
#include "tests/e2e/SimProcess.h"
#include "tests/e2e/WindowDriver.h"

#include <QDir>
#include <QFile>
#include <QLabel>
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
    QTest::addColumn<bool>("portOpened");
    QTest::newRow("firmware of 201 bytes") << true << 201 << QStringList() << true << true;
    QTest::newRow("firmware over a noisy line") << true << 330 << QStringList {"--garbage", "7"} << true << true;
    QTest::newRow("calibration table of 130 bytes") << false << 130 << QStringList() << true << true;
    QTest::newRow("firmware block refused") << true << 400 << QStringList {"--ack-fail", "1"} << false << true;
    QTest::newRow("firmware block never acknowledged")
        << true << 400 << QStringList {"--ack-drop", "2"} << false << true;
    QTest::newRow("calibration block refused") << false << 200 << QStringList {"--ack-fail", "0"} << false << true;
    // As started with --port: the port is chosen, and Start was never pressed.
    QTest::newRow("firmware with the port only chosen") << true << 201 << QStringList() << true << false;
    QTest::newRow("calibration table with the port only chosen")
        << false << 130 << QStringList() << true << false;
}

void DownloadEndToEnd::downloadedFileArrivesPaddedOrEndsInTheErrorBox()
{
    QFETCH(bool, firmware);
    QFETCH(int, size);
    QFETCH(QStringList, faults);
    QFETCH(bool, succeeds);
    QFETCH(bool, portOpened);
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
    w.choosePort(sim.port(), portOpened);
    QCOMPARE(w.portOpen(), portOpened);
    auto *dialog = w.child<DownloadDialog>();
    QVERIFY(dialog);
    dialog->show();

    if (firmware) {
        dialog->findChild<QAbstractButton *>("openFilePath")->click();
        dialog->findChild<QAbstractButton *>("startDownload")->click();
    } else {
        dialog->findChild<QAbstractButton *>("openCaliFilePath")->click();
        dialog->findChild<QAbstractButton *>("startDownloadCaliFile")->click();
    }
    // It runs on the simulator's answers after the click returned.
    QCOMPARE(EventPump::waitUntil(30000, [dialog] { return !dialog->transferActive(); }),
             EventPump::Outcome::Done);
    const QString status = dialog->findChild<QLabel *>("statusLabel")->text();
    auto *bar = dialog->findChild<QProgressBar *>("progressBar");

    if (succeeds) {
        QVERIFY2(boxes.isEmpty(), qPrintable(status));
        QByteArray padded = content;
        padded.append(QByteArray((4 - size % 4) % 4, char(0xFF)));
        QCOMPARE(readFile(received), padded);
        QVERIFY2(status.startsWith(QString("下载完成: %1 字节, %2 块, ").arg(padded.size()).arg((padded.size() + 63) / 64)),
                 qPrintable(status));
        QVERIFY(bar->isVisible() && bar->value() == bar->maximum());
    } else {
        QCOMPARE(boxes, QStringList {"erorr|download image error"});
        QVERIFY(!QFile::exists(received));
        QVERIFY2(status.startsWith("下载失败: "), qPrintable(status));
        QVERIFY(bar->isHidden());
    }
    QVERIFY(w.portOpen());
    QVERIFY(dialog->findChild<QAbstractButton *>("startDownload")->isEnabled());
}

QTEST_MAIN(DownloadEndToEnd)
#include "tst_e2e_download.moc"
