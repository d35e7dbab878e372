#include "files/CurveFile.h"
#include "files/CurveTextReader.h"
#include "files/CurveTextWriter.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using Curves = QVector<QVector<double>>;
Q_DECLARE_METATYPE(Curves)

namespace {
Curves readAll(const QByteArray &text)
{
    Curves curves;
    CurveTextReader reader(text);
    QVector<double> values;
    while (reader.nextCurve(&values))
        curves.append(values);
    return curves;
}

// Accepts only the first `limit` bytes, as a full disk does: past them a
// write either fails or takes only what still fits (a short write).
class LimitedDevice : public QIODevice {
public:
    enum Overflow { Fails, TakesWhatFits };
    explicit LimitedDevice(qint64 limit, Overflow overflow = Fails) : limit(limit), overflow(overflow)
    {
        open(QIODevice::WriteOnly);
    }
    QVector<qint64> writes;
    QByteArray written;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        writes.append(len);
        if (written.size() + len > limit) {
            if (overflow == Fails)
                return -1;
            len = limit - written.size();
        }
        written.append(data, int(len));
        return len;
    }

private:
    qint64 limit;
    Overflow overflow;
};
} // namespace

class tst_CurveFileFormat : public QObject {
    Q_OBJECT
private slots:
    void valuesAreFormattedLikeArgWhateverTheLocale_data();
    void valuesAreFormattedLikeArgWhateverTheLocale();
    void writerStreamsInBoundedPiecesAndReportsAFailedOrShortWrite();
    void readerTurnsLinesIntoCurves_data();
    void readerTurnsLinesIntoCurves();
    void integersReadLikeQStringToDouble_data();
    void integersReadLikeQStringToDouble();
    void playbackTakesInAtMostTheBoundedCurvesAndValues();
    void savedNameGetsTheExtensionOnlyWithoutASuffix_data();
    void savedNameGetsTheExtensionOnlyWithoutASuffix();
    void rememberedPathDropsEveryExtensionOccurrence_data();
    void rememberedPathDropsEveryExtensionOccurrence();
    void playbackColoursCycleThroughVisibleColours_data();
    void playbackColoursCycleThroughVisibleColours();
    void regularFilesAreReadWhole();

private:
    QTemporaryDir dir;
};

void tst_CurveFileFormat::valuesAreFormattedLikeArgWhateverTheLocale_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer") << 1523.0 << "1523";
    QTest::newRow("half") << 1524.5 << "1524.5";
    QTest::newRow("fraction") << 0.25 << "0.25";
    QTest::newRow("six digits kept") << 123456.0 << "123456";
    QTest::newRow("large to exponent") << 1234567.0 << "1.23457e+06";
    QTest::newRow("small to exponent") << 0.00001 << "1e-05";
    QTest::newRow("small still plain") << 0.0001 << "0.0001";
    QTest::newRow("rounded to six") << 1.0 / 3.0 << "0.333333";
    QTest::newRow("negative") << -32768.0 << "-32768";
    QTest::newRow("zero") << 0.0 << "0";
}

void tst_CurveFileFormat::valuesAreFormattedLikeArgWhateverTheLocale()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString formatted = CurveFile::formatValue(value);
    const QString viaArg = QStringLiteral("%1").arg(value);
    QLocale::setDefault(saved);
    QCOMPARE(formatted, text);
    QCOMPARE(formatted, viaArg);
}

void tst_CurveFileFormat::writerStreamsInBoundedPiecesAndReportsAFailedOrShortWrite()
{
    const int count = 20000;
    LimitedDevice roomy(1 << 30);
    CurveTextWriter writer(&roomy);
    for (int i = 0; i < count; ++i)
        writer.addValue(1234567.0 + i);
    writer.endCurve();
    QVERIFY(writer.finish());
    QVERIFY(roomy.writes.size() > 10);
    for (qint64 piece : roomy.writes)
        QVERIFY2(piece <= CurveTextWriter::kChunkChars + 16, qPrintable(QString::number(piece)));
    QCOMPARE(readAll(roomy.written).value(0).size(), count);

    for (LimitedDevice::Overflow overflow : {LimitedDevice::Fails, LimitedDevice::TakesWhatFits}) {
        LimitedDevice full(10000, overflow);
        CurveTextWriter failing(&full);
        for (int i = 0; i < count; ++i)
            failing.addValue(i);
        failing.endCurve();
        QVERIFY2(!failing.finish(), overflow == LimitedDevice::Fails ? "failed write" : "short write");
    }
}

void tst_CurveFileFormat::readerTurnsLinesIntoCurves_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Curves>("curves");
    QTest::newRow("recorded example") << QByteArray("1523,1524.5,0.25,\n\n") << Curves{{1523, 1524.5, 0.25}};
    QTest::newRow("empty curve shifts later ones down")
        << QByteArray("1,2,\n\n3,\n") << Curves{{1, 2}, {3}};
    QTest::newRow("CR LF line ends") << QByteArray("1,2,\r\n\r\n3,\r\n") << Curves{{1, 2}, {3}};
    QTest::newRow("CRs anywhere in a line are dropped")
        << QByteArray("1,2\r3,\r4\r,\r\n\r\r\n5") << Curves{{1, 23, 4}, {5}};
    QTest::newRow("no final line end, no trailing comma") << QByteArray("4,5") << Curves{{4, 5}};
    QTest::newRow("exponent forms") << QByteArray("1.23457e+06,1e-05,-2.5E3,\n")
                                    << Curves{{1234570, 0.00001, -2500}};
    QTest::newRow("blanks around numbers") << QByteArray(" 7 ,\t8,\n") << Curves{{7, 8}};
    QTest::newRow("unparsable parts use no key")
        << QByteArray("1,x,,2;3,1.5.2,4,\n") << Curves{{1, 4}};
    QTest::newRow("line without a number stays a curve") << QByteArray("a,b,\n5,\n") << Curves{{}, {5}};
    QTest::newRow("locale separators are not numbers") << QByteArray("1 000,2\xc2\xa0""5,\n") << Curves{{}};
    QTest::newRow("only blank lines") << QByteArray("\n\r\n\n") << Curves{};
    QTest::newRow("empty text") << QByteArray() << Curves{};
}

void tst_CurveFileFormat::readerTurnsLinesIntoCurves()
{
    QFETCH(QByteArray, text);
    QFETCH(Curves, curves);
    QCOMPARE(readAll(text), curves);
}

void tst_CurveFileFormat::integersReadLikeQStringToDouble_data()
{
    QTest::addColumn<QByteArray>("part");
    for (const char *part : {"0", "-0", "007", "-1523", "123456789012345", "-999999999999999",
                             "1234567890123456", "9007199254740993", "-", "--1", "+5", "1-", "12a", "1 2"})
        QTest::newRow(part) << QByteArray(part);
}

// Plain integers take a quicker road than other numbers; it must end in the
// same value, bit for bit (the sign of zero included), or in the same refusal.
void tst_CurveFileFormat::integersReadLikeQStringToDouble()
{
    QFETCH(QByteArray, part);
    bool ok = false;
    const double expected = QString::fromLatin1(part).toDouble(&ok);
    const Curves curves = readAll(part + ',');
    QCOMPARE(curves.size(), 1);
    QCOMPARE(curves[0].size(), ok ? 1 : 0);
    if (ok)
        QVERIFY(std::memcmp(&curves[0][0], &expected, sizeof expected) == 0);
}

// The bounds hold for the whole file: the values of all lines together,
// blank lines making no curve.
void tst_CurveFileFormat::playbackTakesInAtMostTheBoundedCurvesAndValues()
{
    const CurveFile::Curves before{{42}};
    CurveFile::Curves curves = before;

    QByteArray values = QByteArray("1,").repeated(CurveFile::kMaxPoints - 1);
    QVERIFY(CurveFile::parseCurves(values + "\n2,", &curves));
    QCOMPARE(curves.size(), 2);
    QCOMPARE(curves[0].size() + curves[1].size(), CurveFile::kMaxPoints);
    QCOMPARE(curves[1], QVector<double>{2});
    curves = before;
    QVERIFY(!CurveFile::parseCurves(values + "\n2,3,", &curves));
    QCOMPARE(curves, before);
    values = {};

    const QByteArray lines = "\n\n" + QByteArray("x,\n\r\n").repeated(CurveFile::kMaxCurves);
    QVERIFY(CurveFile::parseCurves(lines, &curves));
    QCOMPARE(curves.size(), CurveFile::kMaxCurves);
    curves = before;
    QVERIFY(!CurveFile::parseCurves(lines + "5", &curves));
    QCOMPARE(curves, before);
}

void tst_CurveFileFormat::savedNameGetsTheExtensionOnlyWithoutASuffix_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no suffix") << "/d/run1" << ".cur" << "/d/run1.cur";
    QTest::newRow("own suffix kept") << "/d/run1.cur" << ".cur" << "/d/run1.cur";
    QTest::newRow("other suffix kept") << "/d/run1.txt" << ".cur" << "/d/run1.txt";
    QTest::newRow("suffix case kept") << "/d/run1.CUR" << ".cur" << "/d/run1.CUR";
    QTest::newRow("dot in a folder only") << "/d/old.cur/run1" << ".cur" << "/d/old.cur/run1.cur";
    QTest::newRow("trailing dot") << "/d/run1." << ".cur" << "/d/run1.cur";
    QTest::newRow("picture") << "shot" << ".png" << "shot.png";
    QTest::newRow("picture with suffix") << "shot.jpg" << ".png" << "shot.jpg";
}

void tst_CurveFileFormat::savedNameGetsTheExtensionOnlyWithoutASuffix()
{
    QFETCH(QString, chosen);
    QFETCH(QString, extension);
    QTEST(CurveFile::withDefaultSuffix(chosen, extension), "saved");
}

void tst_CurveFileFormat::rememberedPathDropsEveryExtensionOccurrence_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("remembered");
    QTest::newRow("extension") << "/d/run.cur" << ".cur" << "/d/run";
    QTest::newRow("no extension") << "/d/run" << ".cur" << "/d/run";
    QTest::newRow("folder name too") << "/d/old.cur/run.cur" << ".cur" << "/d/old/run";
    QTest::newRow("case-sensitive") << "/d/run.CUR" << ".cur" << "/d/run.CUR";
    QTest::newRow("picture") << "/d/shot.png" << ".png" << "/d/shot";
    QTest::newRow("picture keeps .cur") << "/d/a.cur/shot.png" << ".png" << "/d/a.cur/shot";
}

void tst_CurveFileFormat::rememberedPathDropsEveryExtensionOccurrence()
{
    QFETCH(QString, chosen);
    QFETCH(QString, extension);
    QFETCH(QString, remembered);
    QCOMPARE(CurveFile::rememberedPath(chosen, extension), remembered);
}

void tst_CurveFileFormat::playbackColoursCycleThroughVisibleColours_data()
{
    QTest::addColumn<int>("curve");
    QTest::addColumn<int>("colour");
    QTest::newRow("first") << 0 << int(Qt::red);
    QTest::newRow("second") << 1 << int(Qt::green);
    QTest::newRow("twelfth") << 11 << int(Qt::darkYellow);
    QTest::newRow("thirteenth") << 12 << int(Qt::transparent);
    QTest::newRow("wraps to red") << 13 << int(Qt::red);
    QTest::newRow("last of cycle") << 24 << int(Qt::darkYellow);
    QTest::newRow("second cycle") << 25 << int(Qt::red);
    QTest::newRow("far") << 1000 << int(Qt::red) + (1000 - 13) % 12;
}

void tst_CurveFileFormat::playbackColoursCycleThroughVisibleColours()
{
    QFETCH(int, curve);
    QFETCH(int, colour);
    QCOMPARE(int(CurveFile::playbackColour(curve)), colour);
}

void tst_CurveFileFormat::regularFilesAreReadWhole()
{
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("big.cur");
    QByteArray content;
    for (int i = 0; i < 50000; ++i)
        content += QByteArray::number(i) + ',';
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QByteArray got;
    QVERIFY(CurveFile::readWhole(path, &got));
    QCOMPARE(got, content);

    QFile::resize(path, 0);
    got = "stale";
    QVERIFY(CurveFile::readWhole(path, &got));
    QVERIFY(got.isEmpty());
}

QTEST_GUILESS_MAIN(tst_CurveFileFormat)
#include "tst_curve_file_format.moc"
