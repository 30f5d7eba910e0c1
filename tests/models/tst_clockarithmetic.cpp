#include "models/clockarithmetic.h"

#include <QtTest>

// Steps of the mirror clock and of the list's clock copies, and the carries of a preset.
class TestClockArithmetic : public QObject
{
    Q_OBJECT
private slots:
    void steps_data();
    void steps();
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

// Hours, minutes and seconds beyond their range carry into the next field and into days.
void TestClockArithmetic::normalise()
{
    QTime time;
    int days = -1;
    ClockArithmetic::normalise(0, 24, 0, 0, time, days);
    QCOMPARE(qMakePair(time, days), qMakePair(QTime(0, 0), 1));
    ClockArithmetic::normalise(99, 99, 60, 60, time, days);
    QCOMPARE(qMakePair(time, days), qMakePair(QTime(4, 1), 103));
}

QTEST_GUILESS_MAIN(TestClockArithmetic)
#include "tst_clockarithmetic.moc"
