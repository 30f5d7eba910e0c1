#include "link/protocol.h"

#include <QtTest>

// The packet builders, the status reply decoder and the reply rules against literal bytes.
namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Type 1 from 192.168.1.50 at day 300, 12:34:56.78, status word 0x03C1, sub-format 10, named
// "Gym Clock". The unread bytes hold 0xEE and byte 39 holds 'Z' so that reading them shows.
const QByteArray kStatusReply = hex("01C0A80132EEEEEEEEEEEEEEEEEEEE0C22384EC1032C2AEE"
                                    "47796D20436C6F636B0000000000005A");

QByteArray withBytes(int offset, const QByteArray &patch)
{
    return QByteArray(kStatusReply).replace(offset, patch.size(), patch);
}

// "name|address|time|day|format|sub-format", or "none" when the reply is refused.
QString describe(const std::optional<Protocol::StatusFields> &f)
{
    if (!f)
        return QStringLiteral("none");
    const QString time = f->time.isValid() ? f->time.toString(QStringLiteral("hh:mm:ss.zzz"))
                                           : QStringLiteral("invalid");
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(f->name, f->ipaddr, time)
        .arg(f->day)
        .arg(f->format, 0, 16)
        .arg(f->subFormat);
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void builders_data();
    void builders();
    void decodeStatusReply_data();
    void decodeStatusReply();
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
    QTest::newRow("count-up pause") << countUpRun(false) << hex("A30000");
    QTest::newRow("count-up reset format 2") << countUpReset(2) << hex("A40200");
    QTest::newRow("set count-down mode 300 days")
        << setCountDownMode(0, 300, 0, 0, 0, 0, 0) << hex("A5000000000000002C01");
    QTest::newRow("count-down reset every field")
        << countDownReset(2, 1, 23, 59, 58, 1, 255) << hex("A702173B3A0001FF0100");
    QTest::newRow("count-down reset 99:60:60 as chosen")
        << countDownReset(1, 0, 99, 60, 60, 1, 5) << hex("A701633C3C0001050000");
    QTest::newRow("values above a byte lose their high bits")
        << countDownReset(0x101, 0, 0x105, 0, 0, 0x102, 0x1FF) << hex("A7010500000002FF0000");
    QTest::newRow("count-down run") << countDownRun(true) << hex("A60100");
    QTest::newRow("count-down pause") << countDownRun(false) << hex("A60000");
    QTest::newRow("time-of-day mode") << timeOfDayMode() << hex("A80100");
}

void TestProtocol::builders()
{
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, expected);
    QCOMPARE(packet.toHex(' '), expected.toHex(' '));
}

void TestProtocol::decodeStatusReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");

    const QString gym = QStringLiteral("Gym Clock|192.168.1.50|");
    QTest::newRow("every field") << kStatusReply << gym + "12:34:56.780|300|3c1|10";
    QTest::newRow("type 2") << withBytes(0, hex("02")) << gym + "12:34:56.780|300|3c1|10";
    QTest::newRow("day 2047, sub-format 31")
        << withBytes(21, hex("FFFF")) << gym + "12:34:56.780|2047|3c1|31";
    QTest::newRow("name of 15 characters, no NUL")
        << withBytes(24, "ABCDEFGHIJKLMNO")
        << "ABCDEFGHIJKLMNO|192.168.1.50|12:34:56.780|300|3c1|10";
    QTest::newRow("Latin-1 name") << withBytes(24, QByteArray("Caf\xE9\0", 5))
                                  << QString::fromUtf8(
                                         "Caf\xC3\xA9|192.168.1.50|12:34:56.780|300|3c1|10");
    QTest::newRow("hours 24") << withBytes(15, hex("18000000")) << gym + "invalid|300|3c1|10";
    QTest::newRow("hundredths 100") << withBytes(15, hex("00000064")) << gym + "invalid|300|3c1|10";
    QTest::newRow("type 3") << withBytes(0, hex("03")) << "none";
    QTest::newRow("39 bytes") << kStatusReply.left(39) << "none";
    QTest::newRow("41 bytes") << kStatusReply + '\0' << "none";
    QTest::newRow("80 bytes") << kStatusReply + kStatusReply << "none";
}

void TestProtocol::decodeStatusReply()
{
    QFETCH(QByteArray, datagram);
    QTEST(describe(Protocol::decodeStatusReply(datagram)), "expected");
}

void TestProtocol::countFormatNumber()
{
    // Tenths, days-h:m:s, days:h:m and interval; mode and running bits do not count.
    const QList<int> numbers = {Protocol::countFormatNumber(0x80), Protocol::countFormatNumber(0),
                                Protocol::countFormatNumber(0xA0),
                                Protocol::countFormatNumber(0x20),
                                Protocol::countFormatNumber(0x03C1)};
    QCOMPARE(numbers, QList<int>({0, 1, 2, 3, 0}));
}

void TestProtocol::replyRules_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("passedOn"); // "yes" or "no"
    QTest::addColumn<QStringList>("ends"); // which of kCommands the reply ends

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
    QTest::newRow("program 0 ends a one-byte request")
        << program("B20000") << "yes" << QStringList{"AF", "B1", "B0"};
    QTest::newRow("program reply of two bytes") << hex("B200") << "yes" << QStringList();
    QTest::newRow("acknowledgement") << hex("41") << "no" << all;
    QTest::newRow("acknowledgement, trailing bytes") << QByteArray("AOK\0", 4) << "no" << all;
    QTest::newRow("own query coming back") << hex("A104B2") << "no" << QStringList();
    QTest::newRow("empty") << QByteArray() << "no" << QStringList();
    QTest::newRow("39-byte status") << status(1, 39) << "no" << QStringList();
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
