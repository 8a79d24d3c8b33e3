#pragma once

// The main of a benchmark whose work needs Qt's event loop (queued calls,
// timers): Google Benchmark's own, under a QCoreApplication. Included once,
// at the end of the benchmark's file, in place of BENCHMARK_MAIN().

#include <QCoreApplication>

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
