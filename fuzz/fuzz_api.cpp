// Requests from anywhere through the HTTP door's request handling, the command table and the
// controller, on one thread. An input is a run of raw HTTP requests separated by the byte 0x1E,
// with a few ticks of a fake clock between them. An answer that is not an HTTP status line of the
// door's, a refused command that sent a packet or changed the selection, or a tick that does
// not end, trap.
#include "app/handlegui.h"
#include "control/commandcontext.h"
#include "control/commandgate.h"
#include "control/controlstate.h"
#include "control/eventhub.h"
#include "control/httpapi.h"
#include "link/udpcommthread.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QCoreApplication>
#include <QNetworkInterface>
#include <QSettings>
#include <QSignalSpy>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

// Commands send to whatever address a request names: only where nothing can leave the machine.
void requireIsolatedNetwork()
{
    for (const QNetworkInterface &nic : QNetworkInterface::allInterfaces()) {
        if (!(nic.flags() & QNetworkInterface::IsLoopBack) &&
            (nic.flags() & QNetworkInterface::IsUp)) {
            std::fputs("fuzz_api: run in a network namespace of its own (tests/isolated.sh)\n",
                       stderr);
            std::exit(2);
        }
    }
    QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer2"))
        .setValue(QStringLiteral("main/mainBroadcastIP"), QStringLiteral("127.255.255.255"));
}

struct Harness
{
    Harness()
    {
        controller.handleSetIPParameters(0, 100, 1 << 30);
        for (const char *address : {"127.0.0.2", "127.0.0.3"})
            timers.addOrUpdateTimer(TimerData(QStringLiteral("Hall"), QLatin1String(address), false,
                                              QTime(0, 0), 0, 0, 0));
        timers.addOrUpdateTimer(TimerData(QStringLiteral("Gym"), QStringLiteral("127.0.0.4"), false,
                                          QTime(0, 0), 0, 0, 0));
        events.close(); // an event stream ends at once instead of waiting for changes
    }

    QString selection() const
    {
        QString marks;
        for (int row = 0; row < timers.rowCount(); ++row)
            marks += timers.isSelected(row) ? QLatin1Char('x') : QLatin1Char('-');
        return marks;
    }

    qint64 now = 0;
    TimerDataModel timers;
    ProgramDataModel programs;
    HandleGui controller{timers, programs, [this] { return now; }};
    ControlState state{controller, timers, programs};
    CommandContext context{controller, timers, programs, state};
    CommandGate gate{context};
    EventHub events{4};
    HttpApi http{gate, events, HttpApi::Options{}};
    QSignalSpy sent{&controller.link(), &UDPCommThread::UDPTx};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_api";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const bool isolated = (requireIsolatedNetwork(), true);
    static Harness h;
    (void)isolated;

    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    for (const QByteArray &request : input.split('\x1e')) {
        h.sent.clear();
        const QString selectedBefore = h.selection();
        const QByteArray answer = h.http.answerInMemory(request);
        check(answer.startsWith("HTTP/1.1 "));
        const int status = answer.mid(9, 3).toInt();
        check(status == 200 || (status >= 400 && status <= 415) || status == 422 || status == 503);
        if (status != 200) {
            check(h.sent.isEmpty());
            check(h.selection() == selectedBefore);
        }
        for (int tick = 0; tick < 3; ++tick) {
            h.now += 100;
            h.controller.qmlTimerTriggered();
        }
    }
    return 0;
}
