#include "app/MainWindow.h"
#include "app/RunWindow.h"
#include "app/StepFiguresView.h"
#include "app/TestRunSettings.h"
#include "link/QTRNet.h"
#include "results/ResultsReader.h"
#include "runsession/RunSession.h"
#include "settings/SettingsRules.h"
#include "tests/e2e/SimProcess.h"
#include "tests/support/StoredRuns.h"
#include "widgets/UserPrompts.h"
#include "workflow/MeasurementPipeline.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSerialPort>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestRun;

// The run window as the operator uses it: opened from the Test menu on the
// main window's link, a plan chosen, its commands agreed to, the run driven
// with Continue, Retry step and Abort against the simulator, its verdict,
// and the run found in the store with its reports.
class tst_RunWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void wholeRunReachesItsVerdictAndIsKept();
    void abortEndsTheRunIncomplete();
    void commandsAreAskedAboutOncePerPlanText();

private:
    QString writePlan(const QString &name, const QByteArray &json);
    RunWindow *openRunWindow(MainWindow &window, const QString &plan);
    static QString text(QWidget *window, const char *label)
    {
        return window->findChild<QLabel *>(QLatin1String(label))->text();
    }
    static void click(QWidget *window, const char *button)
    {
        auto *b = window->findChild<QPushButton *>(QLatin1String(button));
        QVERIFY2(b->isEnabled(), button);
        b->click();
    }
    static bool enabled(QWidget *window, const char *button)
    {
        return window->findChild<QPushButton *>(QLatin1String(button))->isEnabled();
    }

    QScopedPointer<QTemporaryDir> dir;
    QStringList questions;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

namespace {

// The operator moving the target: a line to the simulator's control pipe.
bool moveTarget(const QString &control, const QString &lines)
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("printf '%1' > '%2'").arg(lines, control)}) == 0;
}

QString figureOutcome(RunWindow *window, StepFiguresView::Figure figure)
{
    return window->findChild<StepFiguresView *>()->valueLabel(figure)->property("outcome").toString();
}

} // namespace

void tst_RunWindow::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
    // The settings file, the store, the reports and the approved plans lie
    // in the working directory.
    QVERIFY(QDir::setCurrent(dir->path()));
    questions.clear();
    answer = QMessageBox::Yes;
    UserPrompts::setQuestionBox([this](QWidget *, const QString &, const QString &text, QMessageBox::StandardButtons) {
        questions << text;
        return answer;
    });
}

void tst_RunWindow::cleanup()
{
    UserPrompts::setQuestionBox({});
    UserPrompts::setOpenFileChooser({});
    QDir::setCurrent(QDir::tempPath());
    dir.reset();
}

QString tst_RunWindow::writePlan(const QString &name, const QByteArray &json)
{
    const QString path = dir->filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(json) != json.size())
        return {};
    return path;
}

RunWindow *tst_RunWindow::openRunWindow(MainWindow &window, const QString &plan)
{
    UserPrompts::setOpenFileChooser([plan](QWidget *, const QString &, const QString &, const QString &) { return plan; });
    window.findChild<QAction *>(QStringLiteral("actionRunTestPlan"))->trigger();
    return window.findChild<RunWindow *>();
}

// Two steps moved by their commands, the second biased beyond its limit,
// then one the operator places; the second is measured again before going on.
void tst_RunWindow::wholeRunReachesItsVerdictAndIsKept()
{
    const QString control = dir->filePath(QStringLiteral("sim.ctl"));
    SimProcess sim;
    QVERIFY(sim.start({"--control", control, "--jitter", "0", "--wander", "0", "--rate", "100"}));
    const QByteArray ctl = control.toUtf8();
    const QString plan = writePlan(
        "accuracy.json",
        "{\"name\": \"Bench 0.5-2 m\", \"frames\": 20, \"settle_s\": 0.2, "
        "\"limits\": {\"bias_mm\": 20, \"bias_percent\": 1.0, \"std_mm\": 5}, \"steps\": [\n"
        "{\"reference_mm\": 500, \"command\": \"echo distance 500 > '" + ctl + "'\"},\n"
        "{\"reference_mm\": 1000, \"command\": \"printf 'distance 1000\\\\nbias 60\\\\n' > '" + ctl + "'\"},\n"
        "{\"reference_mm\": 2000}]}");
    MainWindow window;
    QVERIFY(window.presetPort(sim.port(), 230400));
    window.show();
    RunWindow *run = openRunWindow(window, plan);
    QVERIFY(run && run->isVisible());
    QCOMPARE(run->findChild<QTableWidget *>(QStringLiteral("stepsTable"))->rowCount(), 3);
    QVERIFY(questions.isEmpty());

    click(run, "startRun");
    QCOMPARE(questions.size(), 1);
    QVERIFY(questions[0].contains(QStringLiteral("printf 'distance 1000")));
    QVERIFY(run->isRunning());
    // The run holds the link: the main window's own commands wait.
    auto *start = window.findChild<QPushButton *>(QStringLiteral("pbStart"));
    QVERIFY(!start->isEnabled());

    QTRY_VERIFY_WITH_TIMEOUT(enabled(run, "continueButton"), 30000);
    QVERIFY(text(run, "unitLabel").contains(QStringLiteral("0033002b3538510c20363733")));
    QVERIFY(text(run, "promptLabel").contains(QStringLiteral("PASS")));
    QCOMPARE(figureOutcome(run, StepFiguresView::Bias), QStringLiteral("pass"));
    QVERIFY(!enabled(run, "startRun"));
    click(run, "continueButton");

    // Step 2 fails on its bias; measured again, it fails again.
    QTRY_VERIFY_WITH_TIMEOUT(enabled(run, "continueButton"), 30000);
    QCOMPARE(figureOutcome(run, StepFiguresView::Bias), QStringLiteral("fail"));
    QCOMPARE(figureOutcome(run, StepFiguresView::Std), QStringLiteral("pass"));
    QVERIFY(text(run, "promptLabel").contains(QStringLiteral("将目标置于 2000 mm 处，然后按 继续")));
    click(run, "retryButton");
    QTRY_VERIFY_WITH_TIMEOUT(!enabled(run, "continueButton"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(enabled(run, "continueButton"), 30000);
    QCOMPARE(run->testRunner()->record().steps.size(), size_t(2));

    QVERIFY(moveTarget(control, QStringLiteral("bias 0\\ndistance 2000\\n")));
    click(run, "continueButton");
    QTRY_VERIFY_WITH_TIMEOUT(enabled(run, "continueButton") && run->testRunner()->nextStep() < 0, 30000);
    click(run, "continueButton");

    QTRY_VERIFY_WITH_TIMEOUT(!run->isRunning(), 10000);
    QCOMPARE(text(run, "verdictLabel"), QStringLiteral("FAIL"));
    QVERIFY(run->findChild<QWidget *>(QStringLiteral("runEnd"))->isVisible());
    QVERIFY2(text(run, "verdictDetail").contains(QStringLiteral("第 2 步（1000 mm）")), qPrintable(text(run, "verdictDetail")));
    QVERIFY(!text(run, "verdictDetail").contains(QStringLiteral("第 1 步")));
    QVERIFY2(text(run, "fitLabel").contains(QStringLiteral("斜率")), qPrintable(text(run, "fitLabel")));
    QTRY_VERIFY(start->isEnabled());
    auto *table = run->findChild<QTableWidget *>(QStringLiteral("stepsTable"));
    QCOMPARE(table->item(0, 6)->text(), QStringLiteral("PASS"));
    QCOMPARE(table->item(1, 6)->text(), QStringLiteral("FAIL"));
    QCOMPARE(table->item(1, 4)->text(), QStringLiteral("60.000"));
    QCOMPARE(table->item(2, 6)->text(), QStringLiteral("PASS"));

    // Kept in the default store of the working directory, reported, summed up.
    const auto runs = storedRuns(ResultsLocation::sqliteFile(dir->filePath(QStringLiteral("results.sqlite"))));
    QCOMPARE(int(runs.size()), 1);
    QCOMPARE(runs[0].verdict, Verdict::Fail);
    QCOMPARE(int(runs[0].steps.size()), 3);
    QCOMPARE(runs[0].steps[1].biasMm, 60.0);
    QCOMPARE(runs[0].steps[2].meanMm, 2000.0);
    const RunSession::Outcome &out = run->runSession()->outcome();
    QVERIFY(out.stored);
    QCOMPARE(out.reports.size(), 2);
    for (const QString &report : out.reports) {
        QVERIFY(report.startsWith(dir->filePath(QStringLiteral("reports"))));
        QVERIFY(text(run, "whereLabel").contains(QDir::toNativeSeparators(report)));
    }
    QVERIFY(QFile::exists(dir->filePath(QStringLiteral("results.csv"))));
    QVERIFY(!run->findChild<QLabel *>(QStringLiteral("storeNotice"))->isVisible());

    // Still on the 800 x 600 screen with the verdict shown.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(run->minimumSizeHint().height() <= area.height() - 40, qPrintable(QString::number(run->minimumSizeHint().height())));
}

// The configured server cannot be reached: the run goes to the local file, and the window says so.
void tst_RunWindow::abortEndsTheRunIncomplete()
{
    {
        QSettings ini(SettingsRules::fileName(), QSettings::IniFormat);
        ini.setValue(RunSession::databaseKey(), QStringLiteral("postgresql://bench@127.0.0.1:1/accuracy?connect_timeout=2"));
    }
    SimProcess sim;
    QVERIFY(sim.start({"--distance", "800", "--rate", "100"}));
    const QString plan = writePlan("manual.json", "{\"name\": \"Manual\", \"frames\": 100000, "
                                                  "\"limits\": {\"bias_mm\": 50}, \"steps\": [\n"
                                                  "{\"reference_mm\": 800}, {\"reference_mm\": 1600}]}");
    MainWindow window;
    QVERIFY(window.presetPort(sim.port(), 230400));
    window.show();
    RunWindow *run = openRunWindow(window, plan);
    click(run, "startRun");
    QVERIFY(questions.isEmpty()); // no commands: nothing to agree to
    QTRY_VERIFY_WITH_TIMEOUT(enabled(run, "continueButton"), 30000);
    QCOMPARE(text(run, "promptLabel"), QStringLiteral("将目标置于 800 mm 处，然后按 继续"));
    QVERIFY(!enabled(run, "retryButton"));
    click(run, "continueButton");
    QTRY_VERIFY_WITH_TIMEOUT(run->testRunner()->progress().figures.framesSeen > 20, 30000);

    // Closing the window asks first; kept open, the run goes on.
    answer = QMessageBox::No;
    QVERIFY(!run->close());
    QCOMPARE(questions.size(), 1);
    QVERIFY(run->isVisible() && run->isRunning());
    click(run, "abortButton");
    QTRY_VERIFY_WITH_TIMEOUT(!run->isRunning(), 10000);
    QCOMPARE(text(run, "verdictLabel"), QStringLiteral("INCOMPLETE"));
    QVERIFY(text(run, "verdictDetail").contains(QStringLiteral("操作员中止")));
    const auto runs = storedRuns(ResultsLocation::sqliteFile(dir->filePath(QStringLiteral("results.sqlite"))));
    QCOMPARE(int(runs.size()), 1);
    QCOMPARE(runs[0].verdict, Verdict::Incomplete);
    QCOMPARE(int(runs[0].steps.size()), 1);
    QVERIFY(!runs[0].steps[0].error.isEmpty());
    QVERIFY(enabled(run, "startRun"));
    auto *notice = run->findChild<QLabel *>(QStringLiteral("storeNotice"));
    QVERIFY(notice->isVisible());
    QVERIFY2(notice->text().contains(dir->filePath(QStringLiteral("results.sqlite"))), qPrintable(notice->text()));
    QVERIFY(text(run, "whereLabel").contains(dir->filePath(QStringLiteral("results.sqlite"))));
}

// Without a device: the question comes before the port is needed.
void tst_RunWindow::commandsAreAskedAboutOncePerPlanText()
{
    QSerialPort port;
    QTRNet *net = new QTRNet(&port);
    MeasurementPipeline pipeline(net);
    TestRunSettings settings;
    RunWindow window(net, pipeline.feed(), settings);
    window.setPortOpener([] { return false; });
    const QByteArray json = "{\"name\": \"Rail\", \"frames\": 10, \"limits\": {\"bias_mm\": 10}, \"steps\": [{\"reference_mm\": 500, \"command\": \"true\"}]}";
    const QString rail = writePlan("rail.json", json);
    const QString copy = writePlan("copy.json", json);
    const QString manual = writePlan("manual.json", "{\"name\": \"Manual\", \"frames\": 10, \"limits\": {\"bias_mm\": 10}, \"steps\": [{\"reference_mm\": 500}]}");

    QVERIFY2(window.choosePlan(rail), qPrintable(window.findChild<QLabel *>(QStringLiteral("errorLabel"))->text()));
    answer = QMessageBox::No;
    QVERIFY(!window.startRun());
    QCOMPARE(questions.size(), 1);
    QVERIFY(questions[0].contains(QStringLiteral("第 1 步（500 mm）：true")));
    answer = QMessageBox::Yes;
    QVERIFY(!window.startRun()); // agreed; then the closed port stops it
    QCOMPARE(questions.size(), 2);
    QVERIFY(window.findChild<QLabel *>(QStringLiteral("errorLabel"))->text().contains(QStringLiteral("串口")));
    QVERIFY(!window.startRun());
    QCOMPARE(questions.size(), 2); // agreed once for this text of this file

    QVERIFY(window.choosePlan(copy));
    QVERIFY(!window.startRun());
    QCOMPARE(questions.size(), 3); // another file

    QVERIFY(window.choosePlan(manual));
    QVERIFY(!window.startRun());
    QCOMPARE(questions.size(), 3); // no commands

    QFile changed(rail);
    QVERIFY(changed.open(QIODevice::WriteOnly));
    changed.write(QByteArray(json).replace("true", "false"));
    changed.close();
    QVERIFY(window.choosePlan(rail));
    QVERIFY(!window.startRun());
    QCOMPARE(questions.size(), 4); // the file changed since
}

QTEST_MAIN(tst_RunWindow)
#include "tst_run_window.moc"
