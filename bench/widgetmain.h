#pragma once

#include <QApplication>
#include <QByteArray>
#include <benchmark/benchmark.h>

// The main of a benchmark that needs widgets: an offscreen application around the usual run.
#define VARNEL_WIDGET_BENCHMARK_MAIN()                                                                       \
    int main(int argc, char** argv) {                                                                        \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                             \
        QApplication app(argc, argv);                                                                        \
        benchmark::Initialize(&argc, argv);                                                                  \
        if (benchmark::ReportUnrecognizedArguments(argc, argv))                                              \
            return 1;                                                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                                 \
        benchmark::Shutdown();                                                                               \
        return 0;                                                                                            \
    }
