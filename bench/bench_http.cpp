// The HTTP door's cost to the controller, in six parts:
//   latency  an HTTP command to the first datagram on the wire, 1,000 keep-alive requests;
//   tick     the 100 ms tick's lateness while a client sends 1,000 commands a second;
//   wire     the same path from this process to a real `qb-timer --headless`, beside a bare
//            server of the HTTP library that only forwards each command as a datagram;
//   held     a tokened client's requests while one host keeps 128 connections open;
//   streams  CPU and memory of `qb-timer --headless` with 100 event-stream clients attached;
//   refused  its memory before and after 10,000 refused connections.
// The first two run the controller in this process (its tick is this process's timer); the
// others measure a real headless controller in a process of its own.
//
//   bench_http [--part latency|tick|wire|held|streams|refused] [--seconds N]
//   bench_http --forwarder PORT   (the bare forwarder `wire` starts)

#include "control/remotecontrol.h"
#include "controller/handlegui.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include "benchsupport.h"
#include "headlesscontroller.h"
#include "loopbackdisplay.h"
#include "simharness.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <httplib.h>
#include <map>
#include <poll.h>
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
    bool start(const QStringList &arguments = {})
    {
        return sim.start(1) && app.start(arguments, token);
    }

    // A client of the door, with the token when one is asked.
    httplib::Client client() const
    {
        httplib::Client http("127.0.0.1", HttpApi::kDefaultPort);
        if (!token.empty())
            http.set_bearer_token_auth(token.c_str());
        return http;
    }

    // The simulated display listed, selected and counting up (paused), so that a toggle sends;
    // false when it is not listed in time.
    bool selectDisplay()
    {
        httplib::Client http = client();
        const bool listed = processEventsUntil(
            [&] {
                const httplib::Result state = http.Get("/api/v1/state");
                return state && state->body.find("127.0.0.2") != std::string::npos;
            },
            5000);
        http.Post("/api/v1/commands/displays.selectOnly", kJson, R"({"displays": ["127.0.0.2"]})",
                  "application/json");
        http.Post("/api/v1/commands/countup.mode", kJson, "{}", "application/json");
        return listed;
    }

    double residentKb() const { return app.residentKb(); }
    double cpuSeconds() const { return app.cpuSeconds(); }

    std::string token;
    SimHarness sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    HeadlessController app; // stops before the simulator
};

void streams(const QString &build, int seconds)
{
    Headless app(build);
    if (!app.start()) {
        printLine(QStringLiteral("streams: the headless controller did not start"));
        return;
    }
    httplib::Client http("127.0.0.1", HttpApi::kDefaultPort);
    // After the discovery's replies, each of which sets the mirror to what the display shows, so
    // that the count-up keeps counting.
    app.selectDisplay();
    http.Post("/api/v1/commands/countup.mode", kJson, "{}", "application/json");
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

// ---- from a client process to the wire ----

constexpr int kForwarderPort = 7390;

// A bare server of the HTTP library that sends each command on as a datagram to the display at
// 127.0.0.2 and answers: the least an HTTP door can cost.
int forwarder(int port)
{
    const int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in display{};
    display.sin_family = AF_INET;
    display.sin_port = htons(7372);
    display.sin_addr.s_addr = htonl(0x7f000002);
    std::atomic<bool> running{false};
    httplib::Server server;
    // Connections carry as many requests as the door's do.
    server.set_keep_alive_max_count(100);
    server.Post("/api/v1/commands/countup.toggle",
                [&](const httplib::Request &, httplib::Response &res) {
                    const unsigned char packet[3] = {0xA3, running = !running, 0x00};
                    ::sendto(udp, packet, sizeof packet, 0,
                             reinterpret_cast<const sockaddr *>(&display), sizeof display);
                    res.set_content(R"({"ok":true,"result":{}})", "application/json");
                });
    return server.listen("127.0.0.1", port) ? 0 : 1;
}

// From just before each request to the kernel's receive stamp of the command datagram it made
// (A3 ...; the controller's polls of the display are passed over), over one keep-alive
// connection.
std::vector<double> commandToWire(int port, AnsweringDisplay &display, int count)
{
    httplib::Client http("127.0.0.1", port);
    http.set_keep_alive(true);
    http.set_tcp_nodelay(true);
    std::vector<double> ms;
    size_t next = display.count();
    for (int i = 0; i < count; ++i) {
        const double sent = realtimeNowMs();
        http.Post("/api/v1/commands/countup.toggle", kJson, "{}", "application/json");
        while (const std::optional<LoopbackDisplay::Datagram> wrote = display.waitFor(next, 2000)) {
            ++next;
            if (wrote->payload.startsWith('\xA3')) {
                ms.push_back(wrote->receivedMs - sent);
                break;
            }
        }
    }
    return ms;
}

void wire(const QString &build)
{
    Headless app(build);
    if (!app.start() || !app.selectDisplay()) {
        printLine(QStringLiteral("wire: the headless controller did not start"));
        return;
    }
    // The simulated display gives its address to a stand-in that keeps the kernel's stamps.
    app.sim.stop();
    AnsweringDisplay display(QStringLiteral("127.0.0.2"));
    QProcess bare;
    bare.start(QCoreApplication::applicationFilePath(),
               {QStringLiteral("--forwarder"), QString::number(kForwarderPort)});
    processEventsUntil([] { return bool(httplib::Client("127.0.0.1", kForwarderPort).Get("/")); },
                       5000);
    // By turns, so that both see the same machine.
    std::vector<double> door, forwarded;
    for (int round = 0; round < 4; ++round) {
        for (double ms : commandToWire(HttpApi::kDefaultPort, display, 250))
            door.push_back(ms);
        for (double ms : commandToWire(kForwarderPort, display, 250))
            forwarded.push_back(ms);
    }
    bare.terminate();
    bare.waitForFinished(5000);
    printLine(QStringLiteral("wire: HTTP command to datagram from a client process, %1 requests: "
                             "door %2; bare forwarder (%3 requests) %4; p50 ratio %5")
                  .arg(door.size())
                  .arg(percentiles(door, QStringLiteral(" ms")))
                  .arg(forwarded.size())
                  .arg(percentiles(forwarded, QStringLiteral(" ms")))
                  .arg(percentile(door, 0.5) / percentile(forwarded, 0.5), 0, 'f', 2));
}

int rawConnect(in_addr_t source = INADDR_ANY)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(source);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    address.sin_port = htons(HttpApi::kDefaultPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    return fd;
}

// One request on a connection of its own from `source`, as qb-timerctl makes it: the status.
int requestFrom(in_addr_t source, const std::string &token)
{
    const int fd = rawConnect(source);
    const std::string request = "GET /api/v1/state HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                "Authorization: Bearer " +
                                token + "\r\nConnection: close\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char head[13] = {};
    const bool answered = ::recv(fd, head, sizeof head - 1, MSG_WAITALL) == 12;
    char rest[4096];
    while (::recv(fd, rest, sizeof rest, 0) > 0) {
    }
    ::close(fd);
    return answered ? std::atoi(head + 9) : 0;
}

// One host (127.0.0.3) keeps 128 idle connections open, opening another as each is closed,
// while a tokened client on another (127.0.0.4) sends 1,000 requests, each on a connection of
// its own.
void held(const QString &build)
{
    Headless app(build);
    QProcess tokenOf;
    tokenOf.start(build + QStringLiteral("/app/qb-timer"), {QStringLiteral("--api-token")});
    tokenOf.waitForFinished(5000);
    app.token = tokenOf.readAllStandardOutput().trimmed().toStdString();
    if (!app.start({QStringLiteral("--api-listen"), QStringLiteral("0.0.0.0:7380")})) {
        printLine(QStringLiteral("held: the headless controller did not start"));
        return;
    }
    std::atomic<bool> stop{false};
    std::atomic<int> reopened{0};
    std::thread holder([&] {
        std::vector<pollfd> open;
        for (int i = 0; i < 128; ++i)
            open.push_back({rawConnect(0x7f000003), POLLIN, 0});
        while (!stop) {
            if (::poll(open.data(), open.size(), 50) <= 0)
                continue;
            for (pollfd &p : open) {
                char drain[512];
                if (p.revents && ::recv(p.fd, drain, sizeof drain, MSG_DONTWAIT) <= 0) {
                    ::close(p.fd);
                    p.fd = rawConnect(0x7f000003);
                    ++reopened;
                }
            }
        }
        for (const pollfd &p : open)
            ::close(p.fd);
    });
    QThread::msleep(3000); // past the first-byte wait: the held connections are being renewed
    std::vector<double> ms;
    std::map<int, int> statuses;
    for (int i = 0; i < 1000; ++i) {
        const double start = monotonicMs();
        ++statuses[requestFrom(0x7f000004, app.token)];
        ms.push_back(monotonicMs() - start);
    }
    stop = true;
    holder.join();
    QStringList counts;
    for (const auto &[status, count] : statuses)
        counts << QStringLiteral("%1 x%2").arg(status).arg(count);
    printLine(QStringLiteral("held: one host holding 128 connections (%1 reopened): a tokened "
                             "client's 1,000 requests on connections of their own: %2; %3")
                  .arg(reopened.load())
                  .arg(counts.join(QStringLiteral(", ")))
                  .arg(percentiles(ms, QStringLiteral(" ms"))));
}

void refused(const QString &build)
{
    Headless app(build);
    if (!app.start()) {
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
    if (argc == 3 && std::strcmp(argv[1], "--forwarder") == 0)
        return forwarder(std::atoi(argv[2]));
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
    if (all || part == QLatin1String("wire"))
        wire(build);
    if (all || part == QLatin1String("held"))
        held(build);
    if (all || part == QLatin1String("streams"))
        streams(build, seconds);
    if (all || part == QLatin1String("refused"))
        refused(build);
    return 0;
}
