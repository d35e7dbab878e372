#include "app/ResultsWindow.h"
#include "app/UnitTrendPlot.h"
#include "results/RunRecorder.h"
#include "tests/support/SampleRun.h"
#include "widgets/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace TestRun;

// The results window over a real SQLite file written as a run writes it.
class tst_ResultsWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void nothingToShowIsSaidOnALineNotInABox_data();
    void nothingToShowIsSaidOnALineNotInABox();
    void filtersSelectTheRuns_data();
    void filtersSelectTheRuns();
    void selectionIsExportedStepByStep();
    void reportIsMadeFromTheStoredRunAndOpened();
    void trendShowsTheUnitsBiasPerReference();

private:
    QTableWidget *table() const { return window->findChild<QTableWidget *>(QStringLiteral("runsTable")); }
    QString statusText() const { return window->findChild<QLabel *>(QStringLiteral("statusLine"))->text(); }
    void click(const char *name) { window->findChild<QPushButton *>(QLatin1String(name))->click(); }
    void openWindow(const QString &database);

    QTemporaryDir dir;
    QString database;
    QList<qint64> ids; // r1..r4 as stored
    QList<QDateTime> starts;
    TestRunSettings settings;
    QScopedPointer<ResultsWindow> window;
    QStringList criticals;
    QList<QUrl> opened;
    QString chosenFile;
};

namespace {

const QString kUnitOne = QStringLiteral("0033002b3538510c20363733");
// Reads "12345" in the main window's id text, as another unit could.
const QString kUnitTwo = QStringLiteral("000000010000002300000045");

// Stores the run step by step as the runner does; unfinished runs stay INCOMPLETE.
qint64 store(const QString &file, RunRecord run, bool finish)
{
    const auto where = ResultsLocation::sqliteFile(file);
    RunRecorder recorder(where, where);
    const std::vector<StepResult> steps = run.steps;
    run.steps.clear();
    if (!recorder.start(run))
        return 0;
    for (const StepResult &step : steps) {
        if (!recorder.storeStep(run, step))
            return 0;
        run.steps.push_back(step);
    }
    if (finish && !recorder.finish(run))
        return 0;
    return run.runId;
}

RunRecord runOf(const QString &unit, const QDateTime &start, double extraBias, bool allPass)
{
    RunRecord run = sampleRun(3);
    run.unit.unitId = unit;
    run.startedUtc = start;
    run.finishedUtc = start.addSecs(180);
    for (StepResult &s : run.steps) {
        s.biasMm += extraBias;
        s.meanMm += extraBias;
        if (allPass)
            s.limits.stdMm = 15;
        evaluateStep(s);
    }
    run.verdict = runVerdict(run.steps, run.steps.size());
    return run;
}

QDate localDay(const QDateTime &utc)
{
    return utc.toLocalTime().date();
}

} // namespace

void tst_ResultsWindow::initTestCase()
{
    QVERIFY(dir.isValid());
    database = dir.filePath(QStringLiteral("results.sqlite"));
    const QDateTime base(QDate(2024, 3, 1), QTime(10, 0), Qt::UTC);
    starts = {base, base.addDays(4), base.addDays(9), base.addDays(11)};
    ids << store(database, runOf(kUnitOne, starts[0], 0, false), true)  // FAIL
        << store(database, runOf(kUnitOne, starts[1], 2, true), true)   // PASS
        << store(database, runOf(kUnitTwo, starts[2], 0, true), false)  // never finished
        << store(database, runOf(kUnitTwo, starts[3], -1, true), true); // PASS
    QVERIFY(!ids.contains(0));
}

void tst_ResultsWindow::init()
{
    criticals.clear();
    opened.clear();
    UserPrompts::setCriticalBox([this](QWidget *, const QString &, const QString &text) { criticals << text; });
    UserPrompts::setSaveFileChooser([this](QWidget *, const QString &, const QString &, const QString &) { return chosenFile; });
    openWindow(database);
}

void tst_ResultsWindow::cleanup()
{
    window.reset();
    UserPrompts::setCriticalBox({});
    UserPrompts::setSaveFileChooser({});
}

void tst_ResultsWindow::openWindow(const QString &location)
{
    window.reset();
    {
        QSettings ini(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("ResultsDatabase"), location);
        ini.setValue(QStringLiteral("ResultsCsv"), dir.filePath(QStringLiteral("results.csv")));
        settings.read(ini);
    }
    window.reset(new ResultsWindow(settings));
    window->setUrlOpener([this](const QUrl &url) {
        opened << url;
        return true;
    });
    window->show();
}

void tst_ResultsWindow::nothingToShowIsSaidOnALineNotInABox_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("problem");
    QTest::newRow("fresh install: no file yet") << "missing/results.sqlite" << "尚未保存任何测试。" << false;
    QTest::newRow("setting that does not parse") << "postgresql://bench@host" << "ResultsDatabase" << true;
    QTest::newRow("file that is no database") << "garbage.sqlite" << "garbage.sqlite" << true;
}

void tst_ResultsWindow::nothingToShowIsSaidOnALineNotInABox()
{
    QFETCH(QString, location);
    QFETCH(QString, status);
    QFETCH(bool, problem);
    QFile garbage(dir.filePath(QStringLiteral("garbage.sqlite")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    openWindow(location.contains(QLatin1String("://")) ? location : dir.filePath(location));
    QCOMPARE(table()->rowCount(), 0);
    QVERIFY2(statusText().contains(status), qPrintable(statusText()));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("statusLine"))->styleSheet().isEmpty(), !problem);
    QVERIFY(criticals.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("missing")))); // reading creates nothing
}

void tst_ResultsWindow::filtersSelectTheRuns_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("verdict"); // index in the box: 0 all, 1 PASS, 2 FAIL, 3 INCOMPLETE
    QTest::addColumn<int>("from");    // run whose local day starts the range; -1 none
    QTest::addColumn<int>("to");      // run whose local day ends it (included); -1 none
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("all, newest first") << "" << 0 << -1 << -1 << QList<int>{3, 2, 1, 0};
    QTest::newRow("part of a unit id") << "2b3538" << 0 << -1 << -1 << QList<int>{1, 0};
    QTest::newRow("unit id as typed from a label") << "0033002B 3538510C 20363733" << 0 << -1 << -1 << QList<int>{1, 0};
    QTest::newRow("leading zeros keep units apart") << "000000010000002300000045" << 0 << -1 << -1 << QList<int>{3, 2};
    QTest::newRow("failed") << "" << 2 << -1 << -1 << QList<int>{0};
    QTest::newRow("never finished reads incomplete") << "" << 3 << -1 << -1 << QList<int>{2};
    QTest::newRow("passed of one unit") << "0000000100" << 1 << -1 << -1 << QList<int>{3};
    QTest::newRow("from a day") << "" << 0 << 1 << -1 << QList<int>{3, 2, 1};
    QTest::newRow("up to a day, that day included") << "" << 0 << -1 << 1 << QList<int>{1, 0};
    QTest::newRow("between two days") << "" << 0 << 1 << 2 << QList<int>{2, 1};
    QTest::newRow("nothing matches") << "ffff" << 0 << -1 << -1 << QList<int>{};
}

void tst_ResultsWindow::filtersSelectTheRuns()
{
    QFETCH(QString, unit);
    QFETCH(int, verdict);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QList<int>, shown);
    window->findChild<QLineEdit *>(QStringLiteral("unitFilter"))->setText(unit);
    window->findChild<QComboBox *>(QStringLiteral("verdictFilter"))->setCurrentIndex(verdict);
    if (from >= 0) {
        window->findChild<QDateEdit *>(QStringLiteral("fromDate"))->setDate(localDay(starts[from]));
        window->findChild<QCheckBox *>(QStringLiteral("fromOn"))->setChecked(true);
    }
    if (to >= 0) {
        window->findChild<QDateEdit *>(QStringLiteral("toDate"))->setDate(localDay(starts[to]));
        window->findChild<QCheckBox *>(QStringLiteral("toOn"))->setChecked(true);
    }
    QList<qint64> expected;
    for (int i : shown)
        expected << ids[i];
    QCOMPARE(window->shownRuns(), expected);
    QVERIFY2(statusText().startsWith(QStringLiteral("显示 %1 次测试").arg(shown.size())), qPrintable(statusText()));
    QVERIFY(criticals.isEmpty());
}

void tst_ResultsWindow::selectionIsExportedStepByStep()
{
    QTableWidget *t = table();
    QCOMPARE(window->shownRuns(), (QList<qint64>{ids[3], ids[2], ids[1], ids[0]}));
    t->clearSelection();
    for (int row : {1, 3})
        t->selectionModel()->select(t->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    chosenFile = dir.filePath(QStringLiteral("export")); // .csv is added
    click("exportCsvButton");
    QVERIFY(criticals.isEmpty());
    QFile file(dir.filePath(QStringLiteral("export.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 3 + 3);
    QVERIFY(lines[0].startsWith(QLatin1String("run_id,time,unit_id,")));
    // The never finished run first, as the table shows it; then the failed one.
    QCOMPARE(lines[1].section(QLatin1Char(','), 0, 2),
             QStringLiteral("%1,2024-03-10T10:00:00Z,%2").arg(ids[2]).arg(kUnitTwo));
    QCOMPARE(lines[1].section(QLatin1Char(','), 8, 8), QStringLiteral("INCOMPLETE"));
    const QStringList failedSecondStep = lines[5].split(QLatin1Char(','));
    QCOMPARE(failedSecondStep[0], QString::number(ids[0]));
    QCOMPARE(failedSecondStep[8], QStringLiteral("FAIL"));
    QCOMPARE(failedSecondStep[9], QStringLiteral("2"));      // step, from 1
    QCOMPARE(failedSecondStep[10], QStringLiteral("750"));   // reference
    QCOMPARE(failedSecondStep[14], QStringLiteral("2.500")); // bias
    QCOMPARE(failedSecondStep[15], QStringLiteral("5.750")); // std, over its 5 mm
    QCOMPARE(failedSecondStep[21], QStringLiteral("FAIL"));
}

void tst_ResultsWindow::reportIsMadeFromTheStoredRunAndOpened()
{
    table()->setCurrentCell(3, 0); // the failed run
    click("openReportButton");
    QVERIFY(criticals.isEmpty());
    QCOMPARE(opened.size(), 1);
    QFile report(opened[0].toLocalFile());
    QVERIFY(report.fileName().endsWith(QLatin1String(".html")));
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(report.readAll());
    QVERIFY(html.contains(kUnitOne));
    QVERIFY(html.contains(QLatin1String("FAIL")));

    chosenFile = dir.filePath(QStringLiteral("saved-report")); // a PDF unless told otherwise
    click("saveReportButton");
    QVERIFY(criticals.isEmpty());
    QFile pdf(dir.filePath(QStringLiteral("saved-report.pdf")));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5) == "%PDF-");
}

void tst_ResultsWindow::trendShowsTheUnitsBiasPerReference()
{
    auto *plot = window->findChild<UnitTrendPlot *>();
    table()->setCurrentCell(3, 0); // unit one: two runs of three references
    QCOMPARE(plot->graphCount(), 3);
    QCOMPARE(plot->graph(0)->name(), QStringLiteral("500 mm"));
    QCOMPARE(plot->graph(0)->dataCount(), 2);
    // Oldest run first: the sample's first step is 1.25 mm off, the later run 2 mm more.
    QCOMPARE(plot->graph(0)->data()->at(0)->value, 1.25);
    QCOMPARE(plot->graph(0)->data()->at(1)->value, 3.25);
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("trendTitle"))->text().contains(kUnitOne));

    table()->setCurrentCell(0, 0); // unit two
    QCOMPARE(plot->graph(2)->name(), QStringLiteral("1000 mm"));
    QCOMPARE(plot->graph(2)->data()->at(1)->value, 3 * 1.25 - 1);
}

QTEST_MAIN(tst_ResultsWindow)
#include "tst_results_window.moc"
