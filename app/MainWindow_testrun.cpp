#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/TestWindows.h"

#include <QMenu>
#include <QSerialPort>

// The Test menu, between Download and Help: running plans, editing them,
// and the stored results.
void MainWindow::setupTestMenu()
{
    testWindows = new TestWindows(this, testRunSettings);
    testWindows->setLink(net, measurementFeed, [this] { return serialPort->isOpen() || openCom(); });
    auto *menu = new QMenu(tr("测试"), ui->menuBar);
    menu->setObjectName(QStringLiteral("menuTest"));
    ui->menuBar->insertMenu(ui->menuHelp->menuAction(), menu);
    const struct {
        const char *objectName;
        QString text;
        void (TestWindows::*show)();
    } entries[] = {
        {"actionRunTestPlan", tr("运行测试计划..."), &TestWindows::runPlan},
        {"actionEditTestPlan", tr("编辑测试计划..."), &TestWindows::showEditor},
        {"actionTestResults", tr("测试结果..."), &TestWindows::showResults},
    };
    for (const auto &entry : entries) {
        auto *action = new QAction(entry.text, this);
        action->setObjectName(QLatin1String(entry.objectName));
        menu->addAction(action);
        connect(action, &QAction::triggered, testWindows, entry.show);
    }
}
