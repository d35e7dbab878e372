#include "app/MainWindow.h"
#include "ui_MainWindow.h"

void MainWindow::about() {}

void MainWindow::addContactLabel() {}

void MainWindow::on_actioninternal_triggered() {}
