#include "link/programpackets.h"
#include "link/protocol.h"
#include "link/requestqueue.h"

#include <QtTest>

// The link's rules without a socket, in one table of what each gives and what it should: the
// packet builders and the reply decoders against literal bytes, the reply rules, and the request
// queue's sends, resends and drops.
namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Type 1 from 192.168.1.50 at day 300, 12:34:56.78, status word 0x03C1, sub-format 10, named
// "Gym Clock". The unread bytes hold 0xEE and byte 39 holds 'Z' so that reading them shows.
const QByteArray kStatusReply = hex("01C0A80132EEEEEEEEEEEEEEEEEEEE0C22384EC1032C2AEE"
                                    "47796D20436C6F636B0000000000005A");

QByteArray withBytes(int offset, const QByteArray &patch)
{
    return QByteArray(kStatusReply).replace(offset, patch.size(), patch);
}

// A 200-byte step image: a colour step, a count-down 300 -> 60 s with a 2 s alarm, and a repeat
// back to line 0 taken 3 times (byte 6 = 3, byte 7 = 0), then the end of the program.
const QByteArray kSteps = hex("09000000 00000000 0201 0000 00000000 00000000"
                              "05000000 00000000 2C010000 3C000000 02000000"
                              "07000000 00000300 00000000 00000000 00000000") +
                          QByteArray(140, '\0');

// The fields of a datagram that one of the four decoders accepts, joined by "|", or "none".
template <typename... Fields> QString join(const Fields &...fields)
{
    return QStringList{QVariant(fields).toString()...}.join(QLatin1Char('|'));
}

QString describe(const QByteArray &datagram)
{
    using namespace Protocol;
    if (const auto f = decodeStatusReply(datagram)) {
        return join(f->name, f->ipaddr, f->time.toString(QStringLiteral("hh:mm:ss.zzz")), f->day,
                    QString::number(f->format, 16), countFormatNumber(f->format), f->subFormat);
    }
    if (const auto r = decodeActiveProgramReply(datagram))
        return join("active", r->number, r->name, r->steps == kSteps);
    if (const auto r = decodeProgramReply(datagram))
        return join("program", r->number, r->name, r->steps == kSteps);
    if (const auto r = decodeRunStatusReply(datagram)) {
        return join("run", r->hasProgram, r->row, r->interval, r->running, r->hours, r->minutes,
                    r->seconds, r->number, r->name, r->steps == kSteps);
    }
    return QStringLiteral("none");
}

// What the link makes of a reply: whether it is passed on to the controller, and which of five
// queued commands it ends.
QString rules(const QByteArray &reply)
{
    const Protocol::ReplyKind kind = Protocol::classifyReply(reply);
    QStringList said{Protocol::isPassedOn(kind, reply) ? "passed on, ends" : "kept back, ends"};
    for (const char *command : {"A30100", "AF", "B1", "B203", "B0"}) {
        if (Protocol::endsCommand(kind, reply, hex(command)))
            said << QString::fromLatin1(command);
    }
    return said.join(QLatin1Char(' '));
}

// The ms of each send the queue makes for one packet, and of its drop, on an injected clock that
// jumps to each wake-up the queue asks for, as the link thread's timer does, so that late
// wake-ups show as late sends.
QString schedule(int retries, int interval, int firstDelay)
{
    constexpr qint64 kNsPerMs = 1000000;
    // Queued at 0, and sent then unless held back; the interval is retry delay + extra wait.
    RequestQueue queue;
    queue.append({hex("A30100"), QString(), 7372, 0, firstDelay > 0, 0, firstDelay, interval});
    QStringList events;
    qint64 nowNs = 0;
    for (int pass = 0; pass < 50 && queue.size() > 0; ++pass) {
        const RequestQueue::Pass due = queue.takeDue(nowNs, retries);
        if (!due.due.empty())
            events << QString::number(nowNs / kNsPerMs);
        if (!due.dropped.empty())
            events << QStringLiteral("drop %1").arg(nowNs / kNsPerMs);
        nowNs += due.nextDueNs.value_or(0);
    }
    return events.join(QLatin1Char(' '));
}

// The displays still awaiting an answer after an acknowledgement from `source`, when one command
// was queued to two of them.
QString awaitingAfterAckFrom(const char *source)
{
    const QStringList displays = {QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3")};
    RequestQueue queue;
    for (const QString &addr : displays)
        queue.append({hex("A30100"), addr, 7372, 0, false, 0, 0, 100});
    const QByteArray ack("A");
    queue.removeAnswered(Protocol::classifyReply(ack), QString::fromLatin1(source), ack, 0);
    QStringList awaiting;
    for (const QString &addr : displays) {
        if (queue.hasPacketsFor(addr))
            awaiting << addr;
    }
    return awaiting.join(QLatin1Char(' '));
}

QString spaced(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void bytes_data();
    void bytes();
};

void TestProtocol::bytes_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");

    using namespace Protocol;
    // Packets as built.
    QTest::newRow("status query") << spaced(statusQuery()) << "a1 04 b2";
    QTest::newRow("set count-up mode") << spaced(setCountUpMode()) << "a2 00 00";
    QTest::newRow("count-up run") << spaced(countUpRun(true)) << "a3 01 00";
    QTest::newRow("count-up reset format 2") << spaced(countUpReset(2)) << "a4 02 00";
    QTest::newRow("set count-down mode 300 days")
        << spaced(setCountDownMode(0, 300, 0, 0, 0, 0, 0)) << "a5 00 00 00 00 00 00 00 2c 01";
    QTest::newRow("count-down reset every field")
        << spaced(countDownReset(2, 1, 23, 59, 58, 1, 255)) << "a7 02 17 3b 3a 00 01 ff 01 00";
    QTest::newRow("count-down pause") << spaced(countDownRun(false)) << "a6 00 00";
    QTest::newRow("time-of-day mode") << spaced(timeOfDayMode()) << "a8 01 00";
    QTest::newRow("get active program") << spaced(getActiveProgram()) << "af";
    QTest::newRow("save programs") << spaced(saveProgramsOnDisplay()) << "b0";
    QTest::newRow("get run status") << spaced(getRunStatus()) << "b1";
    QTest::newRow("get program 9") << spaced(getProgram(9)) << "b2 09";
    QTest::newRow("get program 10") << spaced(getProgram(10)) << "";
    QTest::newRow("program start") << spaced(programRun(true)) << "ae 01 00";
    QTest::newRow("upload 3, 15-character name cut to 11")
        << spaced(uploadProgram(3, "ABCDEFGHIJKLMNO", kSteps))
        << spaced(hex("B3 03 4142434445464748494A4B 00") + kSteps);
    QTest::newRow("upload, 199-byte steps")
        << spaced(uploadProgram(1, "A", kSteps.left(199))) << "";
    QTest::newRow("arm 2") << spaced(armProgram(2, "Tab 60/15", kSteps))
                           << spaced(hex("AC D7 02 546162203630 2F3135 000000") + kSteps);
    // Non-ASCII names are cut on a UTF-8 character boundary and never reach the steps.
    QTest::newRow("name, 2-byte characters")
        << spaced(programNameField("\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4"))
        << "c3 84 c3 84 c3 84 c3 84 c3 84 00 00";

    // Replies as decoded: the fields of the one decoder that accepts them, joined by "|".
    const QString gym = QStringLiteral("Gym Clock|192.168.1.50|");
    // The status word's style bits give the count format number; its mode and running bits do not.
    QTest::newRow("status, every field")
        << describe(kStatusReply) << gym + "12:34:56.780|300|3c1|0|10";
    QTest::newRow("status, interval format, day 2047, sub-format 31")
        << describe(withBytes(19, hex("2000FFFF"))) << gym + "12:34:56.780|2047|20|3|31";
    QTest::newRow("status, Latin-1 name of 15 characters, no NUL")
        << describe(withBytes(24, "ABCDEFGHIJKLMN\xE9"))
        << QString::fromUtf8("ABCDEFGHIJKLMN\xC3\xA9|192.168.1.50|12:34:56.780|300|3c1|0|10");
    QTest::newRow("status, hundredths 100: no valid time, days:h:m format")
        << describe(withBytes(15, hex("00000064 A000"))) << gym + "|300|a0|2|10";
    QTest::newRow("status, type 3") << describe(withBytes(0, hex("03"))) << "none";
    QTest::newRow("status, 41 bytes") << describe(kStatusReply + '\0') << "none";

    const QByteArray name = hex("54616C6B 0000000000000000"); // "Talk"
    const QByteArray run = hex("B1 EE 01 03 02 01 01 02 03 EE 05") + name;
    QTest::newRow("active program 7")
        << describe(hex("AF 00 07") + name + kSteps) << "active|7|Talk|true";
    QTest::newRow("program 9, UTF-8 name without NUL, byte 1 not read")
        << describe(hex("B2 55 09 5AC3BC72696368205AC3BC72") + kSteps)
        << QStringLiteral("program|9|Z\u00fcrich Z\u00fcr|true");
    QTest::newRow("active program, 214 bytes")
        << describe(hex("AF 00 01") + name + kSteps.left(199)) << "none";
    QTest::newRow("program -1") << describe(hex("AF 00 FF") + name + kSteps) << "none";
    // run|has program|row|interval|running|h|m|s|number|name|steps
    QTest::newRow("run status") << describe(run + kSteps) << "run|true|3|2|true|1|2|3|5|Talk|true";
    QTest::newRow("run status, no program")
        << describe(QByteArray(run).replace(2, 1, hex("00")) + kSteps)
        << "run|false|3|2|true|1|2|3|5|Talk|true";
    QTest::newRow("run status, no program, number 127")
        << describe(QByteArray(run).replace(2, 1, hex("00")).replace(10, 1, hex("7F")) + kSteps)
        << "run|false|3|2|true|1|2|3|127|Talk|true";
    QTest::newRow("run status, program 10")
        << describe(QByteArray(run).replace(10, 1, hex("0A")) + kSteps) << "none";
    QTest::newRow("run status, empty program, paused")
        << describe(QByteArray(run).replace(5, 1, hex("00")) + QByteArray(200, '\0'))
        << "run|false|3|2|false|1|2|3|5|Talk|false";

    // Replies by the link's rules.
    const auto status = [](int type, int length) {
        return QByteArray(1, char(type)) + QByteArray(length - 1, '\x5A');
    };
    const auto program = [](const char *head) { return hex(head) + QByteArray(212, '\0'); };
    const QString all = QStringLiteral(" A30100 AF B1 B203 B0");
    QTest::newRow("status, type 4") << rules(status(4, 40)) << "passed on, ends" + all;
    QTest::newRow("status, type 0") << rules(status(0, 40)) << "kept back, ends" + all;
    QTest::newRow("status, type 5") << rules(status(5, 40)) << "kept back, ends" + all;
    QTest::newRow("80 bytes, type 1") << rules(status(1, 80)) << "passed on, ends" + all;
    QTest::newRow("40 bytes starting 0xAF are a status")
        << rules(status(0xAF, 40)) << "kept back, ends" + all;
    QTest::newRow("active program reply") << rules(program("AF0000")) << "passed on, ends AF";
    QTest::newRow("run status reply") << rules(program("B10000")) << "passed on, ends B1";
    QTest::newRow("program 3 reply") << rules(program("B20003")) << "passed on, ends B203";
    QTest::newRow("program reply of two bytes") << rules(hex("B200")) << "passed on, ends";
    QTest::newRow("acknowledgement, trailing bytes")
        << rules(QByteArray("AOK\0", 4)) << "kept back, ends" + all;
    QTest::newRow("own query coming back") << rules(hex("A104B2")) << "kept back, ends";

    // Sends and drops by the queue: retries, retry interval (ms), first-send hold-back (ms).
    QTest::newRow("retries 3") << schedule(3, 100, 0) << "100 200 300 drop 400";
    QTest::newRow("first send held back") << schedule(1, 150, 300) << "300 450 drop 600";
    QTest::newRow("retry delay 0 keeps 5 ms apart")
        << schedule(10, 0, 0) << "5 10 15 20 25 30 35 40 45 50 drop 55";
    QTest::newRow("an answer ends only its sender's packet")
        << awaitingAfterAckFrom("127.0.0.3") << "127.0.0.2";
}

void TestProtocol::bytes()
{
    QFETCH(QString, actual);
    QTEST(actual, "expected");
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
