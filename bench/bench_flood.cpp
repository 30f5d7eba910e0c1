// The controller under a flood of strangers' datagrams on loopback. First a ramp: floods at
// rising rates, each for a few seconds, measuring how late the 100 ms tick comes and how many
// datagrams the controller's socket accepted (the kernel drops the rest for want of room). Then
// one long flood at the full rate of one sending thread while a well-behaved display, answering
// on a thread of its own, is polled and commanded: resident memory before, during and after, the
// largest gap between its polls, the commands sent to it more than once, and the tick. Uses only
// what every build of the controller has, so older builds can be measured alike. Run it inside
// a network namespace of its own (scripts/bench.sh does).

#include "controller/handlegui.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include "benchsupport.h"
#include "loopbackdisplay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtEndian>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kTickMs = 100;
constexpr qint64 kRssGuardKb = 1536 * 1024; // a flood that grows the process beyond this stops
const QString kDisplay = QStringLiteral("127.0.0.2");

// A field of the line of a /proc table that starts with the key.
qint64 procValue(const char *table, const QByteArray &key, int field)
{
    QFile file(QString::fromLatin1(table));
    file.open(QIODevice::ReadOnly);
    qint64 value = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.value(0) == key && fields.value(1).at(0) != 'I') // Udp: has a header line
            value = fields.value(field).toLongLong();
    }
    return value;
}

qint64 residentKb()
{
    return procValue("/proc/self/status", "VmRSS:", 1);
}

// Datagrams the kernel dropped because a UDP socket's buffer was full, in this namespace.
qint64 kernelDrops()
{
    return procValue("/proc/net/snmp", "Udp:", 5);
}

// Sends to the controller from four loopback addresses until told to stop, at a given rate or
// (0) as fast as it can: forged status replies of ever new displays, acknowledgements nobody
// asked for, and noise.
class Flood
{
public:
    explicit Flood(int perSecond) : m_thread([this, perSecond] { run(perSecond); }) {}
    qint64 stop()
    {
        m_stop = true;
        m_thread.join();
        return m_sent;
    }

private:
    void run(int perSecond)
    {
        std::mt19937 random(7);
        int senders[4];
        for (int i = 0; i < 4; ++i) {
            senders[i] = socket(AF_INET, SOCK_DGRAM, 0);
            const sockaddr_in from{AF_INET, 0, {htonl(0x7F000101 + i)}, {}};
            bind(senders[i], reinterpret_cast<const sockaddr *>(&from), sizeof from);
        }
        const sockaddr_in to{AF_INET, htons(7372), {htonl(INADDR_LOOPBACK)}, {}};
        QByteArray forged(40, '\0');
        forged[0] = 1;
        forged.replace(24, 6, "Forged");
        const QByteArray kinds[] = {forged, "A", QByteArray(60, '\x07')};
        QElapsedTimer clock;
        clock.start();
        for (qint64 sent = 0; !m_stop; ++sent) {
            while (perSecond > 0 && sent * 1000000000 / perSecond > clock.nsecsElapsed())
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            qToBigEndian<quint32>(0x0A000000 | (random() & 0xFFFFFF), forged.data() + 1);
            const QByteArray &datagram = sent % 3 ? kinds[sent % 3] : forged;
            sendto(senders[sent % 4], datagram.constData(), datagram.size(), 0,
                   reinterpret_cast<const sockaddr *>(&to), sizeof to);
            m_sent = sent + 1;
        }
        for (const int sender : senders)
            close(sender);
    }

    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::thread m_thread;
};

// The 100 ms tick of the window, driving the controller; remembers how late each one came.
class Tick
{
public:
    explicit Tick(HandleGui &controller)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, &controller] {
            const qint64 now = m_clock.elapsed();
            m_worstLateMs = qMax(m_worstLateMs, now - m_lastMs - kTickMs);
            m_lastMs = now;
            controller.qmlTimerTriggered();
        });
        m_clock.start();
        m_timer.start(kTickMs);
    }
    // The latest tick since the last call, in ms past its due time.
    qint64 takeWorstLateMs()
    {
        // A tick that has not come at all is as late as the time since the last one.
        const qint64 worst = qMax(m_worstLateMs, m_clock.elapsed() - m_lastMs - kTickMs);
        m_worstLateMs = 0;
        return worst;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastMs = 0;
    qint64 m_worstLateMs = 0;
};

void waitMs(int ms)
{
    processEventsUntil([] { return false; }, ms);
}

// One step of the ramp: the accepted rate and the latest tick.
void rampStep(Tick &tick, int perSecond, int seconds)
{
    const qint64 dropsBefore = kernelDrops();
    tick.takeWorstLateMs();
    QElapsedTimer clock;
    clock.start();
    Flood flood(perSecond);
    waitMs(seconds * 1000);
    const qint64 sent = flood.stop();
    const double elapsed = clock.elapsed() / 1000.0;
    const qint64 late = tick.takeWorstLateMs();
    const qint64 accepted = sent - (kernelDrops() - dropsBefore);
    std::printf("  asked %7d/s: sent %8.0f/s, accepted %8.0f/s, latest tick %6lld ms late, "
                "resident %6lld kB\n",
                perSecond, sent / elapsed, accepted / elapsed, late, residentKb());
    std::fflush(stdout);
    // What the controller still owes the flood is part of this step, not the next.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 20000 && tick.takeWorstLateMs() > kTickMs / 2)
        waitMs(500);
}

} // namespace

int main(int argc, char **argv)
{
    const ScratchConfig config;
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int floodSeconds = args.contains(QStringLiteral("--seconds"))
                                 ? args.value(args.indexOf(QStringLiteral("--seconds")) + 1).toInt()
                                 : 60;

    TimerDataModel timers;
    ProgramDataModel programs;
    timers.addOrUpdateTimer(TimerData(QString(), kDisplay, false, QTime(0, 0), 0, 0, 0));
    HandleGui controller(timers, programs);
    controller.handleSetIPParameters(3, 350, 0); // the window's retries and delay, a poll a second
    controller.handlecheckBoxChanged(0, true);
    AnsweringDisplay display(kDisplay);
    Tick tick(controller);
    waitMs(1000);

    std::printf("Ramp, 5 s per rate (a third each forged status replies, acknowledgements, "
                "noise)\n");
    for (const int rate : {5000, 10000, 20000, 40000, 80000, 0})
        rampStep(tick, rate, 5);

    std::printf("Flood at full rate for %d s, a display polled about every second and commanded "
                "every 250 ms\n",
                floodSeconds);
    QTimer command;
    QObject::connect(&command, &QTimer::timeout, &controller, &HandleGui::handleCountUpStartButton);
    int commands = 0;
    QObject::connect(&command, &QTimer::timeout, [&] { ++commands; });
    const size_t receivedBefore = display.received().size();
    const qint64 residentBefore = residentKb();
    command.start(250);
    tick.takeWorstLateMs();
    const qint64 dropsBefore = kernelDrops();
    QElapsedTimer clock;
    clock.start();
    qint64 residentPeak = residentBefore;
    qint64 worstLate = 0;
    qint64 sent = 0;
    {
        Flood flood(0);
        while (clock.elapsed() < floodSeconds * 1000 && residentPeak < kRssGuardKb) {
            waitMs(1000);
            residentPeak = qMax(residentPeak, residentKb());
            worstLate = qMax(worstLate, tick.takeWorstLateMs());
        }
        sent = flood.stop();
    }
    const double elapsed = clock.elapsed() / 1000.0;
    command.stop();
    const qint64 accepted = sent - (kernelDrops() - dropsBefore);
    std::printf("  sent %.0f/s, accepted %.0f/s over %.1f s%s\n", sent / elapsed,
                accepted / elapsed, elapsed,
                residentPeak >= kRssGuardKb ? " (stopped: resident size beyond the guard)" : "");
    std::printf("  latest tick %lld ms late; resident %lld kB before, %lld kB at most\n", worstLate,
                residentBefore, residentPeak);
    for (const int after : {1, 10}) {
        waitMs(after == 1 ? 1000 : 9000);
        std::printf("  %2d s after the flood: resident %lld kB, latest tick %lld ms late\n", after,
                    residentKb(), tick.takeWorstLateMs());
    }

    // The display's view: the largest gap between polls during the flood, and copies.
    const std::vector<LoopbackDisplay::Datagram> received = display.received();
    std::vector<double> polls;
    int commandCopies = 0;
    for (size_t i = receivedBefore; i < received.size(); ++i) {
        if (quint8(received[i].payload.at(0)) == 0xA1)
            polls.push_back(received[i].receivedMs);
        else
            ++commandCopies;
    }
    double largestGap = 0;
    for (size_t i = 1; i < polls.size(); ++i)
        largestGap = std::max(largestGap, polls[i] - polls[i - 1]);
    std::printf("  display: %zu polls, largest gap %.0f ms; %d commands, %d copies received\n",
                polls.size(), largestGap, commands, commandCopies);
    return 0;
}
