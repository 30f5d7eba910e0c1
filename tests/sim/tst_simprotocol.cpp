#include "simprotocol.h"

#include <QtTest>

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
    void decodesCountDownPreset_data();
    void decodesCountDownPreset();
    void decodesCommands_data();
    void decodesCommands();
};

void TestSimProtocol::statusReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("expected");

    const auto encoded = [](const char *address, ClockMode mode, int format, bool running,
                            qint64 valueMs, int subFormat, int interval, const QString &name) {
        StatusReply reply;
        reply.ipv4 = QHostAddress(QString::fromLatin1(address)).toIPv4Address();
        reply.clock.mode = mode;
        reply.clock.format = format;
        reply.clock.running = running;
        reply.clock.valueMs = valueMs;
        reply.subFormat = subFormat;
        reply.intervalNumber = interval;
        reply.name = name;
        return encodeStatusReply(reply);
    };
    const qint64 day = kDayMs;
    QTest::newRow("count-up running, tenths")
        << encoded("127.0.0.2", ClockMode::CountUp, 0, true,
                   day + (2 * 3600 + 3 * 60 + 4) * 1000 + 567, 0, 0, "Timer 1")
        << hex("01 7F 00 00 02 00 00 00 00 00 00 00 00 00 00 02 03 04 38 C1 00 01 00 00"
               "54 69 6D 65 72 20 31 00 00 00 00 00 00 00 00 00");
    QTest::newRow("300 days, sub-format 5, 15-character name")
        << encoded("127.1.2.3", ClockMode::CountDown, 2, false,
                   300 * day + (10 * 3600 + 20 * 60 + 30) * 1000, 5, 0, "ABCDEFGHIJKLMNO")
        << hex("01 7F 01 02 03 00 00 00 00 00 00 00 00 00 00 0A 14 1E 00 A2 00 2C 25 00"
               "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 00");
    QTest::newRow("largest value, interval 3, long Latin-1 name cut")
        << encoded("127.0.0.200", ClockMode::CountUp, 1, true, kMaxClockMs, 31, 3,
                   QStringLiteral("Z\u00fcrich Z\u00fcrich Z\u00fcrich"))
        << hex("01 7F 00 00 C8 00 00 00 00 00 00 00 00 00 00 17 3B 3B 63 41 03 FF FF 00"
               "5A FC 72 69 63 68 20 5A FC 72 69 63 68 20 5A 00");
    QTest::newRow("time of day has no count style")
        << encoded("127.0.0.5", ClockMode::TimeOfDay, 0, false,
                   (13 * 3600 + 45 * 60 + 7) * 1000 + 120, 2, 0, QString())
        << hex("01 7F 00 00 05 00 00 00 00 00 00 00 00 00 00 0D 2D 07 0C 00 00 00 02 00"
               "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
}

void TestSimProtocol::statusReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, expected);
    QCOMPARE(reply.toHex(' '), expected.toHex(' '));
}

void TestSimProtocol::decodesCountDownPreset_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<CommandKind>("kind");
    QTest::addColumn<QVector<int>>("fields"); // format, days, hours, minutes, seconds
    QTest::addColumn<bool>("alarmEnabled");
    QTest::addColumn<int>("alarmSeconds");
    QTest::addColumn<qint64>("totalMs");

    const CommandKind mode = CommandKind::CountDownMode;
    const CommandKind reset = CommandKind::CountDownReset;
    const qint64 hour = 3600 * 1000;
    QTest::newRow("window's set count-down mode")
        << hex("A5 00 00 00 00 00 00 00 00 00") << mode << QVector<int>{0, 0, 0, 0, 0} << false << 0
        << qint64(0);
    QTest::newRow("5 minutes, alarm 10 s")
        << hex("A7 01 00 05 00 00 01 0A 00 00") << reset << QVector<int>{1, 0, 0, 5, 0} << true
        << 10 << 5 * 60 * 1000LL;
    QTest::newRow("300 days, 99:60:60 carried over, alarm off")
        << hex("A7 02 63 3C 3C 00 00 FF 2C 01") << reset << QVector<int>{2, 300, 99, 60, 60}
        << false << 255 << 300 * kDayMs + 100 * hour + 60 * 1000;
    QTest::newRow("99 days, any non-zero alarm byte enables")
        << hex("A5 01 17 3B 3B 00 02 05 63 00") << mode << QVector<int>{1, 99, 23, 59, 59} << true
        << 5 << 100 * kDayMs - 1000;
    QTest::newRow("days beyond the display held at its largest value")
        << hex("A7 00 00 00 01 00 00 00 FF FF") << reset << QVector<int>{0, 65535, 0, 0, 1} << false
        << 0 << kMaxClockMs;
}

void TestSimProtocol::decodesCountDownPreset()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QVector<int>, fields);

    const Command command = decodeCommand(datagram);
    QTEST(command.kind, "kind");
    QCOMPARE(int(command.opcode), int(quint8(datagram.at(0))));
    const CountDownPreset &preset = command.preset;
    QCOMPARE(
        (QVector<int>{preset.format, preset.days, preset.hours, preset.minutes, preset.seconds}),
        fields);
    QTEST(preset.alarmEnabled, "alarmEnabled");
    QTEST(preset.alarmSeconds, "alarmSeconds");
    QTEST(preset.totalMs(), "totalMs");
}

void TestSimProtocol::decodesCommands_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<CommandKind>("kind");
    QTest::addColumn<bool>("run");
    QTest::addColumn<int>("format");

    using K = CommandKind;
    QTest::newRow("status query") << hex("A1 04 B2") << K::StatusQuery << false << 0;
    QTest::newRow("status query, other bytes") << hex("A1 00 00") << K::StatusQuery << false << 0;
    QTest::newRow("count-up mode") << hex("A2 00 00") << K::CountUpMode << false << 0;
    QTest::newRow("count-up run") << hex("A3 01 00") << K::CountUpRun << true << 0;
    QTest::newRow("count-up pause") << hex("A3 00 00") << K::CountUpRun << false << 0;
    QTest::newRow("count-up reset, format 2") << hex("A4 02 00") << K::CountUpReset << false << 2;
    QTest::newRow("count-down run") << hex("A6 01 00") << K::CountDownRun << true << 0;
    QTest::newRow("time of day") << hex("A8 01 00") << K::TimeOfDayMode << false << 0;
    QTest::newRow("get active program") << hex("AF") << K::ActiveProgramQuery << false << 0;
    QTest::newRow("get program 3") << hex("B2 03") << K::GetProgram << false << 0;
    QTest::newRow("arm program") << hex("AC") + QByteArray(214, '\0') << K::ArmProgram << false
                                 << 0;
    // Refused, with the reason given.
    QTest::newRow("empty") << QByteArray() << K::Unknown << false << 0;
    QTest::newRow("acknowledgement") << hex("41") << K::Unknown << false << 0;
    QTest::newRow("status reply") << hex("01") + QByteArray(39, '\0') << K::Unknown << false << 0;
    QTest::newRow("opcode between program commands") << hex("AD") << K::Unknown << false << 0;
    QTest::newRow("status query cut short") << hex("A1 04") << K::Malformed << false << 0;
    QTest::newRow("status query too long") << hex("A1 04 B2 00") << K::Malformed << false << 0;
    QTest::newRow("lone count-up run opcode") << hex("A3") << K::Malformed << false << 0;
    QTest::newRow("count-up reset, format 3") << hex("A4 03 00") << K::Malformed << false << 0;
    QTest::newRow("count-down preset cut short")
        << hex("A5 00 00 00 00 00 00 00 00") << K::Malformed << false << 0;
    QTest::newRow("count-down reset, format 9")
        << hex("A7 09 00 05 00 00 00 00 00 00") << K::Malformed << false << 0;
    QTest::newRow("arm program cut short")
        << hex("AC") + QByteArray(10, '\0') << K::Malformed << false << 0;
}

void TestSimProtocol::decodesCommands()
{
    QFETCH(QByteArray, datagram);
    QFETCH(CommandKind, kind);

    const Command command = decodeCommand(datagram);
    QCOMPARE(command.kind, kind);
    const bool refused = kind == CommandKind::Malformed || kind == CommandKind::Unknown;
    QCOMPARE(command.problem.isEmpty(), !refused);
    if (!refused) {
        QTEST(command.run, "run");
        QTEST(command.format, "format");
    }
}

QTEST_APPLESS_MAIN(TestSimProtocol)
#include "tst_simprotocol.moc"
