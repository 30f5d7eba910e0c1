#include "simoptions.h"
#include "simprotocol.h"

#include <QtTest>

// The simulator's own side of the wire against literal bytes, and the options it refuses.
using namespace qbsim;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace

Q_DECLARE_METATYPE(CommandKind)

class TestSimProtocol : public QObject
{
    Q_OBJECT

private slots:
    void statusReply_data();
    void statusReply();
    void decodesCommands_data();
    void decodesCommands();
    void refusesOptions_data();
    void refusesOptions();
};

void TestSimProtocol::statusReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("expected");

    const auto encoded = [](const char *address, ClockMode mode, int format, bool running,
                            qint64 valueMs, int subFormat, const QString &name) {
        StatusReply reply;
        reply.ipv4 = QHostAddress(QString::fromLatin1(address)).toIPv4Address();
        reply.clock.mode = mode;
        reply.clock.format = format;
        reply.clock.running = running;
        reply.clock.valueMs = valueMs;
        reply.subFormat = subFormat;
        reply.name = name;
        return encodeStatusReply(reply);
    };
    QTest::newRow("count-up running, tenths")
        << encoded("127.0.0.2", ClockMode::CountUp, 0, true,
                   kDayMs + (2 * 3600 + 3 * 60 + 4) * 1000 + 567, 0, "Timer 1")
        << hex("01 7F 00 00 02 00 00 00 00 00 00 00 00 00 00 02 03 04 38 C1 00 01 00 00"
               "54 69 6D 65 72 20 31 00 00 00 00 00 00 00 00 00");
    QTest::newRow("300 days, sub-format 5, 15-character name")
        << encoded("127.1.2.3", ClockMode::CountDown, 2, false,
                   300 * kDayMs + (10 * 3600 + 20 * 60 + 30) * 1000, 5, "ABCDEFGHIJKLMNO")
        << hex("01 7F 01 02 03 00 00 00 00 00 00 00 00 00 00 0A 14 1E 00 A2 00 2C 25 00"
               "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 00");
}

void TestSimProtocol::statusReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, expected);
    QCOMPARE(reply.toHex(' '), expected.toHex(' '));
}

void TestSimProtocol::decodesCommands_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<CommandKind>("kind");
    QTest::addColumn<int>("argument"); // run flag or format

    using K = CommandKind;
    QTest::newRow("status query") << hex("A1 04 B2") << K::StatusQuery << 0;
    QTest::newRow("count-up run") << hex("A3 01 00") << K::CountUpRun << 1;
    QTest::newRow("count-up reset, format 2") << hex("A4 02 00") << K::CountUpReset << 2;
    QTest::newRow("count-down mode") << hex("A5 00 00 00 00 00 00 00 00 00") << K::CountDownMode
                                     << 0;
    QTest::newRow("get program 3") << hex("B2 03") << K::Program << 0;
    QTest::newRow("empty") << QByteArray() << K::Unknown << 0;
    QTest::newRow("status query cut short") << hex("A1 04") << K::Malformed << 0;
    QTest::newRow("count-up reset, format 3") << hex("A4 03 00") << K::Malformed << 0;
    QTest::newRow("count-down preset cut short")
        << hex("A5 00 00 00 00 00 00 00 00") << K::Malformed << 0;
    QTest::newRow("count-down reset, format 9")
        << hex("A7 09 00 05 00 00 00 00 00 00") << K::Malformed << 0;
}

void TestSimProtocol::decodesCommands()
{
    QFETCH(QByteArray, datagram);
    QFETCH(CommandKind, kind);
    const Command command = decodeCommand(datagram);
    QCOMPARE(command.kind, kind);
    const bool refused = kind == CommandKind::Malformed || kind == CommandKind::Unknown;
    QCOMPARE(command.problem.isEmpty(), !refused);
    QTEST(kind == CommandKind::CountUpReset ? command.format : int(command.run), "argument");
}

void TestSimProtocol::refusesOptions_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::newRow("private address") << "--first-address 192.168.1.10";
    QTest::newRow("controller's address") << "--first-address 127.0.0.1";
    QTest::newRow("last display on the broadcast address")
        << "--count 5 --first-address 127.255.255.251";
    QTest::newRow("name of 16 characters") << "--names ABCDEFGHIJKLMNOP";
}

void TestSimProtocol::refusesOptions()
{
    QFETCH(QString, arguments);
    const ParsedCommandLine parsed =
        parseCommandLine(QStringList{QStringLiteral("qb-timer-sim")} + arguments.split(' '));
    QCOMPARE(parsed.status, ParseStatus::Error);
    QVERIFY(!parsed.message.isEmpty());
}

QTEST_APPLESS_MAIN(TestSimProtocol)
#include "tst_simprotocol.moc"
