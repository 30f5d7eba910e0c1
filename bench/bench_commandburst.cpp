// A count-up start to 250 selected displays: the time from the call until the link has written
// the last of the 250 datagrams. The displays are plain loopback sockets that take the kernel's
// receive timestamp of each datagram, which on loopback is the moment of the sending write.

#include "controller/handlegui.h"
#include "link/udpcommthread.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include "benchsupport.h"
#include "loopbackdisplay.h"

#include <QThread>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <optional>
#include <poll.h>

namespace {

constexpr int kDisplays = 250;
constexpr double kTargetMs = 5;

// Waits until every display has received one datagram; their receive times, or nothing after a
// second.
std::optional<std::vector<double>>
receiveOneEach(std::vector<std::unique_ptr<LoopbackDisplay>> &displays)
{
    std::vector<double> received(displays.size(), -1);
    std::vector<pollfd> waiting;
    size_t pending = displays.size();
    const double deadline = monotonicMs() + 1000;
    while (pending > 0 && monotonicMs() < deadline) {
        waiting.clear();
        for (size_t i = 0; i < displays.size(); ++i) {
            if (received[i] < 0)
                waiting.push_back({displays[i]->fd(), POLLIN, 0});
        }
        if (poll(waiting.data(), waiting.size(), 100) <= 0)
            continue;
        for (size_t i = 0; i < displays.size(); ++i) {
            if (received[i] >= 0)
                continue;
            if (const std::optional<LoopbackDisplay::Datagram> datagram = displays[i]->receive()) {
                received[i] = datagram->receivedMs;
                --pending;
            }
        }
    }
    if (pending > 0)
        return std::nullopt;
    return received;
}

void BM_CountUpStartTo250Displays(benchmark::State &state)
{
    // The displays bind before the controller, so they get their addresses whatever bind mode
    // the controller's socket uses.
    std::vector<std::unique_ptr<LoopbackDisplay>> displays;
    TimerDataModel timers;
    for (int i = 0; i < kDisplays; ++i) {
        const QString address = QStringLiteral("127.0.%1.%2").arg((i + 2) / 256).arg((i + 2) % 256);
        displays.push_back(std::make_unique<LoopbackDisplay>(address));
        if (!displays.back()->isBound()) {
            state.SkipWithError(qPrintable(QStringLiteral("cannot bind %1:7372").arg(address)));
            return;
        }
        timers.addOrUpdateTimer(TimerData(QString(), address, true, QTime(0, 0), 0, 0, 0));
    }
    ProgramDataModel programs;
    HandleGui controller(timers, programs);
    controller.handleSetIPParameters(3, 350, 60);
    // Let the link thread start and bind before the first command.
    processEventsUntil([&] { return controller.link().isRunning(); }, 1000);
    QThread::msleep(50);

    std::vector<double> lastWrite, firstWrite, callReturn;
    for (auto _ : state) {
        const double called = realtimeNowMs();
        controller.handleCountUpStartButton();
        const double returned = realtimeNowMs();
        const std::optional<std::vector<double>> received = receiveOneEach(displays);
        if (!received) {
            state.SkipWithError("not every display received its datagram within a second");
            return;
        }
        const auto [first, last] = std::minmax_element(received->begin(), received->end());
        lastWrite.push_back(*last - called);
        firstWrite.push_back(*first - called);
        callReturn.push_back(returned - called);
        state.SetIterationTime((*last - called) / 1e3);

        // Acknowledge everything, so that no resend lands in the next measurement.
        for (const auto &display : displays)
            display->answer();
        if (!processEventsUntil([&] { return controller.link().queuedCount() == 0; }, 2000)) {
            state.SkipWithError("the acknowledgements did not empty the queue");
            return;
        }
    }
    const Summary last = summarise(lastWrite);
    state.counters["last_max_ms"] = last.max;
    state.counters["last_p99_ms"] = percentile(lastWrite, 0.99);
    state.counters["last_mean_ms"] = last.mean;
    state.counters["over_5ms"] = double(std::count_if(lastWrite.begin(), lastWrite.end(),
                                                      [](double ms) { return ms > kTargetMs; }));
    state.counters["first_mean_ms"] = summarise(firstWrite).mean;
    state.counters["call_mean_ms"] = summarise(callReturn).mean;
    state.counters["call_max_ms"] = summarise(callReturn).max;
}

BENCHMARK(BM_CountUpStartTo250Displays)
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMillisecond);

} // namespace
