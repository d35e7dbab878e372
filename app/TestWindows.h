#pragma once

#include <QObject>

class PlanEditor;
class ResultsWindow;
class QWidget;
struct TestRunSettings;

// The windows of the Test menu, each made when first asked for and then
// kept (hidden when closed), so that a plan being edited survives closing
// its window.
class TestWindows : public QObject {
    Q_OBJECT
public:
    TestWindows(QWidget *mainWindow, const TestRunSettings &settings);

    void showEditor();
    void showResults();
    PlanEditor *editor() const { return planEditor; }
    ResultsWindow *results() const { return resultsWindow; }

    // Asked when the main window closes: false when the user keeps unsaved
    // plan changes open.
    bool mayClose();

private:
    static void bringUp(QWidget *window);

    QWidget *mainWindow;
    const TestRunSettings &settings;
    PlanEditor *planEditor = nullptr;
    ResultsWindow *resultsWindow = nullptr;
};
