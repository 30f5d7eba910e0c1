// Requests from anywhere through the HTTP door's request handling, the command table and the
// controller, on one thread. An input is a run of raw HTTP requests separated by the byte 0x1E,
// with a few ticks of a fake clock between them. An answer that is neither nothing nor an HTTP
// status line of the door's, a refused command that sent a packet or changed the state, or a tick
// that does not end, trap. The controller's link is stopped, so nothing it is handed is ever sent.
#include "control/eventhub.h"
#include "control/httpapi.h"
#include "fuzzcontroller.h"

#include <QCoreApplication>
#include <cstdint>

namespace {

struct Harness : FuzzController
{
    Harness()
    {
        for (const char *address : {"127.0.0.2", "127.0.0.3"})
            timers.addOrUpdateTimer(TimerData(QStringLiteral("Hall"), QLatin1String(address), false,
                                              QTime(0, 0), 0, 0, 0));
        timers.addOrUpdateTimer(TimerData(QStringLiteral("Gym"), QStringLiteral("127.0.0.4"), false,
                                          QTime(0, 0), 0, 0, 0));
        events.close(); // an event stream ends at once instead of waiting for changes
    }

    EventHub events{4};
    HttpApi http{gate, events, HttpApi::Options{}};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_api";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Harness h;

    h.controller.link().stopThread(); // drops what the last input queued
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    for (const QByteArray &request : input.split('\x1e')) {
        const QJsonObject before = h.state.snapshot();
        const int packets = h.packets;
        const QByteArray answer = h.http.answerInMemory(request);
        // Nothing comes back for nothing that reads as a request line.
        check(answer.isEmpty() || answer.startsWith("HTTP/1.1 "));
        const int status = answer.isEmpty() ? 0 : answer.mid(9, 3).toInt();
        check(status == 0 || status == 200 || (status >= 400 && status <= 415) || status == 422 ||
              status == 503);
        if (status != 200) {
            check(h.packets == packets);
            check(h.state.snapshot() == before);
        }
        for (int tick = 0; tick < 3; ++tick) {
            h.now += 100;
            h.controller.qmlTimerTriggered();
        }
    }
    return 0;
}
