#pragma once

#include "app/LodGraph.h"
#include "app/MainWindow.h"
#include "widgets/UserPrompts.h"
#include "link/EventPump.h"

#include <benchmark/benchmark.h>
#include "link/LinkSupervisor.h"
#include "link/QTRNet.h"
#include "link/comSettings.h"

#include <QProcess>
#include <QSerialPort>
#include <qcustomplot.h>

#include <sys/resource.h>

#include <chrono>

struct MainWindowProbe {
    static QTRNet *net(MainWindow &w) { return w.net; }
    static qint32 &plotKey(MainWindow &w) { return w.plotKey; }
    static QCustomPlot *plot(MainWindow &w) { return w.plot; }
    static QSerialPort *port(MainWindow &w) { return w.serialPort; }
    static comSettings *portDialog(MainWindow &w) { return w.comSettingsDialog; }
    static LinkSupervisor *link(MainWindow &w) { return w.linkSupervisor; }
};

// The real main window, shown offscreen, with a count of every measurement
// frame its endpoint publishes (each one is processed and shown).
class BenchWindow {
public:
    BenchWindow()
    {
        QObject::connect(MainWindowProbe::net(window), &QTRNet::dataReady, &window,
                         [this](TRData *pack) { frames += pack->cmd == 0x02; });
        window.show();
    }

    // As if picked in the port dialog and applied.
    bool open(const QString &port)
    {
        comSettings *dialog = MainWindowProbe::portDialog(window);
        dialog->settings.name = port;
        dialog->settings.baudRate = 921600;
        emit dialog->comReady();
        return MainWindowProbe::port(window)->isOpen();
    }

    // Puts `points` points on the live curve after the ones it has.
    void extendCurve(int points)
    {
        auto *graph = qobject_cast<LodGraph *>(MainWindowProbe::plot(window)->graph(0));
        qint32 &key = MainWindowProbe::plotKey(window);
        for (int i = 0; i < points; ++i)
            graph->curve().append(1500 + (i / 10) % 50);
        key += points;
    }

    MainWindow window;
    qint64 frames = 0;
};

// CPU time of this process (all threads) and wall time, for a share of a core.
class CpuMeter {
public:
    CpuMeter() { restart(); }
    void restart()
    {
        cpu0 = cpuSeconds();
        wall0 = std::chrono::steady_clock::now();
    }
    double wallSeconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    }
    double share() const { return (cpuSeconds() - cpu0) / wallSeconds(); }

    static double cpuSeconds()
    {
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }

private:
    double cpu0 = 0;
    std::chrono::steady_clock::time_point wall0;
};

// The simulator as a child process; its first output line names its port.
class BenchSim {
public:
    ~BenchSim()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // It also ends by itself should this process die before stopping it.
    bool start(QStringList args = {})
    {
        args << QStringLiteral("--watch-pid") << QString::number(QCoreApplication::applicationPid());
        process.start(QStringLiteral(LIDAR_SIM_PATH), args);
        if (!process.waitForStarted(10000))
            return false;
        while (!process.canReadLine())
            if (!process.waitForReadyRead(10000))
                return false;
        port = QString::fromLocal8Bit(process.readLine()).trimmed();
        return !port.isEmpty();
    }
    // Ends it with SIGTERM; returns what it wrote to its error output.
    QString finish()
    {
        process.terminate();
        process.waitForFinished(10000);
        return QString::fromLocal8Bit(process.readAllStandardError());
    }

    QProcess process;
    QString port;
};

// Starts the simulator and opens the window's port on it; marks the
// benchmark skipped when either fails.
inline bool openOnSimulator(benchmark::State &state, BenchSim &sim, BenchWindow &bench,
                            const QStringList &args = {})
{
    if (sim.start(args) && bench.open(sim.port))
        return true;
    state.SkipWithError("simulator or port not available");
    return false;
}
