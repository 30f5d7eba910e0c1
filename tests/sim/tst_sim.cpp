#include "simdisplaystate.h"
#include "simoptions.h"
#include "simtext.h"

#include <QtTest>

// The simulator's own rules: it lives on loopback only, so options that would put a display
// elsewhere, or on the controller's or the broadcast address, are refused; its program
// interpreter on a fake clock, each script step letting time pass, handing the display a datagram
// and comparing what the digits show; its answers to the program commands. Its wire side is
// exercised end to end.
using namespace qbsim;

namespace {

// A display on a hand-driven clock.
struct ClockedDisplay : TimeSource
{
    qint64 monotonicMs() const override { return now; }
    int wallMsOfDay() const override { return 0; }

    qint64 now = 1000;
    DisplayState state{{QHostAddress(QStringLiteral("127.0.0.2")), QStringLiteral("T"), 0}, *this};
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Arms program 3, named "T", with 20-byte steps given in hex, padded to 200 bytes.
QByteArray arm(const char *steps)
{
    return hex("AC D7 03 54 0000000000000000000000") +
           hex(steps).leftJustified(kStepImageLength, '\0');
}

const QByteArray kRun = hex("AE 01 00");
const QByteArray kPause = hex("AE 00 00");

// Steps: colour (hours, rest), timing lines (command, increment, start, stop, alarm), repeat
// (back to, count) and end (flags, alarm).
const char kTalk[] = "09000000 000000 000000 0101 0000000000000000"       // green/green
                     "05000000 00000000 2C010000 3C000000 00000000"       // 300 -> 60 s
                     "09000000 000000 000000 0505 0000000000000000"       // yellow/yellow
                     "05000000 00000000 3C000000 00000000 00000000"       // 60 -> 0 s
                     "08000000 00020000 00000000 00000000 00000000";      // end, Stop
const char kIntervals[] = "09000000 000000 000000 0201 0000000000000000"  // blue/green
                          "01000000 01000000 02000000 00000000 01000000"  // +1, 2 s, alarm 1
                          "09000000 000000 000000 0200 0000000000000000"  // blue/red
                          "01000000 00000000 01000000 00000000 01000000"  // 1 s, alarm 1
                          "07000000 00000300 00000000 00000000 00000000"  // back to 0, 3 times
                          "08000000 00010000 00000000 00000000 02000000"; // end, Reset, alarm 2

// A script step: how long to let pass, the datagram then handed to the display (if any) and
// what it shows: "<mode> <running|stopped> <ms> row <r> interval <i> <hours>/<rest>[ alarm]",
// "ended" for the row and interval once the program has ended, the mode alone when no program is
// shown.
using Step = std::tuple<qint64, QByteArray, QString>;

QString describe(DisplayState &display)
{
    const ClockReading r = display.reading();
    const RunStatus status = display.runner().status();
    const DigitColours colours = display.runner().colours();
    const QString line =
        status.active ? QStringLiteral("row %1 interval %2").arg(status.row).arg(r.intervalNumber)
                      : QStringLiteral("ended");
    if (!display.runner().isShown())
        return modeName(r.mode);
    return QStringLiteral("%1 %2 %3 %4 %5/%6%7")
        .arg(modeName(r.mode), r.running ? "running" : "stopped", QString::number(r.valueMs), line,
             colourName(colours.hours), colourName(colours.rest), r.alarmSounding ? " alarm" : "");
}

} // namespace

Q_DECLARE_METATYPE(QVector<Step>)

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void refusesOptions_data();
    void refusesOptions();
    void runsPrograms_data();
    void runsPrograms();
    void answersProgramCommands();
};

void TestSim::refusesOptions_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::newRow("private address") << "--first-address 192.168.1.10";
    QTest::newRow("controller's address") << "--first-address 127.0.0.1";
    QTest::newRow("last display on the broadcast address")
        << "--count 5 --first-address 127.255.255.251";
}

void TestSim::refusesOptions()
{
    QFETCH(QString, arguments);
    const ParsedCommandLine parsed =
        parseCommandLine(QStringList{QStringLiteral("qb-timer-sim")} + arguments.split(' '));
    QCOMPARE(parsed.status, ParseStatus::Error);
    QVERIFY(!parsed.message.isEmpty());
}

void TestSim::runsPrograms_data()
{
    QTest::addColumn<QVector<Step>>("steps");

    QTest::newRow("count-down lines to their stop times, colour lines, Stop") << QVector<Step>{
        {0, arm(kTalk), "count-down stopped 300000 row 1 interval 0 green/green"},
        {0, kRun, "count-down running 300000 row 1 interval 0 green/green"},
        {239999, {}, "count-down running 60001 row 1 interval 0 green/green"},
        {1, {}, "count-down running 60000 row 3 interval 0 yellow/yellow"},
        {20000, kPause, "count-down stopped 40000 row 3 interval 0 yellow/yellow"},
        {9000, kRun, "count-down running 40000 row 3 interval 0 yellow/yellow"},
        {40000, kRun, "count-down stopped 0 ended yellow/yellow"},
        {0, hex("A8 01 00"), "time-of-day"},
    };
    QTest::newRow("repeat taken three times, interval numbers, alarms, Reset") << QVector<Step>{
        {0, arm(kIntervals), "interval-down stopped 2000 row 1 interval 1 blue/green"},
        {0, kRun, "interval-down running 2000 row 1 interval 1 blue/green alarm"},
        {1000, {}, "interval-down running 1000 row 1 interval 1 blue/green"},
        {1000, {}, "interval-down running 1000 row 3 interval 1 blue/red alarm"},
        {1000, {}, "interval-down running 2000 row 1 interval 2 blue/green alarm"},
        {6000, {}, "interval-down running 2000 row 1 interval 4 blue/green alarm"},
        {3000, {}, "interval-down stopped 2000 row 1 interval 1 blue/green alarm"},
        {2000, {}, "interval-down stopped 2000 row 1 interval 1 blue/green"},
        {0, kRun, "interval-down running 2000 row 1 interval 1 blue/green alarm"},
    };
    QTest::newRow("count-up to its stop time, then a zero-time loop, which is stopped")
        << QVector<Step>{
               {0,
                arm("04000000 00000000 00000000 03000000 00000000"   // count-up to 3 s
                    "09000000 000000 000000 0606 0000000000000000"   // white/white
                    "07000000 0001FF00 00000000 00000000 00000000"), // back to 1, 255 times
                "count-up stopped 0 row 0 interval 0 default/default"},
               {1000, kRun, "count-up running 0 row 0 interval 0 default/default"},
               {2999, {}, "count-up running 2999 row 0 interval 0 default/default"},
               {1, {}, "count-up stopped 0 ended white/white"},
           };
}

void TestSim::runsPrograms()
{
    QFETCH(QVector<Step>, steps);

    ClockedDisplay display;
    for (const auto &[advanceMs, datagram, expected] : steps) {
        display.now += advanceMs;
        if (!datagram.isEmpty())
            display.state.handle(datagram);
        QCOMPARE(describe(display.state), expected);
    }
}

// Every program command's answer against literal bytes, through one conversation.
void TestSim::answersProgramCommands()
{
    ClockedDisplay display;
    const QByteArray name9 = hex("50726F6720390000 00000000"); // "Prog 9"
    const QByteArray steps9 = hex(kIntervals).leftJustified(kStepImageLength, '\0');
    // The repeat taken once (step 4, byte 7).
    const QByteArray taken9 = QByteArray(steps9).replace(4 * kStepLength + 7, 1, hex("01"));
    // Time to let pass, a command and the answer.
    const std::tuple<qint64, QByteArray, QByteArray> conversation[] = {
        {0, hex("B3 09") + name9 + steps9, "A"},
        {0, hex("B2 09"), hex("B2 00 09") + name9 + steps9},
        {0, hex("AC D7 09") + name9 + steps9, "A"},
        {0, kRun, "A"},
        // Second pass, 0:00:01 left on row 1 of interval 2.
        {4000, hex("B1"), hex("B1 00 01 01 02 01 00 00 01 00 09") + name9 + taken9},
        {0, kPause, "A"},
        // Refused without an answer: program numbers beyond 9 and short commands.
        {0, hex("B2 0A"), {}},
        {0, hex("B3 09") + name9 + steps9.left(199), {}},
    };
    for (const auto &[advanceMs, command, reply] : conversation) {
        display.now += advanceMs;
        QCOMPARE(display.state.handle(command).reply.toHex(' '), reply.toHex(' '));
    }
    // The status reply shows interval count-down (4), interval style (0x20), paused, interval 2.
    QCOMPARE(display.state.statusReply().mid(19, 2).toHex(' '), QByteArray("24 02"));
}

QTEST_APPLESS_MAIN(TestSim)
#include "tst_sim.moc"
