#include "link/programpackets.h"

#include <QtTest>

// Program transfer and run control packets against literal bytes.
namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A 200-byte step image: a colour step, a count-down 300 -> 60 s with a 2 s alarm, and a repeat
// back to line 0 taken 3 times (byte 6 = 3, byte 7 = 0), then the end of the program.
const QByteArray kSteps = hex("09000000 00000000 0201 0000 00000000 00000000"
                              "05000000 00000000 2C010000 3C000000 02000000"
                              "07000000 00000300 00000000 00000000 00000000") +
                          QByteArray(140, '\0');

// The one description of a datagram that one of the three parsers accepts, or "none".
QString describe(const QByteArray &datagram)
{
    using namespace Protocol;
    const auto program = [](const QString &kind, int number, const QString &name,
                            const QByteArray &steps) {
        return QStringLiteral("%1 %2|%3|%4")
            .arg(kind)
            .arg(number)
            .arg(name, steps == kSteps ? QStringLiteral("steps") : QStringLiteral("other"));
    };
    if (const auto r = decodeActiveProgramReply(datagram))
        return program("active", r->number, r->name, r->steps);
    if (const auto r = decodeProgramReply(datagram))
        return program("program", r->number, r->name, r->steps);
    if (const auto r = decodeRunStatusReply(datagram)) {
        return QStringLiteral("%1 row %2 interval %3 %4 %5:%6:%7 ")
                   .arg(r->hasProgram ? "program" : "no program")
                   .arg(r->row)
                   .arg(r->interval)
                   .arg(r->running ? "running" : "paused")
                   .arg(r->hours)
                   .arg(r->minutes)
                   .arg(r->seconds) +
               program("run", r->number, r->name, r->steps);
    }
    return QStringLiteral("none");
}

} // namespace

class TestProgramPackets : public QObject
{
    Q_OBJECT

private slots:
    void builders_data();
    void builders();
    void parsers_data();
    void parsers();
};

void TestProgramPackets::builders_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("expected");

    using namespace Protocol;
    QTest::newRow("get active") << getActiveProgram() << hex("AF");
    QTest::newRow("save") << saveProgramsOnDisplay() << hex("B0");
    QTest::newRow("run status") << getRunStatus() << hex("B1");
    QTest::newRow("get program 9") << getProgram(9) << hex("B2 09");
    QTest::newRow("get program 10") << getProgram(10) << QByteArray();
    QTest::newRow("start") << programRun(true) << hex("AE 01 00");
    QTest::newRow("pause") << programRun(false) << hex("AE 00 00");
    QTest::newRow("upload 3, 15-character name cut to 11")
        << uploadProgram(3, "ABCDEFGHIJKLMNO", kSteps)
        << hex("B3 03 4142434445464748494A4B 00") + kSteps;
    QTest::newRow("upload 9, empty name")
        << uploadProgram(9, QString(), kSteps) << hex("B3 09 000000000000000000000000") + kSteps;
    QTest::newRow("upload, 199-byte steps")
        << uploadProgram(1, "A", kSteps.left(199)) << QByteArray();
    QTest::newRow("arm 2") << armProgram(2, "Tab 60/15", kSteps)
                           << hex("AC D7 02 546162203630 2F3135 000000") + kSteps;
    QTest::newRow("arm 10") << armProgram(10, "A", kSteps) << QByteArray();
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

void TestProgramPackets::builders()
{
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, expected);
    QCOMPARE(packet.toHex(' '), expected.toHex(' '));
}

void TestProgramPackets::parsers_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");

    const QByteArray name = hex("54616C6B 0000000000000000"); // "Talk"
    const QByteArray run = hex("B1 EE 01 03 02 01 01 02 03 EE 05") + name;
    QTest::newRow("active program 7") << hex("AF 00 07") + name + kSteps << "active 7|Talk|steps";
    QTest::newRow("program 4, byte 1 not read")
        << hex("B2 55 04") + name + kSteps << "program 4|Talk|steps";
    QTest::newRow("name without NUL")
        << hex("B2 00 00 414243444546474849 4A4B4C") + kSteps << "program 0|ABCDEFGHIJKL|steps";
    QTest::newRow("UTF-8 name") << hex("B2 00 09 5AC3BC72696368 0000000000") + kSteps
                                << QStringLiteral("program 9|Z\u00fcrich|steps");
    QTest::newRow("214 bytes") << hex("AF 00 01") + name + kSteps.left(199) << "none";
    QTest::newRow("program 10") << hex("B2 00 0A") + name + kSteps << "none";
    QTest::newRow("program -1") << hex("AF 00 FF") + name + kSteps << "none";
    QTest::newRow("run status") << run + kSteps
                                << "program row 3 interval 2 running 1:2:3 run 5|Talk|steps";
    QTest::newRow("run status, no program")
        << QByteArray(run).replace(2, 1, hex("00")) + kSteps
        << "no program row 3 interval 2 running 1:2:3 run 5|Talk|steps";
    QTest::newRow("run status, empty program, paused")
        << QByteArray(run).replace(5, 1, hex("00")) + QByteArray(200, '\0')
        << "no program row 3 interval 2 paused 1:2:3 run 5|Talk|other";
    QTest::newRow("run status, 222 bytes") << run + kSteps.left(199) << "none";
    QTest::newRow("run status, program 10")
        << QByteArray(run).replace(10, 1, hex("0A")) + kSteps << "none";
}

void TestProgramPackets::parsers()
{
    QFETCH(QByteArray, datagram);
    QTEST(describe(datagram), "expected");
}

QTEST_APPLESS_MAIN(TestProgramPackets)
#include "tst_programpackets.moc"
