#include "report/LotSummary.h"
#include "report/RunReport.h"
#include "tests/support/SampleRun.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestRun;

namespace {

const QString kHeader3 = QStringLiteral("time,unit_id,plan,verdict,step1_500mm_bias_mm,step1_500mm_std_mm,"
                                        "step2_750mm_bias_mm,step2_750mm_std_mm,step3_1000mm_bias_mm,step3_1000mm_std_mm");
const QString kRow3 = QStringLiteral("2026-12-07T19:31:29Z,0033002b3538510c20363733,Accuracy 0.5-4 m,FAIL,"
                                     "1.250,2.000,2.500,5.750,3.750,2.500");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class LotSummaryTest : public QObject {
    Q_OBJECT

private slots:
    void newFileGetsTheHeaderThenOneRowPerRun()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("results.csv"));
        QString why;
        QCOMPARE(LotSummary::append(path, sampleRun(3), &why), path);
        QCOMPARE(LotSummary::append(path, sampleRun(3), &why), path);
        QCOMPARE(QString::fromUtf8(readFile(path)), kHeader3 + "\n" + kRow3 + "\n" + kRow3 + "\n");
    }

    void stepsWithoutFiguresLeaveTheirCellsEmpty()
    {
        RunRecord record = sampleRun(3);
        record.planName = QStringLiteral("Lot \"7\", bench 2");
        record.steps.resize(2);
        record.steps[1].error = QStringLiteral("command failed");
        record.steps[0].framesKept = 1;
        record.verdict = runVerdict(record.steps, 3);
        QCOMPARE(LotSummary::row(record),
                 QStringLiteral("2026-12-07T19:31:29Z,0033002b3538510c20363733,\"Lot \"\"7\"\", bench 2\",INCOMPLETE,"
                                "1.250,,,,,"));
    }

    void anotherPlansFileIsLeftAloneAndTheRowGoesBesideIt()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("results.csv"));
        QString why;
        QCOMPARE(LotSummary::append(path, sampleRun(2), &why), path);
        const QByteArray twoSteps = readFile(path);

        const QString beside = dir.filePath(QStringLiteral("results-2.csv"));
        QCOMPARE(LotSummary::append(path, sampleRun(3), &why), beside);
        QCOMPARE(LotSummary::append(path, sampleRun(3), &why), beside);
        QCOMPARE(readFile(path), twoSteps);
        QCOMPARE(QString::fromUtf8(readFile(beside)), kHeader3 + "\n" + kRow3 + "\n" + kRow3 + "\n");
        QCOMPARE(LotSummary::append(path, sampleRun(2), &why), path);
    }

    void rowCutShortByACrashIsEndedBeforeTheNext()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("results.csv"));
        writeFile(path, "\xEF\xBB\xBF" + kHeader3.toUtf8() + "\r\n2026-12-07T10:00:00Z,00");
        QString why;
        QCOMPARE(LotSummary::append(path, sampleRun(3), &why), path);
        QVERIFY(readFile(path).endsWith("\r\n2026-12-07T10:00:00Z,00\n" + kRow3.toUtf8() + "\n"));
    }

    void unwritableFileSaysWhy()
    {
        QTemporaryDir dir;
        QString why;
        QVERIFY(LotSummary::append(dir.filePath(QStringLiteral("none/results.csv")), sampleRun(1), &why).isEmpty());
        QVERIFY2(why.contains(QStringLiteral("none/results.csv")), qPrintable(why));
    }

    void fileNameComesFromTheSettings()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        QCOMPARE(LotSummary::pathFromSettings(settings), QStringLiteral("results.csv"));
        settings.setValue(QStringLiteral("ResultsCsv"), QStringLiteral("lot-42.csv"));
        QCOMPARE(LotSummary::pathFromSettings(settings), QStringLiteral("lot-42.csv"));
    }

    // Without a QGuiApplication no text can be drawn: the writer says so
    // instead of crashing. This test runs without one.
    void reportWithoutAGuiApplicationFailsWithAReason()
    {
        QTemporaryDir dir;
        QString why;
        QVERIFY(!RunReport(sampleRun(2)).write(dir.filePath(QStringLiteral("r.pdf")), &why));
        QVERIFY(why.contains(QStringLiteral("QGuiApplication")));
        QVERIFY(!RunReport(sampleRun(2)).writeHtml(dir.filePath(QStringLiteral("r.html")), &why));
        QVERIFY(QDir(dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(LotSummaryTest)
#include "tst_lot_summary.moc"
