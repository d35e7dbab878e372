#include "download/DownloadPayload.h"
#include "download/ImageFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {
QByteArray hex(const char *text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }
} // namespace

class tst_DownloadPayload : public QObject {
    Q_OBJECT
private slots:
    void tagFieldIsZeroFilledAndOnlyForShortTags_data();
    void tagFieldIsZeroFilledAndOnlyForShortTags();
    void offsetsWrapAtSixteenBits();
    void imageFileReadsRegularFilesWhole_data();
    void imageFileReadsRegularFilesWhole();
    void imageFileRefusesWhatIsNotAPlainFile_data();
    void imageFileRefusesWhatIsNotAPlainFile();
};

void tst_DownloadPayload::tagFieldIsZeroFilledAndOnlyForShortTags_data()
{
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("tag alone") << QByteArray("lut start") << QByteArray()
                               << hex("6C 75 74 20 73 74 61 72 74 00 00 00 00 00 00 00");
    QTest::newRow("tag and block bytes")
        << QByteArray("downloading") << hex("01 02 03 04")
        << hex("64 6F 77 6E 6C 6F 61 64 69 6E 67 00 00 00 00 00 01 02 03 04");
    QTest::newRow("fifteen characters still leave the zero")
        << QByteArray("abcdefghijklmno") << hex("FF")
        << hex("61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F 00 FF");
    QTest::newRow("sixteen characters are not sent") << QByteArray("abcdefghijklmnop") << hex("01 02")
                                                     << hex("01 02");
    QTest::newRow("no tag") << QByteArray() << hex("AA BB") << hex("AA BB");
}

void tst_DownloadPayload::tagFieldIsZeroFilledAndOnlyForShortTags()
{
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    const char *tagText = tag.isNull() ? nullptr : tag.constData();
    const auto *bytes = reinterpret_cast<const quint8 *>(data.constData());
    QCOMPARE(DownloadPayload::tagged(tagText, bytes, data.size()), expected);
}

void tst_DownloadPayload::offsetsWrapAtSixteenBits()
{
    QCOMPARE(DownloadPayload::blockOffset(1023, 64), quint16(0xFFC0));
    QCOMPARE(DownloadPayload::blockOffset(1024, 64), quint16(0));
    QCOMPARE(DownloadPayload::blockOffset(1025, 64), quint16(64));
    QCOMPARE(DownloadPayload::taggedValue("complete", 2),
             hex("63 6F 6D 70 6C 65 74 65 00 00 00 00 00 00 00 00 02 00 00 00"));
}

void tst_DownloadPayload::imageFileReadsRegularFilesWhole_data()
{
    QTest::addColumn<qint64>("size");
    QTest::newRow("empty") << qint64(0);
    QTest::newRow("odd size") << qint64(65);
    QTest::newRow("beyond one read chunk") << qint64(3 * 1024 * 1024 + 5);
    QTest::newRow("exactly the cap") << ImageFile::kMaxBytes;
}

void tst_DownloadPayload::imageFileReadsRegularFilesWhole()
{
    QFETCH(qint64, size);
    QTemporaryDir dir;
    const QString path = dir.filePath("image.bin");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
    if (size > 0) {
        QVERIFY(file.seek(size - 1));
        file.putChar('\x5A');
    }
    file.close();

    QByteArray bytes("old");
    QVERIFY(ImageFile::read(path, bytes));
    QCOMPARE(qint64(bytes.size()), size);
    if (size > 0)
        QCOMPARE(bytes.at(int(size - 1)), '\x5A');
}

void tst_DownloadPayload::imageFileRefusesWhatIsNotAPlainFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << "missing";
    QTest::newRow("empty path") << "empty";
    QTest::newRow("folder") << "folder";
    QTest::newRow("fifo without a writer") << "fifo";
    QTest::newRow("endless device") << "device";
    QTest::newRow("one byte over the cap") << "oversized";
}

void tst_DownloadPayload::imageFileRefusesWhatIsNotAPlainFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString path = dir.filePath("image.bin");
    if (kind == "empty") {
        path.clear();
    } else if (kind == "folder") {
        path = dir.path();
    } else if (kind == "fifo") {
        QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    } else if (kind == "device") {
        path = "/dev/zero";
    } else if (kind == "oversized") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(ImageFile::kMaxBytes + 1));
    }

    QByteArray bytes("old");
    QVERIFY(!ImageFile::read(path, bytes));
    QCOMPARE(bytes, QByteArray("old"));
}

QTEST_GUILESS_MAIN(tst_DownloadPayload)
#include "tst_downloadpayload.moc"
