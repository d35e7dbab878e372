#pragma once

#include <QObject>

#include <functional>

class MeasurementFeed;
class PlanEditor;
class QTRNet;
class QWidget;
class ResultsWindow;
class RunWindow;
struct TestRunSettings;

// The windows of the Test menu, each made when first asked for and then
// kept (hidden when closed), so that a plan being edited survives closing
// its window.
class TestWindows : public QObject {
    Q_OBJECT
public:
    TestWindows(QWidget *mainWindow, const TestRunSettings &settings);

    // The link a run uses, and how a closed port is opened for it.
    void setLink(QTRNet *net, MeasurementFeed *feed, std::function<bool()> openPort);

    // Chooses a plan file and shows it in the run window; while a run goes
    // on, only brings that window up.
    void runPlan();
    void showEditor();
    void showResults();
    PlanEditor *editor() const { return planEditor; }
    ResultsWindow *results() const { return resultsWindow; }
    RunWindow *run() const { return runWindow; }

    // Asked when the main window closes: false when the user keeps unsaved
    // plan changes open, or a run going on.
    bool mayClose();

private:
    static void bringUp(QWidget *window);

    QWidget *mainWindow;
    const TestRunSettings &settings;
    QTRNet *net = nullptr;
    MeasurementFeed *feed = nullptr;
    std::function<bool()> openPort;
    PlanEditor *planEditor = nullptr;
    ResultsWindow *resultsWindow = nullptr;
    RunWindow *runWindow = nullptr;
};
