#include "controller/displaysender.h"
#include "controller/mirrorclock.h"
#include "controller/programediting.h"
#include "controller/programrunner.h"
#include "controller/programslots.h"
#include "controller/programtransfer.h"
#include "link/programpackets.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

// A program written as tokens: "C" a colour line, "5:300-60" command 5 from 300 s to 60 s
// ("1+:60-0" counting the interval), "R0x3" a repeat to row 0 taken 3 times, "E1" an end line
// with gotoline 1.
ProgramText program(const QString &tokens)
{
    static const QRegularExpression token(
        QStringLiteral("^(?:(C)|R(\\d+)x(\\d+)|E(\\d+)|(\\d+)(\\+?):(\\d+)-(\\d+))$"));
    QVector<ProgramLine> lines;
    for (const QString &t : tokens.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = token.match(t);
        const auto n = [&m](int i) { return m.captured(i).toUInt(); };
        if (!m.captured(1).isEmpty())
            lines << ProgramLine::colorLine(0, 0, 0, 0, 0, 0, 2, 1);
        else if (!m.captured(2).isEmpty())
            lines << ProgramLine::timerLine(TC_REPEAT, 0, n(2), n(3), 0, 0, 0, 0);
        else if (!m.captured(4).isEmpty())
            lines << ProgramLine::timerLine(TC_DONE, 0, n(4), 0, 0, 0, 0, 0);
        else
            lines << ProgramLine::timerLine(n(5), !m.captured(6).isEmpty(), 0, 0, 0, n(7), n(8), 0);
    }
    return ProgramCodec::textFromLines(lines);
}

// A reply that carries a program: the header's bytes, the name field and the lines, with
// repeatsTaken in step 4's byte 7.
QByteArray reply(const char *head, const QString &name, const QString &tokens, int repeatsTaken = 0)
{
    QByteArray steps = ProgramCodec::textToStepArray(program(tokens));
    steps[4 * ProgramCodec::kStepSize + 7] = char(repeatsTaken);
    return QByteArray::fromHex(head) + Protocol::programNameField(name) + steps;
}

// The program units over a store of their own, a recording sender and a hand-driven clock.
struct ProgramFixture
{
    QTemporaryDir dir;
    QSettings store{dir.filePath(QStringLiteral("QB-Timer.conf")), QSettings::IniFormat};
    qint64 now = 0;
    TimerDataModel timers;
    ProgramDataModel lines;
    ProgramSlots programSlots{store};
    ProgramEditing editing{lines, programSlots};
    QStringList sent;
    DisplaySender sender{timers, [this](const QByteArray &packet, const QString &addr,
                                        int firstDelay, int extraWait) {
                             QString text = addr.section(QLatin1Char('.'), 3) + QLatin1Char(':') +
                                            QString::fromLatin1(packet.left(3).toHex());
                             if (firstDelay || extraWait)
                                 text += QStringLiteral("@%1+%2").arg(firstDelay).arg(extraWait);
                             sent << text;
                         }};
    MirrorClock mirror{[this] { return now; }};
};

const QString kEnd = QStringLiteral("08000000000000000000000000");
// What the step "file<n>" puts into slot n, named "Filed".
const char *const kFiled = "C 1+:60-0 R0x3 E0";

QVector<int> codes(const ProgramDataModel &model)
{
    QVector<int> codes;
    for (int row = 0; row < model.rowCount(); ++row)
        codes << int(model.getCommand(row));
    return codes;
}

} // namespace

class TestPrograms : public QObject
{
    Q_OBJECT
private slots:
    void scenarios_data();
    void scenarios();
    void editingSession();
};

// Each script runs on a hand-driven clock with the program open in slot 0: "arm", "start",
// "reply", "get-active", "get-all", "save-all", "save", "t<ms>" (ticks of 100 ms, as the window's
// timer gives them), "+<ms>" (time passing without a tick, as on a suspended machine), "open2"
// (program 2 is the open one), "file<n>" (kFiled from a file into slot n), "unselect" (no display
// selected), "logs-bound" (the stop at the bound must be logged), "?" (the highlighted rows, the
// mirror's last text, the run state, any repeat counters, the open program unless 0, the lines if
// they changed since the last "?", what the window was told and the packets sent since then, as
// "3:b301@50+0" (the address's last part, three bytes, any delays), and the store's keys).
void TestPrograms::scenarios_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("trace");

    QTest::newRow("300 to 60 to 0")
        << "C 5:300-60 C 5:60-0 E0" << QByteArray()
        << "arm t100 ? start t100 ? t239900 ? t100 ? t59900 ? t200 ?"
        << "r1 0-00:05:00 pause 3:acd700|r1 0-00:04:59 run 3:ae0100|r1 0-00:01:00 run|"
           "r3 0-00:00:59 run|r3 0-00:00:00 run|r4 0-00:00:00 idle";
    QTest::newRow("repeat taken three times")
        << "1+:2-0 R0x3 E2" << QByteArray() << "arm t100 ? start t2100 ? t2000 ? t2000 ? t2000 ?"
        << "r0 1-00:02 pause x0 3:acd700|r0 2-00:01 run x1 3:ae0100|r0 3-00:01 run x2|"
           "r0 4-00:01 run x3|r2 4-00:00 idle x0";
    QTest::newRow("two interval lines count once a pass")
        << "1+:3-0 1:2-0 R0x1 E0" << QByteArray() << "arm t100 ? start t3100 ? t2000 ? t5000 ?"
        << "r0 1-00:03 pause x0 3:acd700|r1 1-00:01 run x0 3:ae0100|r0 2-00:02 run x1|"
           "r3 2-00:00 idle x0";
    QTest::newRow("end line with Reset arms again, paused")
        << "6:1-0 E1" << QByteArray() << "arm t100 start t1100 ? t100 ? t1000 ?"
        << "r1 00:00:00.0 pause 3:acd700 3:ae0100|r0 00:00:01.0 pause|r0 00:00:01.0 pause";
    QTest::newRow("end line with Stop")
        << "6:1-0 E2" << QByteArray() << "arm t100 start t1100 ? t1000 ?"
        << "r1 00:00:00.0 idle 3:acd700 3:ae0100|r1 00:00:00.0 idle";
    QTest::newRow("count up to its stop time, then a line with no command: no new end")
        << "4:0-5 99:0-5" << QByteArray() << "arm t100 start t5000 ? t1000 ?"
        << "r1 00:00:05.0 run 3:acd700 3:ae0100|r1 00:00:06.0 run";
    QTest::newRow("count up passing its stop time in a late tick, the rest carried on")
        << "3:0-5 5:10-0 E0" << QByteArray() << "arm t100 start t4000 ? +3000 t100 ?"
        << "r0 0-00:00:04 run 3:acd700 3:ae0100|r1 0-00:00:07 run";
    QTest::newRow("count up with stop 0, Start/Pause twice, no Reset while counting")
        << "3:0-0 E0" << QByteArray() << "arm t100 ? start t70000 arm ? start t1000 ?"
        << "r0 0-00:00:00 pause 3:acd700|r0 0-00:01:10 run 3:ae0100|r0 0-00:01:10 pause 3:ae0000";
    QTest::newRow("zero-time loop stopped at the bound")
        << "C R0x255 E0" << QByteArray() << "logs-bound arm t100 ?"
        << "r0 00:00:00.0 idle x20 3:acd700";

    // Run-status replies: b1 00, has a program, row, interval, running, h m s, 00, number.
    const char *tabata = "1+:60-0 1:45-0 R0x3 E0";
    QTest::newRow("run-status reply without a program")
        << "3:0-0 E0" << reply("b100000000000000000000", "", "3:0-0 E0")
        << "arm t100 start t1000 reply ?"
        << "r0 0-00:00:00 idle up0 dn0 3:acd700 3:ae0100";
    QTest::newRow("run-status reply of a running program")
        << "E0" << reply("b1000101020100002d0004", "Hall", tabata) << "reply ? t1000 ? t44100 ?"
        << "r1 2-00:45 run x0 p4 Hall lines " + program(tabata) +
               " shown 4 Hall|r1 2-00:44 run x0 p4 Hall|r0 3-00:59 run x1 p4 Hall";
    QTest::newRow("run-status reply of a count up past a day")
        << "E0" << reply("b100010000011a00050002", "Up", "3:0-0 E0") << "reply t1000 ?"
        << "r0 1-02:00:06 run p2 Up lines " + program("3:0-0 E0") + " shown 2 Up";

    // Transfers, with program 0 open as "C 5:300-60 E0" and "C 1+:60-0 C 1:15-0 R0x3 E0" in the
    // replies (0xAF active program, 0xB2 program n), its repeat taken twice.
    const QString open = "C 5:300-60 E0";
    const QString stored = " Program0=" + program(open) + " ProgramName0=Tab 60/15";
    const char *gym = "C 1+:60-0 C 1:15-0 R0x3 E0";
    const QString filed = program(kFiled);
    QTest::newRow("get active and save, then nothing selected: nothing sent, still stored")
        << open << QByteArray() << "get-active save ? unselect get-active get-all save-all save ?"
        << "r idle 3:af 3:b0" + stored + "|r idle" + stored;
    QTest::newRow("get all and save all: ten requests, ten uploads and a save, in order")
        << open << QByteArray() << "get-all save-all ?"
        << "r idle 3:b200 3:b201@50+0 3:b202@100+0 3:b203@150+0 3:b204@200+0 3:b205@250+0 "
           "3:b206@300+0 3:b207@350+0 3:b208@400+0 3:b209@450+0 3:b30054 3:b30150@50+0 "
           "3:b30250@100+0 3:b30350@150+0 3:b30450@200+0 3:b30550@250+0 3:b30650@300+0 "
           "3:b30750@350+0 3:b30850@400+0 3:b30950@450+0 3:b0@1000+100";
    QTest::newRow("active program 7: shown, loaded with its repeats taken, stored")
        << open << reply("af0007", "Hall", gym, 2) << "reply ?"
        << "r idle x2 p7 Hall lines " + program(gym) + " combo 7 Hall 1 Program7=" + program(gym) +
               " ProgramName7=Hall";
    QTest::newRow("active program reply of a display without one is ignored")
        << open << reply("af0007", "Hall", "") << "reply ?"
        << "r idle";
    QTest::newRow("program 4 while 2 is open: slot, store and name only")
        << open << reply("b20004", "Gym", gym, 2) << "open2 reply ?"
        << "r idle p2 Program3 combo 4 Gym 0 Program4=" + program(gym) + " ProgramName4=Gym";
    QTest::newRow("the open program: shown and reloaded from its text")
        << open << reply("b20000", "Gym", gym, 2) << "reply ?"
        << "r idle x0 lines " + program(gym) + " combo 0 Gym 1 Program0=" + program(gym) +
               " ProgramName0=Gym";
    QTest::newRow("a file into program 4, then into the open one: stored, the open one reloaded")
        << open << QByteArray() << "file4 ? file0 file10 ?"
        << "r idle Program4=" + filed + " ProgramName4=Filed|r idle x0 lines " + filed +
               " Program0=" + filed + " Program4=" + filed +
               " ProgramName0=Filed ProgramName4=Filed";
    QTest::newRow("the open program with no lines: stored empty")
        << open << reply("b20000", "", "") << "reply ?"
        << "r idle lines  combo 0  1 Program0= ProgramName0=";
}

void TestPrograms::scenarios()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, reply);
    QFETCH(QString, script);

    ProgramFixture f;
    for (const char *ip : {"127.0.0.2", "127.0.0.3"}) // the second one selected
        f.timers.addOrUpdateTimer(TimerData(QString(), ip, ip[8] == '3', QTime(0, 0), 0, 0, 0));
    QString lines = ::program(program);
    f.lines.loadFromText(lines);
    ProgramRunner runner(f.lines, f.programSlots, f.mirror, f.sender);
    ProgramTransfer transfer(f.lines, f.programSlots, f.editing, f.sender);
    QString text;
    QStringList told;
    bool running = false;
    connect(&runner, &ProgramRunner::mirrorChanged,
            [&] { text = f.mirror.text(runner.intervalCount()); });
    connect(&runner, &ProgramRunner::progStartPause, [&](bool on) { running = on; });
    connect(&runner, &ProgramRunner::upStartPause,
            [&](bool on) { told << "up" + QString::number(on); });
    connect(&runner, &ProgramRunner::dnStartPause,
            [&](bool on) { told << "dn" + QString::number(on); });
    connect(&runner, &ProgramRunner::programShown, [&](int index, const QString &name) {
        told << QStringLiteral("shown %1 %2").arg(index).arg(name);
    });
    connect(&transfer, &ProgramTransfer::programNameChanged,
            [&](int index, const QString &name, bool show) {
                told << QStringLiteral("combo %1 %2 %3").arg(index).arg(name).arg(show);
            });

    const QHash<QString, std::function<void()>> steps = {
        {"arm", [&] { runner.arm(); }},
        {"start", [&] { runner.startPause(); }},
        {"get-active", [&] { transfer.getActiveProgram(); }},
        {"get-all", [&] { transfer.getAllPrograms(); }},
        {"save-all", [&] { transfer.saveAllPrograms(); }},
        {"save", [&] { transfer.saveOnDisplays(); }},
        {"unselect", [&] { f.timers.setSelected(1, false); }},
        {"open2", [&] { f.programSlots.setCurrentProgram(2); }},
        {"logs-bound",
         [] {
             QTest::ignoreMessage(QtInfoMsg, QRegularExpression("2600 lines passed in one tick"));
         }},
    };
    QStringList trace;
    for (const QString &step : script.split(QLatin1Char(' '))) {
        if (steps.contains(step))
            steps[step]();
        else if (step == QLatin1String("reply") && reply.at(0) == char(0xB1))
            runner.applyRunStatus(reply);
        else if (step == QLatin1String("reply") && reply.at(0) == char(0xAF))
            transfer.applyActiveProgram(reply);
        else if (step == QLatin1String("reply"))
            transfer.applyProgram(reply);
        else if (step.startsWith(QLatin1Char('+')))
            f.now += step.mid(1).toInt();
        else if (step.startsWith(QLatin1String("file")))
            f.editing.replaceProgram(step.mid(4).toInt(), QStringLiteral("Filed"),
                                     ::program(QLatin1String(kFiled)));
        else if (step.startsWith(QLatin1Char('t'))) {
            for (int ms = step.mid(1).toInt(); ms > 0; ms -= 100) {
                f.now += 100;
                if (runner.isActive())
                    runner.tick();
            }
        } else {
            QStringList state{QStringLiteral("r"), text};
            for (int row = 0; row < f.lines.rowCount(); ++row) {
                if (f.lines.getSelected(row))
                    state[0] += QString::number(row);
            }
            state << (runner.isActive() ? (running ? "run" : "pause") : "idle");
            for (const ProgramLine &line : f.lines.lines()) {
                if (line.command == TC_REPEAT)
                    state << QStringLiteral("x%1").arg(line.repeatcountact);
            }
            if (const int open = f.programSlots.currentProgram())
                state << QStringLiteral("p%1 %2").arg(open).arg(
                    f.programSlots.programNames()[open]);
            if (f.lines.toText() != lines)
                state << "lines " + (lines = f.lines.toText());
            state << told << f.sent;
            for (const QString &key : f.store.allKeys())
                state << key + QLatin1Char('=') + f.store.value(key).toString();
            state.removeAll(QString());
            trace << state.join(QLatin1Char(' '));
            told.clear();
            f.sent.clear();
        }
    }
    QTEST(trace.join(QLatin1Char('|')), "trace");
}

// One operator session on a store that a user has edited by hand: what the model shows and
// what reaches the store after each step of the program page.
void TestPrograms::editingSession()
{
    ProgramFixture f;
    const QString handEdited =
        "030000000000000a0000000000" + QString(26, '0') + "05000000000000050000000000" + kEnd;
    f.store.setValue(QStringLiteral("Program4"), handEdited);
    f.store.setValue(QStringLiteral("Program6"), QString());
    ProgramEditing &editing = f.editing;
    f.programSlots.loadProgramSettings();

    // Program 2 edited, left for 5 and taken up again: the edit is kept in memory only.
    editing.changeProgram(0, QStringLiteral("Tab 60/15"));
    QCOMPARE(f.lines.rowCount(), 6);
    editing.changeProgram(2, QStringLiteral("Program3"));
    editing.insertLine(0);
    f.lines.setData(f.lines.index(0), TC_UP_HMS, ProgramDataModel::CommandRole);
    editing.changeProgram(5, QStringLiteral("Program6"));
    QCOMPARE(codes(f.lines), QVector<int>({TC_DONE}));
    editing.changeProgram(2, QStringLiteral("Program3"));
    QCOMPARE(codes(f.lines), QVector<int>({TC_UP_HMS, TC_DONE}));
    QVERIFY(!f.store.contains(QStringLiteral("Program2")));

    // The end line stays; the line before it goes.
    editing.deleteLine(1);
    editing.deleteLine(2);
    QCOMPARE(f.lines.rowCount(), 2);
    editing.deleteLine(0);
    editing.deleteLine(0);
    QCOMPARE(codes(f.lines), QVector<int>({TC_DONE}));

    // A rename reaches the store with the next save of that program, not with a switch.
    editing.renameProgram(3, QStringLiteral("Warm-up"));
    editing.changeProgram(3, QStringLiteral("Warm-up"));
    QVERIFY(!f.store.contains(QStringLiteral("ProgramName3")));
    for (int k = 0; k < 10; ++k)
        editing.insertLine(0);
    QCOMPARE(f.lines.rowCount(), ProgramDataModel::kMaxLines);
    editing.saveProgram();
    QCOMPARE(f.store.value(QStringLiteral("ProgramName3")).toString(), QStringLiteral("Warm-up"));
    QCOMPARE(f.store.value(QStringLiteral("Program3")).toString(), kEnd.repeated(10));
    QVERIFY(!f.store.contains(QStringLiteral("Program2")));

    // Hand-edited texts are shown repaired; the store keeps them until the next save.
    editing.changeProgram(4, QStringLiteral("Program5"));
    QCOMPARE(codes(f.lines), QVector<int>({TC_UP_HMS, TC_DOWN_HMS, TC_DONE, TC_DONE}));
    QCOMPARE(f.store.value(QStringLiteral("Program4")).toString(), handEdited);
    editing.changeProgram(6, QStringLiteral("Program7"));
    QCOMPARE(codes(f.lines), QVector<int>({TC_DONE}));

    // Numbers outside the ten programs change nothing.
    editing.changeProgram(10, QStringLiteral("Program11"));
    editing.renameProgram(-1, QStringLiteral("None"));
    QCOMPARE(f.programSlots.currentProgram(), 6);
    QCOMPARE(codes(f.lines), QVector<int>({TC_DONE}));
}

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
