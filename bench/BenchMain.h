#pragma once

#include <QApplication>

#include <benchmark/benchmark.h>

// main() for benchmarks that need widgets: offscreen unless told otherwise.
#define LIDAR_GUI_BENCHMARK_MAIN()                                                                 \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        return 0;                                                                                  \
    }
