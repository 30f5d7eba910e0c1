// "Save All Programs" to 250 selected simulated displays: every upload and save acknowledged and
// none dropped, how long after the last packet's first-send time (the save, 1 s after the call)
// the link's queue is empty, and how late the window's 100 ms tick comes meanwhile.

#include "controller/handlegui.h"
#include "link/udpcommthread.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include "benchsupport.h"
#include "simharness.h"

#include <QCoreApplication>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

constexpr int kDisplays = 250;
constexpr int kPacketsPerDisplay = 11; // ten uploads and the save
constexpr double kLastFirstSendMs = 1000;
constexpr int kTickMs = 100;
constexpr int kNoPoll = 1 << 20;

QMutex dropMutex;
int drops = 0;

void countDrops(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message == QLatin1String("No response received, dropping packet")) {
        const QMutexLocker lock(&dropMutex);
        ++drops;
    }
}

} // namespace

int main(int argc, char **argv)
{
    const ScratchConfig config;
    QCoreApplication app(argc, argv);
    SimHarness sim(QStringLiteral(QB_SIM_EXECUTABLE));
    if (!sim.start(kDisplays, {"--no-broadcast"}, 30000)) {
        std::fprintf(stderr, "bench_saveall: %s\n", qPrintable(sim.errorString()));
        return 1;
    }

    TimerDataModel timers;
    ProgramDataModel programs;
    for (int i = 0; i < kDisplays; ++i)
        timers.addOrUpdateTimer(TimerData(QString(), QStringLiteral("127.0.0.%1").arg(i + 2), true,
                                          QTime(0, 0), 0, 0, 0));
    HandleGui controller(timers, programs);
    controller.handleSetIPParameters(3, 350, kNoPoll);
    QThread::msleep(50);
    qInstallMessageHandler(countDrops);

    // The window's tick, timed by the same event loop that handles the answers.
    std::vector<double> lateness;
    double lastTick = monotonicMs();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = monotonicMs();
        lateness.push_back(now - lastTick - kTickMs);
        lastTick = now;
        controller.qmlTimerTriggered();
    });
    tick.start(kTickMs);
    processEventsUntil([] { return false; }, 300);

    const int mark = sim.mark();
    lateness.clear();
    const double calledAt = monotonicMs();
    controller.handleSaveAllProgramsButton();
    const bool idle =
        processEventsUntil([&] { return controller.link().queuedCount() == 0; }, 20000);
    const double doneMs = monotonicMs() - calledAt;
    processEventsUntil([] { return false; }, 300);
    tick.stop();

    int heard = 0;
    int acknowledged = 0;
    for (int display = 1; display <= kDisplays; ++display) {
        heard += sim.received(display, mark).size();
        acknowledged += sim.records(
                               [display](const SimHarness::Record &r) {
                                   return r.display == display && r.dir == "tx" && r.bytes == "A";
                               },
                               mark)
                            .size();
    }
    sim.stop();

    const Summary late = summarise(lateness);
    std::printf("save-all to %d displays: %d of %d packets received, %d acknowledged, %d dropped\n",
                kDisplays, heard, kDisplays * kPacketsPerDisplay, acknowledged, drops);
    std::printf("queue empty %s %.1f ms after the call, %.1f ms after the last first-send time\n",
                idle ? "at" : "NOT by", doneMs, doneMs - kLastFirstSendMs);
    std::printf("tick lateness: %s, p99 %.1f ms\n", qPrintable(describe(late, "ms")),
                percentile(lateness, 0.99));
    return 0;
}
