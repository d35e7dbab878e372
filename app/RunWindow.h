#pragma once

#include "testrun/TestPlan.h"
#include "testrun/TestRunner.h"

#include <QWidget>

#include <functional>
#include <optional>

class MeasurementFeed;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTRNet;
class RunSession;
class StepFiguresView;
struct TestRunSettings;

// The non-modal window that runs a test plan against the connected sensor:
// the plan chosen (its shell commands shown and agreed to before a file's
// first run), the unit identified, then step by step the operator's prompt
// or the step's command, the live figures against their limits, the step's
// verdict, and at the end the unit's verdict, the linearity fit and where
// the results and the report went. While it runs, the run holds the link.
class RunWindow : public QWidget {
    Q_OBJECT
public:
    // Opens the port when it is closed, as Start does; false when it cannot.
    using PortOpener = std::function<bool()>;

    // `net`, `feed` and `settings` must outlive the window.
    RunWindow(QTRNet *net, MeasurementFeed *feed, const TestRunSettings &settings, QWidget *parent = nullptr);

    void setPortOpener(PortOpener opener) { openPort = std::move(opener); }
    // Where the reports go; by default the folder "reports" in the working directory.
    void setReportFolder(const QString &folder) { reportFolder = folder; }
    // Where the plan files agreed to are listed; by default beside the settings file.
    void setApprovalsFile(const QString &file) { approvalsFile = file; }
    // Shows the plan of `path`; false (and the reason in the window) when it
    // cannot be read or is refused.
    bool choosePlan(const QString &path);
    QString planFile() const { return planPath; }
    // Reads the plan again, asks about its commands when needed, then begins
    // the run; false (and why in the window) when it does not begin.
    bool startRun();
    bool isRunning() const { return runner->isRunning(); }
    // Asked before the window or the program closes during a run: true when
    // nothing runs, or the operator agreed to abort it (it is then aborted).
    bool mayEndRun();
    TestRun::TestRunner *testRunner() const { return runner; }
    RunSession *runSession() const { return session; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QLayout *buildPlanRow();
    QWidget *buildStepsTable();
    QWidget *buildEnd();
    QLayout *buildButtons();
    void browsePlan();
    bool commandsAgreed();
    void fillSteps(const std::vector<TestRun::ResolvedStep> &steps);
    void updateButtons();
    void showError(const QString &text);
    void showNotice(const QString &text);
    void onRunStarted(const TestRun::RunRecord &record);
    void onIdentificationFailed(const QString &why);
    void onWaiting();
    void onCommandStarted(int step, const QString &command);
    void onAcquisitionStarted(int step);
    void onProgress(const TestRun::StepProgress &progress);
    void onStepFinished(const TestRun::StepResult &result);
    void onRunFinished(const TestRun::RunRecord &record);
    void onSessionFinished();
    QString verdictDetail(const TestRun::RunRecord &record) const;
    QString fitText() const;
    QString stepName(int index) const;

    TestRun::TestRunner *runner;
    RunSession *session;
    const TestRunSettings &settings;
    PortOpener openPort;
    QString reportFolder;
    QString approvalsFile;
    std::optional<TestRun::TestPlan> plan;
    QByteArray planBytes;
    QString planPath;

    QLineEdit *planEdit = nullptr;
    QPushButton *browseButton = nullptr;
    QPushButton *startButton = nullptr;
    QLabel *planSummary = nullptr;
    QLabel *unitLabel = nullptr;
    QLabel *promptLabel = nullptr;
    StepFiguresView *figures = nullptr;
    QTableWidget *stepsTable = nullptr;
    QCheckBox *autoContinue = nullptr;
    QPushButton *continueButton = nullptr;
    QPushButton *retryButton = nullptr;
    QPushButton *abortButton = nullptr;
    QWidget *endBox = nullptr;
    QLabel *verdictLabel = nullptr;
    QLabel *detailLabel = nullptr;
    QLabel *fitLabel = nullptr;
    QLabel *noticeLabel = nullptr;
    QLabel *whereLabel = nullptr;
    QLabel *errorLabel = nullptr;
};
