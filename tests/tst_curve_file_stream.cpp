#include "curve/CurveStore.h"
#include "curve/CurveStoreFile.h"
#include "files/CurveFile.h"
#include "files/CurveTextStream.h"
#include "files/CurveTextWriter.h"

#include <QtTest>

#include <memory>

namespace {

class CollectingSink : public CurveTextStream::Sink {
public:
    bool beginCurve() override
    {
        curves.append(QVector<double>());
        return true;
    }
    bool addValue(double value) override
    {
        curves.last().append(value);
        return true;
    }
    CurveFile::Curves curves;
};

CurveFile::Curves streamed(const QByteArray &text, qint64 pieceBytes)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    CollectingSink sink;
    if (CurveTextStream::read(&buffer, &sink, pieceBytes) != CurveTextStream::Outcome::Finished)
        return CurveFile::Curves{QVector<double>{-1.0}};
    return sink.curves;
}

QString writeFile(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath(QStringLiteral("curve.cur"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(text);
    return path;
}

std::vector<double> valuesOf(const CurveStore &curve)
{
    std::vector<double> v(std::size_t(curve.size()));
    curve.read(0, curve.size(), v.data());
    return v;
}

} // namespace

class CurveFileStreamTest : public QObject {
    Q_OBJECT

private slots:
    void streamFindsWhatTheWholeTextReaderFinds_data();
    void streamFindsWhatTheWholeTextReaderFinds();
    void recordingOfALongRunIsWrittenAndReadBackWhole();
    void playbackPastTheCapsIsRefused_data();
    void playbackPastTheCapsIsRefused();
    void playbackOfWhatIsNoRegularFileIsRefused();
};

void CurveFileStreamTest::streamFindsWhatTheWholeTextReaderFinds_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("two curves, the second empty") << QByteArray("1523,1524.5,0.25,\n\n");
    QTest::newRow("CR LF line ends") << QByteArray("1,2,\r\n3,\r\n");
    QTest::newRow("CR inside a number") << QByteArray("12\r3,4\r,\r\n");
    QTest::newRow("blank and CR-only lines") << QByteArray("\n\r\n\n5,\n\r\r\n6,\n");
    QTest::newRow("parts that do not convert") << QByteArray("abc,1,,x2,-3,\nzz\n,,,\n");
    QTest::newRow("no final line end") << QByteArray("1,2");
    QTest::newRow("exponents and blanks") << QByteArray("1.23457e+06, 1e-05 ,-0,inf,\n");
    QTest::newRow("long integers") << QByteArray("123456789012345,1234567890123456789,\n");
    QTest::newRow("part longer than any number") << QByteArray(70000, '0') + "1.5,8,\n";
    QTest::newRow("empty") << QByteArray();
}

// Whatever the piece size, a part or line split between two pieces reads
// as if whole.
void CurveFileStreamTest::streamFindsWhatTheWholeTextReaderFinds()
{
    QFETCH(QByteArray, text);
    CurveFile::Curves whole;
    QVERIFY(CurveFile::parseCurves(text, &whole));
    if (text.size() > CurveTextStream::kMaxPartChars) // skipped, not held: the one difference
        whole[0].removeFirst();
    for (qint64 piece : {qint64(1), qint64(2), qint64(3), qint64(7), CurveTextStream::kPieceBytes})
        QCOMPARE(streamed(text, piece), whole);
}

void CurveFileStreamTest::recordingOfALongRunIsWrittenAndReadBackWhole()
{
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStore live(spill, 10), empty(spill, 10), played(spill, 10);
    QByteArray expected;
    for (int i = 0; i < 300000; ++i) {
        // Runs of ten equal values, as the refresh appends them.
        const double v = 1500 + (i / 10) % 301 - 150;
        live.append(v, qint64(i) * 3000000);
        expected += CurveFile::formatValue(v).toLatin1() + ',';
    }
    expected += "\n\n";
    for (double v : {1.5e6, -0.001, 1523.1})
        played.append(v);
    expected += "1.5e+06,-0.001,1523.1,\n";
    QVERIFY(live.spilledChunks() > 200);

    const QString path = dir.filePath(QStringLiteral("run.cur"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
    CurveTextWriter writer(&file);
    QVERIFY(CurveStoreFile::write({&live, &empty, &played}, &writer));
    QVERIFY(writer.finish());
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expected);

    // Played back: the empty line makes no curve, as the whole-text way has it.
    CurveStoreFile::Curves back;
    QVERIFY(CurveStoreFile::load(path, spill, &back, CurveStoreFile::kMaxPoints, CurveStoreFile::kMaxCurves, 10));
    QCOMPARE(back.size(), std::size_t(2));
    QCOMPARE(valuesOf(*back[0]), valuesOf(live));
    QCOMPARE(valuesOf(*back[1]), valuesOf(played));
    QVERIFY(!back[0]->hasTimes());
}

void CurveFileStreamTest::playbackPastTheCapsIsRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("taken");
    QByteArray thousand;
    for (int i = 0; i < 1000; ++i)
        thousand += QByteArray::number(i) + ',';
    QTest::newRow("values at the cap") << thousand + "\n" << true;
    QTest::newRow("one value past it") << thousand + "\n1,\n" << false;
    QTest::newRow("curves at the cap") << QByteArray("1,\n2,\n3,\n") << true;
    QTest::newRow("one curve past it") << QByteArray("1,\n2,\n3,\nx\n") << false;
}

void CurveFileStreamTest::playbackPastTheCapsIsRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStoreFile::Curves curves;
    curves.push_back(std::make_unique<CurveStore>(spill));
    curves[0]->append(42);
    QCOMPARE(CurveStoreFile::load(writeFile(dir, text), spill, &curves, 1000, 3), taken);
    if (!taken) {
        QCOMPARE(curves.size(), std::size_t(1));
        QCOMPARE(curves[0]->value(0), 42.0);
    }
}

void CurveFileStreamTest::playbackOfWhatIsNoRegularFileIsRefused()
{
    QTemporaryDir dir;
    auto spill = std::make_shared<SpillFile>(dir.path());
    CurveStoreFile::Curves curves;
    QVERIFY(!CurveStoreFile::load(dir.path(), spill, &curves));
    QVERIFY(!CurveStoreFile::load(dir.filePath(QStringLiteral("missing.cur")), spill, &curves));
#ifdef Q_OS_UNIX
    QVERIFY(!CurveStoreFile::load(QStringLiteral("/dev/zero"), spill, &curves));
#endif
}

QTEST_GUILESS_MAIN(CurveFileStreamTest)
#include "tst_curve_file_stream.moc"
