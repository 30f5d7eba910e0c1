// One datagram from anywhere on the LAN, through the link's reply classification and matching
// rules and into the controller's dispatch, then a few ticks of the program runner on a fake
// clock with whatever program the datagram brought. Crashes, reads past the datagram and
// undefined behaviour are caught by the sanitizers; a state change from a datagram that must be
// ignored, a program number outside 0..9 or more than ten lines trap, and a program that never
// lets a tick end hangs the run.
#include "app/handlegui.h"
#include "link/programpackets.h"
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
        // The fake clock jumps hours a tick: no status poll and no resend, or the link's queue
        // would fill with queries to every listed display, input after input.
        controller.handleSetIPParameters(0, 100, 1 << 30);
        QObject::connect(&controller, &HandleGui::updateUpTime, [this] { ++changes; });
        QObject::connect(&controller, &HandleGui::updateUpStartPause, [this] { ++changes; });
        QObject::connect(&controller, &HandleGui::updateDnStartPause, [this] { ++changes; });
        QObject::connect(&timers, &TimerDataModel::dataUpdated, [this] { ++changes; });
        QObject::connect(&controller, &HandleGui::updateProgStartPause, [this] { ++changes; });
        QObject::connect(&controller, &HandleGui::updateProgNameCombo, [this](QVariant index) {
            ++changes;
            if (index.toInt() < 0 || index.toInt() > 9)
                std::abort();
        });
        QObject::connect(&programs, &ProgramDataModel::modelReset, [this] { ++changes; });
        QObject::connect(&programs, &ProgramDataModel::rowsInserted, [this] { ++changes; });
    }

    // A few ticks; each of the hour-long ones ends the line under way.
    void tick()
    {
        for (const qint64 ms : {100, 3600000, 3600000, 3600000, 100}) {
            now += ms;
            controller.qmlTimerTriggered();
        }
    }

    qint64 now = 0;
    TimerDataModel timers;
    ProgramDataModel programs;
    HandleGui controller{timers, programs, [this] { return now; }};
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

    const bool decodable =
        Protocol::decodeStatusReply(datagram) || Protocol::decodeActiveProgramReply(datagram) ||
        Protocol::decodeProgramReply(datagram) || Protocol::decodeRunStatusReply(datagram);
    const int before = harness.changes;
    if (Protocol::isPassedOn(kind, datagram))
        harness.controller.UDPResponse(QStringLiteral("127.0.0.2"), datagram);
    if (!decodable && harness.changes != before)
        std::abort();

    // Whatever program the datagram left in the lines is armed and started (no display is
    // selected, so nothing is sent) and run.
    if (kind == Protocol::ReplyKind::ActiveProgram || kind == Protocol::ReplyKind::Program) {
        harness.controller.handleTimeModeButton(); // stops the mirror, which arming requires
        harness.controller.handleProgResetButton();
        harness.controller.handleProgStartButton();
    }
    harness.tick();
    if (harness.programs.rowCount() > ProgramDataModel::kMaxLines)
        std::abort();

    // Keep the list small so that long runs stay fast.
    if (harness.timers.rowCount() > 256) {
        while (harness.timers.rowCount() > 0)
            harness.timers.removeTimer(0);
    }
    return 0;
}
