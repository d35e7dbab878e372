#include "app/MainWindow.h"
#include "widgets/UserPrompts.h"
#include "download/DownloadDialog.h"
#include "link/EventPump.h"
#include "link/LinkSupervisor.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/PtyPair.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSerialPort>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <sys/stat.h>

struct MainWindowProbe {
    static QTRNet *net(MainWindow &w) { return w.net; }
    static QSerialPort *port(MainWindow &w) { return w.serialPort; }
    static comSettings *portDialog(MainWindow &w) { return w.comSettingsDialog; }
    static DownloadDialog *download(MainWindow &w) { return w.downloadDialog; }
    static QShortcut *startShortcut(MainWindow &w) { return w.startShortcut; }
};
using Probe = MainWindowProbe;

namespace {

QByteArray measurementFrame(quint32 seq)
{
    TRData pack;
    pack.cmd = 0x02;
    pack.data.assign(19, 0);
    qToLittleEndian<qint16>(1500, pack.data.data());
    qToLittleEndian<quint32>(seq, pack.data.data() + 15);
    QByteArray bytes;
    TRCodec().encode(pack, bytes);
    return bytes;
}

QByteArray patternImage(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char(i * 37 + 11);
    return image;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The main window with its port open on a pseudo-terminal whose other end
// plays the sensor; prompts are answered by the test.
struct Rig {
    QTemporaryDir workDir;
    PtyPair pty;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<DevicePeer> peer;
    QStringList boxes;
    QString choice;
    int measurements = 0;

    // The port is chosen; `open` applies it as the port dialog's Apply does.
    explicit Rig(bool open = true)
    {
        QDir::setCurrent(workDir.path());
        window = std::make_unique<MainWindow>();
        UserPrompts::setCriticalBox([this](QWidget *, const QString &title, const QString &text) {
            boxes << title + '|' + text;
        });
        UserPrompts::setOpenFileChooser([this](QWidget *, const QString &, const QString &, const QString &) {
            return choice;
        });
        QTRNet *net = Probe::net(*window);
        QObject::connect(net, &QTRNet::dataReady, net, [this](TRData *p) { measurements += p->cmd == 0x02; });
        // As Apply in the port dialog: the port opens, nothing is sent.
        window->presetPort(pty.portName(), 230400);
        if (open)
            emit Probe::portDialog(*window)->comReady();
        peer = std::make_unique<DevicePeer>(pty);
    }

    ~Rig()
    {
        UserPrompts::setCriticalBox({});
        UserPrompts::setOpenFileChooser({});
    }

    DownloadDialog *dialog() { return Probe::download(*window); }
    void pick(const QString &path)
    {
        choice = path;
        dialog()->findChild<QAbstractButton *>("openFilePath")->click();
    }
    // Returns when the transfer has ended, one way or the other.
    bool startFirmware()
    {
        dialog()->findChild<QAbstractButton *>("startDownload")->click();
        return EventPump::waitUntil(30000, [this] { return !dialog()->transferActive(); })
            == EventPump::Outcome::Done;
    }
    QString status() { return dialog()->findChild<QLabel *>("statusLabel")->text(); }

    // The image as the device put it together from the block frames.
    QByteArray receivedImage() const
    {
        QByteArray image;
        for (const TRData &f : peer->frames)
            if (f.cmd == 0x0B)
                image += QByteArray(reinterpret_cast<const char *>(f.data.data()) + 16, int(f.data.size()) - 16);
        return image;
    }
    QList<int> codes() const
    {
        QList<int> out;
        for (const TRData &f : peer->frames)
            out << f.cmd;
        return out;
    }
};

} // namespace

class tst_FaultsDownload : public QObject {
    Q_OBJECT

private slots:
    void silentPeerFailsTheTransferWhileMeasurementsGoOn();
    void imageThatChangesAfterItWasPicked_data();
    void imageThatChangesAfterItWasPicked();
    void downloadOpensAClosedPortAsStartDoes();
    void portThatCannotBeOpenedFailsAtOnceWithNothingSent();
    void controlsThatSendAreOffWhileATransferRuns();
    void closingTheWindowMidTransferSendsNothingMore();
    void portLostMidTransferEndsItAtOnceAndNothingIsSentUnderIt();
};

// The sensor keeps streaming but never acknowledges the start: the transfer
// fails after its time-out with the error box, nothing but the start frame
// goes out, and the window keeps showing measurements meanwhile.
void tst_FaultsDownload::silentPeerFailsTheTransferWhileMeasurementsGoOn()
{
    Rig rig;
    QVERIFY(Probe::port(*rig.window)->isOpen());
    rig.peer->setReply(0, DevicePeer::Reply::Silent);
    QTimer stream;
    quint32 seq = 0;
    connect(&stream, &QTimer::timeout, [&] { rig.pty.write(measurementFrame(seq++)); });
    stream.start(10);

    const QString path = rig.workDir.filePath("fw.bin");
    QVERIFY(writeFile(path, patternImage(200)));
    rig.pick(path);
    QTRY_VERIFY_WITH_TIMEOUT(rig.measurements > 0, 10000);
    const int before = rig.measurements;
    QVERIFY(rig.startFirmware());
    const int during = rig.measurements - before;
    stream.stop();

    QCOMPARE(rig.boxes, QStringList{"erorr|download image error"});
    QCOMPARE(rig.codes(), QList<int>{0x0A});
    QVERIFY2(during > 10, qPrintable(QString::number(during)));
    QVERIFY(rig.window->findChild<QPlainTextEdit *>("msg")->toPlainText().startsWith("distance:1500\n"));
}

void tst_FaultsDownload::imageThatChangesAfterItWasPicked_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QByteArray>("deviceImage");

    const QByteArray ten = patternImage(10);
    QTest::newRow("shrunk to ten bytes") << "shrink" << true << ten + QByteArray(2, char(0xFF));
    QTest::newRow("emptied") << "empty" << true << QByteArray();
    QTest::newRow("removed") << "remove" << false << QByteArray();
    QTest::newRow("replaced by a fifo") << "fifo" << false << QByteArray();
}

// What counts is the file at the moment Start is pressed. When it can no
// longer be read, nothing at all goes out (a device left in download mode
// without an end command would be worse than no start).
void tst_FaultsDownload::imageThatChangesAfterItWasPicked()
{
    QFETCH(QString, change);
    QFETCH(bool, succeeds);
    QFETCH(QByteArray, deviceImage);

    Rig rig;
    const QString path = rig.workDir.filePath("fw.bin");
    QVERIFY(writeFile(path, patternImage(200)));
    rig.pick(path);

    if (change == "shrink")
        QVERIFY(QFile::resize(path, 10));
    else if (change == "empty")
        QVERIFY(QFile::resize(path, 0));
    else if (change == "remove")
        QVERIFY(QFile::remove(path));
    else if (change == "fifo")
        QVERIFY(QFile::remove(path) && mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    QVERIFY(rig.startFirmware());

    if (succeeds) {
        QVERIFY(rig.boxes.isEmpty());
        QCOMPARE(rig.codes().first(), 0x0A);
        QCOMPARE(rig.codes().last(), 0x0C);
        QCOMPARE(rig.receivedImage(), deviceImage);
    } else {
        QCOMPARE(rig.boxes, QStringList{"erorr|download image error"});
        QCOMPARE(rig.codes(), QList<int>{});
    }
}

// Started as with --port: the port is chosen, never opened, Start never pressed.
void tst_FaultsDownload::downloadOpensAClosedPortAsStartDoes()
{
    Rig rig(false);
    QVERIFY(!Probe::port(*rig.window)->isOpen());
    const QString path = rig.workDir.filePath("fw.bin");
    QVERIFY(writeFile(path, patternImage(200)));
    rig.pick(path);
    QVERIFY(rig.startFirmware());

    QVERIFY2(rig.boxes.isEmpty(), qPrintable(rig.status()));
    QVERIFY(Probe::port(*rig.window)->isOpen());
    QCOMPARE(Probe::port(*rig.window)->baudRate(), 230400);
    QCOMPARE(rig.codes(), (QList<int>{0x0A, 0x0B, 0x0B, 0x0B, 0x0B, 0x0C}));
    QCOMPARE(rig.receivedImage(), patternImage(200));
    QVERIFY2(rig.status().startsWith("下载完成: 200 字节, 4 块, "), qPrintable(rig.status()));
}

// Without the start's wait: the transfer has ended when the click returns.
void tst_FaultsDownload::portThatCannotBeOpenedFailsAtOnceWithNothingSent()
{
    Rig rig(false);
    QVERIFY(rig.window->presetPort(rig.workDir.filePath("no-such-port"), 230400));
    const QString path = rig.workDir.filePath("fw.bin");
    QVERIFY(writeFile(path, patternImage(200)));
    rig.pick(path);
    rig.dialog()->findChild<QAbstractButton *>("startDownload")->click();

    QVERIFY(!rig.dialog()->transferActive());
    QCOMPARE(rig.boxes, QStringList{"erorr|download image error"});
    QCOMPARE(rig.status(), QString("下载失败: 串口未打开, 也无法打开"));
    QVERIFY(!Probe::port(*rig.window)->isOpen());
    QTest::qWait(200);
    QVERIFY(rig.codes().isEmpty());
}

// Clicked during a transfer, none of them reaches the device; afterwards each
// is as it was before (one that was off stays off).
void tst_FaultsDownload::controlsThatSendAreOffWhileATransferRuns()
{
    Rig rig;
    MainWindow &w = *rig.window;
    const QList<QAbstractButton *> buttons{w.findChild<QAbstractButton *>("pbStart"),
                                           w.findChild<QAbstractButton *>("pbStop"),
                                           w.findChild<QAbstractButton *>("pbGetConfig")};
    const QList<QAction *> actions{w.findChild<QAction *>("actionGetCaliParam"),
                                   w.findChild<QAction *>("actionPramCali"),
                                   w.findChild<QAction *>("actionOrigalData"),
                                   w.findChild<QAction *>("actionCloseCom")};
    // The port must be neither reopened nor closed under the transfer.
    QAbstractButton *apply = Probe::portDialog(w)->findChild<QAbstractButton *>("apply");
    QShortcut *start = Probe::startShortcut(w);
    actions[1]->setEnabled(false);
    int enabledDuring = 0;
    rig.peer->onFrame = [&](const TRData &) {
        if (rig.peer->frames.size() != 2)
            return;
        for (QAbstractButton *b : buttons) {
            enabledDuring += b->isEnabled();
            b->click();
        }
        // A disabled action still runs when triggered from code; menus and
        // keys leave it alone.
        for (QAction *a : actions) {
            enabledDuring += a->isEnabled();
            a->trigger();
        }
        enabledDuring += start->isEnabled() + apply->isEnabled();
        emit start->activated();
        emit Probe::portDialog(w)->comReady();
        enabledDuring += !w.findChild<QAbstractButton *>("pbClear")->isEnabled();
    };
    const QString path = rig.workDir.filePath("fw.bin");
    QVERIFY(writeFile(path, patternImage(200)));
    rig.pick(path);
    QVERIFY(rig.startFirmware());
    QTest::qWait(200);

    QCOMPARE(enabledDuring, 0);
    QCOMPARE(rig.codes(), (QList<int>{0x0A, 0x0B, 0x0B, 0x0B, 0x0B, 0x0C}));
    for (QAbstractButton *b : buttons)
        QVERIFY(b->isEnabled());
    QVERIFY(actions[0]->isEnabled() && !actions[1]->isEnabled() && actions[2]->isEnabled());
    QVERIFY(actions[3]->isEnabled() && start->isEnabled() && apply->isEnabled());
    QVERIFY(Probe::port(w)->isOpen());
    QCOMPARE(rig.boxes, QStringList());
}

// Acquisition runs; the device goes away as the download's start reaches it
// and is back at once under the same name. The transfer ends at once as a
// closed port, and the device back gets nothing: no Start in the middle of
// the download, nor after it (the loss cut the download short; what follows
// is the user's choice). The port is opened again once the transfer is over.
void tst_FaultsDownload::portLostMidTransferEndsItAtOnceAndNothingIsSentUnderIt()
{
    Rig rig(false);
    const QString link = rig.workDir.filePath("ttyLidar");
    QVERIFY(QFile::link(rig.pty.portName(), link));
    QVERIFY(rig.window->presetPort(link, 230400));
    rig.window->findChild<QAbstractButton *>("pbStart")->click();
    QTRY_COMPARE_WITH_TIMEOUT(rig.codes(), QList<int>{0x02}, 10000);

    PtyPair back;
    rig.peer->onFrame = [&](const TRData &frame) {
        if (frame.cmd != 0x0A)
            return;
        QFile::remove(link);
        rig.pty.closeMaster();
        QFile::link(back.portName(), link);
    };
    const QString path = rig.workDir.filePath("fw.bin");
    QVERIFY(writeFile(path, patternImage(400)));
    rig.pick(path);
    QByteArray sentUnderTransfer;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] { sentUnderTransfer += back.read(0, 0); });
    watch.start(5);
    QVERIFY(rig.startFirmware());
    watch.stop();

    QCOMPARE(rig.status(), QString("下载失败: 传输中串口被关闭"));
    QCOMPARE(rig.boxes, QStringList{"erorr|download image error"});
    QCOMPARE(rig.codes(), (QList<int>{0x02, 0x0A}));
    QCOMPARE(sentUnderTransfer, QByteArray());
    QTRY_VERIFY_WITH_TIMEOUT(Probe::port(*rig.window)->isOpen(), 10000);
    QCOMPARE(back.read(1, 4 * LinkSupervisor::kRetryMs), QByteArray());
}

// As Cancel, without waiting for the block on its way: nothing more goes out,
// above all no end command, and no box is left behind.
void tst_FaultsDownload::closingTheWindowMidTransferSendsNothingMore()
{
    Rig rig;
    rig.peer->onFrame = [&](const TRData &) {
        if (rig.peer->frames.size() == 3)
            rig.window->close();
    };
    const QString path = rig.workDir.filePath("fw.bin");
    QVERIFY(writeFile(path, patternImage(400)));
    rig.pick(path);
    QVERIFY(rig.startFirmware());
    QTest::qWait(300);

    QCOMPARE(rig.codes(), (QList<int>{0x0A, 0x0B, 0x0B}));
    QVERIFY(rig.boxes.isEmpty());
    QVERIFY2(rig.status().startsWith("已取消: 已发送 1 / 7 块"), qPrintable(rig.status()));
}

QTEST_MAIN(tst_FaultsDownload)
#include "tst_faults_download.moc"
