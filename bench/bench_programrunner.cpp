// Cost of the program runner's share of one tick: a ten-line program running, and a program
// that loops without taking time, stopped at the runner's bound within one tick.

#include "controller/displaysender.h"
#include "controller/mirrorclock.h"
#include "controller/programrunner.h"
#include "controller/programslots.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QSettings>
#include <benchmark/benchmark.h>

namespace {

// Colour, interval 20 s counted, colour, interval 10 s, colour, count down 5 s, colour, count up
// to 5 s, and a repeat back to the start that never falls through (the end line is not reached).
const char kTenLines[] = "09000000000000020100000000"
                         "01010000000000140000000000"
                         "09000000000000000000000000"
                         "010000000000000a0000000000"
                         "09000000000000050500000000"
                         "06000000000000050000000000"
                         "09000000000000010100000000"
                         "03000000000000000000000500"
                         "070000ff000000000000000000"
                         "08000100000000000000000000";
// A colour line and a repeat back to it that can never fall through.
const char kZeroTimeLoop[] = "09000000000000020100000000"
                             "070000ff000000000000000000"
                             "08000000000000000000000000";

struct RunnerBench
{
    explicit RunnerBench(const char *program)
    {
        lines.loadFromText(QLatin1String(program));
        runner.arm(); // no display is listed, so nothing is sent
    }

    void tick()
    {
        now += 100;
        runner.tick();
    }

    qint64 now = 0;
    QSettings store{QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer")};
    TimerDataModel timers;
    ProgramDataModel lines;
    ProgramSlots programSlots{store};
    DisplaySender sender{timers, [](const QByteArray &, const QString &, int, int) {}};
    MirrorClock mirror{[this] { return now; }};
    ProgramRunner runner{lines, programSlots, mirror, sender};
};

void BM_TickRunningTenLines(benchmark::State &state)
{
    RunnerBench bench(kTenLines);
    bench.tick(); // set up at the first line
    bench.runner.startPause();
    for (auto _ : state)
        bench.tick();
    state.counters["interval"] = bench.runner.intervalCount();
}
BENCHMARK(BM_TickRunningTenLines);

void BM_TickZeroTimeLoopAtBound(benchmark::State &state)
{
    RunnerBench bench(kZeroTimeLoop);
    for (auto _ : state) {
        bench.runner.arm();
        bench.tick(); // the first line's set-up, then lines up to the bound and the stop
        if (bench.runner.isActive())
            state.SkipWithError("the loop was not stopped");
    }
    state.counters["lines_per_tick"] = ProgramRunner::kLinesPerTickBound;
}
BENCHMARK(BM_TickZeroTimeLoopAtBound);

} // namespace
