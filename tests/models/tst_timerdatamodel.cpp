#include "models/timerdatamodel.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

TimerData record(const QString &ip, const QTime &time = QTime(0, 0), int day = 0, int format = 0,
                 int subFormat = 0, const QString &name = QStringLiteral("T"))
{
    return TimerData(name, ip, false, time, day, format, subFormat);
}

} // namespace

class TestTimerDataModel : public QObject
{
    Q_OBJECT
private slots:
    void timeString_data();
    void timeString();
    void advance_data();
    void advance();
    void updateKeepsSelectionAndRow();
    void outOfRangeRows();
};

void TestTimerDataModel::timeString_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("subFormat");
    QTest::addColumn<int>("day");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("expected");

    const QTime t(2, 1, 5, 345);
    QTest::newRow("time of day, sub 0") << 0x00 << 0 << 0 << t << "02:01:05";
    QTest::newRow("time of day, sub 1, no day") << 0x00 << 1 << 0 << t << "";
    QTest::newRow("time of day, sub 1, day 3") << 0x00 << 1 << 3 << t << "3-02:01:05";
    QTest::newRow("time of day, sub 2 ignores day") << 0x00 << 2 << 3 << t << "02:01:05.3";
    QTest::newRow("count up, days:hh:mm") << 0xE1 << 0 << 1 << t << "1-02:01";
    QTest::newRow("count up, tenths") << 0xC1 << 0 << 0 << t << "02:01:05.3";
    QTest::newRow("count up, tenths with days") << 0xC1 << 0 << 1 << t << "26:01:05.3";
    QTest::newRow("count down, d-hh:mm:ss") << 0x02 << 0 << 2 << t << "2-02:01:05";
    QTest::newRow("count down, style 0x20") << 0x22 << 0 << 2 << t << "";
    QTest::newRow("mode 5 like count down") << 0x85 << 0 << 0 << t << "02:01:05.3";
    QTest::newRow("interval up, number 2") << 0x0203 << 0 << 0 << QTime(0, 0, 45) << "2-00:45";
    QTest::newRow("interval down, number 255") << 0xFF04 << 0 << 0 << QTime(0, 1, 2) << "255-01:02";
    QTest::newRow("mode 6") << 0x06 << 0 << 0 << t << "";
}

void TestTimerDataModel::timeString()
{
    QFETCH(int, format);
    QFETCH(int, subFormat);
    QFETCH(int, day);
    QFETCH(QTime, time);
    QFETCH(QString, expected);
    TimerDataModel model;
    model.addOrUpdateTimer(record(QStringLiteral("10.0.0.1"), time, day, format, subFormat));
    QCOMPARE(model.data(model.index(0), TimerDataModel::TimeStringRole).toString(), expected);
    QCOMPARE(TimerDataModel::timeString(record(QString(), time, day, format, subFormat)), expected);
}

void TestTimerDataModel::advance_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QTime>("expectedTime");
    QTest::addColumn<int>("expectedDay");

    QTest::newRow("time of day always runs")
        << 0x00 << QTime(10, 0) << 0 << 100 << QTime(10, 0, 0, 100) << 0;
    QTest::newRow("stopped count up") << 0x01 << QTime(0, 1) << 0 << 100 << QTime(0, 1) << 0;
    QTest::newRow("running count up")
        << 0x41 << QTime(0, 1) << 0 << 100 << QTime(0, 1, 0, 100) << 0;
    QTest::newRow("running interval up")
        << 0x43 << QTime(0, 0, 10) << 0 << 500 << QTime(0, 0, 10, 500) << 0;
    QTest::newRow("stopped count down") << 0x02 << QTime(0, 1) << 0 << 100 << QTime(0, 1) << 0;
    QTest::newRow("count down to last tenth")
        << 0x42 << QTime(0, 0, 0, 150) << 0 << 100 << QTime(0, 0, 0, 50) << 0;
    QTest::newRow("count down holds last tenth")
        << 0x42 << QTime(0, 0, 0, 50) << 0 << 100 << QTime(0, 0, 0, 50) << 0;
    QTest::newRow("late tick stops at zero")
        << 0x42 << QTime(0, 0, 0, 150) << 0 << 300 << QTime(0, 0) << 0;
    QTest::newRow("interval down") << 0x44 << QTime(0, 0, 3) << 0 << 1000 << QTime(0, 0, 2) << 0;
    QTest::newRow("mode 5 counts down")
        << 0x45 << QTime(0, 0, 3) << 0 << 1000 << QTime(0, 0, 2) << 0;
    QTest::newRow("mode 6 does nothing")
        << 0x46 << QTime(0, 0, 3) << 0 << 1000 << QTime(0, 0, 3) << 0;
}

void TestTimerDataModel::advance()
{
    QFETCH(int, format);
    QFETCH(QTime, time);
    QFETCH(int, day);
    QFETCH(int, ms);
    TimerDataModel model;
    model.addOrUpdateTimer(record(QStringLiteral("10.0.0.1"), time, day, format));
    QVERIFY(model.setData(model.index(0), ms, TimerDataModel::AdvanceRole));
    QTEST(model.data(model.index(0), TimerDataModel::TimeRole).toTime(), "expectedTime");
    QTEST(model.data(model.index(0), TimerDataModel::DayRole).toInt(), "expectedDay");
}

void TestTimerDataModel::updateKeepsSelectionAndRow()
{
    TimerDataModel model;
    model.addOrUpdateTimer(record(QStringLiteral("10.0.0.1")));
    model.addOrUpdateTimer(record(QStringLiteral("10.0.0.2")));
    QVERIFY(model.setSelected(1, true));

    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.addOrUpdateTimer(TimerData(QStringLiteral("Gym"), QStringLiteral("10.0.0.2"), false,
                                     QTime(1, 2, 3), 4, 0xC1, 2));
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(model.rowCount(), 2);
    QVERIFY(model.isSelected(1));
    QCOMPARE(model.timerName(1), QStringLiteral("Gym"));
    QCOMPARE(model.data(model.index(1), TimerDataModel::TimeRole).toTime(), QTime(1, 2, 3));
    QCOMPARE(model.data(model.index(1), TimerDataModel::DayRole).toInt(), 4);
    QCOMPARE(model.data(model.index(1), TimerDataModel::FormatRole).toInt(), 0xC1);
}

void TestTimerDataModel::outOfRangeRows()
{
    TimerDataModel model;
    model.addOrUpdateTimer(record(QStringLiteral("10.0.0.1")));
    QSignalSpy updated(&model, &TimerDataModel::dataUpdated);
    QVERIFY(!model.setData(model.index(1), 5, TimerDataModel::DayRole));
    QVERIFY(!model.setData(QModelIndex(), 5, TimerDataModel::DayRole));
    QVERIFY(!model.data(model.index(3), TimerDataModel::NameRole).isValid());
    QVERIFY(!model.isSelected(-1));
    QVERIFY(!model.setSelected(1, true));
    QVERIFY(model.timerName(1).isNull());
    QVERIFY(model.timerIpAddr(-1).isNull());
    model.removeTimer(5);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(updated.count(), 0);
}

QTEST_GUILESS_MAIN(TestTimerDataModel)
#include "tst_timerdatamodel.moc"
