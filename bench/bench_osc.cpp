// The OSC door, timed from outside. A client process of its own (forked before anything else
// starts) sends each message on order and reports the moment just before its write; a display on
// loopback keeps the kernel's receive timestamp of each packet, on loopback the moment of the
// sending write. First, by turns, an OSC command through the door and the same datagram through
// a bare UDP relay (a thread that forwards the display's packet as soon as a datagram comes), with
// the two hand-overs of the door's path timed alone beside them: a thread calling the command
// gate, and the controller's own thread calling the controller. Then the door under a flood: one
// source sends 2,000 messages a second (a quarter each acting commands for another display,
// reading commands, out-of-range arguments and datagrams that are not OSC) while the client, a
// surface, sends a command every 50 ms and a subscriber takes the feedback: the surface's command
// to the wire, the 100 ms tick's lateness, the answers, resident memory. Everything on loopback;
// run it in a network namespace of its own (scripts/bench.sh does).

#include "control/commandgate.h"
#include "control/remotecontrol.h"
#include "controller/handlegui.h"
#include "link/udpcommthread.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include "benchsupport.h"
#include "loopbackdisplay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kTickMs = 100;
constexpr int kNoPoll = 1 << 20;
constexpr int kSurfacePeriodMs = 50;
const QString kStage = QStringLiteral("127.0.0.2");
const QString kSide = QStringLiteral("127.0.0.3");

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.simplified().split(' ').value(1).toLongLong();
    }
    return 0;
}

QByteArray wire(const QByteArray &path, const QVariantList &args = {})
{
    return OscWire::serialise({path, args});
}

sockaddr_in loopback(const char *address, int port)
{
    sockaddr_in to{AF_INET, htons(quint16(port)), {}, {}};
    inet_pton(AF_INET, address, &to.sin_addr);
    return to;
}

bool readAll(int fd, void *data, size_t size)
{
    auto *at = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t got = ::read(fd, at, size);
        if (got <= 0)
            return false;
        at += got;
        size -= size_t(got);
    }
    return true;
}

// The client process: a socket on 127.0.0.1 that sends what it is told to, where it is told to,
// and answers each order with CLOCK_REALTIME taken just before the write. An order is a port and
// a length, then the datagram; port 0 ends it.
class ClientProcess
{
public:
    // Forks; call before any thread starts.
    ClientProcess()
    {
        int orders[2], stamps[2];
        if (::pipe(orders) != 0 || ::pipe(stamps) != 0)
            std::abort();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(orders[1]);
            ::close(stamps[0]);
            serve(orders[0], stamps[1]);
        }
        ::close(orders[0]);
        ::close(stamps[1]);
        m_orders = orders[1];
        m_stamps = stamps[0];
    }
    ~ClientProcess()
    {
        const quint16 end[2] = {0, 0};
        (void)!::write(m_orders, end, sizeof end);
        ::waitpid(m_pid, nullptr, 0);
    }
    ClientProcess(const ClientProcess &) = delete;
    ClientProcess &operator=(const ClientProcess &) = delete;

    // Has the datagram sent to 127.0.0.1:port; when the client was about to write it.
    double send(int port, const QByteArray &datagram) const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const quint16 header[2] = {quint16(port), quint16(datagram.size())};
        double sentMs = 0;
        if (::write(m_orders, header, sizeof header) != sizeof header ||
            ::write(m_orders, datagram.constData(), size_t(datagram.size())) != datagram.size() ||
            !readAll(m_stamps, &sentMs, sizeof sentMs))
            std::abort();
        return sentMs;
    }

private:
    [[noreturn]] static void serve(int orders, int stamps)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        const sockaddr_in own = loopback("127.0.0.1", 0);
        ::bind(fd, reinterpret_cast<const sockaddr *>(&own), sizeof own);
        char datagram[65536];
        quint16 header[2];
        while (readAll(orders, header, sizeof header) && header[0] != 0 &&
               readAll(orders, datagram, header[1])) {
            const sockaddr_in to = loopback("127.0.0.1", header[0]);
            const double sentMs = realtimeNowMs();
            ::sendto(fd, datagram, header[1], 0, reinterpret_cast<const sockaddr *>(&to),
                     sizeof to);
            (void)!::write(stamps, &sentMs, sizeof sentMs);
        }
        ::_exit(0);
    }

    pid_t m_pid = 0;
    int m_orders = -1;
    int m_stamps = -1;
    mutable std::mutex m_mutex;
};

// The least a forwarder can do: a thread that waits for a datagram and sends the display its
// packet, from a socket of its own (the display's answers go there, unread).
class BareRelay
{
public:
    BareRelay()
        : m_in(::socket(AF_INET, SOCK_DGRAM, 0)), m_out(::socket(AF_INET, SOCK_DGRAM, 0)),
          m_display(loopback("127.0.0.2", 7372))
    {
        const sockaddr_in own = loopback("127.0.0.1", 0);
        ::bind(m_in, reinterpret_cast<const sockaddr *>(&own), sizeof own);
        m_thread = std::thread([this] { run(); });
    }
    ~BareRelay()
    {
        m_stop = true;
        send("");
        m_thread.join();
        ::close(m_in);
        ::close(m_out);
    }
    int port() const
    {
        sockaddr_in own{};
        socklen_t length = sizeof own;
        ::getsockname(m_in, reinterpret_cast<sockaddr *>(&own), &length);
        return ntohs(own.sin_port);
    }

private:
    void send(const QByteArray &datagram) const
    {
        const sockaddr_in to = loopback("127.0.0.1", port());
        ::sendto(m_out, datagram.constData(), size_t(datagram.size()), 0,
                 reinterpret_cast<const sockaddr *>(&to), sizeof to);
    }
    void run()
    {
        static const char packet[] = {char(0xA3), 0x01, 0x00};
        char buffer[65536];
        while (::recv(m_in, buffer, sizeof buffer, 0) >= 0 && !m_stop)
            ::sendto(m_out, packet, sizeof packet, 0,
                     reinterpret_cast<const sockaddr *>(&m_display), sizeof m_display);
    }

    const int m_in;
    const int m_out;
    const sockaddr_in m_display;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A UDP socket on a loopback address of its own that sends to the door and counts what comes back.
class Sender
{
public:
    Sender(const char *address, int doorPort)
        : m_fd(::socket(AF_INET, SOCK_DGRAM, 0)), m_door(loopback("127.0.0.1", doorPort))
    {
        const int on = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        const sockaddr_in own = loopback(address, 0);
        ::bind(m_fd, reinterpret_cast<const sockaddr *>(&own), sizeof own);
    }
    ~Sender() { ::close(m_fd); }
    void send(const QByteArray &datagram) const
    {
        ::sendto(m_fd, datagram.constData(), size_t(datagram.size()), 0,
                 reinterpret_cast<const sockaddr *>(&m_door), sizeof m_door);
    }
    // Takes what has come back, waiting at most timeoutMs for the first; the kernel's receive
    // times, which on loopback are the moments of the sending writes.
    std::vector<double> drain(int timeoutMs) const
    {
        std::vector<double> times;
        static thread_local char buffer[65536];
        iovec part{buffer, sizeof buffer};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        pollfd wait{m_fd, POLLIN, 0};
        while (poll(&wait, 1, times.empty() ? timeoutMs : 0) > 0) {
            msghdr message{};
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            if (recvmsg(m_fd, &message, MSG_DONTWAIT) < 0)
                break;
            const cmsghdr *stamp = CMSG_FIRSTHDR(&message);
            timespec at{};
            if (stamp && stamp->cmsg_type == SCM_TIMESTAMPNS)
                std::memcpy(&at, CMSG_DATA(stamp), sizeof at);
            times.push_back(double(at.tv_sec) * 1e3 + double(at.tv_nsec) / 1e6);
        }
        return times;
    }

private:
    const int m_fd;
    const sockaddr_in m_door;
};

// The window's 100 ms tick driving the controller; how late each one came, taken by phase.
class Tick
{
public:
    explicit Tick(HandleGui &controller)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, &controller] {
            const qint64 now = m_clock.elapsed();
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_lateMs.push_back(double(now - m_lastMs - kTickMs));
            }
            m_lastMs = now;
            controller.qmlTimerTriggered();
        });
        m_timer.setTimerType(Qt::PreciseTimer);
        m_clock.start();
        m_timer.start(kTickMs);
    }
    std::vector<double> take()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_lateMs, {});
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastMs = 0;
    std::mutex m_mutex;
    std::vector<double> m_lateMs;
};

void printLateness(const char *what, const std::vector<double> &lateMs)
{
    std::printf("  tick %s: %zu ticks, lateness p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", what,
                lateMs.size(), percentile(lateMs, 0.5), percentile(lateMs, 0.99),
                summarise(lateMs).max);
}

void printLatency(const char *what, const std::vector<double> &ms)
{
    std::printf("  %-34s p50 %.3f ms, p99 %.3f ms, %s\n", what, percentile(ms, 0.5),
                percentile(ms, 0.99), qPrintable(describe(summarise(ms), "ms")));
}

// The controller, its displays and the door, with what the figures need of them.
struct Rig
{
    HandleGui &controller;
    AnsweringDisplay &stage;
    CommandGate &gate;
    int doorPort;
    const ClientProcess &client;

    // How long after sentMs the next count-up packet reached the stage (packets counted from
    // `before`), once the link has nothing left to resend; nothing when none came in 2 s.
    std::optional<double> toWire(size_t before, double sentMs) const
    {
        std::optional<double> latency;
        for (size_t n = before; !latency; ++n) {
            const std::optional<LoopbackDisplay::Datagram> wrote = stage.waitFor(n, 2000);
            if (!wrote)
                return std::nullopt;
            if (wrote->payload.startsWith(char(0xA3)))
                latency = wrote->receivedMs - sentMs;
        }
        while (controller.link().queuedCount() > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return latency;
    }
};

// The door beside the bare relay, by turns so that both meet the same machine, and the door's two
// hand-overs alone: a thread calling the gate, and the controller's thread calling the controller.
void paths(const Rig &rig, const BareRelay &relay, int messages)
{
    // Toggles: whatever the count-up did last, each makes one packet.
    const QByteArray toggle = wire("/qb/countup/toggle");
    std::vector<double> door, bare, gate, link;
    const auto take = [](std::vector<double> &into, std::optional<double> latency) {
        if (latency)
            into.push_back(*latency);
    };
    for (int i = 0; i < messages; ++i) {
        size_t before = rig.stage.count();
        take(door, rig.toWire(before, rig.client.send(rig.doorPort, toggle)));
        before = rig.stage.count();
        take(bare, rig.toWire(before, rig.client.send(relay.port(), "relay")));
        before = rig.stage.count();
        const double calledMs = realtimeNowMs();
        rig.gate.call(QStringLiteral("countup.toggle"), {});
        take(gate, rig.toWire(before, calledMs));
        before = rig.stage.count();
        double ranMs = 0;
        HandleGui &controller = rig.controller;
        QMetaObject::invokeMethod(
            &controller,
            [&controller, &ranMs] {
                ranMs = realtimeNowMs();
                controller.handleCountUpStartButton();
            },
            Qt::BlockingQueuedConnection);
        take(link, rig.toWire(before, ranMs));
    }
    std::printf("A command to the first datagram on the wire (%d of each, by turns)\n", messages);
    printLatency("OSC door, from the client process", door);
    printLatency("bare UDP relay, from the client", bare);
    printLatency("the gate, from a waiting thread", gate);
    printLatency("the controller, on its own thread", link);
    std::printf("  door / relay at p50: %.2f\n", percentile(door, 0.5) / percentile(bare, 0.5));
}

// The most of the subscriber's messages in any one second.
int mostInOneSecond(const std::vector<double> &times)
{
    int most = 0;
    for (size_t first = 0, last = 0; last < times.size(); ++last) {
        while (times[last] - times[first] >= 1000)
            ++first;
        most = std::max(most, int(last - first + 1));
    }
    return most;
}

// The flood from 127.0.0.9 at `perSecond`, on a thread of its own, for `seconds`; answers counted.
struct Flood
{
    std::thread thread;
    qint64 sent = 0;
    qint64 answers = 0;
    double elapsedS = 0;
};

void runFlood(Flood &flood, int doorPort, int perSecond, int seconds)
{
    const Sender sender("127.0.0.9", doorPort);
    const QByteArray kinds[] = {wire("/qb/countup/toggle", {QStringLiteral("Side")}),
                                wire("/qb/displays/list"), wire("/qb/countdown/set", {0, 0, 75}),
                                "not OSC"};
    const double startMs = monotonicMs();
    for (double nowMs = startMs; nowMs - startMs < seconds * 1000.0; nowMs = monotonicMs()) {
        flood.answers += qint64(sender.drain(0).size());
        if (double(flood.sent) * 1000 / perSecond > nowMs - startMs) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        sender.send(kinds[flood.sent % 4]);
        ++flood.sent;
    }
    flood.elapsedS = (monotonicMs() - startMs) / 1000;
    flood.answers += qint64(sender.drain(500).size());
}

void underLoad(const Rig &rig, Tick &tick, int perSecond, int seconds)
{
    const Sender subscriber("127.0.0.1", rig.doorPort);
    const QByteArray subscribe = wire("/qb/subscribe", {0});
    subscriber.send(subscribe);
    const qint64 residentBefore = residentKb();
    tick.take();
    Flood flood;
    flood.thread = std::thread([&] { runFlood(flood, rig.doorPort, perSecond, seconds); });
    const QByteArray toggle = wire("/qb/countup/toggle", {QStringLiteral("Stage")});
    std::vector<double> surface, told;
    const double startMs = monotonicMs();
    for (int i = 0; monotonicMs() - startMs < seconds * 1000.0; ++i) {
        const size_t before = rig.stage.count();
        if (const std::optional<double> latency =
                rig.toWire(before, rig.client.send(rig.doorPort, toggle)))
            surface.push_back(*latency);
        const std::vector<double> more = subscriber.drain(0);
        told.insert(told.end(), more.begin(), more.end());
        if (i % (30000 / kSurfacePeriodMs) == 0)
            subscriber.send(subscribe); // renewed every 30 s
        const double nextMs = startMs + (i + 1) * kSurfacePeriodMs;
        while (monotonicMs() < nextMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    flood.thread.join();
    const std::vector<double> lateMs = tick.take();
    std::printf("Under %d OSC messages a second from one source for %d s\n", perSecond, seconds);
    printLatency("a surface's command to the wire", surface);
    std::printf("  flood: sent %lld (%.0f/s), %lld answers\n", flood.sent,
                double(flood.sent) / flood.elapsedS, flood.answers);
    printLateness("during", lateMs);
    std::printf("  subscriber: %zu messages, at most %d in one second\n", told.size(),
                mostInOneSecond(told));
    std::printf("  resident %lld kB before, %lld kB after\n", residentBefore, residentKb());
}

} // namespace

int main(int argc, char **argv)
{
    const ClientProcess client; // before any thread
    const ScratchConfig config;
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&args](const char *name, int fallback) {
        const int at = args.indexOf(QLatin1String(name));
        return at >= 0 ? args.value(at + 1).toInt() : fallback;
    };
    const int seconds = option("--seconds", 60);
    const int messages = option("--messages", 1000);
    const int rate = option("--rate", 2000);

    // They bind before the controller, which shares the port.
    AnsweringDisplay stage(kStage);
    AnsweringDisplay side(kSide);
    TimerDataModel timers;
    ProgramDataModel programs;
    timers.addOrUpdateTimer(TimerData(QStringLiteral("Stage"), kStage, true, QTime(0, 0), 0, 0, 0));
    timers.addOrUpdateTimer(TimerData(QStringLiteral("Side"), kSide, false, QTime(0, 0), 0, 0, 0));
    HandleGui controller(timers, programs);
    controller.handleSetIPParameters(3, 350, kNoPoll);
    RemoteControl remote(controller, timers, programs);
    OscServer::Options options;
    options.port = 0;
    QString error;
    if (!remote.startOsc(options, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const BareRelay relay;
    const Rig rig{controller, stage, remote.gate(), remote.osc()->port(), client};
    Tick tick(controller);

    std::thread driver([&] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::printf("Idle\n");
        printLateness("idle, 2 s", tick.take());
        paths(rig, relay, messages);
        underLoad(rig, tick, rate, seconds);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        printLateness("2 s after", tick.take());
        std::fflush(stdout);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    const int code = app.exec();
    driver.join();
    remote.stop();
    return code;
}
