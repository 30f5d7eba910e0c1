#include "appundertest.h"
#include "models/programdatamodel.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QDateTime>
#include <QtTest>

// Programs built on the Tabata and presentation pages and run on two simulated displays, with
// the window's mirror held against what the displays do.
namespace {

// The window sees a line end at the tick after it and starts the next line from there, so it
// may fall behind by up to a tick a line, more on a busy machine. Every line lasts 2 s or more,
// so being a whole line ahead or behind still fails.
constexpr qint64 kAgreementMs = 1000;

struct Moment
{
    QString what;
    qint64 wallMs;
};

} // namespace

class TestE2eTimerPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void tabataRunsOnBothDisplays();
    void presentationTurnsYellowThenRedCountingUp();

private:
    // Types the values into the page's fields, then Reset and Start, and follows what the
    // window shows until `done`.
    void runFromPage(const QString &page, const QStringList &fieldsAndValues,
                     const std::function<bool()> &done);
    // Colours ("blue/green"), line starts ("interval-down 1"), alarms and the end on display k.
    QStringList eventsOf(int display);
    // When each line of these commands started on display k ("row 1").
    QList<Moment> displayLineStarts(int display, const QStringList &commands);
    // The window started the lines `expected` at the moments both displays started theirs.
    void linesStartTogether(const QStringList &commands, const QStringList &expected);

    SimHarness m_sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<WindowOperator> m_window;
    int m_mark = 0;
    QList<Moment> m_shown;    // the mirror texts
    QList<Moment> m_selected; // the timing lines the window highlighted, as they started
};

void TestE2eTimerPages::initTestCase()
{
    SimHarness::Options options;
    options.count = 2;
    QVERIFY2(m_sim.start(options), qPrintable(m_sim.errorString()));
    AppUnderTest::forgetStoredSettings();
    m_app = std::make_unique<AppUnderTest>();
    m_window = std::make_unique<WindowOperator>(m_app->window());
    QVERIFY(QTest::qWaitFor([this] { return m_window->rows().size() == 2; }, 5000));
    for (const ShownRow &row : m_window->rows())
        QVERIFY(m_window->tap(row.card));
    connect(&m_app->controller(), &HandleGui::updateIntTime, this, [this](const QVariant &text) {
        m_shown << Moment{text.toString(), QDateTime::currentMSecsSinceEpoch()};
    });
    ProgramDataModel *lines = &m_app->programs();
    connect(lines, &ProgramDataModel::dataChanged, this, [this, lines](const QModelIndex &index) {
        const QString row = QStringLiteral("row %1").arg(index.row());
        const uint command = lines->getCommand(index.row());
        if (lines->getSelected(index.row()) && command != TC_COLOR && command != TC_REPEAT &&
            command != TC_DONE && (m_selected.isEmpty() || m_selected.last().what != row))
            m_selected << Moment{row, QDateTime::currentMSecsSinceEpoch()};
    });
}

void TestE2eTimerPages::cleanupTestCase()
{
    m_window.reset();
    m_app.reset();
    m_sim.stop();
}

void TestE2eTimerPages::runFromPage(const QString &page, const QStringList &fieldsAndValues,
                                    const std::function<bool()> &done)
{
    QVERIFY(m_window->chooseFromDrawer(page));
    for (int i = 0; i < fieldsAndValues.size(); i += 2)
        QVERIFY(m_window->typeInto(m_window->fieldBeside(fieldsAndValues.at(i)),
                                   fieldsAndValues.at(i + 1)));
    QVERIFY(m_app->waitUntilLinkIdle());
    m_mark = m_sim.mark();
    m_shown.clear();
    m_selected.clear();
    QVERIFY(m_window->tap(QStringLiteral("Reset")));
    QVERIFY(m_app->waitUntilLinkIdle());
    QVERIFY(m_window->tap(QStringLiteral("Start")));
    QVERIFY(QTest::qWaitFor(done, 25000));
}

QStringList TestE2eTimerPages::eventsOf(int display)
{
    QStringList events;
    for (const SimHarness::Record &r : m_sim.records(
             [display](const SimHarness::Record &r) { return r.display == display; }, m_mark)) {
        const QJsonObject &l = r.line;
        if (r.event == QLatin1String("program-colour"))
            events << l.value("hours").toString() + '/' + l.value("rest").toString();
        else if (r.event == QLatin1String("program-step"))
            events << l.value("command").toString() + ' ' +
                          QString::number(l.value("interval").toInt());
        else if (r.event == QLatin1String("alarm-on") || r.event == QLatin1String("program-end"))
            events << r.event;
    }
    return events;
}

QList<Moment> TestE2eTimerPages::displayLineStarts(int display, const QStringList &commands)
{
    QList<Moment> starts;
    for (const SimHarness::Record &r : m_sim.records(
             [&](const SimHarness::Record &r) {
                 return r.display == display && r.event == QLatin1String("program-step") &&
                        commands.contains(r.line.value("command").toString());
             },
             m_mark))
        starts << Moment{QStringLiteral("row %1").arg(r.line.value("row").toInt()), r.wallMs};
    return starts;
}

void TestE2eTimerPages::linesStartTogether(const QStringList &commands, const QStringList &expected)
{
    const QList<Moment> &window = m_selected;
    QTRY_COMPARE(window.size(), expected.size()); // the window takes up to a tick longer
    QStringList shown;
    for (const Moment &start : window)
        shown << start.what;
    QCOMPARE(shown, expected);
    for (int display = 1; display <= 2; ++display) {
        const QList<Moment> starts = displayLineStarts(display, commands);
        QCOMPARE(starts.size(), window.size());
        for (int i = 0; i < starts.size(); ++i)
            QVERIFY2(qAbs(starts.at(i).wallMs - window.at(i).wallMs) <= kAgreementMs,
                     qPrintable(QStringLiteral("%1 on display %2: %3 ms apart")
                                    .arg(shown.at(i))
                                    .arg(display)
                                    .arg(window.at(i).wallMs - starts.at(i).wallMs)));
    }
}

// 3 s work, 2 s rest, 3 intervals with alarms: blue hours digits, green while working and red
// while resting, intervals 1, 2, 3, an alarm as each line starts and at the end, then the end;
// the window starts every line with the displays.
void TestE2eTimerPages::tabataRunsOnBothDisplays()
{
    const auto ended = [this] {
        return eventsOf(1).contains("program-end") && eventsOf(2).contains("program-end");
    };
    runFromPage(QStringLiteral("Tabata Controls"),
                {"Work Time:", "3", "Rest Time:", "2", "Intervals:", "3"}, ended);
    if (QTest::currentTestFailed())
        return;
    QStringList expected;
    for (const QString n : {"1", "2", "3"})
        expected << "blue/green"
                 << "interval-down " + n << "alarm-on"
                 << "blue/red"
                 << "interval-down " + n << "alarm-on";
    expected << "end 3"
             << "alarm-on"
             << "program-end";
    for (int display = 1; display <= 2; ++display)
        QCOMPARE(eventsOf(display), expected);
    linesStartTogether({"interval-down"}, {"row 1", "row 3", "row 1", "row 3", "row 1", "row 3"});
    QStringList intervals;
    for (const Moment &shown : qAsConst(m_shown)) {
        const QString interval = shown.what.section(QLatin1Char('-'), 0, 0);
        if (shown.what.contains(QLatin1Char('-')) && !intervals.contains(interval))
            intervals << interval;
    }
    QCOMPARE(intervals, QStringList({"1", "2", "3"}));
}

// 8 s with the change at 4 s and count-up: green, yellow from 4 s left, then red counting up
// past zero, in the window as on the displays.
void TestE2eTimerPages::presentationTurnsYellowThenRedCountingUp()
{
    QVERIFY(m_window->goBack());
    const auto red = [this] {
        return eventsOf(1).contains("up-hms 0") && eventsOf(2).contains("up-hms 0");
    };
    m_app->evaluate(QStringLiteral("presentScreen.countupCB = true"));
    runFromPage(QStringLiteral("Presentation Controls"),
                {"Total\nTime:", "8", "Change\nTime:", "4"}, red);
    if (QTest::currentTestFailed())
        return;
    for (int display = 1; display <= 2; ++display)
        QCOMPARE(eventsOf(display), QStringList({"green/green", "down-hms 0", "yellow/yellow",
                                                 "down-hms 0", "red/red", "up-hms 0"}));
    linesStartTogether({"down-hms", "up-hms"}, {"row 1", "row 3", "row 5"});
    QTRY_COMPARE(m_shown.last().what, QStringLiteral("0-00:00:02")); // counting up past zero
}

QTEST_MAIN(TestE2eTimerPages)
#include "tst_e2e_timerpages.moc"
