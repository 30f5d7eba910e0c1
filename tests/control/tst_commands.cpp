#include "controllerfixture.h"

#include "control/commandcontext.h"
#include "control/commandtable.h"
#include "control/controlstate.h"

#include <QJsonDocument>
#include <QSettings>
#include <QtTest>

// The command table on the controller with a hand-driven clock: what each command sends to
// which display, what it refuses and why, and that a refused command changes nothing.
namespace {

QJsonObject json(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// The controller with three displays listed, none selected, and the doors' view of it.
struct Remote
{
    Remote()
    {
        f.timers.addOrUpdateTimer(TimerData("Hall", "127.0.0.2", false, QTime(0, 0), 0, 0, 0));
        f.timers.addOrUpdateTimer(TimerData("Gym", "127.0.0.3", false, QTime(0, 0), 0, 0, 0));
        f.timers.addOrUpdateTimer(TimerData("Pool", "127.0.0.4", false, QTime(0, 0), 0, 0, 0));
    }

    CommandResult run(const QString &name, const QString &args = QString())
    {
        return CommandTable::execute(context, name, json(args.isEmpty() ? "{}" : args));
    }

    // "name {args}; t<ms>; ..." as set-up: commands, and ticks of the hand-driven clock.
    void play(const QString &script)
    {
        for (const QString &step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString s = step.trimmed();
            if (s.startsWith(QLatin1Char('t')) && s.at(1).isDigit()) {
                f.tickFor(s.mid(1).toInt());
                continue;
            }
            const int brace = s.indexOf(QLatin1Char('{'));
            const CommandResult r = brace < 0 ? run(s) : run(s.left(brace).trimmed(), s.mid(brace));
            QVERIFY2(r.isDone(), qPrintable(s + QStringLiteral(": ") + r.message));
        }
    }

    QString selected() const
    {
        QStringList names;
        for (int row = 0; row < f.timers.rowCount(); ++row) {
            if (f.timers.isSelected(row))
                names << f.timers.timerName(row);
        }
        return names.join(QLatin1Char(','));
    }

    ControllerFixture f;
    ControlState state{*f.controller, f.timers, f.programs};
    CommandContext context{*f.controller, f.timers, f.programs, state};
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void commands_data();
    void commands();
    void exportAndRenameKeepToTheStore();
    void stateReadsWhatTheWindowShows();
    void mirrorChangesAtMostTenASecond();
    void displayEventsTellWhatChanged();
};

// Each run starts from an empty store: what an earlier run stored (a faulty build's, say) would
// otherwise be read back.
void TestCommands::initTestCase()
{
    for (const char *file : {"QB-Timer", "QB-Timer2"})
        QSettings(QStringLiteral("Quillbrook Inc"), QLatin1String(file)).clear();
}

void TestCommands::commands_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("args");
    // "kind: message" of a refusal, or the packets sent ("address hex", in order) and the answer
    // of a command done, then "|" and the selection and the mirror's text afterwards.
    QTest::addColumn<QString>("expected");

    const QString hallGym = "displays.selectOnly {\"displays\": [\"Hall\", \"Gym\"]}";
    const auto row = [](const char *tag, const QString &before, const char *command,
                        const char *args, const char *expected) {
        QTest::newRow(tag) << before << command << args << expected;
    };

    // Targets: "to" selects exactly these, in list order whatever the order named.
    row("set to two", "", "countdown.set", R"({"minutes": 5, "alarm": 3, "to": ["Gym", "Hall"]})",
        "127.0.0.2 a7000005000001030000, 127.0.0.3 a7000005000001030000 | Hall,Gym 00:05:00.0");
    row("to by address", "", "clock", R"({"to": "127.0.0.4"})", "127.0.0.4 a80100 | Pool 00:00:00");
    row("to unknown", hallGym, "countdown.set", R"({"minutes": 1, "to": ["Hall", "Nowhere"]})",
        "not-found: to: no display named or at \"Nowhere\" | Hall,Gym 00:00:00.0");
    row("nothing selected", "", "countup.start", "",
        "refused: no display is selected: select one, or name them with \"to\" |  00:00:00.0");
    row("reads need none", "", "program.list", "", " |  00:00:00.0");

    // Parameters as the table declares them.
    row("minutes range", hallGym, "countdown.set", R"({"minutes": 75})",
        "invalid: minutes: 75 is out of range 0..59 | Hall,Gym 00:00:00.0");
    row("minutes as text", hallGym, "countdown.set", R"({"minutes": "5"})",
        "invalid: minutes: expected an integer 0..59, got \"5\" | Hall,Gym 00:00:00.0");
    row("minutes fraction", hallGym, "countdown.set", R"({"minutes": 1.5})",
        "invalid: minutes: expected an integer 0..59, got 1.5 | Hall,Gym 00:00:00.0");
    row("unknown parameter", hallGym, "countdown.start", R"({"minutes": 1})",
        "invalid: minutes: unknown parameter; countdown.start takes confirm, to | Hall,Gym "
        "00:00:00.0");
    row("missing parameter", hallGym, "countdown.preset", "",
        "invalid: preset: missing (an integer 1..8) | Hall,Gym 00:00:00.0");
    row("format by name", hallGym, "countup.reset", R"({"format": "dd:hh:mm"})",
        "127.0.0.2 a40200, 127.0.0.3 a40200 | Hall,Gym 0:00:00");
    row("format unknown", hallGym, "presentation",
        R"({"total": 300, "warning": 60, "format": "dd:hh:mm"})",
        "invalid: format: expected one of \"mm:ss.t\", \"hh:mm:ss\" (or 0..1), got \"dd:hh:mm\" | "
        "Hall,Gym 00:00:00.0");
    row("address refused", "", "displays.add", R"({"address": "224.0.0.1"})",
        "invalid: address: expected an IPv4 address, got \"224.0.0.1\" |  00:00:00.0");
    row("unknown command", "", "countdown.explode", "",
        "unknown-command: unknown command \"countdown.explode\"; known commands: state, "
        "displays.list, displays.discover, displays.add, …");

    // State refusals: nothing is sent, nothing selected.
    row("start at zero", "countdown.mode {\"to\": \"Pool\"}", "countdown.start", "",
        "refused: the count-down is at zero: set a time first | Pool 00:00:00.0");
    // The mirror is the first selected display's copy: what it does not run, no start starts.
    row("start unknown", "", "countdown.pause", R"({"to": "Pool"})",
        "refused: the first selected display has not told what it runs yet |  00:00:00.0");
    row("count-up start on the time of day", "clock {\"to\": \"Pool\"}", "countup.start", "",
        "refused: the selected displays show the time of day: send countup.mode first | Pool "
        "00:00:00");
    row("count-down start on a count-up", hallGym + "; countup.reset", "countdown.toggle", "",
        "refused: the selected displays run a count-up: send countdown.set first | Hall,Gym "
        "00:00:00.0");
    row("set while running", hallGym + "; countdown.set {\"seconds\": 30}; countdown.start",
        "countdown.set", R"({"minutes": 2, "to": "Pool"})",
        "refused: the count-down is running: pause it first | Hall,Gym 00:00:30.0");
    row("reset before set", hallGym, "countdown.reset", "",
        "refused: no count-down was set yet: set one first | Hall,Gym 00:00:00.0");
    row("program not armed", hallGym, "program.start", "",
        "refused: no program is armed: arm one first | Hall,Gym 00:00:00.0");

    // Start and pause send or are refused; toggle is the window's button.
    row("start twice", hallGym + "; countup.mode; countup.start", "countup.start", "",
        "refused: the count-up is already running | Hall,Gym 00:00:00.0");
    row("pause paused", hallGym + "; countup.mode", "countup.pause", "",
        "refused: the count-up is not running | Hall,Gym 00:00:00.0");
    row("toggle", hallGym + "; countup.mode; countup.start; t1000", "countup.toggle", "",
        "127.0.0.2 a30000, 127.0.0.3 a30000 | Hall,Gym 00:00:01.0");

    // Adjusting a count-down: pause, reset to what is left plus the seconds, run on.
    // 4:58.5 left, in whole seconds 4:59.
    row("adjust running", hallGym + "; countdown.set {\"minutes\": 5}; countdown.start; t1500",
        "countdown.adjust", R"({"seconds": 60})",
        "127.0.0.2 a60000, 127.0.0.3 a60000, 127.0.0.2 a70000053b0000000000, "
        "127.0.0.3 a70000053b0000000000, 127.0.0.2 a60100, 127.0.0.3 a60100 | Hall,Gym "
        "00:05:59.0");
    row("adjust paused keeps alarm and format",
        hallGym + "; countdown.set {\"minutes\": 1, \"format\": 1, \"alarm\": 4}",
        "countdown.adjust", R"({"seconds": -30})",
        "127.0.0.2 a70100001e0001040000, 127.0.0.3 a70100001e0001040000 | Hall,Gym 0-00:00:30");
    row("adjust across a day", hallGym + "; countdown.set {\"hours\": 23, \"minutes\": 59}",
        "countdown.adjust", R"({"seconds": 120})",
        "127.0.0.2 a7000001000000000100, 127.0.0.3 a7000001000000000100 | Hall,Gym 24:01:00.0");
    row("adjust below zero", hallGym + "; countdown.set {\"seconds\": 20}", "countdown.adjust",
        R"({"seconds": -21, "to": "Gym"})",
        "refused: seconds: the count-down would fall below zero | Hall,Gym 00:00:20.0");
    row("adjust a count-up", hallGym + "; countup.reset", "countdown.adjust", R"({"seconds": 10})",
        "refused: no count-down to adjust: set one first | Hall,Gym 00:00:00.0");

    // Presets, programs and the generators reach the displays as the window's buttons do.
    row("preset", hallGym, "countdown.preset", R"({"preset": 3})",
        "127.0.0.2 a7000001000000000000, 127.0.0.3 a7000001000000000000 | Hall,Gym 00:01:00.0");
    row("reset again",
        hallGym + "; countdown.set {\"seconds\": 45}; countdown.start; t1000; "
                  "countdown.pause",
        "countdown.reset", "",
        "127.0.0.2 a70000002d0000000000, 127.0.0.3 a70000002d0000000000 | Hall,Gym 00:00:45.0");
    row("arm program 3", hallGym, "program.arm", R"({"program": 3})",
        "127.0.0.2 acd702, 127.0.0.3 acd702 | Hall,Gym 00:00:00.0");
    row("save one", "", "program.save", R"({"program": 2, "to": "Gym"})",
        "127.0.0.3 b30150 | Gym 00:00:00.0");
    row("get one from the first", hallGym, "program.get", R"({"program": 10})",
        "127.0.0.2 b209 | Hall,Gym 00:00:00.0");
    // A refused program file names its line and field.
    row("import refused", "", "program.import",
        R"({"program": 2, "file": {"format": "qb-timer-program", "version": 1, "name": "Bad", )"
        R"("lines": [{"command": "repeat", "goto": 5}, {"command": "end"}]}})",
        "invalid: file: line 1: goto: 5 is past the last line (2) |  00:00:00.0");
    row("import into the armed program", hallGym + "; program.arm {\"program\": 3}",
        "program.import", R"({"program": 3, "file": "08000000000000000000000000"})",
        "refused: program 3 is open and armed: open another program first | Hall,Gym 00:00:00.0");
    row("tabata", hallGym, "tabata", R"({"work": 20, "rest": 10, "rounds": 8, "alarm": true})",
        "127.0.0.2 acd709, 127.0.0.3 acd709 | Hall,Gym 00:00:00.0");
    row("setup stored", "", "setup.link", R"({"broadcast": "10.1.255.255", "retries": 2})",
        R"({"broadcast":"10.1.255.255","delay":350,"refresh":60,"retries":2} |  00:00:00.0)");
    row("rename", "", "program.rename", R"({"program": 3, "name": "Warm-up"})",
        R"({"name":"Warm-up","program":3} |  00:00:00.0)");
    row("name too long", "", "program.rename", R"({"program": 3, "name": "Twelve bytes"})",
        "invalid: name: expected text of at most 11 bytes, got \"Twelve bytes\" |  00:00:00.0");
    row("name with a tab", "", "program.rename", R"({"program": 3, "name": "Warm\tup"})",
        "invalid: name: \"Warm\\tup\" holds a control character |  00:00:00.0");
    row("tabata while counting", hallGym + "; countup.mode; countup.start", "tabata",
        R"({"work": 20, "rest": 10, "rounds": 8})",
        "refused: a count is running: pause it first | Hall,Gym 00:00:00.0");
}

void TestCommands::commands()
{
    QFETCH(QString, before);
    QFETCH(QString, command);
    QFETCH(QString, args);
    QFETCH(QString, expected);

    Remote r;
    r.play(before);
    r.f.clear();
    const CommandResult result = r.run(command, args);
    QStringList packets;
    // Program packets by their first three bytes (command, length or number); the rest whole.
    for (const QString &packet : sentPackets(r.f.udpTx)) {
        const QString hex = packet.section(QLatin1Char(' '), 1);
        packets << (hex.startsWith(QLatin1String("ac")) || hex.startsWith(QLatin1String("b3"))
                        ? packet.left(packet.size() - hex.size() + 6)
                        : packet);
    }
    // What a command that acts answers, after its packets.
    const Command *known = CommandTable::find(command);
    if (result.isDone() && !result.data.isEmpty() && known && !known->readOnly)
        packets << QString::fromUtf8(QJsonDocument(result.data).toJson(QJsonDocument::Compact));
    const QString outcome = result.isDone()
                                ? packets.join(QStringLiteral(", "))
                                : CommandResult::statusName(result.status) + ": " + result.message;
    const QString seen = outcome + " | " + r.selected() + " " + r.f.controller->mirrorText();
    // "…" ends an expectation that is only the start of what is seen.
    if (expected.endsWith(QStringLiteral("…")))
        QVERIFY2(seen.startsWith(expected.chopped(1)), qPrintable(seen));
    else
        QCOMPARE(seen, expected);
}

// Export gives what the store holds, and a rename stores the name alone: a generated program, and
// the lines the window keeps in memory of a program it left, stay unstored.
void TestCommands::exportAndRenameKeepToTheStore()
{
    Remote r;
    const auto exported = [&r] {
        const QJsonObject result = r.run("program.export", R"({"program": 10})").data;
        return result["file"].toObject()["name"].toString() + ' ' + result["text"].toString();
    };
    const QString stored = exported();
    r.play(R"(tabata {"work": 20, "rest": 10, "rounds": 8, "to": "Hall"})");
    QCOMPARE(exported(), stored);
    r.play(R"(program.rename {"program": 10, "name": "Tabata"}; program.open {"program": 2})");
    QCOMPARE(exported(), "Tabata " + stored.section(QLatin1Char(' '), 1));
}

// The snapshot says what the window's captions and mirror say, and a program's running step.
void TestCommands::stateReadsWhatTheWindowShows()
{
    Remote r;
    QSignalSpy changes(&r.state, &ControlState::changed);
    r.play("displays.selectOnly {\"displays\": \"Hall\"}; tabata {\"work\": 2, \"rest\": 1, "
           "\"rounds\": 1}; program.start; t1500");
    const QJsonObject state = r.run("state").data;
    QCOMPARE(state["captions"].toObject()["program"].toString(), QStringLiteral("Pause"));
    QCOMPARE(state["mirror"].toObject()["mode"].toString(), QStringLiteral("program"));
    QCOMPARE(state["mirror"].toObject()["text"].toString(), r.f.interval);
    QCOMPARE(state["program"].toObject()["open"].toInt(), 10);
    QCOMPARE(state["program"].toObject()["name"].toString(), QStringLiteral("Tab 2/1"));
    const int step = state["program"].toObject()["runningStep"].toInt();
    QVERIFY(step > 0);
    QVERIFY(
        state["program"].toObject()["lines"].toArray()[step - 1].toObject()["running"].toBool());
    QCOMPARE(state["displays"].toArray()[0].toObject()["selected"].toBool(), true);
    // The changes come as the controller's thread gets to them: program and captions at once.
    QTRY_VERIFY(std::any_of(changes.begin(), changes.end(), [](const QList<QVariant> &c) {
        return c.at(0).toString() == "program";
    }));
}

// Ticks faster than the door may tell: one change at once, then the latest text a tenth later.
void TestCommands::mirrorChangesAtMostTenASecond()
{
    Remote r;
    QList<QString> mirror;
    connect(&r.state, &ControlState::changed, [&mirror](const QString &kind, const QJsonObject &d) {
        if (kind == QLatin1String("mirror"))
            mirror << d.value(QStringLiteral("text")).toString();
    });
    QElapsedTimer clock;
    clock.start();
    r.play("countup.mode {\"to\": \"Hall\"}; countup.start");
    r.f.tickFor(5000); // fifty ticks in far less than a tenth of a second
    const bool quick = clock.elapsed() < ControlState::kMirrorIntervalMs;
    QCOMPARE(mirror.value(0), QStringLiteral("00:00:00.0"));
    QVERIFY2(mirror.size() <= 2, qPrintable(mirror.join(QLatin1Char(' '))));
    QTRY_COMPARE(mirror.last(), QStringLiteral("00:00:05.0"));
    if (quick)
        QCOMPARE(mirror.size(), 2);
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"

// One display's row is told when it changes, a reply that changes nothing is not told, and the
// list with its clocks at most once a second however fast they tick.
void TestCommands::displayEventsTellWhatChanged()
{
    Remote r;
    QStringList told;
    QList<qint64> listTold; // ms on one clock
    QElapsedTimer clock;
    clock.start();
    connect(&r.state, &ControlState::changed, [&](const QString &kind, const QJsonObject &d) {
        if (kind == "display")
            told << kind + ' ' + d.value("name").toString() +
                        (d.value("selected").toBool() ? " selected" : "") +
                        (d.value("missed").isObject() ? " missed" : "");
        else if (kind == "delivery")
            told << kind;
        else if (kind == "displays")
            listTold << clock.elapsed();
    });
    QTRY_COMPARE(listTold.size(), 1); // the first list, at once
    r.play("displays.select {\"displays\": \"Gym\"}");
    const QByteArray same = statusReply("127.0.0.2", "Hall", 0, 0, 0, 0, 0);
    r.f.reply(QStringLiteral("127.0.0.2"), same); // Hall's row as it is listed: nothing to tell
    r.f.tickFor(5000);                            // fifty ticks of clocks in a moment
    emit r.f.controller->link().packetEnded(1, QStringLiteral("127.0.0.4"),
                                            QStringLiteral("time of day"), false);
    QCOMPARE(told, QStringList({"display Gym selected", "display Pool missed", "delivery"}));
    QTRY_COMPARE(listTold.size(), 2);
    QVERIFY(listTold.at(1) - listTold.at(0) >= ControlState::kDisplayTimesIntervalMs - 50);
    QTest::qWait(300);
    QCOMPARE(listTold.size(), 2);
}
