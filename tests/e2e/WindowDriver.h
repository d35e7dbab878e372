#pragma once

#include "app/MainWindow.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"

#include <QAbstractButton>
#include <QPlainTextEdit>
#include <QSerialPort>
#include <qcustomplot.h>

struct MainWindowProbe {
    static QTRNet *net(MainWindow &w) { return w.net; }
};

// Drives the real main window the way a user does: through its buttons and
// the port dialog's settings. Counts every packet the window's endpoint
// publishes, as a witness of what crossed the link.
class WindowDriver {
public:
    WindowDriver()
    {
        QObject::connect(MainWindowProbe::net(window), &QTRNet::dataReady, &window,
                         [this](TRData *pack) { ++packets[pack->cmd]; });
        window.show();
    }

    MainWindow window;
    int packets[256] = {};

    template <typename T>
    T *child(const char *name = nullptr)
    {
        return name ? window.findChild<T *>(QString::fromLatin1(name)) : window.findChild<T *>();
    }

    void click(const char *button) { child<QAbstractButton>(button)->click(); }
    QString message() { return child<QPlainTextEdit>("msg")->toPlainText(); }
    int curvePoints()
    {
        QCustomPlot *plot = child<QCustomPlot>();
        return plot->graphCount() > 0 ? plot->graph(0)->dataCount() : -1;
    }
    bool portOpen() { return child<QSerialPort>()->isOpen(); }

    // As if the user had picked the port in the dialog and pressed Apply.
    void choosePort(const QString &name, bool open)
    {
        comSettings *dialog = child<comSettings>();
        dialog->settings.name = name;
        dialog->settings.baudRate = 230400;
        if (open)
            emit dialog->comReady();
    }
};
