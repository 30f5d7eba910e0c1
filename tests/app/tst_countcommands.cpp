#include "controllerfixture.h"

#include <QtTest>

namespace {

enum Start { Idle, IdleAtTenSeconds, CountingUp, CountingDown };
enum Event {
    SetCountUpMode,
    CountUpReset1,
    CountUpReset2,
    CountUpStart,
    TimeMode,
    SetCountDownMode,
    CountDownReset5Min,
    CountDownStart
};

const QStringList kAddresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};

void bringTo(ControllerFixture &f, Start start)
{
    HandleGui &c = *f.controller;
    if (start == IdleAtTenSeconds || start == CountingDown)
        c.handleCountDnResetButton(0, 0, 0, 0, 10, 0, 0);
    if (start == CountingUp)
        c.handleCountUpStartButton();
    if (start == CountingDown)
        c.handleCountDnStartButton();
}

void fire(HandleGui &c, Event event)
{
    switch (event) {
    case SetCountUpMode:
        return c.handleSetCountUpModeButton();
    case CountUpReset1:
        return c.handleCountUpResetButton(1);
    case CountUpReset2:
        return c.handleCountUpResetButton(2);
    case CountUpStart:
        return c.handleCountUpStartButton();
    case TimeMode:
        return c.handleTimeModeButton();
    case SetCountDownMode:
        return c.handleSetCountDnModeButton(0, 0, 0, 0, 0, 0, 0);
    case CountDownReset5Min:
        return c.handleCountDnResetButton(1, 0, 0, 5, 0, 1, 10);
    case CountDownStart:
        return c.handleCountDnStartButton();
    }
}

} // namespace

Q_DECLARE_METATYPE(Start)
Q_DECLARE_METATYPE(Event)

class TestCountCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void stateMachine_data();
    void stateMachine();
    void presetPackets_data();
    void presetPackets();
    void selectionIsWalkedInRowOrder();
    void entryQueriesFirstSelectedOnly();
    void noSelectionStillMovesMirror();
    void countUpPauseTakesLastStep();

private:
    std::unique_ptr<ControllerFixture> m_f;
};

void TestCountCommands::init()
{
    ControllerFixture::clearStore();
    m_f = std::make_unique<ControllerFixture>();
    for (const QString &ip : kAddresses)
        m_f->addTimer(ip);
}

void TestCountCommands::stateMachine_data()
{
    QTest::addColumn<Start>("start");
    QTest::addColumn<Event>("event");
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QString>("textAfterOneSecond");
    QTest::addColumn<QString>("startPause"); // what the captions were told

    // Mode buttons stop the mirror without a start/pause signal; time mode resets both captions.
    QTest::newRow("set count-up mode from idle") << Idle << SetCountUpMode << "a20000"
                                                 << "00:00:00.0"
                                                 << "";
    QTest::newRow("set count-up mode stops a count-down")
        << CountingDown << SetCountUpMode << "a20000"
        << "00:00:00.0"
        << "";
    QTest::newRow("count-up reset when idle") << Idle << CountUpReset1 << "a40100"
                                              << "0-00:00:00"
                                              << "";
    QTest::newRow("count-up reset refused while counting up") << CountingUp << CountUpReset1 << ""
                                                              << "00:00:01.0"
                                                              << "";
    QTest::newRow("count-up reset while counting down") << CountingDown << CountUpReset2 << "a40200"
                                                        << "0:00:00"
                                                        << "";
    QTest::newRow("count-up start") << Idle << CountUpStart << "a30100"
                                    << "00:00:01.0"
                                    << "up 1";
    QTest::newRow("count-up pause") << CountingUp << CountUpStart << "a30000"
                                    << "00:00:00.0"
                                    << "up 0";
    QTest::newRow("time mode stops counting up") << CountingUp << TimeMode << "a80100"
                                                 << "00:00:00.0"
                                                 << "up 0 dn 0";
    QTest::newRow("time mode stops counting down") << CountingDown << TimeMode << "a80100"
                                                   << "00:00:00.0"
                                                   << "up 0 dn 0";
    QTest::newRow("set count-down mode stops a count-down")
        << CountingDown << SetCountDownMode << "a5000000000000000000"
        << "00:00:00.0"
        << "";
    QTest::newRow("count-down reset when idle")
        << Idle << CountDownReset5Min << "a70100050000010a0000"
        << "0-00:05:00"
        << "";
    QTest::newRow("count-down reset refused while counting down")
        << CountingDown << CountDownReset5Min << ""
        << "00:00:09.0"
        << "";
    QTest::newRow("count-down start") << IdleAtTenSeconds << CountDownStart << "a60100"
                                      << "00:00:09.0"
                                      << "dn 1";
    QTest::newRow("count-down start refused at zero") << Idle << CountDownStart << ""
                                                      << ""
                                                      << "";
    QTest::newRow("count-down pause") << CountingDown << CountDownStart << "a60000"
                                      << "00:00:10.0"
                                      << "dn 0";
}

void TestCountCommands::stateMachine()
{
    QFETCH(Start, start);
    QFETCH(Event, event);
    QFETCH(QString, packet);

    bringTo(*m_f, start);
    m_f->timers.setSelected(0, true);
    m_f->udpTx.clear();
    m_f->upStartPause.clear();
    m_f->dnStartPause.clear();
    fire(*m_f->controller, event);
    QCOMPARE(m_f->sent(), packet.isEmpty() ? QStringList() : QStringList{"127.0.0.2 " + packet});
    QTEST(m_f->told(), "startPause");
    m_f->tickFor(1000);
    QTEST(m_f->text(), "textAfterOneSecond");
}

void TestCountCommands::presetPackets_data()
{
    // Format, days, hours, minutes, seconds, alarm, alarm seconds: the displays get them as
    // chosen, only the mirror carries the excess over.
    QTest::addColumn<QVector<int>>("preset");
    QTest::addColumn<QString>("packet");
    QTest::newRow("99 days") << QVector<int>{2, 99, 0, 0, 0, 0, 0} << "a7020000000000006300";
    QTest::newRow("300 days") << QVector<int>{2, 300, 0, 0, 0, 0, 0} << "a7020000000000002c01";
    QTest::newRow("99 hours 60 minutes 60 seconds")
        << QVector<int>{1, 0, 99, 60, 60, 1, 5} << "a701633c3c0001050000";
}

void TestCountCommands::presetPackets()
{
    QFETCH(QVector<int>, preset);
    QFETCH(QString, packet);
    m_f->timers.setSelected(0, true);
    m_f->controller->handleCountDnResetButton(preset[0], preset[1], preset[2], preset[3], preset[4],
                                              preset[5], preset[6]);
    QCOMPARE(m_f->sent(), QStringList{"127.0.0.2 " + packet});
}

void TestCountCommands::selectionIsWalkedInRowOrder()
{
    m_f->timers.setSelected(0, true);
    m_f->timers.setSelected(2, true);
    m_f->controller->handleCountUpStartButton();
    m_f->controller->handleCountUpStartButton();
    m_f->controller->handleTimeModeButton();
    // Row 0 gets every command before row 2 does; row 1 is not selected.
    QCOMPARE(m_f->sent(),
             QStringList({"127.0.0.2 a30100", "127.0.0.4 a30100", "127.0.0.2 a30000",
                          "127.0.0.4 a30000", "127.0.0.2 a80100", "127.0.0.4 a80100"}));
}

void TestCountCommands::entryQueriesFirstSelectedOnly()
{
    m_f->timers.setSelected(1, true);
    m_f->timers.setSelected(2, true);
    m_f->controller->handleCountUpEntry();
    m_f->controller->handleCountDnEntry();
    QCOMPARE(m_f->sent(), QStringList({"127.0.0.3 a104b2", "127.0.0.3 a104b2"}));

    m_f->timers.setSelected(1, false);
    m_f->timers.setSelected(2, false);
    m_f->udpTx.clear();
    m_f->controller->handleCountUpEntry();
    QVERIFY(m_f->udpTx.isEmpty());
    QCOMPARE(m_f->upTime.count(), 0); // the mirror is not touched
}

void TestCountCommands::noSelectionStillMovesMirror()
{
    m_f->controller->handleCountUpStartButton();
    QVERIFY(m_f->lastBool(m_f->upStartPause));
    m_f->tickFor(2000);
    QCOMPARE(m_f->text(), QStringLiteral("00:00:02.0"));
    QVERIFY(m_f->udpTx.isEmpty());
}

void TestCountCommands::countUpPauseTakesLastStep()
{
    m_f->controller->handleCountUpStartButton();
    m_f->tickFor(1000);
    m_f->advance(70);
    m_f->controller->handleCountUpStartButton();
    QCOMPARE(m_f->text(), QStringLiteral("00:00:01.0"));
    // The paused time is not counted when the count goes on.
    m_f->advance(5000);
    m_f->controller->handleCountUpStartButton();
    m_f->tickFor(930);
    QCOMPARE(m_f->text(), QStringLiteral("00:00:02.0"));
}

QTEST_GUILESS_MAIN(TestCountCommands)
#include "tst_countcommands.moc"
