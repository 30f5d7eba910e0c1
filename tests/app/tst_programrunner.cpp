#include "app/programrunner.h"
#include "programfixture.h"

#include <QtTest>

namespace {

// A run-status reply: program flag, row, interval, run state, time, program number, name, lines.
QByteArray runStatus(int flag, int row, int interval, int running, int secs, int number,
                     const QString &name, const QString &program)
{
    QByteArray reply(11, '\0');
    reply[0] = char(0xB1);
    reply[2] = char(flag);
    reply[3] = char(row);
    reply[4] = char(interval);
    reply[5] = char(running);
    reply[6] = char(secs / 3600);
    reply[7] = char(secs / 60 % 60);
    reply[8] = char(secs % 60);
    reply[10] = char(number);
    return reply + Protocol::programNameField(name) +
           ProgramCodec::textToStepArray(ProgramFixture::program(program));
}

} // namespace

class TestProgramRunner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("qb.*.debug=false"); }
    void scenarios_data();
    void scenarios();
};

// Each script runs on a hand-driven clock: "arm", "start", "reply", "t<ms>" (ticks of 100 ms,
// as the window's timer gives them), "logs-bound" (the stop at the bound must be logged), "?"
// (the highlighted rows, the mirror's last text, the run state, any repeat counters, and the
// captions or program the runner announced since the last "?").
void TestProgramRunner::scenarios_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QString>("sent");

    QTest::newRow("300 to 60 to 0")
        << "C 5:300-60 C 5:60-0 E0" << QByteArray()
        << "arm t100 ? start t100 ? t239900 ? t100 ? t59900 ? t200 ?"
        << "r1 0-00:05:00 pause|r1 0-00:04:59 run|r1 0-00:01:00 run|r3 0-00:00:59 run|"
           "r3 0-00:00:00 run|r4 0-00:00:00 idle"
        << "2:acd700 4:acd700 2:ae0100 4:ae0100";
    QTest::newRow("repeat taken three times")
        << "1+:2-0 R0x3 E2" << QByteArray() << "arm t100 ? start t2100 ? t2000 ? t2000 ? t2000 ?"
        << "r0 1-00:02 pause x0|r0 2-00:01 run x1|r0 3-00:01 run x2|r0 4-00:01 run x3|"
           "r2 4-00:00 idle x0"
        << "";
    QTest::newRow("two interval lines count once a pass")
        << "1+:3-0 1:2-0 R0x1 E0" << QByteArray() << "arm t100 ? start t3100 ? t2000 ? t5000 ?"
        << "r0 1-00:03 pause x0|r1 1-00:01 run x0|r0 2-00:02 run x1|r3 2-00:00 idle x0"
        << "";
    QTest::newRow("end line with Reset arms again, paused")
        << "6:1-0 E1" << QByteArray() << "arm t100 start t1100 ? t100 ? t1000 ?"
        << "r1 00:00:00.0 pause|r0 00:00:01.0 pause|r0 00:00:01.0 pause"
        << "";
    QTest::newRow("end line with Stop")
        << "6:1-0 E2" << QByteArray() << "arm t100 start t1100 ? t1000 ?"
        << "r1 00:00:00.0 idle|r1 00:00:00.0 idle"
        << "";
    QTest::newRow("count up to its stop time")
        << "3:0-5 E0" << QByteArray() << "arm t100 start t4900 ? t100 ?"
        << "r0 0-00:00:04 run|r1 0-00:00:00 idle"
        << "";
    QTest::newRow("count up ended before a line with no command: no new end")
        << "4:0-5 99:0-5" << QByteArray() << "arm t100 start t5000 ? t1000 ?"
        << "r1 00:00:05.0 run|r1 00:00:06.0 run"
        << "";
    QTest::newRow("count up with stop 0, Start/Pause twice, no Reset while counting")
        << "3:0-0 E0" << QByteArray() << "arm t100 ? start t70000 arm ? start t1000 ?"
        << "r0 0-00:00:00 pause|r0 0-00:01:10 run|r0 0-00:01:10 pause"
        << "2:acd700 4:acd700 2:ae0100 4:ae0100 2:ae0000 4:ae0000";
    QTest::newRow("run-status reply without a program")
        << "3:0-0 E0" << runStatus(0, 0, 0, 0, 0, 0, QString(), "3:0-0 E0")
        << "arm t100 start t1000 reply ?"
        << "r0 0-00:00:00 idle up0 dn0"
        << "";
    QTest::newRow("run-status reply of a running program")
        << "E0" << runStatus(1, 1, 2, 1, 45, 4, "Hall", "1+:60-0 1:45-0 R0x3 E0")
        << "reply ? t1000 ? t44100 ?"
        << "r1 2-00:45 run x0 p4 Hall shown 4 Hall|r1 2-00:44 run x0 p4 Hall|r0 3-00:59 run x1 p4 "
           "Hall"
        << "";
    QTest::newRow("run-status reply of a count up past a day")
        << "E0" << runStatus(1, 0, 0, 1, 26 * 3600 + 5, 2, "Up", "3:0-0 E0") << "reply t1000 ?"
        << "r0 1-02:00:06 run p2 Up shown 2 Up"
        << "";
    QTest::newRow("zero-time loop stopped at the bound")
        << "C R0x255 E0" << QByteArray() << "logs-bound arm t100 ?"
        << "r0 00:00:00.0 idle x20"
        << "";
}

void TestProgramRunner::scenarios()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, reply);
    QFETCH(QString, script);

    ProgramFixture f;
    f.lines.loadFromText(ProgramFixture::program(program));
    ProgramRunner runner(f.lines, f.programSlots, f.mirror, f.sender);
    QString text;
    QStringList announced;
    bool running = false;
    connect(&runner, &ProgramRunner::mirrorChanged,
            [&] { text = f.mirror.text(runner.intervalCount()); });
    connect(&runner, &ProgramRunner::progStartPause, [&](bool on) { running = on; });
    connect(&runner, &ProgramRunner::upStartPause,
            [&](bool on) { announced << "up" + QString::number(on); });
    connect(&runner, &ProgramRunner::dnStartPause,
            [&](bool on) { announced << "dn" + QString::number(on); });
    connect(&runner, &ProgramRunner::programShown, [&](int index, const QString &name) {
        announced << QStringLiteral("shown %1 %2").arg(index).arg(name);
    });

    QStringList trace;
    for (const QString &step : script.split(QLatin1Char(' '))) {
        if (step == QLatin1String("arm"))
            runner.arm();
        else if (step == QLatin1String("start"))
            runner.startPause();
        else if (step == QLatin1String("reply"))
            runner.applyRunStatus(reply);
        else if (step == QLatin1String("logs-bound"))
            QTest::ignoreMessage(QtInfoMsg, QRegularExpression("2600 lines passed in one tick"));
        else if (step.startsWith(QLatin1Char('t'))) {
            for (int ms = step.mid(1).toInt(); ms > 0; ms -= 100) {
                f.now += 100;
                if (runner.isActive())
                    runner.tick();
            }
        } else {
            QStringList state;
            QString rows;
            for (int row = 0; row < f.lines.rowCount(); ++row) {
                if (f.lines.getSelected(row))
                    rows += QString::number(row);
                if (f.lines.getCommand(row) == TC_REPEAT)
                    state << QStringLiteral("x%1").arg(f.lines.getRepeatCountAct(row));
            }
            state.prepend(runner.isActive() ? (running ? "run" : "pause") : "idle");
            const int open = f.programSlots.currentProgram();
            if (open != 0) // the program a run-status reply opened
                state << QStringLiteral("p%1 %2").arg(open).arg(
                    f.programSlots.programNames()[open]);
            trace << (QStringList{"r" + rows, text} + state + announced).join(QLatin1Char(' '));
            announced.clear();
        }
    }
    QTEST(trace.join(QLatin1Char('|')), "trace");
    QFETCH(QString, sent);
    if (!sent.isEmpty())
        QCOMPARE(f.sent.join(QLatin1Char(' ')), sent);
}

QTEST_GUILESS_MAIN(TestProgramRunner)
#include "tst_programrunner.moc"
