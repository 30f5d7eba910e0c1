#include "models/clockarithmetic.h"

#include <QtTest>

class TestClockArithmetic : public QObject
{
    Q_OBJECT
private slots:
    void steps_data();
    void steps();
    void normalise_data();
    void normalise();
};

void TestClockArithmetic::steps_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("days");
    QTest::addColumn<bool>("up");
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QTime>("expectedTime");
    QTest::addColumn<int>("expectedDays");

    QTest::newRow("up within day")
        << QTime(1, 2, 3, 400) << 0 << true << qint64(100) << QTime(1, 2, 3, 500) << 0;
    QTest::newRow("up across midnight")
        << QTime(23, 59, 59, 950) << 0 << true << qint64(100) << QTime(0, 0, 0, 50) << 1;
    QTest::newRow("up three midnights at once")
        << QTime(12, 0) << 2 << true << qint64(3 * 86400000LL) << QTime(12, 0) << 5;
    QTest::newRow("down within day")
        << QTime(0, 0, 0, 150) << 0 << false << qint64(100) << QTime(0, 0, 0, 50) << 0;
    QTest::newRow("down across midnight")
        << QTime(0, 0, 0, 50) << 1 << false << qint64(100) << QTime(23, 59, 59, 950) << 0;
    QTest::newRow("down past zero")
        << QTime(0, 0, 0, 50) << 0 << false << qint64(100) << QTime(23, 59, 59, 950) << -1;
    QTest::newRow("down two days")
        << QTime(1, 0) << 3 << false << qint64(2 * 86400000LL + 7200000) << QTime(23, 0) << 0;
    QTest::newRow("invalid time stays, up")
        << QTime(25, 0) << 4 << true << qint64(1000) << QTime(25, 0) << 4;
    QTest::newRow("invalid time stays, down")
        << QTime(25, 0) << 4 << false << qint64(1000) << QTime(25, 0) << 4;
}

void TestClockArithmetic::steps()
{
    QFETCH(QTime, time);
    QFETCH(int, days);
    QFETCH(bool, up);
    QFETCH(qint64, ms);
    if (up)
        ClockArithmetic::stepUp(time, days, ms);
    else
        ClockArithmetic::stepDown(time, days, ms);
    QTEST(time, "expectedTime");
    QTEST(days, "expectedDays");
}

void TestClockArithmetic::normalise_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("hours");
    QTest::addColumn<int>("mins");
    QTest::addColumn<int>("secs");
    QTest::addColumn<QTime>("expectedTime");
    QTest::addColumn<int>("expectedDays");

    QTest::newRow("plain") << 0 << 0 << 5 << 0 << QTime(0, 5) << 0;
    QTest::newRow("99 hours") << 0 << 99 << 0 << 0 << QTime(3, 0) << 4;
    QTest::newRow("60 seconds") << 0 << 0 << 0 << 60 << QTime(0, 1) << 0;
    QTest::newRow("60 minutes 60 seconds") << 1 << 23 << 60 << 60 << QTime(0, 1) << 2;
    QTest::newRow("99 days 99:60:60") << 99 << 99 << 60 << 60 << QTime(4, 1) << 103;
}

void TestClockArithmetic::normalise()
{
    QFETCH(int, days);
    QFETCH(int, hours);
    QFETCH(int, mins);
    QFETCH(int, secs);
    QTime time;
    int outDays = -1;
    ClockArithmetic::normalise(days, hours, mins, secs, time, outDays);
    QTEST(time, "expectedTime");
    QTEST(outDays, "expectedDays");
}

QTEST_GUILESS_MAIN(TestClockArithmetic)
#include "tst_clockarithmetic.moc"
