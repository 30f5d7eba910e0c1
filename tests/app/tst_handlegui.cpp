#include "controllerfixture.h"

#include <QtTest>

// The controller on a hand-driven clock: the commands it sends, the mirror clock and captions it
// shows, status replies, polls and the stored display list.
namespace {

enum Start { Idle, AtTenSeconds, AtOneDay, CountingUp, CountingDown };
enum Event {
    CountUpMode,
    CountUpReset,
    CountUpStart,
    TimeMode,
    CountDownMode,
    CountDownReset,
    CountDownStart
};

void bringTo(HandleGui &c, Start start)
{
    if (start == AtTenSeconds || start == CountingDown)
        c.handleCountDnResetButton(1, 3, 0, 0, 10, 0, 0);
    if (start == AtOneDay)
        c.handleCountDnResetButton(0, 0, 24, 0, 0, 0, 0);
    if (start == CountingUp)
        c.handleCountUpStartButton();
    if (start == CountingDown)
        c.handleCountDnStartButton();
}

void fire(HandleGui &c, Event event)
{
    switch (event) {
    case CountUpMode:
        return c.handleSetCountUpModeButton();
    case CountUpReset:
        return c.handleCountUpResetButton(2);
    case CountUpStart:
        return c.handleCountUpStartButton();
    case TimeMode:
        return c.handleTimeModeButton();
    case CountDownMode:
        return c.handleSetCountDnModeButton(0, 0, 0, 0, 0, 0, 0);
    case CountDownReset:
        return c.handleCountDnResetButton(1, 0, 0, 5, 0, 1, 10);
    case CountDownStart:
        return c.handleCountDnStartButton();
    }
}

void writeStore(const QStringList &addresses, const QVariant &size)
{
    QSettings settings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
    settings.clear();
    for (int i = 0; i < addresses.size(); ++i)
        settings.setValue(QStringLiteral("timerlist/%1/IP").arg(i + 1), addresses.at(i));
    settings.setValue(QStringLiteral("timerlist/size"), size);
}

} // namespace

Q_DECLARE_METATYPE(Start)
Q_DECLARE_METATYPE(Event)

class TestHandleGui : public QObject
{
    Q_OBJECT
private slots:
    void init() { ControllerFixture::clearStore(); }
    void commands_data();
    void commands();
    void replies_data();
    void replies();
    void pausesTakeTheLastStep();
    void clockWrap_data();
    void clockWrap();
    void replyFillsARow();
    void poll_data();
    void poll();
    void storedListSurvivesRestart();
};

void TestHandleGui::commands_data()
{
    QTest::addColumn<Start>("start");
    QTest::addColumn<Event>("event");
    // "packet sent | what the captions were told | the mirror's text a second later"
    QTest::addColumn<QString>("expected");

    QTest::newRow("count-up mode stops a count-down")
        << CountingDown << CountUpMode << "a20000 |  | 3-00:00:00";
    QTest::newRow("count-up reset") << CountingDown << CountUpReset << "a40200 |  | 0:00:00";
    QTest::newRow("count-up reset refused while counting up")
        << CountingUp << CountUpReset << " |  | 00:00:01.0";
    QTest::newRow("count-up start") << Idle << CountUpStart << "a30100 | up 1 | 00:00:01.0";
    QTest::newRow("count-up pause") << CountingUp << CountUpStart << "a30000 | up 0 | 00:00:00.0";
    QTest::newRow("time mode stops a count-down")
        << CountingDown << TimeMode << "a80100 | up 0 dn 0 | 3-00:00:00";
    QTest::newRow("count-down mode")
        << CountingDown << CountDownMode << "a5000000000000000000 |  | 0-00:00:00";
    QTest::newRow("count-down reset")
        << Idle << CountDownReset << "a70100050000010a0000 |  | 0-00:05:00";
    QTest::newRow("count-down reset refused while counting down")
        << CountingDown << CountDownReset << " |  | 3-00:00:09";
    QTest::newRow("count-down start")
        << AtTenSeconds << CountDownStart << "a60100 | dn 1 | 3-00:00:09";
    QTest::newRow("count-down start of a whole day")
        << AtOneDay << CountDownStart << "a60100 | dn 1 | 23:59:59.0";
    QTest::newRow("count-down start refused at zero") << Idle << CountDownStart << " |  | ";
    QTest::newRow("count-down pause")
        << CountingDown << CountDownStart << "a60000 | dn 0 | 3-00:00:10";
}

void TestHandleGui::commands()
{
    QFETCH(Start, start);
    QFETCH(Event, event);
    QFETCH(QString, expected);
    const QStringList want = expected.split(QStringLiteral(" | "));

    ControllerFixture f;
    f.addTimer(QStringLiteral("127.0.0.2"));
    f.timers.setSelected(0, true);
    bringTo(*f.controller, start);
    f.clear();
    fire(*f.controller, event);
    QCOMPARE(f.sent(), want[0].isEmpty() ? QStringList() : QStringList{"127.0.0.2 " + want[0]});
    QCOMPARE(f.told(), want[1]);
    f.tickFor(1000);
    QCOMPARE(f.text(), want[2]);
}

void TestHandleGui::replies_data()
{
    QTest::addColumn<Start>("start");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("statusWord");
    QTest::addColumn<int>("days");
    // "the mirror's text at once | a second later | what the captions were told by then"
    QTest::addColumn<QString>("expected");

    const QTime t(1, 2, 3, 450);
    const QTime beforeMidnight(23, 59, 59, 900);
    const QTime afterMidnight(0, 0, 0, 50);
    QTest::newRow("count up running, tenths")
        << Idle << t << 0xC1 << 0 << "01:02:03.4 | 01:02:04.4 | up 1 dn 0 format 0";
    QTest::newRow("count up paused, days-h:m:s")
        << Idle << t << 0x01 << 2 << "2-01:02:03 | 2-01:02:03 | up 0 dn 0 format 1";
    QTest::newRow("count up running, days:h:m")
        << Idle << t << 0xE1 << 1 << "1:01:02 | 1:01:02 | up 1 dn 0 format 2";
    QTest::newRow("count up past midnight")
        << Idle << beforeMidnight << 0xC1 << 0 << "23:59:59.9 | 24:00:00.9 | up 1 dn 0 format 0";
    QTest::newRow("count down running")
        << Idle << t << 0xC2 << 0 << "01:02:03.4 | 01:02:02.4 | up 0 dn 1";
    QTest::newRow("count down paused")
        << Idle << t << 0x82 << 0 << "01:02:03.4 | 01:02:03.4 | up 0 dn 0";
    QTest::newRow("count down passing zero stops there")
        << Idle << afterMidnight << 0xC2 << 0 << "00:00:00.0 | 00:00:00.0 | up 0 dn 1 dn 0";
    QTest::newRow("count-up reply stops a count-down")
        << CountingDown << t << 0x01 << 0 << "0-01:02:03 | 0-01:02:03 | up 0 dn 0 format 1";
    QTest::newRow("count-down reply stops a count-up")
        << CountingUp << t << 0x82 << 0 << "01:02:03.4 | 01:02:03.4 | up 0 dn 0";
    // The time part goes to zero; days and the display mode stay.
    QTest::newRow("time of day stops a count-down")
        << CountingDown << t << 0x00 << 0 << "3-00:00:00 | 3-00:00:00 | up 0 dn 0";
}

void TestHandleGui::replies()
{
    QFETCH(Start, start);
    QFETCH(QTime, time);
    QFETCH(int, statusWord);
    QFETCH(int, days);
    QFETCH(QString, expected);
    const QStringList want = expected.split(QStringLiteral(" | "));
    ControllerFixture f;
    bringTo(*f.controller, start);
    f.clear();
    f.controller->UDPResponse(QString(),
                              statusReply("127.0.0.2", "T", time.hour(), time.minute(),
                                          time.second(), time.msec() / 10, statusWord, days));
    QCOMPARE(f.text(), want[0]);
    QCOMPARE(f.dnTime.constLast().at(0).toString(), f.text()); // every page shows the mirror
    QCOMPARE(f.intTime.constLast().at(0).toString(), f.text());
    f.tickFor(1000);
    QCOMPARE(f.text(), want[1]);
    QCOMPARE(f.told(), want[2]);
}

void TestHandleGui::pausesTakeTheLastStep()
{
    ControllerFixture f;
    f.controller->handleCountUpStartButton();
    f.tickFor(1000);
    f.advance(70);
    f.controller->handleCountUpStartButton();
    QCOMPARE(f.text(), QStringLiteral("00:00:01.0"));
    f.advance(5000); // the paused time is not counted when the count goes on
    f.controller->handleCountUpStartButton();
    f.tickFor(930);
    QCOMPARE(f.text(), QStringLiteral("00:00:02.0"));

    // A program step's count-down stopped just past zero stops at zero, not a day before it.
    f.controller->handleCountDnResetButton(0, 0, 0, 0, 1, 0, 0);
    f.controller->SetCountDownMode(1, 0);
    f.advance(1500);
    f.controller->SetCountDownMode(0, 0);
    QCOMPARE(f.text(), QStringLiteral("00:00:00.0"));
}

void TestHandleGui::clockWrap_data()
{
    QTest::addColumn<qint64>("start");
    QTest::newRow("signed 32-bit wrap") << qint64(0x7FFFFFFF) - 250;
    QTest::newRow("unsigned 32-bit wrap") << qint64(0xFFFFFFFF) - 250;
}

void TestHandleGui::clockWrap()
{
    QFETCH(qint64, start);
    ControllerFixture f;
    f.addTimer(QStringLiteral("127.0.0.2"));
    // Weeks of uptime, then a count-up across the wrap of the millisecond readings.
    constexpr qint64 kWeek = 7 * 86400000LL;
    for (qint64 passed = 0; passed < start; passed += kWeek) {
        f.advance(qMin(kWeek, start - passed));
        f.controller->qmlTimerTriggered();
    }
    const QTime rowBefore = f.timers.data(f.timers.index(0), TimerDataModel::TimeRole).toTime();
    f.controller->handleCountUpStartButton();
    f.tickFor(600);
    QCOMPARE(f.text(), QStringLiteral("00:00:00.6"));
    const QTime rowAfter = f.timers.data(f.timers.index(0), TimerDataModel::TimeRole).toTime();
    QCOMPARE(rowBefore.msecsTo(rowAfter), 600);
}

void TestHandleGui::replyFillsARow()
{
    ControllerFixture f;
    f.addTimer(QStringLiteral("127.0.0.3"));
    f.controller->handleSubmitQuery(QStringLiteral("127.255.255.255"));
    QCOMPARE(f.sent(), QStringList({"127.0.0.3 a104b2", "127.255.255.255 a104b2"}));

    f.controller->UDPResponse(QString(), statusReply("10.1.200.255", "Old", 1, 0, 0, 0, 0));
    f.controller->handlecheckBoxChanged(1, true);
    f.controller->UDPResponse(QString(),
                              statusReply("10.1.200.255", "Hall", 13, 14, 15, 67, 0x03C1, 9));
    QCOMPARE(f.timers.addresses(), QStringList({"127.0.0.3", "10.1.200.255"}));
    QVERIFY(f.timers.isSelected(1));
    QCOMPARE(f.timers.timerName(1), QStringLiteral("Hall"));
    const QModelIndex row = f.timers.index(1);
    QCOMPARE(f.timers.data(row, TimerDataModel::TimeRole).toTime(), QTime(13, 14, 15, 670));
    QCOMPARE(f.timers.data(row, TimerDataModel::DayRole).toInt(), 9);
    QCOMPARE(f.timers.data(row, TimerDataModel::FormatRole).toInt(), 0x03C1);
    // An impossible time leaves the row's time as it was.
    f.controller->UDPResponse(QString(), statusReply("10.1.200.255", "Hall", 24, 0, 0, 0, 0x03C1));
    QCOMPARE(f.timers.data(row, TimerDataModel::TimeRole).toTime(), QTime(13, 14, 15, 670));
}

void TestHandleGui::poll_data()
{
    QTest::addColumn<int>("refreshSecs");
    QTest::addColumn<QList<int>>("selectedRows");
    QTest::addColumn<QStringList>("polled");
    // Polls come once more than the refresh period has gathered: 2 s for a period of 1 s.
    QTest::newRow("first selected only, every 2 s")
        << 1 << QList<int>{1, 2} << QStringList{"127.0.0.3 a104b2"};
    QTest::newRow("everyone without a selection, every 61 s")
        << 60 << QList<int>()
        << QStringList({"127.0.0.2 a104b2", "127.0.0.3 a104b2", "127.0.0.4 a104b2"});
}

void TestHandleGui::poll()
{
    QFETCH(int, refreshSecs);
    QFETCH(QList<int>, selectedRows);
    QFETCH(QStringList, polled);
    ControllerFixture f;
    f.controller->handleSetIPParameters(0, 5000, refreshSecs);
    for (const char *ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        f.addTimer(QString::fromLatin1(ip));
    for (int row : selectedRows)
        f.timers.setSelected(row, true);
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

QTEST_GUILESS_MAIN(TestHandleGui)
#include "tst_handlegui.moc"
