#include "appundertest.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QDateTime>
#include <QtTest>

// A Tabata built on its page and run on two simulated displays, with the window's copy held
// against what the displays do. The presentation page builds its program the same way; its
// texts are checked against the generator table.
namespace {

// The window sees a line end at the tick after it and starts the next line from there, so it
// may fall behind by up to a tick a line, more on a busy machine. Every line lasts 2 s or more,
// so being a whole line ahead or behind still fails.
constexpr qint64 kAgreementMs = 1000;

} // namespace

class TestE2eTimerPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void tabataRunsOnBothDisplays();

private:
    // Types the values into the page's fields, presses Reset and Start and waits until both
    // displays logged `last`.
    void runFromPage(const QString &page, const QStringList &fieldsAndValues, const QString &last);
    // Colours ("blue/green"), line starts ("interval-down 1"), alarms and the end on display k.
    QStringList eventsOf(int display);
    // The window highlighted the timing lines `rows` as both displays started them.
    void linesStartTogether(const QList<int> &rows);

    SimHarness m_sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<WindowOperator> m_window;
    int m_mark = 0;
    QList<QPair<int, qint64>> m_started; // row and wall-clock ms of each highlighted timing line
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
    ProgramDataModel *lines = &m_app->programs();
    connect(lines, &ProgramDataModel::dataChanged, this, [this, lines](const QModelIndex &index) {
        const int row = index.row();
        const uint command = lines->getCommand(row);
        if (lines->getSelected(row) && command != TC_COLOR && command != TC_REPEAT &&
            command != TC_DONE && (m_started.isEmpty() || m_started.last().first != row))
            m_started << qMakePair(row, QDateTime::currentMSecsSinceEpoch());
    });
}

void TestE2eTimerPages::cleanupTestCase()
{
    m_window.reset();
    m_app.reset();
    m_sim.stop();
}

void TestE2eTimerPages::runFromPage(const QString &page, const QStringList &fieldsAndValues,
                                    const QString &last)
{
    QVERIFY(m_window->chooseFromDrawer(page));
    for (int i = 0; i < fieldsAndValues.size(); i += 2)
        QVERIFY(m_window->typeInto(m_window->fieldBeside(fieldsAndValues.at(i)),
                                   fieldsAndValues.at(i + 1)));
    QVERIFY(m_app->waitUntilLinkIdle());
    m_mark = m_sim.mark();
    m_started.clear();
    QVERIFY(m_window->tap(QStringLiteral("Reset")));
    QVERIFY(m_app->waitUntilLinkIdle());
    QVERIFY(m_window->tap(QStringLiteral("Start")));
    QVERIFY(QTest::qWaitFor(
        [&] { return eventsOf(1).contains(last) && eventsOf(2).contains(last); }, 25000));
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

void TestE2eTimerPages::linesStartTogether(const QList<int> &rows)
{
    QTRY_COMPARE(m_started.size(), rows.size()); // the window may take a tick longer
    for (int display = 1; display <= 2; ++display) {
        const QList<SimHarness::Record> starts = m_sim.records(
            [display](const SimHarness::Record &r) {
                return r.display == display && r.event == QLatin1String("program-step") &&
                       r.line.value("command").toString() != QLatin1String("end");
            },
            m_mark);
        QCOMPARE(starts.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(m_started.at(i).first, rows.at(i));
            QCOMPARE(starts.at(i).line.value("row").toInt(), rows.at(i));
            QVERIFY2(qAbs(m_started.at(i).second - starts.at(i).wallMs) <= kAgreementMs,
                     qPrintable(QStringLiteral("line %1 on display %2: %3 ms apart")
                                    .arg(i)
                                    .arg(display)
                                    .arg(m_started.at(i).second - starts.at(i).wallMs)));
        }
    }
}

// 3 s work, 2 s rest, 3 intervals with alarms: blue hours digits, green while working and red
// while resting, intervals 1, 2, 3, an alarm as each line starts and at the end, then the end.
void TestE2eTimerPages::tabataRunsOnBothDisplays()
{
    runFromPage(QStringLiteral("Tabata Controls"),
                {"Work Time:", "3", "Rest Time:", "2", "Intervals:", "3"}, "program-end");
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
    linesStartTogether({1, 3, 1, 3, 1, 3});
    QTRY_COMPARE(m_app->evaluate("tabataScreen.timeDisplay").toString(), QStringLiteral("3-00:00"));
}

QTEST_MAIN(TestE2eTimerPages)
#include "tst_e2e_timerpages.moc"
