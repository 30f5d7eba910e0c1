#include "appundertest.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QDateTime>
#include <QSettings>
#include <QtTest>

// Programs through the window and the simulator: all ten uploaded to two selected displays and
// read back into an application that starts with no settings at all, and a program run from the
// program page on a display and in the window's mirror together.
namespace {

const QStringList kAddresses = {"127.0.0.2", "127.0.0.3"};

QSettings controllerStore()
{
    return QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
}

} // namespace

class TestE2ePrograms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void saveAllThenGetAllIntoAFreshApplication();
    void programRunsOnTheDisplayAndInTheMirrorTogether();

private:
    bool startAppWithSelected(int display);

    SimHarness m_sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<WindowOperator> m_operator;
};

void TestE2ePrograms::initTestCase()
{
    SimHarness::Options options;
    options.count = 2;
    QVERIFY2(m_sim.start(options), qPrintable(m_sim.errorString()));
}

void TestE2ePrograms::cleanupTestCase()
{
    m_operator.reset();
    m_app.reset();
    m_sim.stop();
}

// Starts the application, waits for discovery to list both displays and taps the given ones.
bool TestE2ePrograms::startAppWithSelected(int display)
{
    m_operator.reset();
    m_app = std::make_unique<AppUnderTest>();
    m_operator = std::make_unique<WindowOperator>(m_app->window());
    if (!QTest::qWaitFor([this] { return m_operator->rows().size() == 2; }, 5000))
        return false;
    for (int k = 1; k <= 2; ++k) {
        if ((display == 0 || display == k) &&
            !m_operator->tap(m_operator->rowOf(kAddresses.at(k - 1)).card))
            return false;
    }
    return m_app->waitUntilLinkIdle();
}

void TestE2ePrograms::saveAllThenGetAllIntoAFreshApplication()
{
    // Ten different programs; the last name is longer than the name field and not ASCII, so the
    // displays keep its first 11 bytes, cut before the character that would not fit whole.
    AppUnderTest::forgetStoredSettings();
    QStringList texts;
    QStringList names;
    for (int n = 0; n < 10; ++n) {
        // A colour line, a count down from n minutes and 5 seconds to n seconds, a repeat and
        // the end line.
        texts << QString::asprintf("09000000000000%02x0100000000"
                                   "05000000%08x%08x00"
                                   "07000003000000000000000000"
                                   "08000000000000000000000002",
                                   n, n * 60 + 5, n);
        names << QStringLiteral("Program %1").arg(n);
        controllerStore().setValue(QStringLiteral("Program%1").arg(n), texts.last());
        controllerStore().setValue(QStringLiteral("ProgramName%1").arg(n), names.last());
    }
    controllerStore().setValue(QStringLiteral("ProgramName9"), QStringLiteral("Zürich Halle 9"));
    names[9] = QStringLiteral("Zürich Hal");

    QVERIFY(startAppWithSelected(0));
    int mark = m_sim.mark();
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral(" Save All Programs")));
    QVERIFY(m_app->waitUntilLinkIdle());
    for (int display = 1; display <= 2; ++display) {
        QStringList heard;
        for (const QString &hex : SimHarness::hexOf(m_sim.received(display, mark)))
            heard << hex.left(5);
        QCOMPARE(heard.join(QLatin1Char(' ')), QStringLiteral("B3 00 B3 01 B3 02 B3 03 B3 04 B3 05 "
                                                              "B3 06 B3 07 B3 08 B3 09 B0"));
    }

    // A second application with empty settings reads them back from the second display.
    m_app.reset();
    AppUnderTest::forgetStoredSettings();
    QVERIFY(startAppWithSelected(2));
    mark = m_sim.mark();
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral(" Get All Programs")));
    QVERIFY(m_app->waitUntilLinkIdle());
    QCOMPARE(m_sim.received(1, mark).size(), 0);
    QCOMPARE(m_sim.received(2, mark).size(), 10);
    for (int n = 0; n < 10; ++n) {
        QCOMPARE(controllerStore().value(QStringLiteral("Program%1").arg(n)).toString(),
                 texts.at(n));
        QCOMPARE(controllerStore().value(QStringLiteral("ProgramName%1").arg(n)).toString(),
                 names.at(n));
    }
}

// Two interval lines of 2 s and 1 s, the first counting the interval, repeated once, then Stop.
// Each time a line starts, on the display (its log's "program-step") and in the window (the
// highlighted line), the interval numbers agree and the moments lie within 0.2 s; so do the ends.
void TestE2ePrograms::programRunsOnTheDisplayAndInTheMirrorTogether()
{
    AppUnderTest::forgetStoredSettings();
    controllerStore().setValue(QStringLiteral("Program0"), "01010000000000020000000000"
                                                           "01000000000000010000000000"
                                                           "07000001000000000000000000"
                                                           "08000200000000000000000000");
    QVERIFY(startAppWithSelected(1));
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Timer Programs")));
    QVERIFY(m_app->waitUntilLinkIdle());

    QStringList window; // "row interval" at each line start, then "end"
    QList<qint64> windowMs;
    QString text;
    ProgramDataModel &lines = m_app->programs();
    connect(&m_app->controller(), &HandleGui::updateIntTime, this, [&](const QVariant &shown) {
        text = shown.toString();
        // The interval number is written with the line's start time, after the highlight.
        if (!window.isEmpty() && window.last().endsWith(QLatin1Char('?')))
            window.last().replace(QLatin1Char('?'), text.section(QLatin1Char('-'), 0, 0));
    });
    connect(&lines, &ProgramDataModel::dataChanged, this, [&](const QModelIndex &index) {
        const int row = index.row();
        if (lines.getSelected(row) && lines.getCommand(row) == TC_INTERVAL_DOWN &&
            (window.isEmpty() || !window.last().startsWith(QString::number(row) + ' '))) {
            window << QStringLiteral("%1 ?").arg(row);
            windowMs << QDateTime::currentMSecsSinceEpoch();
        }
    });
    connect(&m_app->controller(), &HandleGui::updateProgStartPause, this, [&](const QVariant &on) {
        if (!on.toBool() && window.size() == 4) {
            window << QStringLiteral("end");
            windowMs << QDateTime::currentMSecsSinceEpoch();
        }
    });

    const int mark = m_sim.mark();
    QVERIFY(m_operator->tap(QStringLiteral("Reset")));
    QTRY_COMPARE(window.size(), 1);
    QVERIFY(m_operator->tap(QStringLiteral("Start")));
    QTRY_COMPARE_WITH_TIMEOUT(window.size(), 5, 10000);

    QStringList display;
    QList<qint64> displayMs;
    for (const SimHarness::Record &r : m_sim.records(
             [](const SimHarness::Record &r) {
                 return r.display == 1 &&
                        (r.event == QLatin1String("program-end") ||
                         (r.event == QLatin1String("program-step") &&
                          r.line.value("command").toString() == QLatin1String("interval-down")));
             },
             mark)) {
        display << (r.event == QLatin1String("program-end")
                        ? QStringLiteral("end")
                        : QStringLiteral("%1 %2")
                              .arg(r.line.value("row").toInt())
                              .arg(r.line.value("interval").toInt()));
        displayMs << r.wallMs;
    }
    QCOMPARE(window, QStringList({"0 1", "1 1", "0 2", "1 2", "end"}));
    QCOMPARE(display, window);
    for (int i = 1; i < window.size(); ++i) { // the first is the arming, before Start
        QVERIFY2(qAbs(windowMs.at(i) - displayMs.at(i)) <= 200,
                 qPrintable(QStringLiteral("%1: %2 ms apart")
                                .arg(window.at(i))
                                .arg(windowMs.at(i) - displayMs.at(i))));
    }
}

QTEST_MAIN(TestE2ePrograms)
#include "tst_e2e_programs.moc"
