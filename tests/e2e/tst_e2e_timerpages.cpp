#include "appundertest.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QDateTime>
#include <QtTest>

// A Tabata built on its page and run on two simulated displays, with the window's copy held
// against what the displays do. The presentation page builds its program the same way; its
// texts are checked against the generator table.
class TestE2eTimerPages : public QObject
{
    Q_OBJECT
private slots:
    void tabataRunsOnBothDisplays();
};

// 3 s work, 2 s rest, 3 intervals with alarms: blue hours digits, green while working and red
// while resting, intervals 1, 2, 3, an alarm as each line starts and at the end, then the end.
void TestE2eTimerPages::tabataRunsOnBothDisplays()
{
    SimHarness sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    SimHarness::Options options;
    options.count = 2;
    QVERIFY2(sim.start(options), qPrintable(sim.errorString()));
    AppUnderTest::forgetStoredSettings();
    AppUnderTest app;
    WindowOperator window(app.window());
    QVERIFY(QTest::qWaitFor([&] { return window.rows().size() == 2; }, 5000));
    for (const ShownRow &row : window.rows())
        QVERIFY(window.tap(row.card));

    QList<QPair<int, qint64>> started; // row and wall-clock ms of each highlighted timing line
    ProgramDataModel &lines = app.programs();
    connect(&lines, &ProgramDataModel::dataChanged, this, [&](const QModelIndex &index) {
        const int row = index.row();
        const uint command = lines.getCommand(row);
        if (lines.getSelected(row) && command != TC_COLOR && command != TC_REPEAT &&
            command != TC_DONE && (started.isEmpty() || started.last().first != row))
            started << qMakePair(row, QDateTime::currentMSecsSinceEpoch());
    });

    QVERIFY(window.chooseFromDrawer(QStringLiteral("Tabata Controls")));
    const QStringList fields = {"Work Time:", "3", "Rest Time:", "2", "Intervals:", "3"};
    for (int i = 0; i < fields.size(); i += 2)
        QVERIFY(window.typeInto(window.fieldBeside(fields.at(i)), fields.at(i + 1)));
    QVERIFY(app.waitUntilLinkIdle());
    const int mark = sim.mark();
    started.clear();
    QVERIFY(window.tap(QStringLiteral("Reset")));
    QVERIFY(app.waitUntilLinkIdle());
    QVERIFY(window.tap(QStringLiteral("Start")));

    // Colours ("blue/green"), line starts ("interval-down 1" with the row), alarms and the end.
    const auto eventsOf = [&](int display, QList<SimHarness::Record> *starts = nullptr) {
        QStringList events;
        for (const SimHarness::Record &r : sim.records(
                 [display](const SimHarness::Record &r) { return r.display == display; }, mark)) {
            const QJsonObject &l = r.line;
            const QString command = l.value("command").toString();
            if (r.event == QLatin1String("program-colour"))
                events << l.value("hours").toString() + '/' + l.value("rest").toString();
            else if (r.event == QLatin1String("program-step"))
                events << command + ' ' + QString::number(l.value("interval").toInt());
            else if (r.event == QLatin1String("alarm-on") ||
                     r.event == QLatin1String("program-end"))
                events << r.event;
            if (starts && r.event == QLatin1String("program-step") && command != "end")
                *starts << r;
        }
        return events;
    };
    QVERIFY(QTest::qWaitFor(
        [&] { return eventsOf(1).contains("program-end") && eventsOf(2).contains("program-end"); },
        25000));

    QStringList expected;
    for (const QString n : {"1", "2", "3"})
        expected << "blue/green"
                 << "interval-down " + n << "alarm-on"
                 << "blue/red"
                 << "interval-down " + n << "alarm-on";
    expected << "end 3"
             << "alarm-on"
             << "program-end";
    // The window sees a line end at the tick after it, so it may fall behind by up to a tick a
    // line, more on a busy machine; every line lasts 2 s or more, so a whole line off still fails.
    const QList<int> rows = {1, 3, 1, 3, 1, 3};
    QTRY_COMPARE(started.size(), rows.size());
    for (int display = 1; display <= 2; ++display) {
        QList<SimHarness::Record> starts;
        QCOMPARE(eventsOf(display, &starts), expected);
        QCOMPARE(starts.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(started.at(i).first, rows.at(i));
            QCOMPARE(starts.at(i).line.value("row").toInt(), rows.at(i));
            const qint64 apart = started.at(i).second - starts.at(i).wallMs;
            QVERIFY2(
                qAbs(apart) <= 1000,
                qPrintable(
                    QStringLiteral("line %1 on display %2: %3 ms").arg(i).arg(display).arg(apart)));
        }
    }
    QTRY_COMPARE(app.evaluate("tabataScreen.timeDisplay").toString(), QStringLiteral("3-00:00"));
}

QTEST_MAIN(TestE2eTimerPages)
#include "tst_e2e_timerpages.moc"
