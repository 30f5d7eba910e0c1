#include "link/programpackets.h"
#include "link/protocol.h"

#include <QtTest>

// The packet builders, the reply decoders and the reply rules against literal bytes.
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
                    QString::number(f->format, 16), f->subFormat);
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

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void builders_data();
    void builders();
    void decoders_data();
    void decoders();
    void countFormatNumber();
    void replyRules_data();
    void replyRules();
};

void TestProtocol::builders_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("expected");

    using namespace Protocol;
    QTest::newRow("status query") << statusQuery() << hex("A104B2");
    QTest::newRow("set count-up mode") << setCountUpMode() << hex("A20000");
    QTest::newRow("count-up run") << countUpRun(true) << hex("A30100");
    QTest::newRow("count-up reset format 2") << countUpReset(2) << hex("A40200");
    QTest::newRow("set count-down mode 300 days")
        << setCountDownMode(0, 300, 0, 0, 0, 0, 0) << hex("A5000000000000002C01");
    QTest::newRow("count-down reset every field")
        << countDownReset(2, 1, 23, 59, 58, 1, 255) << hex("A702173B3A0001FF0100");
    QTest::newRow("count-down pause") << countDownRun(false) << hex("A60000");
    QTest::newRow("time-of-day mode") << timeOfDayMode() << hex("A80100");
    QTest::newRow("get active program") << getActiveProgram() << hex("AF");
    QTest::newRow("save programs") << saveProgramsOnDisplay() << hex("B0");
    QTest::newRow("get run status") << getRunStatus() << hex("B1");
    QTest::newRow("get program 9") << getProgram(9) << hex("B2 09");
    QTest::newRow("get program 10") << getProgram(10) << QByteArray();
    QTest::newRow("program start") << programRun(true) << hex("AE 01 00");
    QTest::newRow("upload 3, 15-character name cut to 11")
        << uploadProgram(3, "ABCDEFGHIJKLMNO", kSteps)
        << hex("B3 03 4142434445464748494A4B 00") + kSteps;
    QTest::newRow("upload, 199-byte steps")
        << uploadProgram(1, "A", kSteps.left(199)) << QByteArray();
    QTest::newRow("arm 2") << armProgram(2, "Tab 60/15", kSteps)
                           << hex("AC D7 02 546162203630 2F3135 000000") + kSteps;
    QTest::newRow("arm, 201-byte steps") << armProgram(1, "A", kSteps + '\0') << QByteArray();
    // Non-ASCII names are cut on a UTF-8 character boundary and never reach the steps.
    QTest::newRow("name, 2-byte characters")
        << programNameField("\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4")
        << hex("C384C384C384C384C384 0000");
    QTest::newRow("name, 11 bytes of mixed text")
        << programNameField("Z\u00fcrich Z\u00fcrich") << hex("5AC3BC72696368205AC3BC 00");
    QTest::newRow("name, 4-byte characters")
        << programNameField("\U0001F600\U0001F600\U0001F600") << hex("F09F9880F09F9880 00000000");
}

void TestProtocol::builders()
{
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, expected);
    QCOMPARE(packet.toHex(' '), expected.toHex(' '));
}

void TestProtocol::decoders_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");

    const QString gym = QStringLiteral("Gym Clock|192.168.1.50|");
    QTest::newRow("status, every field") << kStatusReply << gym + "12:34:56.780|300|3c1|10";
    QTest::newRow("status, type 2") << withBytes(0, hex("02")) << gym + "12:34:56.780|300|3c1|10";
    QTest::newRow("status, day 2047, sub-format 31")
        << withBytes(21, hex("FFFF")) << gym + "12:34:56.780|2047|3c1|31";
    QTest::newRow("status, name of 15 characters, no NUL")
        << withBytes(24, "ABCDEFGHIJKLMNO")
        << "ABCDEFGHIJKLMNO|192.168.1.50|12:34:56.780|300|3c1|10";
    QTest::newRow("status, Latin-1 name")
        << withBytes(24, QByteArray("Caf\xE9\0", 5))
        << QString::fromUtf8("Caf\xC3\xA9|192.168.1.50|12:34:56.780|300|3c1|10");
    QTest::newRow("status, hundredths 100: no valid time")
        << withBytes(15, hex("00000064")) << gym + "|300|3c1|10";
    QTest::newRow("status, type 3") << withBytes(0, hex("03")) << "none";
    QTest::newRow("status, 41 bytes") << kStatusReply + '\0' << "none";

    const QByteArray name = hex("54616C6B 0000000000000000"); // "Talk"
    const QByteArray run = hex("B1 EE 01 03 02 01 01 02 03 EE 05") + name;
    QTest::newRow("active program 7") << hex("AF 00 07") + name + kSteps << "active|7|Talk|true";
    QTest::newRow("program 4, byte 1 not read")
        << hex("B2 55 04") + name + kSteps << "program|4|Talk|true";
    QTest::newRow("program name without NUL")
        << hex("B2 00 00 414243444546474849 4A4B4C") + kSteps << "program|0|ABCDEFGHIJKL|true";
    QTest::newRow("program, UTF-8 name") << hex("B2 00 09 5AC3BC72696368 0000000000") + kSteps
                                         << QStringLiteral("program|9|Z\u00fcrich|true");
    QTest::newRow("active program, 214 bytes")
        << hex("AF 00 01") + name + kSteps.left(199) << "none";
    QTest::newRow("program -1") << hex("AF 00 FF") + name + kSteps << "none";
    // run|has program|row|interval|running|h|m|s|number|name|steps
    QTest::newRow("run status") << run + kSteps << "run|true|3|2|true|1|2|3|5|Talk|true";
    QTest::newRow("run status, no program") << QByteArray(run).replace(2, 1, hex("00")) + kSteps
                                            << "run|false|3|2|true|1|2|3|5|Talk|true";
    QTest::newRow("run status, empty program, paused")
        << QByteArray(run).replace(5, 1, hex("00")) + QByteArray(200, '\0')
        << "run|false|3|2|false|1|2|3|5|Talk|false";
    QTest::newRow("run status, 222 bytes") << run + kSteps.left(199) << "none";
    QTest::newRow("run status, program 10")
        << QByteArray(run).replace(10, 1, hex("0A")) + kSteps << "none";
}

void TestProtocol::decoders()
{
    QFETCH(QByteArray, datagram);
    QTEST(describe(datagram), "expected");
}

void TestProtocol::countFormatNumber()
{
    // Tenths, days-h:m:s, days:h:m and interval; mode and running bits do not count.
    QList<int> numbers;
    for (const int format : {0x80, 0, 0xA0, 0x20, 0x03C1})
        numbers << Protocol::countFormatNumber(format);
    QCOMPARE(numbers, QList<int>({0, 1, 2, 3, 0}));
}

void TestProtocol::replyRules_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("passedOn"); // "yes" or "no"
    QTest::addColumn<QStringList>("ends"); // which of the commands below the reply ends

    const auto status = [](int type, int length) {
        QByteArray bytes(length, '\x5A');
        bytes[0] = char(type);
        return bytes;
    };
    const auto program = [](const char *head) { return hex(head) + QByteArray(212, '\0'); };
    const QStringList all = {"A30100", "AF", "B1", "B203", "B0"};
    QTest::newRow("status, type 1") << status(1, 40) << "yes" << all;
    QTest::newRow("status, type 4") << status(4, 40) << "yes" << all;
    QTest::newRow("status, type 0") << status(0, 40) << "no" << all;
    QTest::newRow("status, type 5") << status(5, 40) << "no" << all;
    QTest::newRow("80 bytes, type 2") << status(2, 80) << "yes" << all;
    QTest::newRow("40 bytes starting 0xAF are a status") << status(0xAF, 40) << "no" << all;
    QTest::newRow("active program") << program("AF0000") << "yes" << QStringList{"AF"};
    QTest::newRow("run status") << program("B10000") << "yes" << QStringList{"B1"};
    QTest::newRow("program 3") << program("B20003") << "yes" << QStringList{"B203"};
    QTest::newRow("program reply of two bytes") << hex("B200") << "yes" << QStringList();
    QTest::newRow("acknowledgement, trailing bytes") << QByteArray("AOK\0", 4) << "no" << all;
    QTest::newRow("own query coming back") << hex("A104B2") << "no" << QStringList();
}

void TestProtocol::replyRules()
{
    QFETCH(QByteArray, reply);
    const Protocol::ReplyKind kind = Protocol::classifyReply(reply);
    QTEST(QString::fromLatin1(Protocol::isPassedOn(kind, reply) ? "yes" : "no"), "passedOn");
    QStringList ends;
    for (const char *command : {"A30100", "AF", "B1", "B203", "B0"}) {
        if (Protocol::endsCommand(kind, reply, hex(command)))
            ends << QString::fromLatin1(command);
    }
    QTEST(ends, "ends");
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
