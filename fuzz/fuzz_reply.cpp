// One datagram from anywhere on the LAN, through the link's reply classification and matching
// rules and into the controller's dispatch. Crashes, reads past the datagram and undefined
// behaviour are caught by the sanitizers; a state change from a datagram that must be ignored
// traps.
#include "app/handlegui.h"
#include "link/protocol.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>

namespace {

struct Harness
{
    Harness()
    {
        QObject::connect(&controller, &HandleGui::updateUpTime, [this] { ++changes; });
        QObject::connect(&controller, &HandleGui::updateUpStartPause, [this] { ++changes; });
        QObject::connect(&controller, &HandleGui::updateDnStartPause, [this] { ++changes; });
        QObject::connect(&timers, &TimerDataModel::dataUpdated, [this] { ++changes; });
    }

    TimerDataModel timers;
    ProgramDataModel programs;
    HandleGui controller{timers, programs};
    int changes = 0;
};

// Commands a display may have queued from us, to run the matching rules against.
const QByteArray kQueuedCommands[] = {
    Protocol::statusQuery(),
    Protocol::countUpRun(true),
    QByteArray(1, char(0xAF)),
    QByteArray(1, char(0xB1)),
    QByteArray::fromHex("b203"),
    QByteArray(),
    Protocol::countDownReset(1, 300, 99, 60, 60, 1, 10),
};

QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz_reply";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    application();
    static Harness harness;

    const QByteArray datagram(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const Protocol::ReplyKind kind = Protocol::classifyReply(datagram);
    for (const QByteArray &command : kQueuedCommands)
        Protocol::endsCommand(kind, datagram, command);

    const bool decodable = Protocol::decodeStatusReply(datagram).has_value();
    const int before = harness.changes;
    if (Protocol::isPassedOn(kind, datagram))
        harness.controller.UDPResponse(QStringLiteral("127.0.0.2"), datagram);
    if (!decodable && harness.changes != before)
        std::abort();

    // Keep the list small so that long runs stay fast.
    if (harness.timers.rowCount() > 256) {
        while (harness.timers.rowCount() > 0)
            harness.timers.removeTimer(0);
    }
    return 0;
}
