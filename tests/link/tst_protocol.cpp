#include "link/protocol.h"

#include <QtTest>

using Protocol::ReplyKind;
Q_DECLARE_METATYPE(Protocol::ReplyKind)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray filled(int code, int length)
{
    QByteArray bytes(length, '\x55');
    if (length > 0)
        bytes[0] = static_cast<char>(code);
    return bytes;
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

QByteArray withBytes(QByteArray bytes, int offset, const QByteArray &patch)
{
    bytes.replace(offset, patch.size(), patch);
    return bytes;
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void builders_data();
    void builders();
    void classifyReply_data();
    void classifyReply();
    void isPassedOn_data();
    void isPassedOn();
    void endsCommand_data();
    void endsCommand();
    void decodeStatusReplyFields();
    void decodeStatusReplyDays_data();
    void decodeStatusReplyDays();
    void decodeStatusReplyName_data();
    void decodeStatusReplyName();
    void decodeStatusReplyInvalidTime_data();
    void decodeStatusReplyInvalidTime();
    void decodeStatusReplyRejects_data();
    void decodeStatusReplyRejects();
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
    QTest::newRow("count-up reset takes the low byte") << countUpReset(0x102) << hex("A40200");
    QTest::newRow("set count-down mode, all zero")
        << setCountDownMode(0, 0, 0, 0, 0, 0, 0) << hex("A5000000000000000000");
    QTest::newRow("count-down reset 0:05:00 alarm 10 s") << countDownReset(1, 0, 0, 5, 0, 1, 10)
                                                         << hex("A7010005000001"
                                                                "0A0000");
    QTest::newRow("count-down reset every field") << countDownReset(2, 1, 23, 59, 58, 1, 255)
                                                  << hex("A7"
                                                         "02173B3A"
                                                         "00"
                                                         "01FF"
                                                         "0100");
    QTest::newRow("count-down reset 99 days")
        << countDownReset(2, 99, 0, 0, 0, 0, 0) << hex("A7020000000000006300");
    QTest::newRow("count-down reset 300 days")
        << countDownReset(2, 300, 0, 0, 0, 0, 0) << hex("A7020000000000002C01");
    QTest::newRow("set count-down mode 300 days")
        << setCountDownMode(0, 300, 0, 0, 0, 0, 0) << hex("A5000000000000002C01");
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

void TestProtocol::classifyReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<ReplyKind>("kind");

    QTest::newRow("empty") << QByteArray() << ReplyKind::Ignored;
    QTest::newRow("status 40") << filled(1, 40) << ReplyKind::Status;
    QTest::newRow("status 80") << filled(2, 80) << ReplyKind::Status;
    QTest::newRow("40 bytes starting 0xAF") << filled(0xAF, 40) << ReplyKind::Status;
    QTest::newRow("40 bytes starting A") << filled(0x41, 40) << ReplyKind::Status;
    QTest::newRow("80 bytes starting 0xB2") << filled(0xB2, 80) << ReplyKind::Status;
    QTest::newRow("39 bytes type 1") << filled(1, 39) << ReplyKind::Ignored;
    QTest::newRow("41 bytes type 1") << filled(1, 41) << ReplyKind::Ignored;
    QTest::newRow("active program") << filled(0xAF, 215) << ReplyKind::ActiveProgram;
    QTest::newRow("one byte 0xAF") << hex("AF") << ReplyKind::ActiveProgram;
    QTest::newRow("41 bytes 0xAF") << filled(0xAF, 41) << ReplyKind::ActiveProgram;
    QTest::newRow("run status") << filled(0xB1, 223) << ReplyKind::RunStatus;
    QTest::newRow("program") << filled(0xB2, 215) << ReplyKind::Program;
    QTest::newRow("acknowledgement") << hex("41") << ReplyKind::Acknowledgement;
    QTest::newRow("A with trailing bytes") << QByteArray("AOK") << ReplyKind::Acknowledgement;
    QTest::newRow("39 bytes starting A") << filled(0x41, 39) << ReplyKind::Acknowledgement;
    QTest::newRow("lower-case a") << hex("61") << ReplyKind::Ignored;
    QTest::newRow("own status query") << hex("A104B2") << ReplyKind::Ignored;
    QTest::newRow("other command echo") << hex("A30100") << ReplyKind::Ignored;
}

void TestProtocol::classifyReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(ReplyKind, kind);
    QCOMPARE(Protocol::classifyReply(datagram), kind);
}

void TestProtocol::isPassedOn_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("passedOn");

    for (int type : {0, 1, 2, 3, 4, 5, 0x41, 0xAF, 255}) {
        const bool known = type >= 1 && type <= 4;
        QTest::addRow("status 40 type %d", type) << filled(type, 40) << known;
        QTest::addRow("status 80 type %d", type) << filled(type, 80) << known;
    }
    QTest::newRow("active program") << filled(0xAF, 215) << true;
    QTest::newRow("run status") << filled(0xB1, 223) << true;
    QTest::newRow("program") << filled(0xB2, 215) << true;
    QTest::newRow("acknowledgement") << hex("41") << false;
    QTest::newRow("own status query") << hex("A104B2") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestProtocol::isPassedOn()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, passedOn);
    QCOMPARE(Protocol::isPassedOn(Protocol::classifyReply(datagram), datagram), passedOn);
}

void TestProtocol::endsCommand_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("ends");

    QByteArray program3 = filled(0xB2, 215);
    program3[2] = 3;
    QByteArray program0 = filled(0xB2, 215);
    program0[2] = 0;

    QTest::newRow("status ends a count command") << filled(1, 40) << hex("A30100") << true;
    QTest::newRow("status ends a program request") << filled(9, 80) << hex("B203") << true;
    QTest::newRow("acknowledgement ends anything") << hex("41") << hex("AF") << true;
    QTest::newRow("0xAF ends 0xAF") << filled(0xAF, 215) << hex("AF") << true;
    QTest::newRow("0xAF leaves 0xB1") << filled(0xAF, 215) << hex("B1") << false;
    QTest::newRow("0xAF leaves a count command") << filled(0xAF, 215) << hex("A30100") << false;
    QTest::newRow("0xB1 ends 0xB1") << filled(0xB1, 223) << hex("B1") << true;
    QTest::newRow("0xB1 leaves 0xAF") << filled(0xB1, 223) << hex("AF") << false;
    QTest::newRow("program 3 ends B2 03") << program3 << hex("B203") << true;
    QTest::newRow("program 3 leaves B2 01") << program3 << hex("B201") << false;
    QTest::newRow("program 3 leaves a one-byte command") << program3 << hex("B0") << false;
    QTest::newRow("program 0 ends a one-byte command") << program0 << hex("B0") << true;
    QTest::newRow("program 0 ends B2 00") << program0 << hex("B200") << true;
    QTest::newRow("program 0 leaves B2 01") << program0 << hex("B201") << false;
    QTest::newRow("program 3 by byte 1 of any command") << program3 << hex("A40300") << true;
    QTest::newRow("two-byte program reply ends nothing") << hex("B200") << hex("B0") << false;
    QTest::newRow("one-byte program reply ends nothing") << hex("B2") << hex("B0") << false;
    QTest::newRow("ignored datagram ends nothing") << hex("A104B2") << hex("A104B2") << false;
}

void TestProtocol::endsCommand()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, command);
    QFETCH(bool, ends);
    QCOMPARE(Protocol::endsCommand(Protocol::classifyReply(reply), reply, command), ends);
}

void TestProtocol::decodeStatusReplyFields()
{
    QCOMPARE(kStatusReply.size(), 40);
    const std::optional<Protocol::StatusFields> fields = Protocol::decodeStatusReply(kStatusReply);
    QVERIFY(fields);
    QCOMPARE(fields->name, QStringLiteral("Gym Clock"));
    QCOMPARE(fields->ipaddr, QStringLiteral("192.168.1.50"));
    QCOMPARE(fields->time, QTime(12, 34, 56, 780));
    QCOMPARE(fields->day, 300);
    QCOMPARE(fields->format, 0x03C1);
    QCOMPARE(fields->subFormat, 10);
    QCOMPARE(fields->format & Protocol::Format::kModeMask, 1);
    QVERIFY(fields->format & Protocol::Format::kRunning);
    QCOMPARE(fields->format >> Protocol::Format::kIntervalShift, 3);
    QCOMPARE(Protocol::countFormatNumber(fields->format), 0);

    QByteArray type2 = kStatusReply;
    type2[0] = 2;
    QVERIFY(Protocol::decodeStatusReply(type2));
}

void TestProtocol::decodeStatusReplyDays_data()
{
    QTest::addColumn<QByteArray>("bytes21and22");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("subFormat");

    QTest::newRow("0") << hex("0000") << 0 << 0;
    QTest::newRow("255") << hex("FF00") << 255 << 0;
    QTest::newRow("256") << hex("0020") << 256 << 0;
    QTest::newRow("300, sub-format 10") << hex("2C2A") << 300 << 10;
    QTest::newRow("1024") << hex("0080") << 1024 << 0;
    QTest::newRow("2047") << hex("FFE0") << 2047 << 0;
    QTest::newRow("2047, sub-format 31") << hex("FFFF") << 2047 << 31;
    QTest::newRow("0, sub-format 31") << hex("001F") << 0 << 31;
}

void TestProtocol::decodeStatusReplyDays()
{
    QFETCH(QByteArray, bytes21and22);
    QFETCH(int, day);
    QFETCH(int, subFormat);
    const auto fields = Protocol::decodeStatusReply(withBytes(kStatusReply, 21, bytes21and22));
    QVERIFY(fields);
    QCOMPARE(fields->day, day);
    QCOMPARE(fields->subFormat, subFormat);
}

void TestProtocol::decodeStatusReplyName_data()
{
    QTest::addColumn<QByteArray>("nameAndByte39"); // bytes 24 to 39
    QTest::addColumn<QString>("name");

    QTest::newRow("15 characters, no NUL") << QByteArray("ABCDEFGHIJKLMNOZ") << "ABCDEFGHIJKLMNO";
    QTest::newRow("ended by NUL") << QByteArray("Hall\0XXXXXXXXXXZ", 16) << "Hall";
    QTest::newRow("empty") << QByteArray("\0XXXXXXXXXXXXXXZ", 16) << "";
    QTest::newRow("Latin-1") << QByteArray("Caf\xE9\0\0\0\0\0\0\0\0\0\0\0Z", 16)
                             << QString::fromUtf8("Caf\xC3\xA9");
}

void TestProtocol::decodeStatusReplyName()
{
    QFETCH(QByteArray, nameAndByte39);
    QFETCH(QString, name);
    const auto fields = Protocol::decodeStatusReply(withBytes(kStatusReply, 24, nameAndByte39));
    QVERIFY(fields);
    QCOMPARE(fields->name, name);
}

void TestProtocol::decodeStatusReplyInvalidTime_data()
{
    QTest::addColumn<QByteArray>("bytes15to18");
    QTest::addColumn<bool>("valid");

    QTest::newRow("23:59:59.99") << hex("173B3B63") << true;
    QTest::newRow("00:00:00.00") << hex("00000000") << true;
    QTest::newRow("hours 24") << hex("18000000") << false;
    QTest::newRow("minutes 60") << hex("003C0000") << false;
    QTest::newRow("seconds 60") << hex("00003C00") << false;
    QTest::newRow("hundredths 100") << hex("00000064") << false;
    QTest::newRow("all 255") << hex("FFFFFFFF") << false;
}

void TestProtocol::decodeStatusReplyInvalidTime()
{
    QFETCH(QByteArray, bytes15to18);
    QFETCH(bool, valid);
    const auto fields = Protocol::decodeStatusReply(withBytes(kStatusReply, 15, bytes15to18));
    QVERIFY(fields);
    QCOMPARE(fields->time.isValid(), valid);
}

void TestProtocol::decodeStatusReplyRejects_data()
{
    QTest::addColumn<QByteArray>("datagram");

    for (int type : {0, 3, 4, 255}) {
        QByteArray bytes = kStatusReply;
        bytes[0] = static_cast<char>(type);
        QTest::addRow("type %d", type) << bytes;
    }
    QTest::newRow("39 bytes") << kStatusReply.left(39);
    QTest::newRow("41 bytes") << kStatusReply + '\0';
    QTest::newRow("80 bytes") << kStatusReply + kStatusReply;
    QTest::newRow("empty") << QByteArray();
}

void TestProtocol::decodeStatusReplyRejects()
{
    QFETCH(QByteArray, datagram);
    QVERIFY(!Protocol::decodeStatusReply(datagram));
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
    QTest::newRow("0x0061") << 0x0061 << 3;
}

void TestProtocol::countFormatNumber()
{
    QFETCH(int, format);
    QFETCH(int, number);
    QCOMPARE(Protocol::countFormatNumber(format), number);
}

void TestProtocol::dottedAddressStaysInBounds()
{
    QCOMPARE(Protocol::dottedAddress(hex("FF7F0001"), 0), QStringLiteral("255.127.0.1"));
    QCOMPARE(Protocol::dottedAddress(hex("0A0B"), 0), QStringLiteral("10.11.0.0"));
    QCOMPARE(Protocol::dottedAddress(QByteArray(), 1), QStringLiteral("0.0.0.0"));
}

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
