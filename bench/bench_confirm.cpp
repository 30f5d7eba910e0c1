// A confirmed command to 250 displays over a lossy link: a real `qb-timer --headless` with 250
// simulated displays listed and selected, one reply in ten lost and the last display silent,
// sends countdown.start and countdown.pause with "confirm": true by turns. For each: the time from
// the request to the answer, whether the answer names exactly the silent display as missed (the
// others acknowledged, none pending), whether the simulator's log bears out every display's
// verdict (acknowledged: it sent an acknowledgement; missed: it got every copy and all its
// acknowledgements were lost), how many displays needed the command resent and when the last of
// them received it.
//
//   bench_confirm [--rounds N] [--seed S]   (default 20 start/pause rounds; the simulator's
//                                           seed of its loss draws, default 1)

#include "control/httpapi.h"

#include "benchsupport.h"
#include "headlesscontroller.h"
#include "loopbackdisplay.h"
#include "simharness.h"

#include <QCoreApplication>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <algorithm>
#include <cstdio>
#include <httplib.h>

namespace {

constexpr int kDisplays = 250; // the simulator's most
constexpr int kLossPercent = 10;
constexpr int kRetries = 3; // the window's defaults, which headless mode reads too
constexpr int kDelayMs = 350;
const QString kSilent = QStringLiteral("127.0.0.251"); // display 250
const httplib::Headers kJson = {{"Content-Type", "application/json"}};

QString addressOf(int display)
{
    return QStringLiteral("127.0.0.%1").arg(display + 1);
}

void printLine(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString percentiles(const std::vector<double> &ms)
{
    return QStringLiteral("p50 %1  p90 %2  max %3 ms")
        .arg(percentile(ms, 0.5), 0, 'f', 1)
        .arg(percentile(ms, 0.9), 0, 'f', 1)
        .arg(summarise(ms).max, 0, 'f', 1);
}

// The stores of a first run that lists every display, the silent one last (it never answers a
// discovery), with the link values stated above and discovery on loopback.
void seedStores()
{
    QSettings window(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer2"));
    window.setValue(QStringLiteral("main/mainBroadcastIP"), QStringLiteral("127.255.255.255"));
    window.setValue(QStringLiteral("main/mainRetries"), kRetries);
    window.setValue(QStringLiteral("main/mainDelay"), kDelayMs);
    QSettings controller(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
    controller.beginWriteArray(QStringLiteral("timerlist"));
    for (int display = 1; display <= kDisplays; ++display) {
        controller.setArrayIndex(display - 1);
        controller.setValue(QStringLiteral("IP"), addressOf(display));
    }
    controller.endArray();
}

QJsonObject post(httplib::Client &http, const char *command, const QJsonObject &body)
{
    const httplib::Result answer = http.Post(
        (std::string("/api/v1/commands/") + command).c_str(), kJson,
        QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(), "application/json");
    if (!answer)
        return {{QStringLiteral("error"), QStringLiteral("no answer")}};
    return QJsonDocument::fromJson(QByteArray::fromStdString(answer->body)).object();
}

QStringList addresses(const QJsonArray &displays)
{
    QStringList list;
    for (const QJsonValue &display : displays)
        list << display.toObject().value(QStringLiteral("address")).toString();
    return list;
}

// One kind of confirmed command over all rounds.
struct Figures
{
    std::vector<double> answerMs;
    // Of the displays other than the silent one:
    std::vector<double> lastCopyMs; // the last copy received, from the request
    std::vector<double> resentTo;   // how many got more than one copy
    int mostCopies = 0;             // to one of them
    QHash<int, int> roundsByMissedCount;
    int roundsAsExpected = 0;
    int contradicted = 0; // verdicts the simulator's log contradicts
};

class ConfirmBench
{
public:
    explicit ConfirmBench(SimHarness &sim) : m_sim(sim)
    {
        m_http.set_read_timeout(10, 0);
        m_http.set_keep_alive(true);
    }

    bool prepare()
    {
        QStringList all;
        for (int display = 1; display <= kDisplays; ++display)
            all << addressOf(display);
        const QJsonObject selected =
            post(m_http, "displays.selectOnly",
                 {{QStringLiteral("displays"), QJsonArray::fromStringList(all)}});
        const QJsonObject set = post(m_http, "countdown.set",
                                     {{QStringLiteral("hours"), 99},
                                      {QStringLiteral("format"), QStringLiteral("hh:mm:ss")},
                                      {QStringLiteral("confirm"), true}});
        const QJsonObject result = set[QStringLiteral("result")].toObject();
        printLine(
            QStringLiteral("countdown.set: %1 acknowledged, missed: %2")
                .arg(result[QStringLiteral("acknowledged")].toArray().size())
                .arg(addresses(result[QStringLiteral("missed")].toArray()).join(QLatin1Char(' '))));
        return selected[QStringLiteral("ok")].toBool() && set[QStringLiteral("ok")].toBool();
    }

    // One confirmed command; false when it was refused or went unanswered.
    bool measure(const char *command, const QByteArray &packet, Figures &figures)
    {
        const int mark = m_sim.mark();
        const double sentMs = realtimeNowMs();
        const QJsonObject answer = post(m_http, command, {{QStringLiteral("confirm"), true}});
        const double answeredMs = realtimeNowMs();
        if (!answer[QStringLiteral("ok")].toBool()) {
            printLine(
                QStringLiteral("%1 refused: %2")
                    .arg(QLatin1String(command))
                    .arg(QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact))));
            return false;
        }
        const QJsonObject result = answer[QStringLiteral("result")].toObject();
        const QStringList acknowledged =
            addresses(result[QStringLiteral("acknowledged")].toArray());
        const QStringList missed = addresses(result[QStringLiteral("missed")].toArray());
        const QStringList pending = addresses(result[QStringLiteral("pending")].toArray());
        figures.answerMs.push_back(answeredMs - sentMs);
        ++figures.roundsByMissedCount[missed.size()];
        const bool expected = missed == QStringList{kSilent} &&
                              acknowledged.size() == kDisplays - 1 && pending.isEmpty();
        figures.roundsAsExpected += expected ? 1 : 0;

        const QHash<QString, Wire> wire = wireOf(mark, packet);
        QStringList contradicted;
        for (const QString &address : acknowledged) {
            if (wire.value(address).answers == 0)
                contradicted << address + QStringLiteral(" acknowledged");
        }
        QStringList missedOnTheWire;
        for (const QString &address : missed) {
            const Wire &w = wire[address];
            missedOnTheWire << QStringLiteral("%1 (%2 copies received, %3 answers lost)")
                                   .arg(address)
                                   .arg(w.copies)
                                   .arg(w.lost);
            if (w.answers != 0 || w.copies != kRetries + 1)
                contradicted << address + QStringLiteral(" missed");
        }
        figures.contradicted += contradicted.size();
        if (!expected || !contradicted.isEmpty())
            printLine(QStringLiteral("%1: %2 acknowledged, %3 pending; missed: %4; contradicted "
                                     "by the simulator's log: %5")
                          .arg(QLatin1String(command))
                          .arg(acknowledged.size())
                          .arg(pending.size())
                          .arg(missedOnTheWire.join(QStringLiteral(", ")))
                          .arg(contradicted.isEmpty() ? QStringLiteral("none")
                                                      : contradicted.join(QStringLiteral(", "))));
        noteResends(wire, sentMs, figures);
        return true;
    }

private:
    // What one display received of the command and what became of its answers.
    struct Wire
    {
        int copies = 0;
        int answers = 0; // acknowledgements sent
        int lost = 0;    // acknowledgements the simulator dropped
        double lastCopyWallMs = 0;
    };

    // Per address, from the simulator's log since mark.
    QHash<QString, Wire> wireOf(int mark, const QByteArray &packet)
    {
        QHash<QString, Wire> wire;
        const QList<SimHarness::Record> records = m_sim.records(
            [&](const SimHarness::Record &r) {
                return (r.dir == "rx" && r.bytes == packet) || r.bytes == "A";
            },
            mark);
        for (const SimHarness::Record &r : records) {
            Wire &w = wire[addressOf(r.display)];
            if (r.dir == "rx") {
                ++w.copies;
                w.lastCopyWallMs = double(r.wallMs);
            }
            w.answers += r.dir == "tx" ? 1 : 0;
            w.lost += r.dir == "lost" ? 1 : 0;
        }
        return wire;
    }

    void noteResends(const QHash<QString, Wire> &wire, double sentMs, Figures &figures)
    {
        int resentTo = 0;
        double lastCopyMs = 0;
        for (auto it = wire.cbegin(); it != wire.cend(); ++it) {
            if (it.key() == kSilent)
                continue;
            resentTo += it->copies > 1 ? 1 : 0;
            figures.mostCopies = std::max(figures.mostCopies, it->copies);
            lastCopyMs = std::max(lastCopyMs, it->lastCopyWallMs - sentMs);
        }
        figures.resentTo.push_back(resentTo);
        figures.lastCopyMs.push_back(lastCopyMs);
    }

    SimHarness &m_sim;
    httplib::Client m_http{"127.0.0.1", HttpApi::kDefaultPort};
};

void report(const char *command, const Figures &f)
{
    QStringList missedCounts;
    for (auto it = f.roundsByMissedCount.cbegin(); it != f.roundsByMissedCount.cend(); ++it)
        missedCounts << QStringLiteral("%1 missed in %2 rounds").arg(it.key()).arg(it.value());
    printLine(QStringLiteral("%1, %2 rounds: answer after %3; exactly the silent display missed, "
                             "the rest acknowledged, none pending: %4 of %2 rounds (%5); "
                             "verdicts the simulator's log contradicts: %6; other displays resent "
                             "to per round: mean %7, max %8; most copies to one of them %9; their "
                             "last copy received after %10")
                  .arg(QLatin1String(command))
                  .arg(f.answerMs.size())
                  .arg(percentiles(f.answerMs))
                  .arg(f.roundsAsExpected)
                  .arg(missedCounts.join(QStringLiteral(", ")))
                  .arg(f.contradicted)
                  .arg(summarise(f.resentTo).mean, 0, 'f', 1)
                  .arg(summarise(f.resentTo).max)
                  .arg(f.mostCopies)
                  .arg(percentiles(f.lastCopyMs)));
}

} // namespace

int main(int argc, char *argv[])
{
    const ScratchConfig config;
    seedStores();
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const auto option = [&args](const char *name, const QString &otherwise) {
        const int at = args.indexOf(QLatin1String(name));
        return at < 0 ? otherwise : args.value(at + 1);
    };
    const int rounds = option("--rounds", QStringLiteral("20")).toInt();
    const QString seed = option("--seed", QStringLiteral("1"));
    SimHarness sim(QStringLiteral(QB_SIM_EXECUTABLE));
    if (!sim.start(kDisplays,
                   {QStringLiteral("--loss"), QString::number(kLossPercent),
                    QStringLiteral("--silent"), QString::number(kDisplays),
                    QStringLiteral("--seed"), seed},
                   30000)) {
        std::fprintf(stderr, "bench_confirm: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    HeadlessController headless(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    if (!headless.start()) {
        std::fprintf(stderr, "bench_confirm: the headless controller did not start\n");
        return 1;
    }
    // The start-up discovery and its resends are over before the first command.
    processEventsUntil([] { return false; }, (kRetries + 2) * kDelayMs);
    printLine(QStringLiteral("%1 displays listed and selected, %2 % of replies lost (seed %3), %4 "
                             "silent; link: %5 retries, %6 ms apart")
                  .arg(kDisplays)
                  .arg(kLossPercent)
                  .arg(seed)
                  .arg(kSilent)
                  .arg(kRetries)
                  .arg(kDelayMs));
    ConfirmBench bench(sim);
    if (!bench.prepare())
        return 1;
    Figures start, pause;
    for (int round = 0; round < rounds; ++round) {
        if (!bench.measure("countdown.start", QByteArray("\xA6\x01\x00", 3), start) ||
            !bench.measure("countdown.pause", QByteArray("\xA6\x00\x00", 3), pause))
            return 1;
    }
    report("countdown.start", start);
    report("countdown.pause", pause);
    return 0;
}
