#include "widgets/UserPrompts.h"
#include "download/DownloadDialog.h"
#include "download/DownloadTransfer.h"
#include "download/ImageFile.h"
#include "link/EventPump.h"
#include "link/QTRNet.h"
#include "tests/support/DebugCapture.h"
#include "tests/support/DevicePeer.h"
#include "tests/support/Frames.h"
#include "tests/support/PtyPair.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

struct DownloadTransferProbe {
    static qint32 ackCmd(const DownloadTransfer &t) { return t.ackCmd; }
    static qint32 ackResult(const DownloadTransfer &t) { return t.ackResult; }
};

struct DownloadDialogProbe {
    static qint32 &fileKind(DownloadDialog &d) { return d.fileKind; }
    static QString imagePath(const DownloadDialog &d) { return d.imagePath; }
    static QString caliFilePath(const DownloadDialog &d) { return d.caliFilePath; }
    static qint32 ackCmd(const DownloadDialog &d) { return DownloadTransferProbe::ackCmd(*d.transfer); }
    static qint32 ackResult(const DownloadDialog &d) { return DownloadTransferProbe::ackResult(*d.transfer); }
    static void recievAck(DownloadDialog &d, TRData *pack) { d.recievAck(pack); }
};
using Probe = DownloadDialogProbe;

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

QByteArray payloadOf(const TRData &pack)
{
    return QByteArray(reinterpret_cast<const char *>(pack.data.data()), int(pack.data.size()));
}

// Not periodic in 64 KiB, so a block sent from the wrong place shows.
QByteArray patternImage(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char(i * 131 + (i >> 16) * 7 + 1);
    return image;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

enum Profile { Firmware, Table };

// The dialog wired to an endpoint on a real pseudo-terminal, a device peer on
// the other end, and the prompts answered by the test.
struct Rig {
    PtyPair pty;
    QSerialPort port;
    QTRNet *net = nullptr;
    DownloadDialog dialog;
    DevicePeer peer { pty };
    QStringList boxes;
    QString nextChoice;
    QStringList chooserCalls;

    Rig()
    {
        port.setPortName(pty.portName());
        port.open(QIODevice::ReadWrite);
        net = new QTRNet(&port);
        QObject::connect(&port, &QSerialPort::readyRead, [this] { net->receiveData(port.readAll()); });
        dialog.setNet(net);
        UserPrompts::setCriticalBox([this](QWidget *, const QString &title, const QString &text) {
            boxes << title + '|' + text;
        });
        UserPrompts::setOpenFileChooser(
            [this](QWidget *, const QString &caption, const QString &dir, const QString &filter) {
                chooserCalls << caption + '|' + dir + '|' + filter;
                return nextChoice;
            });
    }
    ~Rig()
    {
        UserPrompts::setCriticalBox({});
        UserPrompts::setOpenFileChooser({});
    }

    template <typename W>
    W *widget(const char *name) { return dialog.findChild<W *>(name); }
    QAbstractButton *startButton(Profile p)
    {
        return widget<QPushButton>(p == Firmware ? "startDownload" : "startDownloadCaliFile");
    }
    QLineEdit *pathEdit(Profile p) { return widget<QLineEdit>(p == Firmware ? "filePath" : "caliFilePathEdit"); }
    QList<QAbstractButton *> transferControls()
    {
        return { widget<QPushButton>("startDownload"), widget<QPushButton>("startDownloadCaliFile"),
                 widget<QToolButton>("openFilePath"), widget<QToolButton>("openCaliFilePath") };
    }
    bool controlsEnabled()
    {
        for (QAbstractButton *b : transferControls())
            if (!b->isEnabled())
                return false;
        return true;
    }
    // During a transfer Cancel is the one button that works.
    bool onlyCancelEnabled()
    {
        for (QAbstractButton *b : transferControls())
            if (b->isEnabled())
                return false;
        return widget<QPushButton>("cancelDownload")->isEnabled();
    }
    // The transfer runs on acknowledgements and timers, after the click
    // returned. A real event loop: QTest's waits nap between event batches.
    bool finished(int ms = 30000)
    {
        return EventPump::waitUntil(ms, [this] { return !dialog.transferActive(); }) == EventPump::Outcome::Done;
    }
    QString status() { return widget<QLabel>("statusLabel")->text(); }
    QProgressBar *bar() { return widget<QProgressBar>("progressBar"); }
    // The frame count settles: nothing more arrives after the transfer returned.
    int settledFrames()
    {
        QTest::qWait(150);
        return int(peer.frames.size());
    }
};

const char *const kFirmwareStart = "AA AA AA AA 01 0A 00 00 10 00 73 74 61 72 74 20 64 6F 77 6E 6C 6F 61 64 00 00 C1";
const char *const kFirmwareEndKind1 =
    "AA AA AA AA 01 0C 00 00 14 00 63 6F 6D 70 6C 65 74 65 00 00 00 00 00 00 00 00 01 00 00 00 7B";
const char *const kFirmwareEndKind2 =
    "AA AA AA AA 01 0C 00 00 14 00 63 6F 6D 70 6C 65 74 65 00 00 00 00 00 00 00 00 02 00 00 00 7C";
const char *const kTableStart = "AA AA AA AA 01 07 00 00 10 00 6C 75 74 20 73 74 61 72 74 00 00 00 00 00 00 00 BB";
const char *const kTableEnd = "AA AA AA AA 01 09 00 00 04 00 01 00 00 00 0F";
} // namespace

class tst_DownloadDialog : public QObject {
    Q_OBJECT
private slots:
    void deviceReceivesExactlyThePaddedImage_data();
    void deviceReceivesExactlyThePaddedImage();
    void failedStepEndsTransferWithTheErrorBox_data();
    void failedStepEndsTransferWithTheErrorBox();
    void unreadableImageSendsNothing_data();
    void unreadableImageSendsNothing();
    void withoutEndpointStartDoesNothing();
    void pickedPathDecidesTheKind_data();
    void pickedPathDecidesTheKind();
    void cancellingEitherChooserKeepsItsField();
    void ackNeedsCodeAndResultBytes_data();
    void ackNeedsCodeAndResultBytes();
    void quittingStopsTheTransferWithoutFurtherFrames_data();
    void quittingStopsTheTransferWithoutFurtherFrames();
    void enterInAPathFieldStartsThatRowsTransferOnly_data();
    void enterInAPathFieldStartsThatRowsTransferOnly();
    void cancelStopsAfterTheBlockOnItsWayAndSaysSo();
};

void tst_DownloadDialog::deviceReceivesExactlyThePaddedImage_data()
{
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("pickedKind");
    QTest::addColumn<bool>("lateStartAck");
    QTest::addColumn<QByteArray>("startFrame");
    QTest::addColumn<QByteArray>("endFrame");

    const QByteArray fwStart = hex(kFirmwareStart);
    const QByteArray fwEnd1 = hex(kFirmwareEndKind1);
    QTest::newRow("empty image") << int(Firmware) << "empty.bin" << 0 << 0 << false << fwStart << fwEnd1;
    QTest::newRow("one byte") << int(Firmware) << "one.bin" << 1 << 0 << false << fwStart << fwEnd1;
    QTest::newRow("one full block") << int(Firmware) << "b64.bin" << 64 << 0 << false << fwStart << fwEnd1;
    QTest::newRow("65 bytes pad to 68") << int(Firmware) << "b65.bin" << 65 << 0 << false << fwStart << fwEnd1;
    QTest::newRow("200 bytes encrypted") << int(Firmware) << "fw.ifw" << 200 << 0 << false << fwStart
                                         << hex(kFirmwareEndKind2);
    QTest::newRow("three full blocks") << int(Firmware) << "b192.bin" << 192 << 0 << false << fwStart << fwEnd1;
    QTest::newRow("offsets wrap past 64 KiB")
        << int(Firmware) << "big.bin" << 70001 << 0 << false << fwStart << fwEnd1;
    QTest::newRow("typed .bin after picking an .ifw is sent as normal")
        << int(Firmware) << "typed.bin" << 8 << 2 << false << fwStart << fwEnd1;
    QTest::newRow("start acknowledged after the pause")
        << int(Firmware) << "late.bin" << 4 << 0 << true << fwStart << fwEnd1;
    QTest::newRow("table of 200 bytes")
        << int(Table) << "lut.bin" << 200 << 2 << false << hex(kTableStart) << hex(kTableEnd);
    QTest::newRow("table of 65 bytes") << int(Table) << "lut65.bin" << 65 << 0 << false << hex(kTableStart)
                                       << hex(kTableEnd);
}

void tst_DownloadDialog::deviceReceivesExactlyThePaddedImage()
{
    QFETCH(int, profile);
    QFETCH(QString, fileName);
    QFETCH(int, size);
    QFETCH(int, pickedKind);
    QFETCH(bool, lateStartAck);
    QFETCH(QByteArray, startFrame);
    QFETCH(QByteArray, endFrame);

    QTemporaryDir dir;
    QByteArray image = patternImage(size);
    const QString path = writeFile(dir, fileName, image);
    QVERIFY(!path.isEmpty());
    while (image.size() % 4)
        image.append(char(0xFF));
    const int steps = (image.size() + 63) / 64;
    QByteArray tag(profile == Firmware ? "downloading" : "lut transmit");
    tag.append(QByteArray(16 - tag.size(), '\0'));
    const quint8 blockCode = profile == Firmware ? 0x0B : 0x08;

    Rig rig;
    QVERIFY(rig.port.isOpen());
    Probe::fileKind(rig.dialog) = pickedKind;
    if (lateStartAck)
        rig.peer.setReply(0, DevicePeer::Reply::Late);
    bool lockedDuringTransfer = false;
    rig.peer.onFrame = [&](const TRData &) {
        if (rig.peer.frames.size() == 1)
            lockedDuringTransfer = rig.onlyCancelEnabled();
    };
    rig.pathEdit(Profile(profile))->setText(path);
    // The row's summary gives what will be sent, padding included.
    if (size > 0)
        QCOMPARE(rig.widget<QLabel>(profile == Firmware ? "fileInfo" : "caliFileInfo")->text(),
                 QString("%1 字节, %2 块").arg(image.size()).arg(steps));
    rig.startButton(Profile(profile))->click();

    QVERIFY(rig.finished());
    QVERIFY2(rig.boxes.isEmpty(), qPrintable(rig.boxes.join(';')));
    QCOMPARE(rig.settledFrames(), steps + 2);
    const auto &frames = rig.peer.frames;
    QCOMPARE(encodedFrame(frames.front()), startFrame);
    QCOMPARE(encodedFrame(frames.back()), endFrame);
    QByteArray received;
    for (int i = 0; i < steps; ++i) {
        const TRData &block = frames[size_t(i) + 1];
        QCOMPARE(block.addr, quint8(1));
        QCOMPARE(block.cmd, blockCode);
        QCOMPARE(block.offset, quint16(i * 64));
        const QByteArray payload = payloadOf(block);
        QCOMPARE(payload.left(16), tag);
        QVERIFY(payload.size() <= 80);
        received += payload.mid(16);
    }
    QCOMPARE(received, image);
    // Nothing on the wire but these frames, back to back.
    QByteArray wire;
    for (const TRData &frame : frames)
        wire += encodedFrame(frame);
    QCOMPARE(rig.peer.received, wire);
    // The bar stays, full, until the next transfer; an empty image still fills it.
    QCOMPARE(rig.bar()->maximum(), qMax(steps, 1));
    QCOMPARE(rig.bar()->value(), rig.bar()->maximum());
    QVERIFY(!rig.bar()->isHidden());
    QVERIFY2(rig.status().startsWith(QString("下载完成: %1 字节, %2 块, ").arg(image.size()).arg(steps)),
             qPrintable(rig.status()));
    QVERIFY(lockedDuringTransfer);
    QVERIFY(rig.controlsEnabled());
    QVERIFY(!rig.widget<QPushButton>("cancelDownload")->isEnabled());
    QCOMPARE(Probe::fileKind(rig.dialog), pickedKind);
}

void tst_DownloadDialog::failedStepEndsTransferWithTheErrorBox_data()
{
    QTest::addColumn<int>("frameIndex");
    QTest::addColumn<int>("reply");
    QTest::addColumn<int>("framesSent");
    QTest::addColumn<QString>("line");

    // A 200-byte image: start, blocks 0 to 3 (the last one short), end. The
    // line counts blocks from 1.
    using R = DevicePeer::Reply;
    const QString silentBlock = "下载失败: 设备在 1000 毫秒内没有应答第 %1 / 4 块";
    QTest::newRow("start never acknowledged") << 0 << int(R::Silent) << 1
                                              << "下载失败: 设备在 3000 毫秒内没有应答开始命令";
    QTest::newRow("start answered with result 0") << 0 << int(R::Fail) << 1 << "下载失败: 设备拒绝了开始命令";
    QTest::newRow("block 1 never acknowledged") << 2 << int(R::Silent) << 3 << silentBlock.arg(2);
    QTest::newRow("block 1 answered with result 0") << 2 << int(R::Fail) << 3 << "下载失败: 设备拒绝了第 2 / 4 块";
    QTest::newRow("ack for another code replaces block 1's") << 2 << int(R::ThenForeign) << 3 << silentBlock.arg(2);
    QTest::newRow("short last block never acknowledged") << 4 << int(R::Silent) << 5 << silentBlock.arg(4);
    QTest::newRow("end never acknowledged") << 5 << int(R::Silent) << 6
                                            << "下载失败: 设备在 1000 毫秒内没有应答结束命令";
    QTest::newRow("end answered with result 0") << 5 << int(R::Fail) << 6 << "下载失败: 设备拒绝了结束命令";
}

void tst_DownloadDialog::failedStepEndsTransferWithTheErrorBox()
{
    QFETCH(int, frameIndex);
    QFETCH(int, reply);
    QFETCH(int, framesSent);
    QFETCH(QString, line);

    QTemporaryDir dir;
    Rig rig;
    rig.peer.setReply(frameIndex, DevicePeer::Reply(reply));
    rig.pathEdit(Firmware)->setText(writeFile(dir, "fw.bin", patternImage(200)));
    rig.startButton(Firmware)->click();

    QVERIFY(rig.finished());
    QCOMPARE(rig.boxes, QStringList { "erorr|download image error" });
    QCOMPARE(rig.status(), line);
    QCOMPARE(rig.settledFrames(), framesSent);
    QVERIFY(rig.bar()->isHidden());
    QVERIFY(rig.controlsEnabled());
}

void tst_DownloadDialog::unreadableImageSendsNothing_data()
{
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("summary");
    QTest::newRow("firmware file removed after choosing") << int(Firmware) << "removed"
                                                          << "下载失败: 无法读取文件 %1" << "";
    QTest::newRow("firmware path is a folder") << int(Firmware) << "folder" << "下载失败: 无法读取文件 %1" << "";
    QTest::newRow("table never chosen") << int(Table) << "none" << "下载失败: 没有选择文件" << "";
    QTest::newRow("table one byte over the cap")
        << int(Table) << "oversized" << "下载失败: 文件 %1 过大 (67108865 字节, 上限 67108864 字节)"
        << "文件过大: 67108865 字节, 上限 67108864 字节";
}

// Ends at once, before anything goes out, with the reason and the box.
void tst_DownloadDialog::unreadableImageSendsNothing()
{
    QFETCH(int, profile);
    QFETCH(QString, what);
    QFETCH(QString, line);
    QFETCH(QString, summary);

    QTemporaryDir dir;
    Rig rig;
    QString path;
    if (what == "removed") {
        path = writeFile(dir, "gone.bin", patternImage(100));
        rig.nextChoice = path;
        rig.widget<QToolButton>("openFilePath")->click();
        QCOMPARE(rig.widget<QLabel>("fileInfo")->text(), QString("100 字节, 2 块"));
        QVERIFY(QFile::remove(path));
    } else if (what == "folder") {
        path = dir.path();
        rig.pathEdit(Firmware)->setText(path);
    } else if (what == "oversized") {
        path = dir.filePath("huge.bin");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(ImageFile::kMaxBytes + 1));
        rig.pathEdit(Table)->setText(path);
        QCOMPARE(rig.widget<QLabel>("caliFileInfo")->text(), summary);
    }
    rig.startButton(Profile(profile))->click();

    QVERIFY(!rig.dialog.transferActive());
    QCOMPARE(rig.boxes, QStringList { "erorr|download image error" });
    QCOMPARE(rig.status(), line.contains("%1") ? line.arg(path) : line);
    QCOMPARE(rig.settledFrames(), 0);
    QVERIFY(rig.pty.read(1, 100).isEmpty());
    QVERIFY(rig.controlsEnabled());
}

void tst_DownloadDialog::withoutEndpointStartDoesNothing()
{
    QStringList boxes;
    UserPrompts::setCriticalBox([&](QWidget *, const QString &t, const QString &) { boxes << t; });
    DownloadDialog dialog;
    for (const char *name : { "startDownload", "startDownloadCaliFile" })
        dialog.findChild<QPushButton *>(name)->click();
    UserPrompts::setCriticalBox({});
    QVERIFY(boxes.isEmpty());
    QVERIFY(dialog.findChild<QProgressBar *>("progressBar")->isHidden());
}

void tst_DownloadDialog::pickedPathDecidesTheKind_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("line");
    QTest::newRow(".ifw") << "/data/fw.ifw" << 2 << "encrypted file";
    QTest::newRow(".bin") << "/data/fw.bin" << 1 << "normal bin file";
    QTest::newRow(".bin in a folder named ifw") << "/data/ifw_builds/fw.bin" << 2 << "encrypted file";
    QTest::newRow("capital IFW") << "/data/FW.IFW" << 1 << "normal bin file";
}

void tst_DownloadDialog::pickedPathDecidesTheKind()
{
    QFETCH(QString, path);
    QFETCH(int, kind);
    QFETCH(QString, line);

    Rig rig;
    DebugCapture debug;
    rig.pathEdit(Firmware)->setText("/start/here.bin");
    rig.nextChoice = path;
    rig.widget<QToolButton>("openFilePath")->click();

    QCOMPARE(rig.chooserCalls, QStringList { "open file|/start/here.bin|bin file(*.bin *.ifw)" });
    QCOMPARE(Probe::fileKind(rig.dialog), kind);
    QVERIFY(debug.contains(line));
    QCOMPARE(rig.pathEdit(Firmware)->text(), path);
    QCOMPARE(Probe::imagePath(rig.dialog), path);
}

void tst_DownloadDialog::cancellingEitherChooserKeepsItsField()
{
    Rig rig;
    rig.nextChoice = "/data/fw.ifw";
    rig.widget<QToolButton>("openFilePath")->click();
    rig.nextChoice.clear();
    rig.widget<QToolButton>("openFilePath")->click();
    QCOMPARE(Probe::imagePath(rig.dialog), QString("/data/fw.ifw"));
    QCOMPARE(Probe::fileKind(rig.dialog), 2);

    QLineEdit *edit = rig.pathEdit(Firmware);
    edit->clear();
    QTest::keyClicks(edit, "typed.bin");
    QCOMPARE(Probe::imagePath(rig.dialog), QString("typed.bin"));
    QCOMPARE(Probe::fileKind(rig.dialog), 2);
    rig.widget<QToolButton>("openFilePath")->click();
    QCOMPARE(edit->text(), QString("typed.bin"));

    rig.chooserCalls.clear();
    rig.nextChoice = "/data/lut.bin";
    rig.widget<QToolButton>("openCaliFilePath")->click();
    QCOMPARE(Probe::caliFilePath(rig.dialog), QString("/data/lut.bin"));
    rig.nextChoice.clear();
    rig.widget<QToolButton>("openCaliFilePath")->click();
    QCOMPARE(rig.chooserCalls.last(), QString("open file|/data/lut.bin|bin file(*.bin)"));
    QCOMPARE(Probe::caliFilePath(rig.dialog), QString("/data/lut.bin"));
    QCOMPARE(rig.pathEdit(Table)->text(), QString("/data/lut.bin"));

    rig.pathEdit(Table)->clear();
    QTest::keyClicks(rig.pathEdit(Table), "typed-lut.bin");
    rig.widget<QToolButton>("openCaliFilePath")->click();
    QCOMPARE(rig.pathEdit(Table)->text(), QString("typed-lut.bin"));
    QCOMPARE(Probe::caliFilePath(rig.dialog), QString("typed-lut.bin"));
}

void tst_DownloadDialog::ackNeedsCodeAndResultBytes_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<int>("ackCmd");
    QTest::addColumn<int>("ackResult");
    QTest::newRow("code and result") << 0x10 << hex("0B 01") << 0x0B << 1;
    QTest::newRow("extra bytes are not read") << 0x10 << hex("FF 00 07") << 0xFF << 0;
    QTest::newRow("no payload") << 0x10 << QByteArray() << -1 << -1;
    QTest::newRow("code without result") << 0x10 << hex("0B") << -1 << -1;
    QTest::newRow("another command") << 0x12 << hex("0B 01") << -1 << -1;
}

void tst_DownloadDialog::ackNeedsCodeAndResultBytes()
{
    QFETCH(int, cmd);
    QFETCH(QByteArray, payload);
    QFETCH(int, ackCmd);
    QFETCH(int, ackResult);

    DownloadDialog dialog;
    TRData pack;
    pack.cmd = quint8(cmd);
    pack.data.assign(payload.begin(), payload.end());
    Probe::recievAck(dialog, &pack);
    QCOMPARE(Probe::ackCmd(dialog), ackCmd);
    QCOMPARE(Probe::ackResult(dialog), ackResult);
}

void tst_DownloadDialog::quittingStopsTheTransferWithoutFurtherFrames_data()
{
    QTest::addColumn<int>("quitAfterFrames");
    // The start is acknowledged at once, so only the quit can stop block 0.
    QTest::newRow("during the start pause") << 1;
    // Block 1's ack comes late; without the quit, blocks 2 and 3 would follow.
    QTest::newRow("while a block awaits its ack") << 3;
}

void tst_DownloadDialog::quittingStopsTheTransferWithoutFurtherFrames()
{
    QFETCH(int, quitAfterFrames);

    QTemporaryDir dir;
    Rig rig;
    rig.peer.lateMs = 300;
    rig.peer.setReply(2, DevicePeer::Reply::Late);
    rig.peer.onFrame = [&](const TRData &) {
        if (int(rig.peer.frames.size()) == quitAfterFrames)
            QTimer::singleShot(20, qApp, [] { QCoreApplication::quit(); });
    };
    rig.pathEdit(Firmware)->setText(writeFile(dir, "fw.bin", patternImage(200)));
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::quit(); });
    guard.start(20000);
    QTimer::singleShot(0, rig.startButton(Firmware), &QAbstractButton::click);
    qApp->exec();

    QVERIFY2(guard.isActive(), "the transfer outlived the quit");
    QVERIFY(!rig.dialog.transferActive());
    QTest::qWait(400);
    QCOMPARE(int(rig.peer.frames.size()), quitAfterFrames);
    // Nobody is left to read a box.
    QVERIFY(rig.boxes.isEmpty());
    QVERIFY2(rig.status().startsWith("已取消"), qPrintable(rig.status()));
}

void tst_DownloadDialog::enterInAPathFieldStartsThatRowsTransferOnly_data()
{
    QTest::addColumn<int>("profile");
    QTest::addColumn<int>("startCode");
    QTest::newRow("firmware field") << int(Firmware) << 0x0A;
    QTest::newRow("calibration table field") << int(Table) << 0x07;
}

// Both rows hold a sendable file; Enter goes to the field, as typed.
void tst_DownloadDialog::enterInAPathFieldStartsThatRowsTransferOnly()
{
    QFETCH(int, profile);
    QFETCH(int, startCode);

    QTemporaryDir dir;
    Rig rig;
    rig.pathEdit(Firmware)->setText(writeFile(dir, "fw.bin", patternImage(100)));
    rig.pathEdit(Table)->setText(writeFile(dir, "lut.bin", patternImage(100)));
    rig.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.dialog));
    QLineEdit *edit = rig.pathEdit(Profile(profile));
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);

    QVERIFY(rig.finished());
    QVERIFY2(rig.boxes.isEmpty(), qPrintable(rig.boxes.join(';') + ' ' + rig.status()));
    QCOMPARE(rig.settledFrames(), 2 + 2);
    QCOMPARE(int(rig.peer.frames.front().cmd), startCode);
    QCOMPARE(int(rig.peer.frames.back().cmd), startCode + 2);
}

// Cancel while block 1 is on its way: that block is answered, then nothing
// more goes out, above all no end command.
void tst_DownloadDialog::cancelStopsAfterTheBlockOnItsWayAndSaysSo()
{
    QTemporaryDir dir;
    Rig rig;
    rig.pathEdit(Firmware)->setText(writeFile(dir, "fw.bin", patternImage(200)));
    bool onlyCancel = false;
    rig.peer.onFrame = [&](const TRData &) {
        if (rig.peer.frames.size() == 3) {
            onlyCancel = rig.onlyCancelEnabled();
            rig.widget<QPushButton>("cancelDownload")->click();
        }
    };
    rig.startButton(Firmware)->click();

    QVERIFY(rig.finished());
    QVERIFY(onlyCancel);
    QCOMPARE(rig.settledFrames(), 3);
    QCOMPARE(int(rig.peer.frames.back().cmd), 0x0B);
    QCOMPARE(rig.status(),
             QString("已取消: 已发送 2 / 4 块, 之后不再发送; 设备停留在下载模式, 直到重启或开始新的下载"));
    QCOMPARE(rig.boxes, QStringList { "erorr|download image error" });
    QVERIFY(rig.bar()->isHidden());
    QVERIFY(rig.controlsEnabled());
    QVERIFY(!rig.widget<QPushButton>("cancelDownload")->isEnabled());
}

QTEST_MAIN(tst_DownloadDialog)
#include "tst_downloaddialog.moc"
