// Datagrams from anywhere through the OSC door into the command table and a controller on a fake
// clock: liblo's reading of the message, the subscriptions, the mapping of the arguments and the
// table's checks. An input is a run of datagrams, each after a byte choosing its sender and one
// giving its length. A datagram from outside the allow-list or from the door's own address that
// is answered or changes anything, a refusal in more than one message, and a refused datagram
// that sends a packet or changes the state trap. Datagrams come slower than the answers' pace, so
// every refusal is answered. The controller's link is stopped, so nothing it is handed is ever
// sent.
#include "control/oscdoor.h"
#include "fuzzcontroller.h"

#include <QCoreApplication>
#include <cstdint>

namespace {

const OscPeer kDoor{QHostAddress(QStringLiteral("127.0.0.1")), 7381};

struct Harness : FuzzController
{
    Harness() { feedback.setState(state.snapshot()); }

    // The two displays the messages name, selected or not as the input left them.
    void listDisplays()
    {
        while (timers.rowCount() > 2)
            timers.removeTimer(timers.rowCount() - 1);
        timers.addOrUpdateTimer(TimerData("Hall", "127.0.0.2", false, QTime(10, 0), 0, 0, 0));
        timers.addOrUpdateTimer(TimerData("Gym", "127.0.0.3", false, QTime(10, 0), 0, 0, 0));
    }

    std::vector<OscMessage> replies;
    OscFeedback::Send record = [this](const OscPeer &, const OscMessage &message) {
        replies.push_back(message);
    };
    OscFeedback feedback{record};
    OscDoor door{gate, feedback, *OscAllowList::parse({QStringLiteral("10.0.0.0/8")}, nullptr),
                 record, kDoor};
};

// Loopback, an allowed network, loopback over IPv6, a stranger and the door itself.
const OscPeer kSenders[] = {{QHostAddress(QStringLiteral("127.0.0.1")), 9000},
                            {QHostAddress(QStringLiteral("10.1.2.3")), 9000},
                            {QHostAddress(QStringLiteral("::1")), 0},
                            {QHostAddress(QStringLiteral("192.168.1.9")), 9000},
                            kDoor};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_osc", *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static Harness harness;

    harness.controller.link().stopThread(); // drops what the last input queued
    harness.listDisplays();
    for (std::size_t at = 0; at + 2 <= size;) {
        const OscPeer &sender = kSenders[data[at] % 5];
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const QByteArray datagram(reinterpret_cast<const char *>(data + at + 2), int(length));
        at += 2 + length;

        const QJsonObject before = harness.state.snapshot();
        const int packets = harness.packets;
        const int queued = harness.controller.link().queuedCount();
        harness.replies.clear();
        harness.door.handle(datagram, sender, harness.now);
        const bool refused =
            !harness.replies.empty() && harness.replies.front().path == "/qb/error";
        const bool stranger = &sender == &kSenders[3] || &sender == &kSenders[4];
        check(!stranger || harness.replies.empty());
        check(!refused || harness.replies.size() == 1);
        if (stranger || refused) {
            check(harness.packets == packets);
            check(harness.controller.link().queuedCount() == queued);
            check(harness.state.snapshot() == before);
        }
        harness.now += 1000 / OscReplyPace::kPerHost + 1;
    }
    harness.feedback.flush(harness.now);
    QCoreApplication::sendPostedEvents(); // what the event loop would have done meanwhile
    return 0;
}
