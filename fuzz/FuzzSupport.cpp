#include "fuzz/FuzzSupport.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtFatalMsg)
        return;
    std::fprintf(stderr, "fatal: %s\n", qPrintable(text));
    std::abort();
}

} // namespace

QApplication &FuzzSupport::guiApp()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication *app = nullptr;
    if (!app) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(quietHandler);
        app = new QApplication(argc, argv);
    }
    return *app;
}
