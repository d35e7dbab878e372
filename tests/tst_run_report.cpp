#include "report/RunReport.h"
#include "tests/support/SampleRun.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace TestRun;

namespace {

// One step row of the HTML table: each cell's text by its class, and the
// spans of the limit cells as "bias.value", "bias.limit", "bias.outcome".
using Cells = QMap<QString, QString>;

struct ReadBack {
    QString verdict;
    QString reason;
    QList<Cells> steps;
    QStringList notRun;
    QStringList errors;
    QStringList images;
    bool wellFormed = false;
};

QString classOf(const QXmlStreamReader &xml)
{
    return xml.attributes().value(QStringLiteral("class")).toString();
}

void readRow(QXmlStreamReader &xml, const QString &rowClass, ReadBack &out)
{
    Cells cells;
    QString cell, span;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("td"))
            cell = classOf(xml);
        else if (xml.isStartElement() && xml.name() == QLatin1String("span"))
            span = cell + QLatin1Char('.') + classOf(xml);
        else if (xml.isEndElement() && xml.name() == QLatin1String("span"))
            span.clear();
        else if (xml.isCharacters() && !span.isEmpty())
            cells[span] += xml.text();
        else if (xml.isCharacters())
            cells[cell] += xml.text();
        else if (xml.isEndElement() && xml.name() == QLatin1String("tr"))
            break;
    }
    if (rowClass == QLatin1String("step"))
        out.steps << cells;
    else if (rowClass == QLatin1String("not-run"))
        out.notRun << cells.value(QStringLiteral("reference"));
    else
        out.errors << cells.value(QString());
}

ReadBack readHtml(const QByteArray &html)
{
    ReadBack out;
    QXmlStreamReader xml(html);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QString id = xml.attributes().value(QStringLiteral("id")).toString();
        if (id == QLatin1String("verdict"))
            out.verdict = xml.readElementText();
        else if (id == QLatin1String("verdict-reason"))
            out.reason = xml.readElementText();
        else if (xml.name() == QLatin1String("tr") && !classOf(xml).isEmpty())
            readRow(xml, classOf(xml), out);
        else if (xml.name() == QLatin1String("img"))
            out.images << xml.attributes().value(QStringLiteral("src")).toString();
    }
    out.wellFormed = !xml.hasError();
    return out;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Set LIDAR_REPORT_OUTPUT to a folder to keep the files for a look.
void keep(const QString &path)
{
    const QString folder = qEnvironmentVariable("LIDAR_REPORT_OUTPUT");
    if (!folder.isEmpty()) {
        const QString copy = QDir(folder).filePath(QFileInfo(path).fileName());
        QFile::remove(copy);
        QFile::copy(path, copy);
    }
}

} // namespace

class RunReportTest : public QObject {
    Q_OBJECT

private slots:
    void htmlReadsBackTheTableAndTheVerdict()
    {
        QTemporaryDir dir;
        const RunRecord record = sampleRun(4);
        const QString path = dir.filePath(QStringLiteral("report.html"));
        QString why;
        QVERIFY2(RunReport(record).writeHtml(path, &why), qPrintable(why));
        keep(path);
        const ReadBack html = readHtml(readFile(path));
        QVERIFY(html.wellFormed);
        QCOMPARE(html.verdict, QStringLiteral("FAIL"));
        QCOMPARE(html.reason, QStringLiteral("step 2 at 750 mm failed: standard deviation."));
        QCOMPARE(html.steps.size(), 4);

        const Cells first = html.steps[0];
        QCOMPARE(first["index"], QStringLiteral("1"));
        QCOMPARE(first["reference"], QStringLiteral("500"));
        QCOMPARE(first["frames"], QStringLiteral("500 / 500"));
        QCOMPARE(first["mean"], QStringLiteral("501.250"));
        QCOMPARE(first["min"], QStringLiteral("492"));
        QCOMPARE(first["median"], QStringLiteral("501.5"));
        QCOMPARE(first["bias.value"], QStringLiteral("1.250"));
        QCOMPARE(first["bias.limit"], QStringLiteral("\u00b125"));
        QCOMPARE(first["bias.outcome"], QStringLiteral("PASS"));
        QCOMPARE(first["std.limit"], QStringLiteral("\u2264\u00a015"));
        QCOMPARE(first["blanked.value"], QStringLiteral("0.00"));
        QCOMPARE(first["blanked.outcome"], QStringLiteral("not checked"));
        QVERIFY(!first.contains("blanked.limit"));
        QCOMPARE(first["rate.limit"], QStringLiteral("\u2265\u00a050"));
        QCOMPARE(first["verdict"], QStringLiteral("PASS"));

        const Cells second = html.steps[1];
        QCOMPARE(second["frames"], QStringLiteral("499 / 500"));
        QCOMPARE(second["bias.limit"], QStringLiteral("\u00b127.5"));
        QCOMPARE(second["std.value"], QStringLiteral("5.750"));
        QCOMPARE(second["std.limit"], QStringLiteral("\u2264\u00a05"));
        QCOMPARE(second["std.outcome"], QStringLiteral("FAIL"));
        QCOMPARE(second["verdict"], QStringLiteral("FAIL"));
        QCOMPARE(html.steps[3]["bias.value"], QStringLiteral("5.000"));
        QVERIFY(html.notRun.isEmpty());
    }

    void figuresAreInlinePictures()
    {
        const ReadBack html = readHtml(RunReport(sampleRun(3)).html().toUtf8());
        QCOMPARE(html.images.size(), 2);
        for (const QString &src : html.images) {
            const QString prefix = QStringLiteral("data:image/png;base64,");
            QVERIFY(src.startsWith(prefix));
            const QImage image = QImage::fromData(QByteArray::fromBase64(src.mid(prefix.size()).toLatin1()), "PNG");
            QCOMPARE(image.size(), QSize(1440, 600));
        }
    }

    void incompleteRunNamesTheErrorAndTheStepsNotRun()
    {
        RunRecord record = sampleRun(4);
        record.steps.resize(2);
        record.steps[1].error = QStringLiteral("link lost <ttyUSB0>");
        evaluateStep(record.steps[1]);
        record.verdict = runVerdict(record.steps, 4);
        const ReadBack html = readHtml(RunReport(record).html().toUtf8());
        QVERIFY(html.wellFormed);
        QCOMPARE(html.verdict, QStringLiteral("INCOMPLETE"));
        QCOMPARE(html.reason, QStringLiteral("step 2 at 750 mm did not finish: link lost <ttyUSB0>; 2 of 4 planned steps run."));
        QCOMPARE(html.steps[1]["verdict"], QStringLiteral("INCOMPLETE"));
        QCOMPARE(html.errors, QStringList{QStringLiteral("Step 2: link lost <ttyUSB0>")});
        QCOMPARE(html.notRun, (QStringList{QStringLiteral("1000"), QStringLiteral("1250")}));
    }

    void linearityIsShownOrSaysWhyNot()
    {
        const QString fitted = RunReport(sampleRun(4)).html();
        QVERIFY(fitted.contains(QStringLiteral("<th align=\"left\">Slope</th><td>1.005000</td>")));
        QVERIFY(fitted.contains(QStringLiteral("<th align=\"left\">Offset (mm)</th><td>-1.250</td>")));
        QVERIFY(RunReport(sampleRun(1)).html().contains(QStringLiteral("Not computed: fewer than two steps have figures.")));
    }

    // pdftotext and pdftoppm read the file as any viewer would.
    void pdfHoldsTheVerdictAndRendersAPage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        QString why;
        QVERIFY2(RunReport(sampleRun(4)).writePdf(path, &why), qPrintable(why));
        keep(path);
        QVERIFY(readFile(path).startsWith("%PDF-"));
        const QString text = run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        for (const char *expected : {"Accuracy report", "FAIL", "0033002b3538510c20363733", "not checked", "5.750",
                                     "Linearity", "4294967295", "page 1 of 2"})
            QVERIFY2(text.contains(QLatin1String(expected)), qPrintable(QStringLiteral("%1 missing in:\n%2").arg(expected, text)));

        const QString prefix = dir.filePath(QStringLiteral("page"));
        run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-f"),
                                         QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                         QStringLiteral("-singlefile"), path, prefix});
        const QImage page(prefix + QStringLiteral(".png"));
        QVERIFY(!page.isNull());
        QVERIFY(page.height() > page.width()); // A4 portrait
        keep(prefix + QStringLiteral(".png"));
        int red = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                red += c.red() > 150 && c.green() < 90 && c.blue() < 90 ? 1 : 0;
            }
        QVERIFY2(red > 50, "the large red FAIL should be on the first page");
    }

    void writersFailCleanly()
    {
        QTemporaryDir dir;
        const RunReport report(sampleRun(2));
        QString why;
        for (const QString &name : {QStringLiteral("none/report.html"), QStringLiteral("none/report.pdf")}) {
            why.clear();
            QVERIFY(!report.write(dir.filePath(name), &why));
            QVERIFY2(why.contains(name), qPrintable(why));
        }
        QVERIFY(!report.write(dir.filePath(QStringLiteral("report.txt")), &why));
        QVERIFY(why.contains(QStringLiteral("report.txt")));
        QVERIFY(QDir(dir.path()).isEmpty());

        // A failed write leaves an earlier report of that name as it was.
        const QString folderNamedLikeAReport = dir.filePath(QStringLiteral("old.html"));
        QVERIFY(QDir().mkdir(folderNamedLikeAReport));
        QVERIFY(!report.writeHtml(folderNamedLikeAReport, &why));
        QVERIFY(QFileInfo(folderNamedLikeAReport).isDir());
    }

    void baseNameIsSafeForFiles()
    {
        RunRecord record = sampleRun(1);
        QCOMPARE(RunReport::baseName(record), QStringLiteral("accuracy-0033002b3538510c20363733-20261207T193129Z"));
        record.unit.unitId = QStringLiteral("../x y");
        QCOMPARE(RunReport::baseName(record), QStringLiteral("accuracy-___x_y-20261207T193129Z"));
    }
};

QTEST_MAIN(RunReportTest)
#include "tst_run_report.moc"
