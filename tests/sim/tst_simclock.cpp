#include "simdisplaystate.h"
#include "simtext.h"

#include <QtTest>

using namespace qbsim;

namespace {

constexpr int kWallMsOfDay = (12 * 3600 + 34 * 60 + 56) * 1000 + 789;

class ManualTime : public TimeSource
{
public:
    qint64 monotonicMs() const override { return now; }
    int wallMsOfDay() const override { return kWallMsOfDay; }

    qint64 now = 5000;
};

// One step of a script: let time pass, then optionally hand the display a datagram, then compare
// its clock and the events the step produced.
struct Step
{
    qint64 advanceMs;
    QByteArray datagram;
    QString expected; // "<mode> <running|stopped> <value ms> <format>[ alarm]"
    QString events;   // event names, comma-separated
};

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QString describe(const ClockReading &reading)
{
    return QStringLiteral("%1 %2 %3 %4%5")
        .arg(modeName(reading.mode))
        .arg(reading.running ? QStringLiteral("running") : QStringLiteral("stopped"))
        .arg(reading.valueMs)
        .arg(reading.format)
        .arg(reading.alarmSounding ? QStringLiteral(" alarm") : QString());
}

QString eventNames(const QVector<ClockEvent> &events)
{
    QStringList names;
    for (ClockEvent event : events) {
        names << (event == ClockEvent::ReachedZero ? QStringLiteral("zero")
                  : event == ClockEvent::AlarmOn   ? QStringLiteral("alarm-on")
                                                   : QStringLiteral("alarm-off"));
    }
    return names.join(QLatin1Char(','));
}

} // namespace

Q_DECLARE_METATYPE(QVector<Step>)

class TestSimClock : public QObject
{
    Q_OBJECT

private slots:
    void countStateMachine_data();
    void countStateMachine();
};

void TestSimClock::countStateMachine_data()
{
    QTest::addColumn<QVector<Step>>("steps");

    const QByteArray upMode = hex("A2 00 00");
    const QByteArray upRun = hex("A3 01 00");
    const QByteArray upPause = hex("A3 00 00");
    const QByteArray downRun = hex("A6 01 00");
    const QByteArray downPause = hex("A6 00 00");
    const QByteArray timeOfDay = hex("A8 01 00");
    // 5 s with a 2 s alarm, format 1.
    const QByteArray down5sAlarm = hex("A5 01 00 00 05 00 01 02 00 00");
    const QString wall = QString::number(kWallMsOfDay);

    QTest::newRow("count-up run, pause, resume") << QVector<Step>{
        {0, upMode, "count-up stopped 0 0", ""},       {1000, {}, "count-up stopped 0 0", ""},
        {0, upRun, "count-up running 0 0", ""},        {1500, {}, "count-up running 1500 0", ""},
        {500, upPause, "count-up stopped 2000 0", ""}, {3000, upRun, "count-up running 2000 0", ""},
        {250, {}, "count-up running 2250 0", ""},      {0, upRun, "count-up running 2250 0", ""},
        {100, {}, "count-up running 2350 0", ""},
    };
    QTest::newRow("count-up reset keeps running") << QVector<Step>{
        {0, upMode, "count-up stopped 0 0", ""},
        {0, upRun, "count-up running 0 0", ""},
        {5000, hex("A4 02 00"), "count-up running 0 2", ""},
        {700, {}, "count-up running 700 2", ""},
    };
    QTest::newRow("count-up reset enters count-up mode stopped") << QVector<Step>{
        {0, hex("A4 02 00"), "count-up stopped 0 2", ""},
    };
    QTest::newRow("count-up holds at the largest value") << QVector<Step>{
        {0, upMode, "count-up stopped 0 0", ""},
        {0, upRun, "count-up running 0 0", ""},
        {2048 * kDayMs, {}, QStringLiteral("count-up running %1 0").arg(kMaxClockMs), ""},
    };
    QTest::newRow("count-down to zero, alarm for its duration") << QVector<Step>{
        {0, down5sAlarm, "count-down stopped 5000 1", ""},
        {0, downRun, "count-down running 5000 1", ""},
        {3000, {}, "count-down running 2000 1", ""},
        {2500, {}, "count-down stopped 0 1 alarm", "zero,alarm-on"},
        {1000, {}, "count-down stopped 0 1 alarm", ""},
        {600, {}, "count-down stopped 0 1", "alarm-off"},
        {0, downRun, "count-down stopped 0 1", ""},
    };
    QTest::newRow("count-down without alarm") << QVector<Step>{
        {0, hex("A5 00 00 00 01 00 00 05 00 00"), "count-down stopped 1000 0", ""},
        {0, downRun, "count-down running 1000 0", ""},
        {1000, {}, "count-down stopped 0 0", "zero"},
    };
    QTest::newRow("count-down pause and resume") << QVector<Step>{
        {0, down5sAlarm, "count-down stopped 5000 1", ""},
        {0, downRun, "count-down running 5000 1", ""},
        {1200, downPause, "count-down stopped 3800 1", ""},
        {9000, {}, "count-down stopped 3800 1", ""},
        {0, downRun, "count-down running 3800 1", ""},
        {3800, {}, "count-down stopped 0 1 alarm", "zero,alarm-on"},
    };
    QTest::newRow("pause silences the alarm") << QVector<Step>{
        {0, down5sAlarm, "count-down stopped 5000 1", ""},
        {0, downRun, "count-down running 5000 1", ""},
        {5000, {}, "count-down stopped 0 1 alarm", "zero,alarm-on"},
        {500, downPause, "count-down stopped 0 1", "alarm-off"},
    };
    QTest::newRow("late look at a finished count-down") << QVector<Step>{
        {0, down5sAlarm, "count-down stopped 5000 1", ""},
        {0, downRun, "count-down running 5000 1", ""},
        {60000, {}, "count-down stopped 0 1", "zero,alarm-on,alarm-off"},
    };
    QTest::newRow("count-down at zero does not run") << QVector<Step>{
        {0, hex("A5 00 00 00 00 00 01 05 00 00"), "count-down stopped 0 0", ""},
        {0, downRun, "count-down stopped 0 0", ""},
        {1000, {}, "count-down stopped 0 0", ""},
    };
    QTest::newRow("count-down reset keeps running") << QVector<Step>{
        {0, down5sAlarm, "count-down stopped 5000 1", ""},
        {0, downRun, "count-down running 5000 1", ""},
        {1000, hex("A7 02 00 00 0A 00 00 00 00 00"), "count-down running 10000 2", ""},
        {500, {}, "count-down running 9500 2", ""},
    };
    QTest::newRow("count-down reset silences the alarm and loads the preset") << QVector<Step>{
        {0, down5sAlarm, "count-down stopped 5000 1", ""},
        {0, downRun, "count-down running 5000 1", ""},
        {5000, {}, "count-down stopped 0 1 alarm", "zero,alarm-on"},
        {0, hex("A7 00 00 01 00 00 00 00 01 00"), "count-down stopped 86460000 0", "alarm-off"},
    };
    QTest::newRow("count-down reset to zero while running stops without alarm") << QVector<Step>{
        {0, down5sAlarm, "count-down stopped 5000 1", ""},
        {0, downRun, "count-down running 5000 1", ""},
        {1000, hex("A7 01 00 00 00 00 01 02 00 00"), "count-down stopped 0 1", ""},
        {5000, {}, "count-down stopped 0 1", ""},
    };
    QTest::newRow("count-down preset of 99 h carries into days") << QVector<Step>{
        {0, hex("A5 00 63 00 00 00 00 00 00 00"), "count-down stopped 356400000 0", ""},
    };
    QTest::newRow("mode switch stops the count and the alarm") << QVector<Step>{
        {0, down5sAlarm, "count-down stopped 5000 1", ""},
        {0, downRun, "count-down running 5000 1", ""},
        {5000, {}, "count-down stopped 0 1 alarm", "zero,alarm-on"},
        {0, upMode, "count-up stopped 0 0", "alarm-off"},
        {0, upRun, "count-up running 0 0", ""},
        {400, timeOfDay, "time-of-day stopped " + wall + " 0", ""},
    };
    QTest::newRow("run commands outside their mode do nothing") << QVector<Step>{
        {0, upRun, "time-of-day stopped " + wall + " 0", ""},
        {0, downRun, "time-of-day stopped " + wall + " 0", ""},
        {0, upMode, "count-up stopped 0 0", ""},
        {0, downRun, "count-up stopped 0 0", ""},
        {1000, {}, "count-up stopped 0 0", ""},
    };
    QTest::newRow("ignored datagrams change nothing") << QVector<Step>{
        {0, upMode, "count-up stopped 0 0", ""},
        {0, hex("A3 01"), "count-up stopped 0 0", ""},
        {0, hex("A4 07 00"), "count-up stopped 0 0", ""},
        {0, hex("A5 00 00 00 05"), "count-up stopped 0 0", ""},
    };
}

void TestSimClock::countStateMachine()
{
    QFETCH(QVector<Step>, steps);

    ManualTime time;
    DisplayState display({QHostAddress(QStringLiteral("127.0.0.2")), QStringLiteral("T"), 0}, time);
    for (int i = 0; i < steps.size(); ++i) {
        const Step &step = steps.at(i);
        time.now += step.advanceMs;
        if (!step.datagram.isEmpty())
            display.handle(step.datagram);
        const QString context = QStringLiteral("step %1").arg(i);
        QVERIFY2(describe(display.clock().reading()) == step.expected,
                 qPrintable(context + ": " + describe(display.clock().reading())));
        QVERIFY2(eventNames(display.clock().takeEvents()) == step.events,
                 qPrintable(context + " events"));
    }
}

QTEST_APPLESS_MAIN(TestSimClock)
#include "tst_simclock.moc"
