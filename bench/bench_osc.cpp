// The OSC door under its two loads. First an OSC command to the first datagram on the wire: a
// client on loopback sends /qb/countup/start and /qb/countup/pause by turns to a controller with
// one selected display, a plain socket with the kernel's receive timestamps, which on loopback
// are the moment the link wrote; 1,000 messages, each after the last one's packet was answered.
// Then the 100 ms tick while a client sends 2,000 messages a second (a quarter each acting
// commands, reading commands, out-of-range arguments and datagrams that are not OSC) and a
// subscriber takes the feedback: the tick's lateness, the answers the client got, the
// subscriber's datagrams a second, resident memory. Everything on loopback; run it in a network
// namespace of its own (scripts/bench.sh does).

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
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kTickMs = 100;
constexpr int kNoPoll = 1 << 20;
const QString kDisplay = QStringLiteral("127.0.0.2");

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

// A UDP socket on loopback that sends to the door and counts what comes back.
class Client
{
public:
    explicit Client(int doorPort) : m_fd(socket(AF_INET, SOCK_DGRAM, 0))
    {
        const int on = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        const sockaddr_in own{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        bind(m_fd, reinterpret_cast<const sockaddr *>(&own), sizeof own);
        m_door = {AF_INET, htons(quint16(doorPort)), {htonl(INADDR_LOOPBACK)}, {}};
    }
    ~Client() { close(m_fd); }
    void send(const QByteArray &datagram) const
    {
        sendto(m_fd, datagram.constData(), size_t(datagram.size()), 0,
               reinterpret_cast<const sockaddr *>(&m_door), sizeof m_door);
    }
    int port() const
    {
        sockaddr_in own{};
        socklen_t length = sizeof own;
        getsockname(m_fd, reinterpret_cast<sockaddr *>(&own), &length);
        return ntohs(own.sin_port);
    }
    // Takes what has come back, waiting at most timeoutMs for the first; the kernel's receive
    // times, which on loopback are the moments of the sending writes.
    std::vector<double> drain(int timeoutMs) const
    {
        std::vector<double> times;
        static char buffer[65536];
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
    int m_fd;
    sockaddr_in m_door{};
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

void commandToWire(HandleGui &controller, AnsweringDisplay &display, int doorPort, int messages)
{
    const Client client(doorPort);
    const QByteArray start = wire("/qb/countup/start");
    const QByteArray pause = wire("/qb/countup/pause");
    std::vector<double> latencyMs;
    for (int i = 0; i < messages; ++i) {
        const size_t before = display.count();
        const double sentMs = realtimeNowMs();
        client.send(i % 2 ? pause : start);
        const std::optional<LoopbackDisplay::Datagram> wrote = display.waitFor(before, 2000);
        if (!wrote) {
            std::printf("  message %d: nothing reached the display in 2 s\n", i);
            continue;
        }
        latencyMs.push_back(wrote->receivedMs - sentMs);
        while (controller.link().queuedCount() > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    std::printf("OSC command to the first datagram on the wire (%d messages)\n", messages);
    std::printf("  p50 %.3f ms, p99 %.3f ms, %s\n", percentile(latencyMs, 0.5),
                percentile(latencyMs, 0.99), qPrintable(describe(summarise(latencyMs), "ms")));
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

void underLoad(Tick &tick, int doorPort, int perSecond, int seconds)
{
    const Client flood(doorPort);
    const Client subscriber(doorPort);
    const QByteArray subscribe = wire("/qb/subscribe", {0});
    const QByteArray kinds[] = {wire("/qb/countup/toggle"), wire("/qb/displays/list"),
                                wire("/qb/countdown/set", {0, 0, 75}), "not OSC"};
    std::vector<double> told;
    subscriber.send(subscribe);
    const qint64 residentBefore = residentKb();
    tick.take();
    const double startMs = monotonicMs();
    qint64 sent = 0;
    qint64 answers = 0;
    for (double nowMs = startMs; nowMs - startMs < seconds * 1000.0; nowMs = monotonicMs()) {
        answers += qint64(flood.drain(0).size());
        const std::vector<double> more = subscriber.drain(0);
        told.insert(told.end(), more.begin(), more.end());
        if (double(sent) * 1000 / perSecond > nowMs - startMs) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        flood.send(kinds[sent % 4]);
        ++sent;
        if (sent % (30 * perSecond) == 0)
            subscriber.send(subscribe); // renewed every 30 s
    }
    const double elapsedS = (monotonicMs() - startMs) / 1000;
    const std::vector<double> lateMs = tick.take();
    answers += qint64(flood.drain(500).size());
    std::printf("Tick under %d OSC messages a second for %d s\n", perSecond, seconds);
    std::printf("  sent %lld (%.0f/s), answered %lld of the %lld that are answered\n", sent,
                double(sent) / elapsedS, answers, sent - sent / 4);
    printLateness("during", lateMs);
    std::printf("  subscriber: %zu messages, at most %d in one second\n", told.size(),
                mostInOneSecond(told));
    std::printf("  resident %lld kB before, %lld kB after\n", residentBefore, residentKb());
}

} // namespace

int main(int argc, char **argv)
{
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

    AnsweringDisplay display(kDisplay); // binds before the controller, which shares the port
    TimerDataModel timers;
    ProgramDataModel programs;
    timers.addOrUpdateTimer(
        TimerData(QStringLiteral("Stage"), kDisplay, true, QTime(0, 0), 0, 0, 0));
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
    const int doorPort = remote.osc()->port();
    Tick tick(controller);

    std::thread driver([&] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::printf("Idle\n");
        printLateness("idle, 2 s", tick.take());
        commandToWire(controller, display, doorPort, messages);
        underLoad(tick, doorPort, rate, seconds);
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
