#include "benchsupport.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

// Google Benchmark's main with what the controller needs around it: an application for its event
// loop and a scratch settings folder for its store.
int main(int argc, char **argv)
{
    const ScratchConfig config;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
