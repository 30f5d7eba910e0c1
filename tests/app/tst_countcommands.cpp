#include "controllerfixture.h"
#include "link/udpcommthread.h"
#include "linktestkit.h"

#include <QSettings>
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

class TestCountCommands : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void stateMachine_data();
    void stateMachine();
    void packets_data();
    void packets();
    void packetsReachTheDisplays();
    void entryQueriesFirstSelectedOnly();
    void noSelectionStillMovesMirror();
    void startPauseSignals();
    void countUpPauseTakesLastStep();
    void oversizedPresetCountsItsDuration();

private:
    std::unique_ptr<ControllerFixture> m_f;
    std::unique_ptr<QSignalSpy> m_udpTx;
};

void TestCountCommands::init()
{
    QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer")).clear();
    m_f = std::make_unique<ControllerFixture>();
    // One send each, no resends while a test looks at what went out.
    m_f->controller->handleSetIPParameters(0, 5000, 60);
    for (const QString &ip : kAddresses)
        m_f->addTimer(ip);
    m_udpTx = std::make_unique<QSignalSpy>(&m_f->controller->link(), &UDPCommThread::UDPTx);
}

void TestCountCommands::stateMachine_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("event");
    QTest::addColumn<QString>("packet");
    QTest::addColumn<QString>("textAfterOneSecond");

    QTest::newRow("set count-up mode from idle") << int(Idle) << int(SetCountUpMode) << "a20000"
                                                 << "00:00:00.0";
    QTest::newRow("set count-up mode stops a count-down")
        << int(CountingDown) << int(SetCountUpMode) << "a20000"
        << "00:00:00.0";
    QTest::newRow("count-up reset when idle") << int(Idle) << int(CountUpReset1) << "a40100"
                                              << "0-00:00:00";
    QTest::newRow("count-up reset refused while counting up")
        << int(CountingUp) << int(CountUpReset1) << ""
        << "00:00:01.0";
    QTest::newRow("count-up reset while counting down")
        << int(CountingDown) << int(CountUpReset2) << "a40200"
        << "0:00:00";
    QTest::newRow("count-up start") << int(Idle) << int(CountUpStart) << "a30100"
                                    << "00:00:01.0";
    QTest::newRow("count-up pause") << int(CountingUp) << int(CountUpStart) << "a30000"
                                    << "00:00:00.0";
    QTest::newRow("time mode stops counting up") << int(CountingUp) << int(TimeMode) << "a80100"
                                                 << "00:00:00.0";
    QTest::newRow("time mode stops counting down") << int(CountingDown) << int(TimeMode) << "a80100"
                                                   << "00:00:00.0";
    QTest::newRow("set count-down mode stops a count-down")
        << int(CountingDown) << int(SetCountDownMode) << "a5000000000000000000"
        << "00:00:00.0";
    QTest::newRow("count-down reset when idle")
        << int(Idle) << int(CountDownReset5Min) << "a70100050000010a0000"
        << "0-00:05:00";
    QTest::newRow("count-down reset refused while counting down")
        << int(CountingDown) << int(CountDownReset5Min) << ""
        << "00:00:09.0";
    QTest::newRow("count-down start") << int(IdleAtTenSeconds) << int(CountDownStart) << "a60100"
                                      << "00:00:09.0";
    QTest::newRow("count-down start refused at zero") << int(Idle) << int(CountDownStart) << ""
                                                      << "";
    QTest::newRow("count-down pause") << int(CountingDown) << int(CountDownStart) << "a60000"
                                      << "00:00:10.0";
}

void TestCountCommands::stateMachine()
{
    QFETCH(int, start);
    QFETCH(int, event);
    QFETCH(QString, packet);

    bringTo(*m_f, Start(start));
    m_f->timers.setSelected(0, true);
    m_udpTx->clear();
    fire(*m_f->controller, Event(event));
    QCOMPARE(sentPackets(*m_udpTx),
             packet.isEmpty() ? QStringList() : QStringList{"127.0.0.2 " + packet});
    m_f->tickFor(1000);
    QTEST(m_f->text(), "textAfterOneSecond");
}

void TestCountCommands::packets_data()
{
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("packet");
    // Count-down presets: format, days, hours, minutes, seconds, alarm, alarm seconds.
    QTest::newRow("set count-down mode, all zero")
        << QVariantList{0, 0, 0, 0, 0, 0, 0} << "a5000000000000000000";
    QTest::newRow("5 minutes with a 10 s alarm")
        << QVariantList{1, 0, 0, 5, 0, 1, 10} << "a70100050000010a0000";
    QTest::newRow("99 days") << QVariantList{2, 99, 0, 0, 0, 0, 0} << "a7020000000000006300";
    QTest::newRow("300 days") << QVariantList{2, 300, 0, 0, 0, 0, 0}
                              << "a702000000000000"
                                 "2c01";
    QTest::newRow("99 hours 60 minutes 60 seconds")
        << QVariantList{1, 0, 99, 60, 60, 1, 5} << "a701633c3c0001050000";
    QTest::newRow("values above a byte lose their high bits")
        << QVariantList{0x101, 0, 0x105, 0, 0, 0x102, 0x1FF} << "a7010500000002ff0000";
}

void TestCountCommands::packets()
{
    QFETCH(QVariantList, args);
    QFETCH(QString, packet);
    m_f->timers.setSelected(0, true);
    const bool setMode = packet.startsWith(QLatin1String("a5"));
    auto call =
        setMode ? &HandleGui::handleSetCountDnModeButton : &HandleGui::handleCountDnResetButton;
    (m_f->controller.get()->*call)(args[0].toInt(), args[1].toInt(), args[2].toInt(),
                                   args[3].toInt(), args[4].toInt(), args[5].toInt(),
                                   args[6].toInt());
    QCOMPARE(sentPackets(*m_udpTx), QStringList{"127.0.0.2 " + packet});
}

void TestCountCommands::packetsReachTheDisplays()
{
    ScriptedDisplay first(kAddresses[0]), second(kAddresses[1]), third(kAddresses[2]);
    QVERIFY(first.isBound() && second.isBound() && third.isBound());
    m_f->timers.setSelected(0, true);
    m_f->timers.setSelected(2, true);

    m_f->controller->handleCountUpStartButton();
    m_f->controller->handleCountUpStartButton();
    m_f->controller->handleTimeModeButton();

    const QStringList expected = {"a30100", "a30000", "a80100"};
    auto hex = [](const ScriptedDisplay &d) {
        QStringList list;
        for (const QByteArray &b : d.payloads())
            list << b.toHex();
        return list;
    };
    QTRY_COMPARE(hex(first), expected);
    QTRY_COMPARE(hex(third), expected);
    // Rows are walked in order: row 0 gets every command before row 2 does.
    QCOMPARE(sentPackets(*m_udpTx),
             QStringList({"127.0.0.2 a30100", "127.0.0.4 a30100", "127.0.0.2 a30000",
                          "127.0.0.4 a30000", "127.0.0.2 a80100", "127.0.0.4 a80100"}));
    QTest::qWait(100);
    QVERIFY(second.payloads().isEmpty());
}

void TestCountCommands::entryQueriesFirstSelectedOnly()
{
    m_f->timers.setSelected(1, true);
    m_f->timers.setSelected(2, true);
    m_f->controller->handleCountUpEntry();
    m_f->controller->handleCountDnEntry();
    QCOMPARE(sentPackets(*m_udpTx), QStringList({"127.0.0.3 a104b2", "127.0.0.3 a104b2"}));

    m_f->timers.setSelected(1, false);
    m_f->timers.setSelected(2, false);
    m_udpTx->clear();
    m_f->controller->handleCountUpEntry();
    QVERIFY(m_udpTx->isEmpty());
    QCOMPARE(m_f->upTime->count(), 0); // the mirror is not touched
}

void TestCountCommands::noSelectionStillMovesMirror()
{
    m_f->controller->handleCountUpStartButton();
    QVERIFY(m_f->lastBool(*m_f->upStartPause));
    m_f->tickFor(2000);
    QCOMPARE(m_f->text(), QStringLiteral("00:00:02.0"));
    QVERIFY(m_udpTx->isEmpty());
}

void TestCountCommands::startPauseSignals()
{
    HandleGui &c = *m_f->controller;
    c.handleCountUpStartButton();
    c.handleCountUpStartButton();
    c.handleCountDnResetButton(0, 0, 0, 0, 30, 0, 0);
    c.handleCountDnStartButton();
    c.handleTimeModeButton();
    auto values = [](const QSignalSpy &spy) {
        QList<bool> list;
        for (const QList<QVariant> &args : spy)
            list << args.at(0).toBool();
        return list;
    };
    QCOMPARE(values(*m_f->upStartPause), QList<bool>({true, false, false}));
    QCOMPARE(values(*m_f->dnStartPause), QList<bool>({true, false}));
    // Mode buttons stop the mirror without a start/pause signal.
    c.handleCountUpStartButton();
    c.handleSetCountUpModeButton();
    c.handleSetCountDnModeButton(0, 0, 0, 0, 0, 0, 0);
    QCOMPARE(m_f->upStartPause->count(), 4);
    QCOMPARE(m_f->dnStartPause->count(), 2);
    const int emitted = m_f->upTime->count();
    m_f->tickFor(500);
    QCOMPARE(m_f->upTime->count(), emitted);
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

void TestCountCommands::oversizedPresetCountsItsDuration()
{
    m_f->controller->handleCountDnResetButton(1, 0, 99, 60, 60, 0, 0);
    QCOMPARE(m_f->text(), QStringLiteral("4-04:01:00"));
    m_f->controller->handleCountDnStartButton();
    m_f->tickFor(1000);
    QCOMPARE(m_f->text(), QStringLiteral("4-04:00:59"));
}

QTEST_GUILESS_MAIN(TestCountCommands)
#include "tst_countcommands.moc"
