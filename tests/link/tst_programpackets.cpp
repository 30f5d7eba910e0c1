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
const QByteArray kStepsHex = kSteps.toHex();

// "number|name|steps" for a program reply, or "none".
QString describe(const std::optional<Protocol::ProgramReply> &reply)
{
    if (!reply)
        return QStringLiteral("none");
    return QStringLiteral("%1|%2|%3")
        .arg(reply->number)
        .arg(reply->name)
        .arg(reply->steps == kSteps ? QStringLiteral("steps")
                                    : QString::fromLatin1(reply->steps.toHex()));
}

QString describe(const std::optional<Protocol::RunStatusReply> &r)
{
    if (!r)
        return QStringLiteral("none");
    return QStringLiteral("%1 row %2 interval %3 %4 %5:%6:%7|")
               .arg(r->hasProgram ? "program" : "no program")
               .arg(r->row)
               .arg(r->interval)
               .arg(r->running ? "running" : "paused")
               .arg(r->hours)
               .arg(r->minutes)
               .arg(r->seconds) +
           describe(Protocol::ProgramReply{r->number, r->name, r->steps});
}

} // namespace

class TestProgramPackets : public QObject
{
    Q_OBJECT

private slots:
    void builders_data();
    void builders();
    void nameField_data();
    void nameField();
    void programReplies_data();
    void programReplies();
    void runStatusReply_data();
    void runStatusReply();
};

void TestProgramPackets::builders_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("expected");

    using namespace Protocol;
    QTest::newRow("get active") << getActiveProgram() << hex("AF");
    QTest::newRow("save") << saveProgramsOnDisplay() << hex("B0");
    QTest::newRow("run status") << getRunStatus() << hex("B1");
    QTest::newRow("get program 0") << getProgram(0) << hex("B2 00");
    QTest::newRow("get program 9") << getProgram(9) << hex("B2 09");
    QTest::newRow("get program 10") << getProgram(10) << QByteArray();
    QTest::newRow("get program -1") << getProgram(-1) << QByteArray();
    QTest::newRow("start") << programRun(true) << hex("AE 01 00");
    QTest::newRow("pause") << programRun(false) << hex("AE 00 00");
    QTest::newRow("upload 3, 15-character name cut to 11")
        << uploadProgram(3, "ABCDEFGHIJKLMNO", kSteps)
        << hex("B3 03 4142434445464748494A4B 00") + kSteps;
    QTest::newRow("upload 9, empty name")
        << uploadProgram(9, QString(), kSteps) << hex("B3 09 000000000000000000000000") + kSteps;
    QTest::newRow("upload, non-ASCII name kept off the steps")
        << uploadProgram(0, QStringLiteral("\u00c4\u00c4\u00c4\u00c4\u00c4\u00c4"), kSteps)
        << hex("B3 00 C384C384C384C384C384 0000") + kSteps;
    QTest::newRow("upload 10") << uploadProgram(10, "A", kSteps) << QByteArray();
    QTest::newRow("upload, 199-byte steps")
        << uploadProgram(1, "A", kSteps.left(199)) << QByteArray();
    QTest::newRow("arm 2") << armProgram(2, "Tab 60/15", kSteps)
                           << hex("AC D7 02 546162203630 2F3135 000000") + kSteps;
    QTest::newRow("arm -1") << armProgram(-1, "A", kSteps) << QByteArray();
    QTest::newRow("arm, 201-byte steps") << armProgram(1, "A", kSteps + '\0') << QByteArray();
}

void TestProgramPackets::builders()
{
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, expected);
    QCOMPARE(packet.toHex(' '), expected.toHex(' '));
}

void TestProgramPackets::nameField_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("11 bytes of mixed text fill the field")
        << QStringLiteral("Z\u00fcrich Z\u00fcrich") << hex("5AC3BC72696368205AC3BC 00");
    QTest::newRow("3-byte characters")
        << QStringLiteral("\u20ac\u20ac\u20ac\u20ac") << hex("E282ACE282ACE282AC 000000");
    QTest::newRow("4-byte characters")
        << QStringLiteral("\U0001F600\U0001F600\U0001F600") << hex("F09F9880F09F9880 00000000");
    QTest::newRow("a 2-byte character across the cut is left out")
        << QStringLiteral("ABCDEFGHIJ\u00e9") << hex("4142434445464748494A 0000");
}

void TestProgramPackets::nameField()
{
    QFETCH(QString, name);
    QTEST(Protocol::programNameField(name), "expected");
}

void TestProgramPackets::programReplies_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("program");

    const QByteArray name = hex("54616C6B 0000000000000000"); // "Talk"
    QTest::newRow("active program 7") << hex("AF 00 07") + name + kSteps << "7|Talk|steps"
                                      << "none";
    QTest::newRow("program 4, byte 1 not read") << hex("B2 55 04") + name + kSteps << "none"
                                                << "4|Talk|steps";
    QTest::newRow("name without NUL")
        << hex("B2 00 00 414243444546474849 4A4B4C") + kSteps << "none"
        << "0|ABCDEFGHIJKL|steps";
    QTest::newRow("UTF-8 name") << hex("B2 00 09 5AC3BC72696368 0000000000") + kSteps << "none"
                                << QStringLiteral("9|Z\u00fcrich|steps");
    QTest::newRow("trailing byte ignored")
        << hex("AF 00 01") + name + kSteps + '\x01' << "1|Talk|steps"
        << "none";
    QTest::newRow("214 bytes") << hex("AF 00 01") + name + kSteps.left(199) << "none"
                               << "none";
    QTest::newRow("only an opcode") << hex("B2") << "none"
                                    << "none";
    QTest::newRow("program 10") << hex("B2 00 0A") + name + kSteps << "none"
                                << "none";
    QTest::newRow("program -1") << hex("AF 00 FF") + name + kSteps << "none"
                                << "none";
}

void TestProgramPackets::programReplies()
{
    QFETCH(QByteArray, datagram);
    QTEST(describe(Protocol::decodeActiveProgramReply(datagram)), "active");
    QTEST(describe(Protocol::decodeProgramReply(datagram)), "program");
}

void TestProgramPackets::runStatusReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");

    const QByteArray head = hex("B1 EE 01 03 02 01 01 02 03 EE 05 54616C6B 0000000000000000");
    QTest::newRow("running") << head + kSteps
                             << "program row 3 interval 2 running 1:2:3|5|Talk|steps";
    QTest::newRow("paused") << QByteArray(head).replace(5, 1, hex("00")) + kSteps
                            << "program row 3 interval 2 paused 1:2:3|5|Talk|steps";
    QTest::newRow("no program") << QByteArray(head).replace(2, 1, hex("00")) + kSteps
                                << "no program row 3 interval 2 running 1:2:3|5|Talk|steps";
    QTest::newRow("empty program")
        << head + QByteArray(200, '\0')
        << "no program row 3 interval 2 running 1:2:3|5|Talk|" + QString(400, QLatin1Char('0'));
    QTest::newRow("222 bytes") << head + kSteps.left(199) << "none";
    QTest::newRow("program 10") << QByteArray(head).replace(10, 1, hex("0A")) + kSteps << "none";
    QTest::newRow("other opcode") << QByteArray(head).replace(0, 1, hex("B2")) + kSteps << "none";
}

void TestProgramPackets::runStatusReply()
{
    QFETCH(QByteArray, datagram);
    QTEST(describe(Protocol::decodeRunStatusReply(datagram)), "expected");
}

QTEST_APPLESS_MAIN(TestProgramPackets)
#include "tst_programpackets.moc"
