// Datagrams from anywhere through the link's receive side into the controller, then a few
// runner ticks on a fake clock. An input is a run of datagrams, each after a byte choosing its
// sender and one giving its length. A datagram that ends more than one queued command, an ignored
// one that ends any, a program number outside 0..9 or more than ten lines trap; a program that
// never lets a tick end hangs the run.
#include "controller/handlegui.h"
#include "link/protocol.h"
#include "link/udpcommthread.h"
#include "models/programcodec.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool holds)
{
    if (!holds)
        std::abort();
}

struct Harness
{
    Harness()
    {
        QObject::connect(&link, &UDPCommThread::RXDatagram, &controller, &HandleGui::UDPResponse);
        // No poll and no resend: the fake clock jumps hours a tick.
        controller.handleSetIPParameters(0, 100, 1 << 30);
        QObject::connect(&controller, &HandleGui::updateProgNameCombo,
                         [](QVariant index) { check(index.toInt() >= 0 && index.toInt() <= 9); });
    }

    qint64 now = 0;
    TimerDataModel timers;
    ProgramDataModel programs;
    HandleGui controller{timers, programs, [this] { return now; }};
    UDPCommThread link; // never started: no socket, and nothing it queues is ever sent
};

// Two displays with commands queued, one with none, and a sender that is not IPv4.
const QHostAddress kSenders[] = {
    QHostAddress(QStringLiteral("127.0.0.2")), QHostAddress(QStringLiteral("127.0.0.3")),
    QHostAddress(QStringLiteral("127.0.0.4")), QHostAddress(QHostAddress::LocalHostIPv6)};

// The commands queued to each of the two displays before each input, to run the matching rules
// against: status query, count-up run, active program, run status, get program 3 and 0, save,
// count-down reset.
const char *const kQueuedCommands[] = {"a104b2", "a30100", "af", "b1",
                                       "b203",   "b200",   "b0", "a701633c3c00010a2c01"};

// A loaded text has one to ten lines of known commands; an image is 200 bytes and reads back.
void readAsProgramForms(const QByteArray &bytes)
{
    static ProgramDataModel model;
    const ProgramText text = QString::fromUtf8(bytes);
    model.clearLines();
    model.loadFromText(text);
    model.validateLines();
    check(model.rowCount() >= 1 && model.rowCount() <= ProgramDataModel::kMaxLines);
    for (int row = 0; row < model.rowCount(); ++row)
        check(model.getCommand(row) >= TC_INTERVAL_DOWN && model.getCommand(row) <= TC_DOWN_DHM);
    const ProgramStepArray steps = ProgramCodec::textToStepArray(text);
    check(steps.size() == ProgramCodec::kStepArraySize);
    check(ProgramCodec::textToStepArray(ProgramCodec::stepArrayToText(steps)) == steps);

    model.loadFromStepArray(bytes);
    check(model.rowCount() <= ProgramDataModel::kMaxLines);
    const ProgramText imageText = ProgramCodec::stepArrayToText(bytes);
    check(imageText.size() == ProgramCodec::kTextLineLength * model.rowCount());
    check(ProgramCodec::stepArrayToText(ProgramCodec::textToStepArray(imageText)) == imageText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_reply", *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static Harness harness;
    UDPCommThread &link = harness.link;

    link.stopThread(); // drops whatever the last input left queued
    for (const QHostAddress &to : {kSenders[0], kSenders[1]}) {
        for (const char *hex : kQueuedCommands) {
            const QByteArray command = QByteArray::fromHex(hex);
            // Held back longer than any run lasts: nothing is ever due.
            link.sendUDPCommand(command, command.size(), to.toString(), Protocol::kPort, true,
                                1 << 30, 0);
        }
    }
    bool programArrived = false;
    for (std::size_t at = 0; at + 2 <= size;) {
        const QHostAddress &sender = kSenders[data[at] % 4];
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const QByteArray datagram(reinterpret_cast<const char *>(data + at + 2), int(length));
        at += 2 + length;

        const Protocol::ReplyKind kind = Protocol::classifyReply(datagram);
        programArrived = programArrived || kind == Protocol::ReplyKind::ActiveProgram ||
                         kind == Protocol::ReplyKind::Program;
        const int queued = link.queuedCount();
        link.receiveDatagram(sender, datagram);
        QCoreApplication::sendPostedEvents(&link); // the owning thread's turn
        const int ended = queued - link.queuedCount();
        check(ended >= 0 && ended <= 1 && !(kind == Protocol::ReplyKind::Ignored && ended != 0));
    }
    readAsProgramForms(QByteArray(reinterpret_cast<const char *>(data), int(size)));

    // Whatever program arrived is armed and run (no display is selected: nothing is sent).
    if (programArrived) {
        harness.controller.handleTimeModeButton(); // stops the mirror, which arming requires
        harness.controller.handleProgResetButton();
        harness.controller.handleProgStartButton();
    }
    for (const qint64 ms : {100, 3600000, 3600000, 3600000, 100}) {
        harness.now += ms; // each hour-long tick ends the line under way
        harness.controller.qmlTimerTriggered();
    }
    check(harness.programs.rowCount() <= ProgramDataModel::kMaxLines);

    while (harness.timers.rowCount() > 256) // forged replies list ever new displays
        harness.timers.removeTimer(0);
    return 0;
}
