#include "controllerfixture.h"

#include <QtTest>

namespace {

// Status words of a display: mode | running | style bits.
constexpr int kCountUpRunningTenths = 0x01 | 0x40 | 0x80;
constexpr int kCountUpRunningDays = 0x01 | 0x40;
constexpr int kCountUpRunningInterval = 0x01 | 0x40 | 0x20;
constexpr int kCountDownRunningTenths = 0x02 | 0x40 | 0x80;

QByteArray status(int h, int m, int s, int hundredths, int word, int days = 0)
{
    return statusReply(QStringLiteral("127.0.0.2"), QStringLiteral("Wall"), h, m, s, hundredths,
                       word, days);
}

} // namespace

class TestHandleGui : public QObject
{
    Q_OBJECT
private slots:
    void init() { ControllerFixture::clearStore(); }
    void displayText_data();
    void displayText();
    void textGoesToAllThreeScreens();
    void replyThenTicks_data();
    void replyThenTicks();
    void lateTickAdvancesByRealTime();
    void setCountUpMode();
    void setCountDownMode();
    void clockWrap_data();
    void clockWrap();
};

void TestHandleGui::displayText_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("mins");
    QTest::addColumn<int>("secs");
    QTest::addColumn<QString>("expected");

    QTest::newRow("tenths") << 0 << 0 << 0 << 1 << 5 << "00:01:05.0";
    QTest::newRow("tenths with a day") << 0 << 1 << 2 << 1 << 5 << "26:01:05.0";
    QTest::newRow("days-hh:mm:ss") << 1 << 1 << 2 << 1 << 5 << "1-02:01:05";
    QTest::newRow("days-hh:mm:ss, no day") << 1 << 0 << 0 << 5 << 0 << "0-00:05:00";
    QTest::newRow("days:hh:mm") << 2 << 1 << 2 << 1 << 5 << "1:02:01";
    QTest::newRow("99:60:60 carried into days") << 1 << 0 << 99 << 60 << 60 << "4-04:01:00";
    QTest::newRow("mode 4 has no text") << 4 << 0 << 0 << 1 << 0 << "";
    QTest::newRow("negative mode has no text") << -1 << 0 << 0 << 1 << 0 << "";
}

void TestHandleGui::displayText()
{
    QFETCH(int, mode);
    QFETCH(int, days);
    QFETCH(int, hours);
    QFETCH(int, mins);
    QFETCH(int, secs);
    ControllerFixture f;
    f.controller->handleCountDnResetButton(mode, days, hours, mins, secs, 0, 0);
    QTEST(f.text(), "expected");
}

void TestHandleGui::textGoesToAllThreeScreens()
{
    ControllerFixture f;
    f.controller->UDPResponse(QString(), status(0, 0, 45, 0, kCountUpRunningInterval));
    // Style bit 5 alone is the interval form, with interval number 0.
    QCOMPARE(f.text(), QStringLiteral("0-00:45"));
    QCOMPARE(f.dnTime.constLast().at(0).toString(), f.text());
    QCOMPARE(f.intTime.constLast().at(0).toString(), f.text());
    QCOMPARE(f.upTime.count(), f.intTime.count());
}

void TestHandleGui::replyThenTicks_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("statusWord");
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("tickMs");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("running");

    const QTime beforeMidnight(23, 59, 59, 900);
    const QTime afterMidnight(0, 0, 0, 50);
    QTest::newRow("count up past midnight, tenths")
        << beforeMidnight << kCountUpRunningTenths << 0 << 200 << "24:00:00.1" << true;
    QTest::newRow("count up past midnight, days-hh:mm:ss")
        << beforeMidnight << kCountUpRunningDays << 0 << 200 << "1-00:00:00" << true;
    QTest::newRow("count down back over midnight")
        << afterMidnight << kCountDownRunningTenths << 1 << 100 << "23:59:59.9" << true;
    QTest::newRow("count down passing zero stops there")
        << afterMidnight << kCountDownRunningTenths << 0 << 100 << "00:00:00.0" << false;
}

void TestHandleGui::replyThenTicks()
{
    QFETCH(QTime, time);
    QFETCH(int, statusWord);
    QFETCH(int, days);
    QFETCH(int, tickMs);
    QFETCH(bool, running);
    ControllerFixture f;
    f.controller->UDPResponse(QString(), status(time.hour(), time.minute(), time.second(),
                                                time.msec() / 10, statusWord, days));
    f.tickFor(tickMs);
    QTEST(f.text(), "expected");
    const bool countingUp = (statusWord & 0x1F) == 1;
    QCOMPARE(f.lastBool(countingUp ? f.upStartPause : f.dnStartPause), running);
    const int emitted = f.upTime.count();
    f.tickFor(500);
    QCOMPARE(f.upTime.count() == emitted, !running); // a stopped mirror says nothing
}

void TestHandleGui::lateTickAdvancesByRealTime()
{
    ControllerFixture f;
    f.controller->handleCountUpStartButton();
    f.advance(750);
    f.controller->qmlTimerTriggered();
    QCOMPARE(f.text(), QStringLiteral("00:00:00.7"));
    f.advance(1250);
    f.controller->qmlTimerTriggered();
    QCOMPARE(f.text(), QStringLiteral("00:00:02.0"));
}

void TestHandleGui::setCountUpMode()
{
    ControllerFixture f;
    f.controller->SetCountUpMode(1, 0);
    f.tickFor(300);
    QCOMPARE(f.text(), QStringLiteral("00:00:00.3"));

    // Stopping with bAlreadInit set leaves the mirror as it is and says nothing.
    f.advance(50);
    const int before = f.upTime.count();
    f.controller->SetCountUpMode(0, 1);
    QCOMPARE(f.upTime.count(), before);

    // Stopping without it takes the last step and shows it, and the mirror then stays still.
    f.controller->SetCountUpMode(1, 0);
    f.advance(400);
    f.controller->SetCountUpMode(0, 0);
    QCOMPARE(f.text(), QStringLiteral("00:00:00.7"));
    const int stopped = f.upTime.count();
    f.tickFor(300);
    QCOMPARE(f.upTime.count(), stopped);
}

void TestHandleGui::setCountDownMode()
{
    ControllerFixture f;
    f.controller->handleCountDnResetButton(0, 0, 0, 0, 10, 0, 0);
    f.controller->SetCountDownMode(1, 0);
    f.tickFor(1000);
    QCOMPARE(f.text(), QStringLiteral("00:00:09.0"));
    f.advance(500);
    f.controller->SetCountDownMode(0, 0);
    QCOMPARE(f.text(), QStringLiteral("00:00:08.5"));
    const int stopped = f.upTime.count();
    f.tickFor(300);
    QCOMPARE(f.upTime.count(), stopped);

    // A last step past zero stops at zero rather than a day before it.
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
    ControllerFixture f(0);
    f.addTimer(QStringLiteral("127.0.0.2"));
    // Weeks of uptime, then a count-up that runs across the wrap of the millisecond readings.
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

QTEST_GUILESS_MAIN(TestHandleGui)
#include "tst_handlegui.moc"
