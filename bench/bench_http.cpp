// The HTTP door's cost to the controller, in four parts:
//   latency  an HTTP command to the first datagram on the wire, 1,000 keep-alive requests;
//   tick     the 100 ms tick's lateness while a client sends 1,000 commands a second;
//   streams  CPU and memory of `qb-timer --headless` with 100 event-stream clients attached;
//   refused  its memory before and after 10,000 refused connections.
// The first two run the controller in this process (its tick is this process's timer); the
// last two measure a real headless controller against one simulated display.
//
//   bench_http [--part latency|tick|streams|refused] [--seconds N]

#include "control/remotecontrol.h"
#include "controller/handlegui.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include "benchsupport.h"
#include "headlesscontroller.h"
#include "loopbackdisplay.h"
#include "simharness.h"

#include <QCoreApplication>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <httplib.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const httplib::Headers kJson = {{"Content-Type", "application/json"}};

void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString percentiles(const std::vector<double> &samples, const QString &unit)
{
    return QStringLiteral("p50=%1%4 p99=%2%4 max=%3%4")
        .arg(percentile(samples, 0.5), 0, 'f', 3)
        .arg(percentile(samples, 0.99), 0, 'f', 3)
        .arg(summarise(samples).max, 0, 'f', 3)
        .arg(unit);
}

// ---- in this process ----

// The controller with the HTTP door on a port of the system's choosing and one display stand-in
// at 127.0.0.2 that answers everything at once.
struct InProcess
{
    InProcess()
    {
        timers.addOrUpdateTimer(TimerData("Bench", "127.0.0.2", false, QTime(0, 0), 0, 0, 0));
        timers.setSelected(0, true);
        controller.handleSetIPParameters(3, 100, 1 << 20);
        HttpApi::Options options;
        options.port = 0;
        QString error;
        if (!remote.startHttp(options, &error))
            printLine("cannot listen: " + error);
    }

    int port() { return remote.http()->port(); }

    AnsweringDisplay display{QStringLiteral("127.0.0.2")}; // binds before the controller
    TimerDataModel timers;
    ProgramDataModel programs;
    HandleGui controller{timers, programs};
    RemoteControl remote{controller, timers, programs};
};

void latency()
{
    InProcess p;
    const int port = p.port();
    std::vector<double> ms;
    std::atomic<bool> finished{false};
    std::thread client([&] {
        httplib::Client http("127.0.0.1", port);
        http.set_keep_alive(true);
        http.set_tcp_nodelay(true);
        for (size_t i = 0; i < 1000; ++i) {
            const double sent = realtimeNowMs();
            http.Post("/api/v1/commands/countup.toggle", kJson, "{}", "application/json");
            // The next request once this one's datagram is out, so arrivals pair with requests.
            if (const std::optional<LoopbackDisplay::Datagram> wrote = p.display.waitFor(i, 2000))
                ms.push_back(wrote->receivedMs - sent);
        }
        finished = true;
    });
    processEventsUntil([&] { return finished.load(); }, 120000);
    client.join();
    printLine(QStringLiteral("latency: HTTP command to datagram, %1 requests: %2")
                  .arg(ms.size())
                  .arg(percentiles(ms, QStringLiteral(" ms"))));
}

void tick(int seconds)
{
    InProcess p;
    const int port = p.port();
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::thread client([&] {
        httplib::Client http("127.0.0.1", port);
        http.set_keep_alive(true);
        http.set_tcp_nodelay(true);
        const double start = monotonicMs();
        for (int i = 0; !stop; ++i) {
            const double due = start + i; // one a millisecond
            while (monotonicMs() < due)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            if (http.Post("/api/v1/commands/countup.toggle", kJson, "{}", "application/json"))
                ++answered;
        }
    });
    std::vector<double> lateness;
    const double start = monotonicMs();
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        lateness.push_back(monotonicMs() - (start + 100.0 * ticks));
        p.controller.qmlTimerTriggered();
    });
    timer.start(100);
    processEventsUntil([] { return false; }, seconds * 1000);
    stop = true;
    client.join();
    printLine(QStringLiteral("tick: %1 s, %2 commands answered (%3/s), %4 datagrams; tick "
                             "lateness %5")
                  .arg(seconds)
                  .arg(answered.load())
                  .arg(answered.load() / double(seconds), 0, 'f', 0)
                  .arg(p.display.count())
                  .arg(percentiles(lateness, QStringLiteral(" ms"))));
}

// ---- a headless controller in a process of its own ----

// A headless controller and one simulated display.
struct Headless
{
    explicit Headless(const QString &build) : app(build) {}
    bool start() { return sim.start(1) && app.start(); }

    SimHarness sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    HeadlessController app; // stops before the simulator
};

void streams(const QString &build, int seconds)
{
    Headless headless(build);
    HeadlessController &app = headless.app;
    if (!headless.start()) {
        printLine(QStringLiteral("streams: the headless controller did not start"));
        return;
    }
    httplib::Client http("127.0.0.1", HttpApi::kDefaultPort);
    processEventsUntil(
        [&] {
            const httplib::Result state = http.Get("/api/v1/state");
            return state && state->body.find("127.0.0.2") != std::string::npos;
        },
        5000);
    // The discovery's resends draw replies for about a second, and each one sets the mirror to
    // what the display shows; the count-up starts after them so that it keeps counting.
    processEventsUntil([] { return false; }, 1500);
    http.Post("/api/v1/commands/countup.mode", kJson, R"({"to": "127.0.0.2"})", "application/json");
    http.Post("/api/v1/commands/countup.start", kJson, "{}", "application/json");
    const double rssBefore = app.residentKb();
    const double cpuBefore = app.cpuSeconds();
    std::atomic<bool> stop{false};
    std::vector<std::atomic<int>> events(100);
    std::vector<std::thread> clients;
    for (int i = 0; i < 100; ++i)
        clients.emplace_back([&, i] {
            httplib::Client stream("127.0.0.1", HttpApi::kDefaultPort);
            stream.set_read_timeout(2, 0);
            while (!stop)
                stream.Get("/api/v1/events", [&](const char *data, size_t length) {
                    for (size_t k = 0; k + 7 < length; ++k)
                        events[size_t(i)] += std::strncmp(data + k, "event: ", 7) == 0;
                    return !stop.load();
                });
        });
    processEventsUntil([] { return false; }, seconds * 1000);
    const double cpu = app.cpuSeconds() - cpuBefore;
    const double rssDuring = app.residentKb();
    stop = true;
    for (std::thread &c : clients)
        c.join();
    std::vector<double> perClient;
    for (const std::atomic<int> &e : events)
        perClient.push_back(e.load() / double(seconds));
    printLine(QStringLiteral("streams: 100 clients for %1 s: CPU %2 % of one core; resident "
                             "%3 kB before, %4 kB with them; events a second per client %5")
                  .arg(seconds)
                  .arg(100 * cpu / seconds, 0, 'f', 1)
                  .arg(rssBefore)
                  .arg(rssDuring)
                  .arg(describe(summarise(perClient), QString())));
}

int rawConnect()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(HttpApi::kDefaultPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    return fd;
}

void refused(const QString &build)
{
    Headless headless(build);
    HeadlessController &app = headless.app;
    if (!headless.start()) {
        printLine(QStringLiteral("refused: the headless controller did not start"));
        return;
    }
    const double before = app.residentKb();
    // 10,000 requests naming another server, then 10,000 connections beyond the cap.
    int forbidden = 0;
    for (int i = 0; i < 10000; ++i) {
        httplib::Client http("127.0.0.1", HttpApi::kDefaultPort);
        if (auto answer = http.Get("/api/v1/state", {{"Host", "timer.attacker.example"}}))
            forbidden += answer->status == 403;
    }
    const double afterForbidden = app.residentKb();
    std::vector<int> held;
    for (int i = 0; i < 128; ++i)
        held.push_back(rawConnect());
    int unavailable = 0;
    for (int i = 0; i < 10000; ++i) {
        const int fd = rawConnect();
        char head[16] = {};
        unavailable +=
            ::recv(fd, head, sizeof head - 1, 0) > 0 && std::strncmp(head, "HTTP/1.1 503", 12) == 0;
        ::close(fd);
    }
    for (int fd : held)
        ::close(fd);
    QThread::msleep(1000);
    printLine(QStringLiteral("refused: resident %1 kB before; %2 kB after 10,000 answered 403 "
                             "(%3); %4 kB after 10,000 beyond the cap answered 503 (%5)")
                  .arg(before)
                  .arg(afterForbidden)
                  .arg(forbidden)
                  .arg(app.residentKb())
                  .arg(unavailable));
}

} // namespace

int main(int argc, char *argv[])
{
    ScratchConfig config;
    // The headless controller's discovery stays on loopback.
    QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer2"))
        .setValue(QStringLiteral("main/mainBroadcastIP"), QStringLiteral("127.255.255.255"));
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString part = args.value(args.indexOf(QStringLiteral("--part")) + 1);
    const int seconds = args.contains(QStringLiteral("--seconds"))
                            ? args.value(args.indexOf(QStringLiteral("--seconds")) + 1).toInt()
                            : 60;
    const QString build = QCoreApplication::applicationDirPath() + QStringLiteral("/..");
    const bool all = !args.contains(QStringLiteral("--part"));
    if (all || part == QLatin1String("latency"))
        latency();
    if (all || part == QLatin1String("tick"))
        tick(seconds);
    if (all || part == QLatin1String("streams"))
        streams(build, seconds);
    if (all || part == QLatin1String("refused"))
        refused(build);
    return 0;
}
