// When does the link send a packet that nobody answers? Numbered packets go to silent simulated
// displays, whose log tells when each copy arrived, and alike to stand-in displays of our own,
// whose kernel receive timestamps tell when the link wrote each copy. Every send is compared with
// the time it was due: the first one its hold-back after queueing, every later one a retry
// interval after the send before it. A drop is due a retry interval after the last send.

#include "link/udpcommthread.h"

#include "benchsupport.h"
#include "loopbackdisplay.h"
#include "simharness.h"

#include <QCoreApplication>
#include <QMutex>
#include <QUdpSocket>
#include <cstdio>
#include <map>

namespace {

struct Setting
{
    int retries;
    int delay;
    int firstDelay;
    int extraWait;
};

// The window's defaults first, then the controller's start-up values, the link's own delay, a
// long interval, and the hold-back and extra wait that program transfers use.
constexpr Setting kSettings[] = {
    {3, 350, 0, 0}, {3, 100, 0, 0}, {5, 50, 0, 0}, {2, 1000, 0, 0}, {3, 350, 450, 200},
};
constexpr int kDisplays = 4; // of each kind
constexpr int kPacketsPerSetting = 60;
constexpr double kStaggerMs = 23; // not a multiple of the link's 5 ms pass
constexpr double kTargetMs = 6;
constexpr quint8 kPacketOpcode = 0xA0; // no display command: a silent display ignores it anyway
constexpr quint8 kProbeOpcode = 0x9F;

const QString kDropLine = QStringLiteral("No response received, dropping packet");

QString simulatedAddress(int i)
{
    return QStringLiteral("127.0.0.%1").arg(2 + i % kDisplays);
}

QString standInAddress(int i)
{
    return QStringLiteral("127.0.1.%1").arg(2 + i % kDisplays);
}

// Drop lines with the time they were written, caught from the link's debug output.
QMutex dropMutex;
std::vector<double> dropTimes;

void catchDrops(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message == kDropLine) {
        const double at = monotonicMs();
        const QMutexLocker lock(&dropMutex);
        dropTimes.push_back(at);
    }
}

std::vector<double> takeDrops()
{
    const QMutexLocker lock(&dropMutex);
    return std::exchange(dropTimes, {});
}

QByteArray numberedPacket(quint8 opcode, int number)
{
    const char bytes[] = {char(opcode), char(number >> 8), char(number & 0xFF)};
    return QByteArray(bytes, sizeof bytes);
}

int packetNumber(const QByteArray &bytes)
{
    return (quint8(bytes.at(1)) << 8) | quint8(bytes.at(2));
}

// The times each numbered packet was seen, in our monotonic clock.
using SendTimes = std::map<int, std::vector<double>>;

SendTimes seenBySimulator(SimHarness &sim, quint8 opcode, double clockOffset)
{
    SendTimes seen;
    const QList<SimHarness::Record> records = sim.records([opcode](const SimHarness::Record &r) {
        return r.dir == QLatin1String("rx") && r.bytes.size() == 3 &&
               quint8(r.bytes.at(0)) == opcode;
    });
    for (const SimHarness::Record &record : records)
        seen[packetNumber(record.bytes)].push_back(record.t - clockOffset);
    return seen;
}

SendTimes seenOnTheWire(std::vector<std::unique_ptr<LoopbackDisplay>> &standIns)
{
    const double realtimeOffset = realtimeNowMs() - monotonicMs();
    SendTimes seen;
    for (const auto &display : standIns) {
        while (const std::optional<LoopbackDisplay::Datagram> datagram = display->receive()) {
            if (datagram->payload.size() == 3)
                seen[packetNumber(datagram->payload)].push_back(datagram->receivedMs -
                                                                realtimeOffset);
        }
    }
    return seen;
}

// The simulator's clock minus ours: the least difference over a few probes, that is the one
// with the least delivery and wake-up time in it.
std::optional<double> simulatorClockOffset(SimHarness &sim)
{
    constexpr int kProbes = 20;
    QUdpSocket probe;
    std::map<int, double> sentAt;
    for (int i = 0; i < kProbes; ++i) {
        sentAt[i] = monotonicMs();
        probe.writeDatagram(numberedPacket(kProbeOpcode, i), QHostAddress(simulatedAddress(0)),
                            7372);
        QThread::msleep(3);
    }
    SendTimes seen;
    processEventsUntil(
        [&] {
            seen = seenBySimulator(sim, kProbeOpcode, 0);
            return seen.size() == size_t(kProbes);
        },
        3000);
    if (seen.size() != size_t(kProbes))
        return std::nullopt;
    double offset = std::numeric_limits<double>::max();
    for (const auto &[number, times] : seen)
        offset = std::min(offset, times.front() - sentAt[number]);
    return offset;
}

struct Deviations
{
    std::vector<double> firstSend, resend, fromFirst;
    int wrongCount = 0; // packets not sent exactly retries + 1 times
};

Deviations deviations(const Setting &setting, const std::map<int, double> &queuedAt,
                      const SendTimes &seen, std::vector<double> &dueDrops)
{
    const int interval = setting.delay + setting.extraWait;
    Deviations result;
    for (const auto &[number, queued] : queuedAt) {
        const auto found = seen.find(number);
        if (found == seen.end() || int(found->second.size()) != setting.retries + 1) {
            ++result.wrongCount;
            continue;
        }
        const std::vector<double> &sends = found->second;
        result.firstSend.push_back(sends.front() - (queued + setting.firstDelay));
        for (size_t k = 1; k < sends.size(); ++k)
            result.resend.push_back(sends[k] - (sends[k - 1] + interval));
        result.fromFirst.push_back(sends.back() - (sends.front() + setting.retries * interval));
        dueDrops.push_back(sends.back() + interval);
    }
    return result;
}

// Drops name no packet: pairing the sorted drop times with the sorted due times pairs each drop
// with the packet whose due time is nearest in turn.
std::vector<double> dropDeviations(std::vector<double> drops, std::vector<double> due)
{
    std::sort(drops.begin(), drops.end());
    std::sort(due.begin(), due.end());
    std::vector<double> deviation;
    for (size_t i = 0; i < std::min(drops.size(), due.size()); ++i)
        deviation.push_back(drops[i] - due[i]);
    return deviation;
}

int countBeyond(const std::vector<double> &samples, double limit)
{
    return int(std::count_if(samples.begin(), samples.end(),
                             [limit](double value) { return std::abs(value) > limit; }));
}

void print(const char *what, const std::vector<double> &samples)
{
    std::printf("    %-21s %s  beyond %.0f ms: %d\n", what,
                qPrintable(describe(summarise(samples), QStringLiteral("ms"))), kTargetMs,
                countBeyond(samples, kTargetMs));
}

void append(std::vector<double> &to, const std::vector<double> &from)
{
    to.insert(to.end(), from.begin(), from.end());
}

} // namespace

int main(int argc, char **argv)
{
    const ScratchConfig config;
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(catchDrops);

    SimHarness sim(QStringLiteral(QB_SIM_EXECUTABLE));
    QStringList silent;
    for (int display = 1; display <= kDisplays; ++display)
        silent << QString::number(display);
    if (!sim.start(kDisplays, {"--no-broadcast", "--silent", silent.join(',')})) {
        std::fprintf(stderr, "bench_resend: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    std::vector<std::unique_ptr<LoopbackDisplay>> standIns;
    for (int i = 0; i < kDisplays; ++i) {
        standIns.push_back(std::make_unique<LoopbackDisplay>(standInAddress(i)));
        if (!standIns.back()->isBound()) {
            std::fprintf(stderr, "bench_resend: cannot bind %s:7372\n",
                         qPrintable(standInAddress(i)));
            return 1;
        }
    }
    UDPCommThread link;
    link.start();
    QThread::msleep(50);
    const std::optional<double> offset = simulatorClockOffset(sim);
    if (!offset) {
        std::fprintf(stderr, "bench_resend: the simulator did not log the clock probes\n");
        return 1;
    }

    std::vector<double> allSim, allWire, allDrops;
    int wrong = 0;
    int firstNumber = 0;
    std::printf("Deviation of each send from its due time (positive = late)\n");
    for (const Setting &setting : kSettings) {
        link.setIPParameters(setting.retries, setting.delay);
        takeDrops();
        std::map<int, double> queuedAt;
        const double start = monotonicMs();
        for (int i = 0; i < kPacketsPerSetting; ++i) {
            processEventsUntil([&] { return monotonicMs() >= start + i * kStaggerMs; }, 1000);
            const int number = firstNumber + i;
            const QByteArray packet = numberedPacket(kPacketOpcode, number);
            queuedAt[number] = monotonicMs();
            for (const QString &address : {simulatedAddress(i), standInAddress(i)})
                link.sendUDPCommand(packet, packet.size(), address, 7372, true, setting.firstDelay,
                                    setting.extraWait);
        }
        firstNumber += kPacketsPerSetting;
        const int interval = setting.delay + setting.extraWait;
        processEventsUntil([&] { return link.queuedCount() == 0; },
                           setting.firstDelay + (setting.retries + 2) * interval + 2000);
        QThread::msleep(50);

        std::vector<double> dueDrops;
        const Deviations bySim =
            deviations(setting, queuedAt, seenBySimulator(sim, kPacketOpcode, *offset), dueDrops);
        const Deviations onWire = deviations(setting, queuedAt, seenOnTheWire(standIns), dueDrops);
        const std::vector<double> drops = takeDrops();
        const std::vector<double> dropped = dropDeviations(drops, dueDrops);
        const int settingWrong = bySim.wrongCount + onWire.wrongCount +
                                 std::abs(int(drops.size()) - 2 * kPacketsPerSetting);
        std::printf("retries %d, delay %d ms, first delay %d ms, extra wait %d ms: 2 x %d packets, "
                    "%d with a wrong number of sends or drops\n",
                    setting.retries, setting.delay, setting.firstDelay, setting.extraWait,
                    kPacketsPerSetting, settingWrong);
        for (const auto &[observer, found] : {std::pair{"seen by the simulator", &bySim},
                                              std::pair{"written (kernel time)", &onWire}}) {
            std::printf("  %s\n", observer);
            print("first send", found->firstSend);
            print("resend", found->resend);
            print("last send from first", found->fromFirst);
        }
        print("drop", dropped);
        append(allSim, bySim.firstSend);
        append(allSim, bySim.resend);
        append(allWire, onWire.firstSend);
        append(allWire, onWire.resend);
        append(allDrops, dropped);
        wrong += settingWrong;
    }
    std::printf("All sends seen by the simulator: %s  beyond %.0f ms: %d\n",
                qPrintable(describe(summarise(allSim), QStringLiteral("ms"))), kTargetMs,
                countBeyond(allSim, kTargetMs));
    std::printf("All sends written (kernel time): %s  beyond %.0f ms: %d\n",
                qPrintable(describe(summarise(allWire), QStringLiteral("ms"))), kTargetMs,
                countBeyond(allWire, kTargetMs));
    std::printf("All drops: %s; packets with a wrong count of sends or drops: %d\n",
                qPrintable(describe(summarise(allDrops), QStringLiteral("ms"))), wrong);
    link.stopThread();
    return wrong == 0 ? 0 : 1;
}
