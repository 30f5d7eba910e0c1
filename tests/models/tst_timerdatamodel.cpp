#include "models/timerdatamodel.h"

#include <QtTest>

namespace {

TimerData record(const QTime &time, int day, int format, int subFormat = 0)
{
    return TimerData(QStringLiteral("T"), QStringLiteral("10.0.0.1"), false, time, day, format,
                     subFormat);
}

} // namespace

// What a row of the display list shows and how its copy of the display's clock runs between
// replies. A reply that updates a listed display is followed in tst_handlegui.
class TestTimerDataModel : public QObject
{
    Q_OBJECT
private slots:
    void timeString_data();
    void timeString();
    void advance_data();
    void advance();
};

void TestTimerDataModel::timeString_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("subFormat");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("expected");

    QTest::newRow("time of day") << 0x00 << 0 << 3 << "02:01:05";
    QTest::newRow("time of day, sub 1, no day") << 0x00 << 1 << 0 << "";
    QTest::newRow("time of day, sub 1, day 3") << 0x00 << 1 << 3 << "3-02:01:05";
    QTest::newRow("time of day, sub 2") << 0x00 << 2 << 3 << "02:01:05.3";
    QTest::newRow("count up, days:hh:mm") << 0xE1 << 0 << 1 << "1-02:01";
    QTest::newRow("count up, tenths with days") << 0xC1 << 0 << 1 << "26:01:05.3";
    QTest::newRow("count down, d-hh:mm:ss") << 0x02 << 0 << 2 << "2-02:01:05";
    QTest::newRow("interval down, number 255") << 0xFF04 << 0 << 0 << "255-01:05";
    QTest::newRow("mode 6") << 0x06 << 0 << 0 << "";
}

void TestTimerDataModel::timeString()
{
    QFETCH(int, format);
    QFETCH(int, subFormat);
    QFETCH(int, day);
    TimerDataModel model;
    model.addOrUpdateTimer(record(QTime(2, 1, 5, 345), day, format, subFormat));
    QTEST(model.data(model.index(0), TimerDataModel::TimeStringRole).toString(), "expected");
}

void TestTimerDataModel::advance_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QTime>("expectedTime");

    QTest::newRow("time of day always runs") << 0x00 << QTime(10, 0) << 100 << QTime(10, 0, 0, 100);
    QTest::newRow("stopped count up") << 0x01 << QTime(0, 1) << 100 << QTime(0, 1);
    QTest::newRow("running interval up") << 0x43 << QTime(0, 0, 10) << 500 << QTime(0, 0, 10, 500);
    QTest::newRow("count down holds its last tenth")
        << 0x42 << QTime(0, 0, 0, 50) << 100 << QTime(0, 0, 0, 50);
    QTest::newRow("late tick stops at zero") << 0x42 << QTime(0, 0, 0, 150) << 300 << QTime(0, 0);
    QTest::newRow("mode 5 counts down") << 0x45 << QTime(0, 0, 3) << 1000 << QTime(0, 0, 2);
    QTest::newRow("mode 6 does nothing") << 0x46 << QTime(0, 0, 3) << 1000 << QTime(0, 0, 3);
}

void TestTimerDataModel::advance()
{
    QFETCH(int, format);
    QFETCH(QTime, time);
    QFETCH(int, ms);
    TimerDataModel model;
    model.addOrUpdateTimer(record(time, 0, format));
    QVERIFY(model.setData(model.index(0), ms, TimerDataModel::AdvanceRole));
    QTEST(model.data(model.index(0), TimerDataModel::TimeRole).toTime(), "expectedTime");
}

QTEST_GUILESS_MAIN(TestTimerDataModel)
#include "tst_timerdatamodel.moc"
