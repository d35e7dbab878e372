#include "app/MainWindow.h"

void MainWindow::loadSettings() {}

void MainWindow::saveSettings() {}
