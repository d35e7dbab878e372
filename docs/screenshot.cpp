// Opens the real main window on a port, presses Start, lets the curve run
// for a while and saves a picture of the window. Run by make-screenshot.sh.
#include "app/MainWindow.h"
#include "settings/UiLanguage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QImage>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"port", "Port of the sensor.", "NAME"},
                       {"out", "PNG file to write.", "FILE"},
                       {"lang", "Interface language.", "CODE", UiLanguage::kChinese},
                       {"seconds", "Seconds of live data before the picture.", "S", "4"}});
    parser.process(app);
    if (!parser.isSet("port") || !parser.isSet("out") || !UiLanguage::isKnown(parser.value("lang"))) {
        std::fputs("usage: lidar-screenshot --port NAME --out FILE [--lang zh_CN|en] [--seconds S]\n", stderr);
        return 2;
    }
    UiLanguage::install(app, parser.value("lang"));
    MainWindow window;
    if (!window.presetPort(parser.value("port"), 230400))
        return 1;
    window.resize(1024, 768);
    window.show();
    QTimer::singleShot(500, &window, [&] { window.findChild<QPushButton *>("pbStart")->click(); });
    int status = 1;
    QTimer::singleShot(500 + 1000 * parser.value("seconds").toInt(), &window, [&] {
        // 256 colours keep the picture small; the window has few.
        const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        status = shot.save(parser.value("out"), "PNG", 9) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return status;
}
