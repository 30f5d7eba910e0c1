#include "appundertest.h"
#include "link/protocol.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QtTest>

// Plain count-up, count-down and time-of-day driven through the window on two of four simulated
// displays: what the pages send, what the displays then do and what the window shows.
namespace {

const QString kQuery = QStringLiteral("A1 04 B2");
const QStringList kAddresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"};
const QList<int> kChosen = {1, 3}; // rows 0 and 2
const QList<int> kOthers = {2, 4};

// The time a reply reports and whether it is "mode 1 running", "mode 0 stopped", ...
QString modeOf(const SimHarness::Record &reply)
{
    const auto fields = Protocol::decodeStatusReply(reply.bytes);
    if (!fields)
        return QStringLiteral("no status");
    return QStringLiteral("mode %1 %2")
        .arg(fields->format & Protocol::Format::kModeMask)
        .arg(fields->format & Protocol::Format::kRunning ? "running" : "stopped");
}

} // namespace

class TestE2ePlainTimers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void countUpStartsAndPausesTheSelectedDisplays();
    void countDownPresetRunsToZero();
    void setTimeModeReturnsTheDisplaysToTimeOfDay();

private:
    QString text(const QString &expression) const { return m_app->evaluate(expression).toString(); }
    // Back to the home page and "Query Timers": the first status reply of each display, in
    // display order; fewer when one did not answer.
    QList<SimHarness::Record> queryFromHomePage();
    // Since `since`, each selected display received these commands (and queries to the first)
    // and the others nothing.
    void verifySelectedHeard(int since, const QStringList &commands);

    SimHarness m_sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<WindowOperator> m_operator;
};

void TestE2ePlainTimers::initTestCase()
{
    // No periodic poll; the first preset counts down 3 s.
    AppUnderTest::forgetStoredSettings({{QStringLiteral("main/mainRefresh"), 900},
                                        {QStringLiteral("countdown1/buttonName"), "3 Sec"},
                                        {QStringLiteral("countdown1/buttonSec"), 3}});
    QVERIFY2(m_sim.start(SimHarness::Options()), qPrintable(m_sim.errorString()));
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isRunning());
    m_operator = std::make_unique<WindowOperator>(m_app->window());

    QTRY_COMPARE_WITH_TIMEOUT(m_operator->rows().size(), 4, 5000);
    for (int display : kChosen)
        QVERIFY(m_operator->tap(m_operator->rowOf(kAddresses.at(display - 1)).card));
    QVERIFY(m_app->waitUntilLinkIdle());
}

void TestE2ePlainTimers::cleanupTestCase()
{
    m_operator.reset();
    m_app.reset();
}

QList<SimHarness::Record> TestE2ePlainTimers::queryFromHomePage()
{
    QList<SimHarness::Record> replies;
    const int since = m_sim.mark();
    if (!m_operator->goBack() || !m_operator->tap(QStringLiteral("Query Timers")) ||
        !m_app->waitUntilLinkIdle()) {
        return replies;
    }
    for (int display = 1; display <= 4; ++display) {
        for (const SimHarness::Record &record : m_sim.sent(display, since)) {
            if (Protocol::decodeStatusReply(record.bytes)) {
                replies << record;
                break;
            }
        }
    }
    return replies;
}

void TestE2ePlainTimers::verifySelectedHeard(int since, const QStringList &commands)
{
    QVERIFY(m_app->waitUntilLinkIdle());
    for (int display : kChosen) {
        QStringList heard = SimHarness::hexOf(m_sim.unicastReceived(display, since));
        heard.removeAll(kQuery); // a page's entry asks the first selected display
        QCOMPARE(heard, commands);
    }
    for (int display : kOthers)
        QVERIFY(m_sim.unicastReceived(display, since).isEmpty());
}

void TestE2ePlainTimers::countUpStartsAndPausesTheSelectedDisplays()
{
    const int mark = m_sim.mark();
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Count Up Controls")));
    QVERIFY(m_operator->tap(QStringLiteral("Reset")));
    QCOMPARE(text(QStringLiteral("countUpScreen.timeDisplay")), QStringLiteral("00:00:00.0"));
    QVERIFY(m_operator->tap(QStringLiteral("Start")));
    QCOMPARE(text(QStringLiteral("countUpScreen.upStartButtonText")), QStringLiteral("Pause"));
    QTest::qWait(1500);
    QVERIFY(m_operator->tap(QStringLiteral("Pause")));
    QCOMPARE(text(QStringLiteral("countUpScreen.upStartButtonText")), QStringLiteral("Start"));
    verifySelectedHeard(mark, {"A4 00 00", "A3 01 00", "A3 00 00"});

    // The displays stopped where the mirror did, give or take the way there.
    const QString shown = text(QStringLiteral("countUpScreen.timeDisplay")); // hh:mm:ss.t
    const QTime mirror = QTime::fromString(shown.left(8), QStringLiteral("hh:mm:ss"))
                             .addMSecs(100 * shown.mid(9).toInt());
    QVERIFY(mirror >= QTime(0, 0, 1, 400));
    const QList<SimHarness::Record> replies = queryFromHomePage();
    QCOMPARE(replies.size(), 4);
    for (int display : kChosen) {
        const SimHarness::Record &reply = replies.at(display - 1);
        QCOMPARE(modeOf(reply), QStringLiteral("mode 1 stopped"));
        const int apartMs = mirror.msecsTo(Protocol::decodeStatusReply(reply.bytes)->time);
        QVERIFY2(qAbs(apartMs) <= 400, qPrintable(QString::number(apartMs)));
    }
    for (int display : kOthers)
        QCOMPARE(modeOf(replies.at(display - 1)), QStringLiteral("mode 0 stopped"));
}

void TestE2ePlainTimers::countDownPresetRunsToZero()
{
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Count Down Controls")));
    QVERIFY(m_app->waitUntilLinkIdle());
    const int mark = m_sim.mark();
    QVERIFY(m_operator->tap(QStringLiteral("3 Sec")));
    QCOMPARE(text(QStringLiteral("countDnScreen.timeDisplay")), QStringLiteral("00:00:03.0"));
    QVERIFY(m_operator->tap(QStringLiteral("Start")));
    QCOMPARE(text(QStringLiteral("countDnScreen.dnStartButtonText")), QStringLiteral("Pause"));
    // The mirror runs down to zero and stops there, the caption turning back as it does.
    QTRY_COMPARE_WITH_TIMEOUT(text(QStringLiteral("countDnScreen.dnStartButtonText")),
                              QStringLiteral("Start"), 10000);
    QCOMPARE(text(QStringLiteral("countDnScreen.timeDisplay")), QStringLiteral("00:00:00.0"));

    verifySelectedHeard(mark, {"A7 00 00 00 03 00 00 00 00 00", "A6 01 00"});
    for (int display : kChosen) {
        const auto zero = m_sim.records(
            [display](const SimHarness::Record &r) {
                return r.display == display && r.event == QLatin1String("count-down-zero");
            },
            mark);
        QCOMPARE(zero.size(), 1);
    }
}

void TestE2ePlainTimers::setTimeModeReturnsTheDisplaysToTimeOfDay()
{
    const int mark = m_sim.mark();
    QVERIFY(m_operator->tap(QStringLiteral("Set Time Mode")));
    verifySelectedHeard(mark, {"A8 01 00"});
    const QList<SimHarness::Record> replies = queryFromHomePage();
    QCOMPARE(replies.size(), 4);
    for (const SimHarness::Record &reply : replies)
        QCOMPARE(modeOf(reply), QStringLiteral("mode 0 stopped"));
}

QTEST_MAIN(TestE2ePlainTimers)
#include "tst_e2e_plaintimers.moc"
