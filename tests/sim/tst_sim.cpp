#include "simdisplaystate.h"
#include "simtext.h"

#include <QtTest>

// The display's program interpreter on a fake clock: each script step lets time pass, hands the
// display a datagram and compares what the digits show and the events on the way.
using namespace qbsim;

namespace {

class ManualTime : public TimeSource
{
public:
    qint64 monotonicMs() const override { return now; }
    int wallMsOfDay() const override { return 0; }

    qint64 now = 1000;
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A step image from 20-byte steps given in hex, padded to 200 bytes.
QByteArray image(const char *steps)
{
    return hex(steps).leftJustified(kStepImageLength, '\0');
}

// Arms program 3, named "T".
QByteArray arm(const char *steps)
{
    return hex("AC D7 03 54 0000000000000000000000") + image(steps);
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

struct Step
{
    qint64 advanceMs;
    QByteArray datagram;
    // "<mode> <running|stopped> <ms> row <r> interval <i>[ alarm] |<events>", events being
    // s<row>: line set up, c<hours>/<rest>: colours changed, a<s>/a-: alarm on/off, reset, end,
    // halt.
    QString expected;
};

QString eventToken(const ProgramEvent &event)
{
    const QJsonObject &f = event.fields;
    if (event.name == QLatin1String("program-step"))
        return QStringLiteral("s%1").arg(f.value("row").toInt());
    if (event.name == QLatin1String("program-colour"))
        return "c" + f.value("hours").toString() + "/" + f.value("rest").toString();
    if (event.name == QLatin1String("alarm-on"))
        return QStringLiteral("a%1").arg(f.value("seconds").toInt());
    if (event.name == QLatin1String("alarm-off"))
        return QStringLiteral("a-");
    if (event.name == QLatin1String("program-end"))
        return f.value("reset").toBool() ? "reset" : "end";
    return QStringLiteral("halt");
}

QString describe(DisplayState &display)
{
    const ClockReading reading = display.reading();
    QString shown = modeName(reading.mode);
    if (display.runner().isShown()) {
        const RunStatus status = display.runner().status();
        shown += QStringLiteral(" %1 %2 ")
                     .arg(reading.running ? "running" : "stopped")
                     .arg(reading.valueMs);
        shown +=
            status.active
                ? QStringLiteral("row %1 interval %2").arg(status.row).arg(reading.intervalNumber)
                : QStringLiteral("ended");
        shown += reading.alarmSounding ? " alarm |" : " |";
    }
    for (const ProgramEvent &event : display.runner().takeEvents())
        shown += " " + eventToken(event);
    return shown;
}

} // namespace

Q_DECLARE_METATYPE(QVector<Step>)

class TestSimPrograms : public QObject
{
    Q_OBJECT

private slots:
    void runsPrograms_data();
    void runsPrograms();
    void answersProgramCommands();
};

void TestSimPrograms::runsPrograms_data()
{
    QTest::addColumn<QVector<Step>>("steps");

    QTest::newRow("count-down lines to their stop times, colour lines, Stop") << QVector<Step>{
        {0, arm(kTalk), "count-down stopped 300000 row 1 interval 0 | cgreen/green s1"},
        {0, kRun, "count-down running 300000 row 1 interval 0 |"},
        {239999, {}, "count-down running 60001 row 1 interval 0 |"},
        {1, {}, "count-down running 60000 row 3 interval 0 | cyellow/yellow s3"},
        {20000, kPause, "count-down stopped 40000 row 3 interval 0 |"},
        {9000, kRun, "count-down running 40000 row 3 interval 0 |"},
        {40000, {}, "count-down stopped 0 ended | s4 end"},
        {0, kRun, "count-down stopped 0 ended |"},
        {0, hex("A8 01 00"), "time-of-day"},
    };
    QTest::newRow("repeat taken three times, interval numbers, alarms, Reset") << QVector<Step>{
        {0, arm(kIntervals), "interval-down stopped 2000 row 1 interval 1 | cblue/green s1"},
        {0, kRun, "interval-down running 2000 row 1 interval 1 alarm | a1"},
        {1000, {}, "interval-down running 1000 row 1 interval 1 | a-"},
        {1000, {}, "interval-down running 1000 row 3 interval 1 alarm | cblue/red s3 a1"},
        {1000, {}, "interval-down running 2000 row 1 interval 2 alarm | a- cblue/green s1 a1"},
        {9000,
         {},
         "interval-down stopped 2000 row 1 interval 1 alarm | a- cblue/red s3 a1 a- "
         "cblue/green s1 a1 a- cblue/red s3 a1 a- cblue/green s1 a1 a- cblue/red s3 a1 a- s5 a2 "
         "reset cblue/green s1"},
        {2000, {}, "interval-down stopped 2000 row 1 interval 1 | a-"},
        {0, kRun, "interval-down running 2000 row 1 interval 1 alarm | a1"},
    };
    QTest::newRow("count-up to its stop time, then one with stop 0 that runs on") << QVector<Step>{
        {0,
         arm("04000000 00000000 00000000 03000000 00000000"
             "03000000 00000000 05000000 00000000 00000000"),
         "count-up stopped 0 row 0 interval 0 | s0"},
        {0, kRun, "count-up running 0 row 0 interval 0 |"},
        {3000, {}, "count-up running 5000 row 1 interval 0 | s1"},
        {100000, {}, "count-up running 105000 row 1 interval 0 |"},
    };
    QTest::newRow("a zero-time loop is stopped") << QVector<Step>{
        {0,
         arm("06000000 00000000 01000000 00000000 00000000"
             "09000000 000000 000000 0606 0000000000000000"
             "07000000 0001FF00 00000000 00000000 00000000"),
         "count-down stopped 1000 row 0 interval 0 | s0"},
        {0, kRun, "count-down running 1000 row 0 interval 0 |"},
        {1000, {}, "count-down stopped 0 ended | cwhite/white halt"},
    };
}

void TestSimPrograms::runsPrograms()
{
    QFETCH(QVector<Step>, steps);

    ManualTime time;
    DisplayState display({QHostAddress(QStringLiteral("127.0.0.2")), QStringLiteral("T"), 0}, time);
    for (int i = 0; i < steps.size(); ++i) {
        time.now += steps.at(i).advanceMs;
        if (!steps.at(i).datagram.isEmpty())
            display.handle(steps.at(i).datagram);
        const QString shown = describe(display);
        QVERIFY2(shown == steps.at(i).expected,
                 qPrintable(QStringLiteral("step %1: ").arg(i) + shown));
    }
}

// Every program command's answer against literal bytes, through one conversation.
void TestSimPrograms::answersProgramCommands()
{
    ManualTime time;
    DisplayState display({QHostAddress(QStringLiteral("127.0.0.2")), QStringLiteral("T"), 0}, time);
    const QByteArray name9 = hex("50726F6720390000 00000000"); // "Prog 9"
    const QByteArray steps9 = image(kIntervals);
    // The repeat taken once (step 4, byte 7).
    const QByteArray taken9 = QByteArray(steps9).replace(4 * kStepLength + 7, 1, hex("01"));
    const QByteArray ack = "A";

    const struct
    {
        qint64 advanceMs;
        QByteArray command;
        QByteArray reply;
    } conversation[] = {
        {0, hex("AF"), hex("AF 00 00") + QByteArray(212, '\0')},
        {0, hex("B3 09") + name9 + steps9, ack},
        {0, hex("B2 09"), hex("B2 00 09") + name9 + steps9},
        {0, hex("B0"), ack},
        {0, hex("B1"), hex("B1 00 00 00 00 00 00 00 00 00 00") + QByteArray(212, '\0')},
        {0, hex("AC D7 09") + name9 + steps9, ack},
        {0, kRun, ack},
        // Second pass, 0:00:01 left on row 1 of interval 2.
        {4000, hex("B1"), hex("B1 00 01 01 02 01 00 00 01 00 09") + name9 + taken9},
        {0, hex("AF"), hex("AF 00 09") + name9 + taken9},
        {0, kPause, ack},
        // Refused without an answer: program numbers beyond 9 and short commands.
        {0, hex("B2 0A"), {}},
        {0, hex("AC D7 0A") + name9 + steps9, {}},
        {0, hex("B3 09") + name9 + steps9.left(199), {}},
        {0, hex("AE 01"), {}},
    };
    for (const auto &step : conversation) {
        time.now += step.advanceMs;
        QCOMPARE(display.handle(step.command).reply.toHex(' '), step.reply.toHex(' '));
    }
    // The status reply shows interval count-down (4), interval style (0x20), paused, interval 2.
    QCOMPARE(display.statusReply().mid(19, 2).toHex(' '), QByteArray("24 02"));
}

QTEST_APPLESS_MAIN(TestSimPrograms)
#include "tst_simprograms.moc"
