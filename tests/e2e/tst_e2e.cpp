#include "appundertest.h"
#include "simharness.h"

#include <QDateTime>
#include <QSettings>
#include <QtTest>

// The real window and controller in this process against three simulated displays: a count-down
// preset and programs run and taken up again, each seen both in the window and on the displays.
// What each page sends is tst_qml's, what the controller sends for it tst_handlegui's and
// tst_programs'; that every page's signal reaches the controller AppUnderTest checks as it wires
// the window.
namespace {

// Line starts and their wall-clock moments.
struct LineStarts
{
    QStringList seen;
    QList<qint64> ms;
    void add(const QString &label, qint64 at = QDateTime::currentMSecsSinceEpoch())
    {
        seen << label;
        ms << at;
    }
};

} // namespace

class TestE2e : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void countDownPresetRunsToZeroOnTheSelectedDisplays(); // while the displays are fresh
    void saveAllFromTheDrawerReachesTheSelectedDisplays();
    void programRunsOnTheDisplayAndInTheMirrorTogether();
    void secondApplicationPicksUpTheRunningProgram();
    void portInUseShownOnTheHomePage();

private:
    bool startApp(const QList<int> &selected);
    // Shows the page, presses Reset and then Start; answers the log's mark from before Reset, or
    // -1.
    int runFromPage(const QString &page);
    // From a first run with `program` as the first one, display 1 selected: runs it.
    bool runOnDisplay1(const QString &program);
    // How many count-down zeros display k logged.
    int zerosOf(int display, int since);
    void watchLineStarts(LineStarts &starts);
    void startsAgree(const LineStarts &window, int since);

    // The application goes first, then the simulator.
    SimHarness m_sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    std::unique_ptr<AppUnderTest> m_app;
};

void TestE2e::initTestCase()
{
    QVERIFY2(m_sim.start(3), qPrintable(m_sim.errorString()));
}

// Starts the application and selects the given displays once all are listed.
bool TestE2e::startApp(const QList<int> &selected)
{
    m_app.reset();
    m_app = std::make_unique<AppUnderTest>();
    return m_app->isRunning() && m_app->selectDisplays(3, selected);
}

bool TestE2e::runOnDisplay1(const QString &program)
{
    AppUnderTest::forgetStoredSettings();
    QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"))
        .setValue(QStringLiteral("Program0"), program);
    return startApp({1}) && runFromPage(QStringLiteral("Timer Programs")) >= 0 &&
           m_app->waitUntilLinkIdle();
}

// Two interval lines of 2 s and 1 s, the first counting the interval, repeated once, then Stop:
// each later line start and the end come on the display and in the window together.
void TestE2e::programRunsOnTheDisplayAndInTheMirrorTogether()
{
    QVERIFY(runOnDisplay1("01010000000000020000000000"
                          "01000000000000010000000000"
                          "07000001000000000000000000"
                          "08000200000000000000000000"));
    LineStarts window;
    watchLineStarts(window);
    const int mark = m_sim.mark();
    QTRY_COMPARE_WITH_TIMEOUT(window.seen.size(), 5, 10000);
    QCOMPARE(window.seen, QStringList({"0 1", "1 1", "0 2", "1 2", "end"}));
    startsAgree(window, mark);
}

// A second application started while display 1 runs a program, with no programs of its own,
// takes the program up from the display through "Timer Programs" and from the next line start
// on shows what the display shows. The run-status reply gives whole seconds; the first line, a
// 6 s count down, leaves room for a status poll (about every second here) to bring the mirror
// in line. (Status replies of interval lines do not move the mirror: a program taken up on one
// stays as far ahead as the part of a second the run-status reply left out.)
void TestE2e::secondApplicationPicksUpTheRunningProgram()
{
    QVERIFY(runOnDisplay1("05000000000000060000000000"
                          "01010000000000020000000000"
                          "01000000000000010000000000"
                          "07000101000000000000000000"
                          "08000200000000000000000000"));
    m_app.reset();
    AppUnderTest::forgetStoredSettings({{QStringLiteral("main/mainRefresh"), 0}});
    QVERIFY(startApp({1}));
    LineStarts window;
    watchLineStarts(window);
    const int mark = m_sim.mark();
    QVERIFY(m_app->ui().chooseFromDrawer(QStringLiteral("Timer Programs")));
    QTRY_COMPARE_WITH_TIMEOUT(window.seen.size(), 6, 15000);
    // Taken up on the first line.
    QCOMPARE(window.seen, QStringList({"0", "1 1", "2 1", "1 2", "2 2", "end"}));
    startsAgree(window, mark);
}

// Records in `starts` what the window shows from now on whenever it changes: the highlighted
// timing line, an interval line with the interval number in the mirror ("row interval"), and
// "end" when the program stops.
void TestE2e::watchLineStarts(LineStarts &starts)
{
    ProgramDataModel &lines = m_app->programs();
    HandleGui *controller = &m_app->controller();
    // The mirror's text is written as each line starts, after the highlight.
    connect(controller, &HandleGui::updateIntTime, controller, [&](const QVariant &shown) {
        int row = 0;
        while (row < lines.rowCount() && !lines.getSelected(row))
            ++row;
        const uint command = lines.getCommand(row);
        const QString label =
            command == TC_INTERVAL_DOWN
                ? QStringLiteral("%1 %2").arg(row).arg(shown.toString().section('-', 0, 0))
                : QString::number(row);
        if (row < lines.rowCount() && command != TC_REPEAT && command != TC_COLOR &&
            command != TC_DONE && starts.seen.value(starts.seen.size() - 1) != label)
            starts.add(label);
    });
    connect(controller, &HandleGui::updateProgStartPause, controller, [&](const QVariant &on) {
        if (!on.toBool() && !starts.seen.isEmpty() && starts.seen.last() != "end")
            starts.add(QStringLiteral("end"));
    });
}

// Display 1 logged since `since` the line starts the window showed after its first, each
// within 0.2 s.
void TestE2e::startsAgree(const LineStarts &window, int since)
{
    LineStarts display;
    const auto readDisplay = [&] {
        display = LineStarts();
        for (const SimHarness::Record &r :
             m_sim.records([](const SimHarness::Record &r) { return r.display == 1; }, since)) {
            const QString command = r.line.value("command").toString();
            const QString interval = QString::number(r.line.value("interval").toInt());
            if (r.event == "program-end")
                display.add(QStringLiteral("end"), r.wallMs);
            else if (r.event == "program-step" && command != "end")
                display.add(QString::number(r.line.value("row").toInt()) +
                                (command.startsWith("interval") ? ' ' + interval : QString()),
                            r.wallMs);
        }
        return display.seen.size() >= window.seen.size() - 1;
    };
    QTRY_VERIFY(readDisplay()); // the display may be the later one
    QCOMPARE(display.seen, window.seen.mid(1));
    for (int i = 0; i < display.seen.size(); ++i) {
        const qint64 apart = window.ms.at(i + 1) - display.ms.at(i);
        qInfo("%s: %lld ms", qPrintable(display.seen.at(i)), apart);
        QVERIFY2(qAbs(apart) <= 200, qPrintable(display.seen.at(i)));
    }
}

int TestE2e::runFromPage(const QString &page)
{
    const int mark =
        m_app->ui().chooseFromDrawer(page) && m_app->waitUntilLinkIdle() ? m_sim.mark() : -1;
    return m_app->ui().tap(QStringLiteral("Reset")) && m_app->waitUntilLinkIdle() &&
                   m_app->ui().tap(QStringLiteral("Start"))
               ? mark
               : -1;
}

int TestE2e::zerosOf(int display, int since)
{
    return int(m_sim
                   .records(
                       [display](const SimHarness::Record &r) {
                           return r.display == display && r.event == "count-down-zero";
                       },
                       since)
                   .size());
}

// A count-down preset driven through the window on two of three displays: what the page sends,
// what the displays then do and what the window shows. The controller's packets for every
// button are checked against the controller itself; this is the one check that the window's
// actions reach it and that its commands reach exactly the selected displays.
void TestE2e::countDownPresetRunsToZeroOnTheSelectedDisplays()
{
    // No periodic poll; the first preset counts down 3 s.
    AppUnderTest::forgetStoredSettings({{QStringLiteral("main/mainRefresh"), 900},
                                        {QStringLiteral("countdown1/buttonName"), "3 Sec"},
                                        {QStringLiteral("countdown1/buttonSec"), 3}});
    const QList<int> chosen = {1, 3};
    QVERIFY(startApp(chosen));
    const auto text = [this](const char *expression) {
        return m_app->evaluate(QLatin1String(expression)).toString();
    };
    QVERIFY(m_app->ui().chooseFromDrawer(QStringLiteral("Count Down Controls")));
    QVERIFY(m_app->waitUntilLinkIdle());
    const int mark = m_sim.mark();
    QVERIFY(m_app->ui().tap(QStringLiteral("3 Sec")));
    QCOMPARE(text("countDnScreen.timeDisplay"), QStringLiteral("00:00:03.0"));
    QVERIFY(m_app->ui().tap(QStringLiteral("Start")));
    QCOMPARE(text("countDnScreen.dnStartButtonText"), QStringLiteral("Pause"));
    // The mirror runs down to zero and stops there, the caption turning back as it does.
    QTRY_COMPARE_WITH_TIMEOUT(text("countDnScreen.dnStartButtonText"), QStringLiteral("Start"),
                              10000);
    QCOMPARE(text("countDnScreen.timeDisplay"), QStringLiteral("00:00:00.0"));

    // The displays count on their own clocks: their zero may come a little after the mirror's.
    for (int display : chosen)
        QTRY_COMPARE(zerosOf(display, mark), 1);
    QVERIFY(m_app->waitUntilLinkIdle());
    for (int display = 1; display <= 3; ++display) {
        const bool selected = chosen.contains(display);
        QCOMPARE(SimHarness::hexOf(m_sim.received(display, mark)),
                 selected ? QStringList({"A7 00 00 00 03 00 00 00 00 00", "A6 01 00"})
                          : QStringList());
        QCOMPARE(zerosOf(display, mark), selected ? 1 : 0);
    }
}

// The drawer's entry reaches the controller, whose ten uploads and save (tst_programs) go to
// each selected display.
void TestE2e::saveAllFromTheDrawerReachesTheSelectedDisplays()
{
    QVERIFY(startApp({1, 3}));
    const int mark = m_sim.mark();
    QVERIFY(m_app->ui().chooseFromDrawer(QStringLiteral(" Save All Programs")));
    QVERIFY(m_app->waitUntilLinkIdle());
    for (int display : {1, 3}) {
        QStringList heard;
        for (const QString &hex : SimHarness::hexOf(m_sim.received(display, mark)))
            heard << hex.left(5);
        QCOMPARE(heard.join(' '), QStringLiteral("B3 00 B3 01 B3 02 B3 03 B3 04 B3 05 B3 06 "
                                                 "B3 07 B3 08 B3 09 B0"));
    }
    QCOMPARE(m_sim.received(2, mark).size(), 0);
}

// The controller's word that another program holds the port reaches the home page, and so does
// its word that the port is free again. (The controller's side, with the port really held, is
// tested with the controller.)
void TestE2e::portInUseShownOnTheHomePage()
{
    const QString warning = QStringLiteral("Port 7372 is in use: displays cannot answer");
    QVERIFY(startApp({}));
    QVERIFY(!m_app->ui().find(warning));
    emit m_app->controller().updatePortInUse(true);
    QTRY_VERIFY(m_app->ui().find(warning));
    emit m_app->controller().updatePortInUse(false);
    QTRY_VERIFY(!m_app->ui().find(warning));
}

QTEST_MAIN(TestE2e)
#include "tst_e2e.moc"
