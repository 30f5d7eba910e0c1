#include "controllerfixture.h"

#include <QSettings>
#include <QtTest>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The controller on a hand-driven clock: the commands it sends, the mirror clock and captions it
// shows, status replies and the display list they fill, polls and the stored display list.
namespace {

// The window's buttons by the names the scripts below use; the presets are 5 min with a 10 s
// alarm, 3 days 10 s, 24 h and 1 s.
const QHash<QString, std::function<void(HandleGui &)>> kButtons = {
    {"up-mode", [](HandleGui &c) { c.handleSetCountUpModeButton(); }},
    {"up-reset", [](HandleGui &c) { c.handleCountUpResetButton(2); }},
    {"up-start", [](HandleGui &c) { c.handleCountUpStartButton(); }},
    {"time-mode", [](HandleGui &c) { c.handleTimeModeButton(); }},
    {"dn-mode", [](HandleGui &c) { c.handleSetCountDnModeButton(0, 0, 0, 0, 0, 0, 0); }},
    {"dn-reset", [](HandleGui &c) { c.handleCountDnResetButton(1, 0, 0, 5, 0, 1, 10); }},
    {"dn-3d10s", [](HandleGui &c) { c.handleCountDnResetButton(1, 3, 0, 0, 10, 0, 0); }},
    {"dn-24h", [](HandleGui &c) { c.handleCountDnResetButton(0, 0, 24, 0, 0, 0, 0); }},
    {"dn-1s", [](HandleGui &c) { c.handleCountDnResetButton(0, 0, 0, 0, 1, 0, 0); }},
    {"dn-start", [](HandleGui &c) { c.handleCountDnStartButton(); }},
    {"tabata", [](HandleGui &c) { c.handleTabataResetButton(20, 10, 8, true); }},
    {"talk", [](HandleGui &c) { c.handlePresentResetButton(600, 120, 0, false, false); }},
    {"up-entry", [](HandleGui &c) { c.handleCountUpEntry(); }},
    {"dn-entry", [](HandleGui &c) { c.handleCountDnEntry(); }},
    {"prog-entry", [](HandleGui &c) { c.handleProgEntry(); }},
    {"file0+3",
     [](HandleGui &c) {
         for (int n : {0, 3, 10})
             c.importProgram(n, QStringLiteral("Filed"),
                             QStringLiteral("08000000000000000000000000"));
     }},
};

// Buttons by name, "t<ms>" ticks of 100 ms, "+<ms>" time passing without a tick,
// "reply-c1-01:02:03.450-2" a status query to 127.0.0.2 and its reply, with its status word, time
// and days.
void play(ControllerFixture &f, const QString &script)
{
    for (const QString &step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (kButtons.contains(step))
            kButtons.value(step)(*f.controller);
        else if (step.startsWith(QLatin1Char('+')))
            f.advance(step.mid(1).toInt());
        else if (step.startsWith(QLatin1String("reply"))) {
            const QStringList part = step.split(QLatin1Char('-'));
            const QTime t = QTime::fromString(part[2], QStringLiteral("hh:mm:ss.zzz"));
            // The display has acknowledged every command before it answers the query.
            while (f.controller->link().queuedCount() > 0)
                f.reply(QStringLiteral("127.0.0.2"), "A");
            f.controller->sendStatusQuery(QStringLiteral("127.0.0.2"));
            f.reply(QStringLiteral("127.0.0.2"),
                    statusReply("127.0.0.2", "T", t.hour(), t.minute(), t.second(), t.msec() / 10,
                                part[1].toInt(nullptr, 16), part[3].toInt()));
        } else
            f.tickFor(step.mid(1).toInt());
    }
}

void writeStore(const QStringList &addresses, int size)
{
    QSettings settings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
    settings.clear();
    for (int i = 0; i < addresses.size(); ++i)
        settings.setValue(QStringLiteral("timerlist/%1/IP").arg(i + 1), addresses.at(i));
    settings.setValue(QStringLiteral("timerlist/size"), size);
}

} // namespace

class TestHandleGui : public QObject
{
    Q_OBJECT
private slots:
    void init() { writeStore({}, 0); }
    void commands_data();
    void commands();
    void selectedDisplays_data();
    void selectedDisplays();
    void mirrorSource_data();
    void mirrorSource();
    void replyFillsARow();
    void forgedReplies_data();
    void forgedReplies();
    void poll_data();
    void poll();
    void storedListSurvivesRestart();
    void portHeldByAnotherProgram();
};

void TestHandleGui::commands_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("button");
    // "packet sent | what the window was told and the mirror's text a second later"
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *tag, const char *before, const char *button,
                        const char *expected) {
        QTest::newRow(tag) << before << button << expected;
    };

    const char *counting = "dn-3d10s dn-start";
    row("count-up mode stops a count-down", counting, "up-mode", "a20000 |  | 3-00:00:00");
    row("count-up reset", "", "up-reset", "a40200 |  | 0:00:00");
    row("count-up reset refused while counting up", "up-start", "up-reset", " |  | 00:00:01.0");
    row("count-up pause takes the last step", "up-start t1000 +950", "up-start",
        "a30000 | up 0 | 00:00:01.9");
    row("count-up start after a pause that is not counted", "up-start t1000 up-start +5000",
        "up-start", "a30100 | up 1 | 00:00:02.0");
    // The mirror shows the time of day of the first selected display's row.
    row("count-up start ends a count-down", counting, "up-start",
        "a30100 | dn 0 up 1 | 3-00:00:11");
    row("time mode stops a count-down", counting, "time-mode", "a80100 | up 0 dn 0 | 00:00:01");
    row("count-down mode", counting, "dn-mode", "a5000000000000000000 |  | 0-00:00:00");
    row("count-down reset", "", "dn-reset", "a70100050000010a0000 |  | 0-00:05:00");
    row("count-down reset refused while counting down", counting, "dn-reset", " |  | 3-00:00:09");
    row("count-down start", "dn-3d10s", "dn-start", "a60100 | dn 1 | 3-00:00:09");
    row("count-down start of a whole day", "dn-24h", "dn-start", "a60100 | dn 1 | 23:59:59.0");
    row("count-down start refused at zero", "", "dn-start", " |  | ");
    row("count-down pause past zero stops at zero", "dn-1s dn-start +1500", "dn-start",
        "a60000 | dn 0 | 00:00:00.0");
    row("tabata: armed and shown", "", "tabata",
        "acd7095461622032302f3130000000 | combo 9 Tab 20/10 true | 1-00:20");
    // The name field keeps 11 characters and its closing NUL.
    row("presentation: armed and shown", "", "talk",
        "acd708507265733a3630302d313200 | combo 8 Pres:600-120 true | 00:10:00.0");
    row("tabata refused while counting", "up-start", "tabata", " |  | 00:00:01.0");
    row("programs from files: named in the window, shown when open", "", "file0+3",
        " | combo 0 Filed true combo 3 Filed false | ");
    row("presentation refused while counting", "up-start", "talk", " |  | 00:00:01.0");

    row("count up reply, running, tenths", "", "reply-c1-01:02:03.450-0",
        "a104b2 | format 0 up 1 dn 0 | 01:02:04.4");
    row("count up reply, paused, days-h:m:s", "", "reply-01-01:02:03.450-2",
        "a104b2 | format 1 up 0 dn 0 | 2-01:02:03");
    row("count up reply past midnight", "", "reply-c1-23:59:59.900-0",
        "a104b2 | format 0 up 1 dn 0 | 24:00:00.9");
    row("count down reply, running", "", "reply-c2-01:02:03.450-0",
        "a104b2 | up 0 dn 1 | 01:02:02.4");
    row("count down reply, paused", "", "reply-82-01:02:03.450-0",
        "a104b2 | up 0 dn 0 | 01:02:03.4");
    row("count down reply passing zero stops there", "", "reply-c2-00:00:00.050-0",
        "a104b2 | up 0 dn 1 dn 0 | 00:00:00.0");
    row("count-up reply stops a count-down", counting, "reply-01-01:02:03.450-0",
        "a104b2 | format 1 up 0 dn 0 | 0-01:02:03");
    row("count-down reply stops a count-up", "up-start", "reply-82-01:02:03.450-0",
        "a104b2 | up 0 dn 0 | 01:02:03.4");
    row("count-down reply in tenths while the mirror shows days", "dn-3d10s",
        "reply-82-01:02:03.450-0", "a104b2 | up 0 dn 0 | 01:02:03.4");
    row("time of day reply stops a count-down", counting, "reply-00-01:02:03.450-0",
        "a104b2 | up 0 dn 0 | 01:02:04");
}

void TestHandleGui::commands()
{
    QFETCH(QString, before);
    QFETCH(QString, button);
    QFETCH(QString, expected);
    const QStringList want = expected.split(QStringLiteral(" | "));

    ControllerFixture f;
    f.addTimer(QStringLiteral("127.0.0.2"));
    f.timers.setSelected(0, true);
    play(f, before);
    f.clear();
    play(f, button);
    QCOMPARE(f.sent(), want[0].isEmpty() ? QStringList() : QStringList{"127.0.0.2 " + want[0]});
    f.tickFor(1000);
    QCOMPARE(f.told.join(QLatin1Char(' ')), want[1]);
    QCOMPARE(f.text(), want[2]);
}

// Three displays, the last two selected (the third first): commands go to each selected display
// in row order, a page's entry query to the first selected one only.
void TestHandleGui::selectedDisplays_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("count-up start")
        << "up-start" << QStringList({"127.0.0.3 a30100", "127.0.0.4 a30100"});
    QTest::newRow("count-up page's status query") << "up-entry" << QStringList{"127.0.0.3 a104b2"};
    QTest::newRow("count-down page's status query")
        << "dn-entry" << QStringList{"127.0.0.3 a104b2"};
    QTest::newRow("program page's run-status query") << "prog-entry" << QStringList{"127.0.0.3 b1"};
}

void TestHandleGui::selectedDisplays()
{
    QFETCH(QString, button);
    QFETCH(QStringList, sent);
    ControllerFixture f;
    for (const char *ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        f.addTimer(QString::fromLatin1(ip));
    f.controller->handlecheckBoxChanged(2, true);
    f.controller->handlecheckBoxChanged(1, true);
    f.clear();
    play(f, button);
    QCOMPARE(f.sent(), sent);
}

// Status replies from everyone who may send one, in each mode: they fill the reporting display's
// row, and only an answer of the first selected display to a query sent after its last command
// moves the mirror, which otherwise counts down on from 3 days.
void TestHandleGui::mirrorSource_data()
{
    QTest::addColumn<QString>("source");   // the datagram's sender
    QTest::addColumn<QString>("reported"); // the address the reply names
    // Where a status query to the reported address goes: "after" the count-down's start, "before"
    // it, or nowhere (a reply to the discovery's broadcast, resent a second later).
    QTest::addColumn<QString>("asked");
    QTest::addColumn<bool>("follows");

    // 127.0.0.2 unselected, 127.0.0.3 and .4 selected; .9 is nobody's.
    const auto row = [](const char *tag, const char *source, const char *reported,
                        const char *asked, bool follows) {
        for (const auto &[mode, word] :
             {std::pair{"clock", 0x00}, {"count-up", 0xC1}, {"count-down", 0xC2}})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(tag, mode)))
                << source << reported << asked << follows << word;
    };
    QTest::addColumn<int>("statusWord");
    row("first selected", "127.0.0.3", "127.0.0.3", "after", true);
    row("first selected, to the broadcast", "127.0.0.3", "127.0.0.3", "", false);
    row("first selected, before its last command", "127.0.0.3", "127.0.0.3", "before", false);
    row("another selected", "127.0.0.4", "127.0.0.4", "after", false);
    row("unselected", "127.0.0.2", "127.0.0.2", "after", false);
    row("not listed", "127.0.0.9", "127.0.0.9", "after", false);
    row("a stranger in the first's name", "127.0.0.9", "127.0.0.3", "after", false);
}

void TestHandleGui::mirrorSource()
{
    QFETCH(QString, source);
    QFETCH(QString, reported);
    QFETCH(QString, asked);
    QFETCH(bool, follows);
    QFETCH(int, statusWord);
    ControllerFixture f;
    for (const char *ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        f.addTimer(QString::fromLatin1(ip));
    f.controller->handlecheckBoxChanged(1, true);
    f.controller->handlecheckBoxChanged(2, true);
    play(f, "dn-3d10s");
    if (asked == "before")
        f.controller->sendStatusQuery(reported);
    play(f, "dn-start");
    // Every display has acknowledged its commands before it answers.
    for (const char *ip : {"127.0.0.3", "127.0.0.4"}) {
        for (int i = asked == "before" && reported == ip ? 1 : 2; i > 0; --i)
            f.reply(QString::fromLatin1(ip), "A");
    }
    if (asked == "after")
        f.controller->sendStatusQuery(reported);
    f.reply(source, statusReply(reported, "R", 1, 2, 3, 0, statusWord));

    const MirrorClock &mirror = f.controller->mirror();
    const MirrorClock::Mode replied = statusWord == 0      ? MirrorClock::Mode::Clock
                                      : statusWord == 0xC1 ? MirrorClock::Mode::CountUp
                                                           : MirrorClock::Mode::CountDown;
    QCOMPARE(mirror.mode, follows ? replied : MirrorClock::Mode::CountDown);
    QCOMPARE(mirror.days, follows && statusWord ? 0 : 3);
    QCOMPARE(mirror.countDn, follows ? statusWord == 0xC2 : true);
    const TimerData *row = f.timers.timer(reported);
    QVERIFY(row);
    QCOMPARE(row->format, statusWord);
}

// A discovery query goes to every listed display and the broadcast address; a reply fills its
// display's row, keeping it selected, unless its time is impossible.
void TestHandleGui::replyFillsARow()
{
    ControllerFixture f;
    f.addTimer(QStringLiteral("127.0.0.3"));
    f.controller->handleSubmitQuery(QStringLiteral("127.255.255.255"));
    QCOMPARE(f.sent(), QStringList({"127.0.0.3 a104b2", "127.255.255.255 a104b2"}));
    f.controller->handlecheckBoxChanged(0, true);
    f.controller->UDPResponse(QString(),
                              statusReply("127.0.0.3", "Hall", 13, 14, 15, 67, 0x03C1, 9));
    QVERIFY(f.timers.isSelected(0));
    QCOMPARE(f.timers.timerName(0), QStringLiteral("Hall"));
    const QModelIndex row = f.timers.index(0);
    QCOMPARE(f.timers.data(row, TimerDataModel::TimeRole).toTime(), QTime(13, 14, 15, 670));
    QCOMPARE(f.timers.data(row, TimerDataModel::DayRole).toInt(), 9);
    QCOMPARE(f.timers.data(row, TimerDataModel::FormatRole).toInt(), 0x03C1);
    // An impossible time leaves the row's time as it was.
    f.controller->UDPResponse(QString(), statusReply("127.0.0.3", "Hall", 24, 0, 0, 0, 0x03C1));
    QCOMPARE(f.timers.data(row, TimerDataModel::TimeRole).toTime(), QTime(13, 14, 15, 670));
}

// Status replies from anyone on the network, all sent from 127.0.0.7: which reported addresses
// join the display list.
void TestHandleGui::forgedReplies_data()
{
    QTest::addColumn<int>("stored");      // 0.0.0.0, as an older build listed it, then 10.0.x.y
    QTest::addColumn<QString>("queried"); // a discovery query's destination, if any
    QTest::addColumn<QString>("reported");
    QTest::addColumn<int>("rows");

    const auto row = [](const char *tag, int stored, const char *queried, const char *reported,
                        int rows) { QTest::newRow(tag) << stored << queried << reported << rows; };
    row("a host", 0, "", "127.0.0.7", 1);
    row("a host other than the sender", 0, "", "10.1.2.3", 1);
    row("0.0.0.0", 0, "", "0.0.0.0", 0);
    row("limited broadcast", 0, "", "255.255.255.255", 0);
    row("multicast", 0, "", "239.255.255.250", 0);
    row("reserved", 0, "", "240.0.0.1", 0);
    row("the broadcast address queried", 0, "127.255.255.255", "127.255.255.255", 0);
    row("a queried display answering from its address", 0, "127.0.0.7", "127.0.0.7", 1);
    row("listed already: 0.0.0.0 still answers", 1, "", "0.0.0.0", 1);
    row("the 1,000th display", 999, "", "127.0.0.2", 1000);
    row("the 1,001st display is refused", 1000, "", "127.0.0.2", 1000);
    row("a listed display with the list full", 1000, "", "10.0.3.249", 1000);
}

void TestHandleGui::forgedReplies()
{
    QFETCH(int, stored);
    QFETCH(QString, queried);
    QFETCH(QString, reported);
    QFETCH(int, rows);

    QStringList listed;
    for (int i = 0; i < stored; ++i)
        listed << (i ? QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250) : "0.0.0.0");
    writeStore(listed, stored);
    ControllerFixture f;
    if (!queried.isEmpty())
        f.controller->handleSubmitQuery(queried);
    const bool taken = stored < rows || listed.contains(reported);
    if (!taken && stored == TimerDataModel::kMaxTimers)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Display list full \\(1000 displays\\): "));
    f.controller->UDPResponse(QStringLiteral("127.0.0.7"),
                              statusReply(reported, QStringLiteral("Forged"), 1, 2, 3, 4, 0));
    QCOMPARE(f.timers.rowCount(), rows);
    QCOMPARE(f.timers.timerName(f.timers.addresses().indexOf(reported)), taken ? "Forged" : "");
}

void TestHandleGui::poll_data()
{
    QTest::addColumn<qint64>("uptime");
    QTest::addColumn<int>("refreshSecs");
    QTest::addColumn<QList<int>>("selectedRows");
    QTest::addColumn<QStringList>("polled");
    QTest::addColumn<QList<int>>("missedRows"); // rows whose display missed a command
    // Polls come once more than the refresh period has gathered: 2 s for a period of 1 s.
    const QStringList first{"127.0.0.3 a104b2"};
    QTest::newRow("first selected only, every 2 s")
        << qint64(0) << 1 << QList<int>{1, 2} << first << QList<int>();
    QTest::newRow("and in row order the displays that missed one")
        << qint64(0) << 1 << QList<int>{1, 2}
        << QStringList({"127.0.0.2 a104b2", "127.0.0.3 a104b2"}) << QList<int>{0};
    QTest::newRow("everyone without a selection, every 61 s")
        << qint64(0) << 60 << QList<int>()
        << QStringList({"127.0.0.2 a104b2", "127.0.0.3 a104b2", "127.0.0.4 a104b2"})
        << QList<int>{1};
    // Weeks of uptime, then the 32-bit wrap of the millisecond readings 250 ms later.
    QTest::newRow("across the signed wrap")
        << qint64(0x7FFFFFFF) - 250 << 1 << QList<int>{1} << first << QList<int>();
    QTest::newRow("across the unsigned wrap")
        << qint64(0xFFFFFFFF) - 250 << 1 << QList<int>{1} << first << QList<int>();
}

void TestHandleGui::poll()
{
    QFETCH(qint64, uptime);
    QFETCH(int, refreshSecs);
    QFETCH(QList<int>, selectedRows);
    QFETCH(QStringList, polled);
    QFETCH(QList<int>, missedRows);
    ControllerFixture f;
    f.controller->handleSetIPParameters(0, 5000, refreshSecs);
    for (const char *ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        f.addTimer(QString::fromLatin1(ip));
    for (int row : selectedRows)
        f.timers.setSelected(row, true);
    for (int row : missedRows)
        f.timers.noteMissed(f.timers.timerIpAddr(row), QStringLiteral("time of day"), 1);
    for (qint64 left = uptime; left > 0; left -= 7 * 86400000LL) { // in week-long ticks
        f.advance(qMin(left, 7 * 86400000LL));
        f.controller->qmlTimerTriggered();
    }
    f.clear();
    const int periodMs = (refreshSecs + 1) * 1000;
    f.tickFor(periodMs - 100);
    QVERIFY(f.sent().isEmpty());
    f.tickFor(100);
    QCOMPARE(f.sent(), polled);
    f.tickFor(periodMs);
    QCOMPARE(f.sent(), polled + polled);
}

// A hand-edited store: a size far beyond its entries and a duplicate. It loads quickly, is stored
// whole at the first change, and a removal survives a restart.
void TestHandleGui::storedListSurvivesRestart()
{
    writeStore({"127.0.0.4", "127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"}, 2000000000);
    QElapsedTimer took;
    took.start();
    auto f = std::make_unique<ControllerFixture>();
    const QStringList loaded = {"127.0.0.4", "127.0.0.2", "127.0.0.3", "127.0.0.5", ""};
    QCOMPARE(f->timers.addresses(), loaded);
    QVERIFY(took.elapsed() < 10000);
    f->tickFor(100);
    QCOMPARE(storedDisplayList(), loaded);
    f->controller->handlecheckBoxChanged(1, true);
    f->controller->handleRemoveSelected();
    const QStringList kept = {"127.0.0.4", "127.0.0.3", "127.0.0.5", ""};
    QCOMPARE(storedDisplayList(), kept);

    f = std::make_unique<ControllerFixture>(); // a new controller on the same store
    QCOMPARE(f->timers.addresses(), kept);
    QVERIFY(!f->timers.isSelected(0));
}

// Another program holds port 7372 without sharing it (no SO_REUSEADDR, unlike the simulator):
// the window hears so, and once the port is free the link binds it within its retry period and
// hears the displays again. The test runs in a network namespace of its own.
void TestHandleGui::portHeldByAnotherProgram()
{
    const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(7372);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    QVERIFY2(::bind(holder, reinterpret_cast<sockaddr *>(&any), sizeof any) == 0,
             "port 7372 is taken: run the test in a network namespace of its own");
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("^Cannot bind UDP port 7372 \\(.*\\): trying again"));
    ControllerFixture f;
    QTRY_VERIFY(f.controller->portInUse());
    QCOMPARE(f.told, QStringList{"port in use 1"});

    // Held past the first retry: the link keeps trying, not once only.
    QTest::qWait(UDPCommThread::kBindRetryMs * 3 / 2);
    ::close(holder);
    QTRY_VERIFY_WITH_TIMEOUT(!f.controller->portInUse(), 2 * UDPCommThread::kBindRetryMs);
    QCOMPARE(f.told, QStringList({"port in use 1", "port in use 0"}));
    ScriptedDisplay display(QStringLiteral("127.0.0.2"));
    display.reply(statusReply("127.0.0.2", "Hall", 1, 2, 3, 4, 0));
    QTRY_COMPARE(f.timers.timerName(0), QStringLiteral("Hall"));
}

QTEST_GUILESS_MAIN(TestHandleGui)
#include "tst_handlegui.moc"
