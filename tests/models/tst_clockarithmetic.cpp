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
    QTest::addColumn<qint64>("ms"); // negative: a step down
    QTest::addColumn<QTime>("expectedTime");
    QTest::addColumn<int>("expectedDays");

    QTest::newRow("up across midnight")
        << QTime(23, 59, 59, 950) << 0 << qint64(100) << QTime(0, 0, 0, 50) << 1;
    QTest::newRow("up three midnights at once")
        << QTime(12, 0) << 2 << qint64(3 * 86400000LL) << QTime(12, 0) << 5;
    QTest::newRow("down within the day")
        << QTime(0, 0, 0, 150) << 0 << qint64(-100) << QTime(0, 0, 0, 50) << 0;
    QTest::newRow("down across midnight")
        << QTime(0, 0, 0, 50) << 1 << qint64(-100) << QTime(23, 59, 59, 950) << 0;
    QTest::newRow("down past zero")
        << QTime(0, 0, 0, 50) << 0 << qint64(-100) << QTime(23, 59, 59, 950) << -1;
    QTest::newRow("invalid time stays") << QTime(25, 0) << 4 << qint64(1000) << QTime(25, 0) << 4;
}

void TestClockArithmetic::steps()
{
    QFETCH(QTime, time);
    QFETCH(int, days);
    QFETCH(qint64, ms);
    if (ms > 0)
        ClockArithmetic::stepUp(time, days, ms);
    else
        ClockArithmetic::stepDown(time, days, -ms);
    QTEST(time, "expectedTime");
    QTEST(days, "expectedDays");
}

void TestClockArithmetic::normalise_data()
{
    QTest::addColumn<QVector<int>>("duration"); // days, hours, minutes, seconds
    QTest::addColumn<QTime>("expectedTime");
    QTest::addColumn<int>("expectedDays");

    QTest::newRow("plain") << QVector<int>{0, 0, 5, 0} << QTime(0, 5) << 0;
    QTest::newRow("24 hours") << QVector<int>{0, 24, 0, 0} << QTime(0, 0) << 1;
    QTest::newRow("99:60:60") << QVector<int>{0, 99, 60, 60} << QTime(4, 1) << 4;
    QTest::newRow("99 days 99:60:60") << QVector<int>{99, 99, 60, 60} << QTime(4, 1) << 103;
}

void TestClockArithmetic::normalise()
{
    QFETCH(QVector<int>, duration);
    QTime time;
    int days = -1;
    ClockArithmetic::normalise(duration[0], duration[1], duration[2], duration[3], time, days);
    QTEST(time, "expectedTime");
    QTEST(days, "expectedDays");
}

QTEST_GUILESS_MAIN(TestClockArithmetic)
#include "tst_clockarithmetic.moc"
