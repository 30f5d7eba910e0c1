#include "appundertest.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QtTest>

// A count-down preset driven through the window on two of four simulated displays: what the page
// sends, what the displays then do and what the window shows. The controller's packets for every
// button are checked against the controller itself; this is the one check that the window's
// actions reach it and that its commands reach exactly the selected displays.
class TestE2ePlainTimers : public QObject
{
    Q_OBJECT
private slots:
    void countDownPresetRunsToZeroOnTheSelectedDisplays();
};

void TestE2ePlainTimers::countDownPresetRunsToZeroOnTheSelectedDisplays()
{
    // No periodic poll; the first preset counts down 3 s.
    AppUnderTest::forgetStoredSettings({{QStringLiteral("main/mainRefresh"), 900},
                                        {QStringLiteral("countdown1/buttonName"), "3 Sec"},
                                        {QStringLiteral("countdown1/buttonSec"), 3}});
    SimHarness sim(QStringLiteral(QB_SIM_EXECUTABLE));
    QVERIFY2(sim.start(SimHarness::Options()), qPrintable(sim.errorString()));
    AppUnderTest app;
    QVERIFY(app.isRunning());
    WindowOperator window(app.window());
    const auto text = [&app](const char *expression) {
        return app.evaluate(QLatin1String(expression)).toString();
    };

    const QList<int> chosen = {1, 3}; // 127.0.0.2 and 127.0.0.4
    QTRY_COMPARE_WITH_TIMEOUT(window.rows().size(), 4, 5000);
    for (int display : chosen)
        QVERIFY(window.tap(window.rowOf(QStringLiteral("127.0.0.%1").arg(display + 1)).card));
    QVERIFY(window.chooseFromDrawer(QStringLiteral("Count Down Controls")));
    QVERIFY(app.waitUntilLinkIdle());
    const int mark = sim.mark();
    QVERIFY(window.tap(QStringLiteral("3 Sec")));
    QCOMPARE(text("countDnScreen.timeDisplay"), QStringLiteral("00:00:03.0"));
    QVERIFY(window.tap(QStringLiteral("Start")));
    QCOMPARE(text("countDnScreen.dnStartButtonText"), QStringLiteral("Pause"));
    // The mirror runs down to zero and stops there, the caption turning back as it does.
    QTRY_COMPARE_WITH_TIMEOUT(text("countDnScreen.dnStartButtonText"), QStringLiteral("Start"),
                              10000);
    QCOMPARE(text("countDnScreen.timeDisplay"), QStringLiteral("00:00:00.0"));

    QVERIFY(app.waitUntilLinkIdle());
    for (int display = 1; display <= 4; ++display) {
        const bool selected = chosen.contains(display);
        QCOMPARE(SimHarness::hexOf(sim.unicastReceived(display, mark)),
                 selected ? QStringList({"A7 00 00 00 03 00 00 00 00 00", "A6 01 00"})
                          : QStringList());
        const auto zero = sim.records(
            [display](const SimHarness::Record &r) {
                return r.display == display && r.event == QLatin1String("count-down-zero");
            },
            mark);
        QCOMPARE(zero.size(), selected ? 1 : 0);
    }
}

QTEST_MAIN(TestE2ePlainTimers)
#include "tst_e2e_plaintimers.moc"
