// How far apart are the controller's mirror and a display after minutes of count-up? A
// simulated display is reset and started by the controller's own commands; from then on the
// mirror runs on the controller's ticks and the display on its own clock, with no status poll to
// bring them together. Every sample asks the display for its count from a socket of our own, so
// the reply does not reach the controller and cannot resynchronise the mirror.

#include "controller/handlegui.h"
#include "link/protocol.h"
#include "link/udpcommthread.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include "benchsupport.h"
#include "simharness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kDefaultSeconds = 600;
constexpr int kSamples = 10;
constexpr int kNoPoll = 1 << 20;
constexpr int kTargetMs = 100;
const QHostAddress kDisplay(QStringLiteral("127.0.0.2"));

// The controller's time source, remembering its last reading: inside a tick the last reading
// is the one the mirror advanced to.
class RecordingClock
{
public:
    RecordingClock() { m_timer.start(); }
    qint64 read()
    {
        m_lastMs = m_timer.elapsed();
        return m_lastMs;
    }
    qint64 lastMs() const { return m_lastMs; }
    double preciseMs() const { return double(m_timer.nsecsElapsed()) / 1e6; }

private:
    QElapsedTimer m_timer;
    qint64 m_lastMs = 0;
};

// The mirror's text for a count of ms in display mode 0, as the window shows it.
QString mirrorText(qint64 ms)
{
    const int days = int(ms / 86400000);
    const QTime time = QTime(0, 0).addMSecs(int(ms % 86400000));
    if (days == 0)
        return time.toString(QStringLiteral("hh:mm:ss.zzz")).left(10);
    return QString::asprintf("%d:%02d:%02d.%d", time.hour() + 24 * days, time.minute(),
                             time.second(), time.msec() / 100);
}

// One answer of the display: its count minus the mirror's at the moment of asking.
struct Reading
{
    double differenceMs;
    double roundTripMs;
};

// Asks the display for its status and compares its count with the mirror's; nothing if it does
// not answer.
std::optional<Reading> query(QUdpSocket &probe, const RecordingClock &clock, qint64 startMs)
{
    const double asked = clock.preciseMs();
    probe.writeDatagram(Protocol::statusQuery(), kDisplay, Protocol::kPort);
    if (!probe.waitForReadyRead(1000))
        return std::nullopt;
    const double answered = clock.preciseMs();
    const std::optional<Protocol::StatusFields> status =
        Protocol::decodeStatusReply(probe.receiveDatagram().data());
    if (!status)
        return std::nullopt;
    // The reply carries hundredths: the display's count lies within 10 ms above what it says.
    const double displayMs =
        double(status->day) * 86400000 + status->time.msecsSinceStartOfDay() + 5;
    const double mirrorMs = (asked + answered) / 2 - double(startMs);
    return Reading{displayMs - mirrorMs, answered - asked};
}

// A burst of readings spread over more than a hundredth, so that their mean is not held to the
// reply's resolution.
struct Sample
{
    double elapsedS;
    Summary differenceMs;
    double roundTripMs; // the longest of the burst
};

std::optional<Sample> sample(QUdpSocket &probe, const RecordingClock &clock, qint64 startMs)
{
    constexpr int kBurst = 40;
    const double elapsedS = (clock.preciseMs() - double(startMs)) / 1e3;
    std::vector<double> differences;
    double roundTrip = 0;
    for (int i = 0; i < kBurst; ++i) {
        const std::optional<Reading> reading = query(probe, clock, startMs);
        if (!reading)
            return std::nullopt;
        differences.push_back(reading->differenceMs);
        roundTrip = std::max(roundTrip, reading->roundTripMs);
        QThread::usleep(250);
    }
    return Sample{elapsedS, summarise(differences), roundTrip};
}

int parseSeconds(const QStringList &arguments)
{
    const int at = arguments.indexOf(QStringLiteral("--seconds"));
    return at > 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toInt() : kDefaultSeconds;
}

} // namespace

int main(int argc, char **argv)
{
    const ScratchConfig config;
    QCoreApplication app(argc, argv);
    const int seconds = parseSeconds(app.arguments());
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: bench_mirrordrift [--seconds N]\n");
        return 2;
    }

    SimHarness sim(QStringLiteral(QB_SIM_EXECUTABLE));
    if (!sim.start(1, {"--no-broadcast"})) {
        std::fprintf(stderr, "bench_mirrordrift: %s\n", qPrintable(sim.errorString()));
        return 1;
    }

    RecordingClock clock;
    TimerDataModel timers;
    ProgramDataModel programs;
    timers.addOrUpdateTimer(TimerData(QString(), kDisplay.toString(), true, QTime(0, 0), 0, 0, 0));
    HandleGui controller(timers, programs, [&clock] { return clock.read(); });
    controller.handleSetIPParameters(3, 350, kNoPoll);
    QThread::msleep(50);

    controller.handleSetCountUpModeButton();
    controller.handleCountUpResetButton(0);
    if (!processEventsUntil([&] { return controller.link().queuedCount() == 0; }, 3000)) {
        std::fprintf(stderr, "bench_mirrordrift: the display did not acknowledge the reset\n");
        return 1;
    }

    int ticks = 0;
    int wrongTexts = 0;
    qint64 startMs = 0;
    QObject::connect(&controller, &HandleGui::updateUpTime, [&](const QVariant &text) {
        ++ticks;
        if (text.toString() != mirrorText(clock.lastMs() - startMs))
            ++wrongTexts;
    });
    controller.handleCountUpStartButton();
    startMs = clock.lastMs();

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, &controller, &HandleGui::qmlTimerTriggered);
    ticker.start(100);

    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    std::vector<Sample> samples;
    std::printf("%10s %14s %14s %14s %8s\n", "elapsed s", "mean diff ms", "least diff ms",
                "most diff ms", "rtt ms");
    const auto takeSample = [&] {
        if (const std::optional<Sample> s = sample(probe, clock, startMs)) {
            samples.push_back(*s);
            std::printf("%10.1f %14.2f %14.1f %14.1f %8.3f\n", s->elapsedS, s->differenceMs.mean,
                        s->differenceMs.min, s->differenceMs.max, s->roundTripMs);
            std::fflush(stdout);
        }
    };
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, takeSample);
    sampler.start(seconds * 1000 / kSamples);
    QTimer::singleShot(200, takeSample);
    QTimer::singleShot(seconds * 1000 + 100, &app, &QCoreApplication::quit);
    app.exec();

    if (samples.size() < 2) {
        std::fprintf(stderr, "bench_mirrordrift: the display did not answer the samples\n");
        return 1;
    }
    std::vector<double> means;
    double worstReading = 0;
    for (const Sample &s : samples) {
        means.push_back(s.differenceMs.mean);
        worstReading =
            std::max({worstReading, std::abs(s.differenceMs.min), std::abs(s.differenceMs.max)});
    }
    const Summary summary = summarise(means);
    std::printf("Display minus mirror over %d s, burst means: %s; drift first to last %.2f ms\n",
                seconds, qPrintable(describe(summary, QStringLiteral("ms"))),
                means.back() - means.front());
    std::printf("Mirror texts checked: %d ticks, %d not matching the mirror's clock\n", ticks,
                wrongTexts);
    std::printf("Largest single reading %.1f ms: %s (target under %d ms)\n", worstReading,
                worstReading < kTargetMs && wrongTexts == 0 ? "met" : "MISSED", kTargetMs);
    return 0;
}
