#include "link/protocol.h"

#include <QtTest>

// The packet builders and the status reply decoder against literal bytes. How the link classifies
// and matches replies is tested through its socket in tst_udpcommthread.
namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Type 1 from 192.168.1.50 at day 300, 12:34:56.78, status word 0x03C1, sub-format 10, named
// "Gym Clock". The unread bytes hold 0xEE and byte 39 holds 'Z' so that reading them shows.
const QByteArray kStatusReply = hex("01"
                                    "C0A80132"
                                    "EEEEEEEEEEEEEEEEEEEE"
                                    "0C22384E"
                                    "C103"
                                    "2C2A"
                                    "EE"
                                    "47796D20436C6F636B000000000000"
                                    "5A");

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
    void countFormatNumber_data();
    void countFormatNumber();
    void dottedAddressStaysInBounds();
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
    QTest::newRow("set count-down mode, all zero")
        << setCountDownMode(0, 0, 0, 0, 0, 0, 0) << hex("A5000000000000000000");
    QTest::newRow("set count-down mode 300 days")
        << setCountDownMode(0, 300, 0, 0, 0, 0, 0) << hex("A5000000000000002C01");
    QTest::newRow("count-down reset 0:05:00 alarm 10 s")
        << countDownReset(1, 0, 0, 5, 0, 1, 10) << hex("A70100050000010A0000");
    QTest::newRow("count-down reset every field")
        << countDownReset(2, 1, 23, 59, 58, 1, 255) << hex("A702173B3A0001FF0100");
    QTest::newRow("count-down reset 99 days")
        << countDownReset(2, 99, 0, 0, 0, 0, 0) << hex("A7020000000000006300");
    QTest::newRow("count-down reset 300 days")
        << countDownReset(2, 300, 0, 0, 0, 0, 0) << hex("A7020000000000002C01");
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

    QTest::newRow("every field") << kStatusReply
                                 << "Gym Clock|192.168.1.50|12:34:56.780|300|3c1|10";
    QTest::newRow("type 2") << withBytes(0, hex("02"))
                            << "Gym Clock|192.168.1.50|12:34:56.780|300|3c1|10";
    QTest::newRow("day 256") << withBytes(21, hex("0020"))
                             << "Gym Clock|192.168.1.50|12:34:56.780|256|3c1|0";
    QTest::newRow("day 2047, sub-format 31")
        << withBytes(21, hex("FFFF")) << "Gym Clock|192.168.1.50|12:34:56.780|2047|3c1|31";
    QTest::newRow("name of 15 characters, no NUL")
        << withBytes(24, "ABCDEFGHIJKLMNO")
        << "ABCDEFGHIJKLMNO|192.168.1.50|12:34:56.780|300|3c1|10";
    QTest::newRow("empty name") << withBytes(24, QByteArray(1, '\0'))
                                << "|192.168.1.50|12:34:56.780|300|3c1|10";
    QTest::newRow("Latin-1 name") << withBytes(24, QByteArray("Caf\xE9\0", 5))
                                  << QString::fromUtf8(
                                         "Caf\xC3\xA9|192.168.1.50|12:34:56.780|300|3c1|10");
    QTest::newRow("23:59:59.99") << withBytes(15, hex("173B3B63"))
                                 << "Gym Clock|192.168.1.50|23:59:59.990|300|3c1|10";
    QTest::newRow("hours 24") << withBytes(15, hex("18000000"))
                              << "Gym Clock|192.168.1.50|invalid|300|3c1|10";
    QTest::newRow("hundredths 100")
        << withBytes(15, hex("00000064")) << "Gym Clock|192.168.1.50|invalid|300|3c1|10";
    QTest::newRow("type 0") << withBytes(0, hex("00")) << "none";
    QTest::newRow("type 3") << withBytes(0, hex("03")) << "none";
    QTest::newRow("39 bytes") << kStatusReply.left(39) << "none";
    QTest::newRow("41 bytes") << kStatusReply + '\0' << "none";
    QTest::newRow("80 bytes") << kStatusReply + kStatusReply << "none";
    QTest::newRow("empty") << QByteArray() << "none";
}

void TestProtocol::decodeStatusReply()
{
    QFETCH(QByteArray, datagram);
    QTEST(describe(Protocol::decodeStatusReply(datagram)), "expected");
}

void TestProtocol::countFormatNumber_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("number");

    QTest::newRow("0x80: tenths") << 0x80 << 0;
    QTest::newRow("0x00: days and h:m:s") << 0x00 << 1;
    QTest::newRow("0xA0: days:h:m") << 0xA0 << 2;
    QTest::newRow("0x20: interval") << 0x20 << 3;
    QTest::newRow("0x03C1: mode and running bits ignored") << 0x03C1 << 0;
}

void TestProtocol::countFormatNumber()
{
    QFETCH(int, format);
    QTEST(Protocol::countFormatNumber(format), "number");
}

void TestProtocol::dottedAddressStaysInBounds()
{
    QCOMPARE(Protocol::dottedAddress(hex("FF7F0001"), 0), QStringLiteral("255.127.0.1"));
    QCOMPARE(Protocol::dottedAddress(hex("0A0B"), 0), QStringLiteral("10.11.0.0"));
    QCOMPARE(Protocol::dottedAddress(QByteArray(), 1), QStringLiteral("0.0.0.0"));
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
