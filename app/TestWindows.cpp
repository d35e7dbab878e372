#include "app/TestWindows.h"

#include "app/PlanEditor.h"
#include "app/ResultsWindow.h"
#include "app/RunWindow.h"
#include "app/WindowFit.h"
#include "widgets/UserPrompts.h"

#include <QFileInfo>

TestWindows::TestWindows(QWidget *mainWindow, const TestRunSettings &settings)
    : QObject(mainWindow)
    , mainWindow(mainWindow)
    , settings(settings)
{
}

void TestWindows::setLink(QTRNet *net, MeasurementFeed *feed, std::function<bool()> openPort)
{
    this->net = net;
    this->feed = feed;
    this->openPort = std::move(openPort);
}

void TestWindows::bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void TestWindows::runPlan()
{
    if (runWindow && runWindow->isRunning()) {
        bringUp(runWindow);
        return;
    }
    const QString folder = runWindow && !runWindow->planFile().isEmpty() ? QFileInfo(runWindow->planFile()).path()
                                                                          : QStringLiteral(".");
    const QString path = UserPrompts::getOpenFileName(mainWindow, RunWindow::tr("选择测试计划"), folder,
                                                      RunWindow::tr("测试计划 (*.json);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    if (!runWindow) {
        runWindow = new RunWindow(net, feed, settings, mainWindow);
        runWindow->setPortOpener(openPort);
        WindowFit::fitWhenShown(runWindow);
    }
    runWindow->choosePlan(path);
    bringUp(runWindow);
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
    return (!runWindow || runWindow->mayEndRun()) && (!planEditor || planEditor->mayDiscardChanges());
}
