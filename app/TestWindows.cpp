#include "app/TestWindows.h"

#include "app/PlanEditor.h"
#include "app/ResultsWindow.h"
#include "app/WindowFit.h"

TestWindows::TestWindows(QWidget *mainWindow, const TestRunSettings &settings)
    : QObject(mainWindow)
    , mainWindow(mainWindow)
    , settings(settings)
{
}

void TestWindows::bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void TestWindows::showEditor()
{
    if (!planEditor) {
        planEditor = new PlanEditor(mainWindow);
        WindowFit::fitWhenShown(planEditor);
    }
    bringUp(planEditor);
}

void TestWindows::showResults()
{
    if (!resultsWindow) {
        resultsWindow = new ResultsWindow(settings, mainWindow);
        WindowFit::fitWhenShown(resultsWindow);
    }
    bringUp(resultsWindow);
}

bool TestWindows::mayClose()
{
    return !planEditor || planEditor->mayDiscardChanges();
}
