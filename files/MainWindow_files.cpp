#include "app/MainWindow.h"

void MainWindow::saveCurveToPic() {}

void MainWindow::saveCurveData() {}

void MainWindow::loadCurve() {}
