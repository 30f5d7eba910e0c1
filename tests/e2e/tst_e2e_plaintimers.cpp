#include "appundertest.h"
#include "link/protocol.h"
#include "propertytrace.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QtTest>

// Plain count-up, count-down and time-of-day driven through the window on two of four simulated
// displays, with what the window shows held against what the displays report.
namespace {

const QString kQuery = QStringLiteral("A1 04 B2");
const QStringList kAddresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"};
const QList<int> kChosen = {1, 3}; // rows 0 and 2
const QList<int> kOthers = {2, 4};
constexpr int kCountUpRunMs = 60000;
constexpr int kPresetMs = 30000;
// The mirror is shown to the tenth (cut, not rounded) and a display's clock to the hundredth.
constexpr qint64 kTenthMs = 100;
// Room for two clocks read in two processes and stamped to the millisecond.
constexpr qint64 kReadingSlackMs = 50;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// "hh:mm:ss.t", the mirror text of format 0 below a day.
qint64 mirrorMs(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d)$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return -1;
    return ((m.captured(1).toInt() * 60 + m.captured(2).toInt()) * 60 + m.captured(3).toInt()) *
               1000LL +
           m.captured(4).toInt() * 100;
}

// The datagrams with these bytes that display k received since `since`.
QList<SimHarness::Record> heard(SimHarness &sim, int display, const QByteArray &bytes, int since)
{
    return sim.records(
        [display, &bytes](const SimHarness::Record &r) {
            return r.display == display && r.dir == QLatin1String("rx") && r.bytes == bytes;
        },
        since);
}

// The mode a display reports (0 time of day, 1 count up) and whether it runs.
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
    void countUpMirrorAgreesWithTheDisplaysAfterAMinute();
    void countDownPresetRunsToZero();
    void setTimeModeReturnsTheDisplaysToTimeOfDay();

private:
    QString text(const QString &expression) const { return m_app->evaluate(expression).toString(); }
    // Back to the home page and "Query Timers": the first status reply of each display, in
    // display order; fewer when one did not answer.
    QList<SimHarness::Record> queryFromHomePage();
    // Since `since`, each selected display received this one command and took it as `event`.
    void verifySelectedHeardOnly(int since, const QString &hex, const QString &event);

    SimHarness m_sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<WindowOperator> m_operator;
};

void TestE2ePlainTimers::initTestCase()
{
    // No periodic poll: nothing pulls the mirror back in line while the clocks run apart.
    AppUnderTest::forgetStoredSettings({{QStringLiteral("main/mainRefresh"), 900}});
    QVERIFY2(m_sim.start(SimHarness::Options()), qPrintable(m_sim.errorString()));
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isRunning());
    m_operator = std::make_unique<WindowOperator>(m_app->window());

    QTRY_COMPARE_WITH_TIMEOUT(m_operator->rows().size(), 4, 5000);
    for (int display : kChosen)
        QVERIFY(m_operator->tap(m_operator->rowOf(kAddresses.at(display - 1)).card));
    for (int row = 0; row < 4; ++row)
        QCOMPARE(m_app->timers().isSelected(row), kChosen.contains(row + 1));
    QVERIFY(m_app->waitUntilLinkIdle());
}

void TestE2ePlainTimers::cleanupTestCase()
{
    m_operator.reset();
    m_app.reset();
    m_sim.stop();
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

void TestE2ePlainTimers::verifySelectedHeardOnly(int since, const QString &hex,
                                                 const QString &event)
{
    for (int display : kChosen) {
        const QList<SimHarness::Record> heard = m_sim.unicastReceived(display, since);
        QCOMPARE(SimHarness::hexOf(heard), QStringList{hex});
        QCOMPARE(heard.constFirst().event, event);
    }
}

void TestE2ePlainTimers::countUpMirrorAgreesWithTheDisplaysAfterAMinute()
{
    const int mark = m_sim.mark();
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Count Up Controls")));
    QVERIFY(m_app->waitUntilLinkIdle()); // the page's query to the first selected display
    QVERIFY(m_operator->tap(QStringLiteral("Reset")));
    QCOMPARE(text(QStringLiteral("countUpScreen.timeDisplay")), QStringLiteral("00:00:00.0"));

    PropertyTrace mirror(m_app->object(QStringLiteral("countUpScreen")),
                         QStringLiteral("timeDisplay"));
    const qint64 startedMs = nowMs();
    QVERIFY(m_operator->tap(QStringLiteral("Start")));
    QCOMPARE(text(QStringLiteral("countUpScreen.upStartButtonText")), QStringLiteral("Pause"));
    QTest::qWait(kCountUpRunMs);

    // The last text shown before the displays are asked: their answers move the mirror.
    QVERIFY(!mirror.samples().isEmpty());
    const PropertyTrace::Sample shown = mirror.samples().constLast();
    const qint64 shownMs = mirrorMs(shown.value.toString());
    // The mirror counts real time from the press of Start.
    const qint64 sinceStartMs = shown.wallMs - startedMs;
    QVERIFY2(sinceStartMs >= kCountUpRunMs - 1000 &&
                 qAbs(shownMs - sinceStartMs) <= kTenthMs + kReadingSlackMs,
             qPrintable(shown.value.toString()));
    const QList<SimHarness::Record> replies = queryFromHomePage();
    QCOMPARE(replies.size(), 4);
    for (int display : kChosen) {
        const SimHarness::Record &reply = replies.at(display - 1);
        QCOMPARE(modeOf(reply), QStringLiteral("mode 1 running"));
        const qint64 displayMs =
            Protocol::decodeStatusReply(reply.bytes)->time.msecsSinceStartOfDay();
        // The display started when the start command reached it, a little after the mirror.
        const auto started = heard(m_sim, display, QByteArray::fromHex("a30100"), mark);
        QVERIFY(!started.isEmpty());
        const qint64 startLatencyMs = qMax<qint64>(0, started.constFirst().wallMs - startedMs);
        // What the mirror would have shown at the moment the display answered.
        const qint64 mirrorAtReplyMs = shownMs + (reply.wallMs - shown.wallMs);
        const qint64 apartMs = displayMs - mirrorAtReplyMs;
        qInfo("display %d: shows %lld ms, mirror %lld ms, start latency %lld ms", display,
              displayMs, mirrorAtReplyMs, startLatencyMs);
        QVERIFY2(apartMs >= -(kTenthMs + kReadingSlackMs + startLatencyMs) &&
                     apartMs <= kTenthMs + kReadingSlackMs,
                 qPrintable(QString::number(apartMs)));
    }
    for (int display : kOthers)
        QCOMPARE(modeOf(replies.at(display - 1)), QStringLiteral("mode 0 stopped"));

    // Each selected display got the page's commands once, in order; the others only queries.
    const QStringList commands = {"A4 00 00", "A3 01 00", kQuery};
    QCOMPARE(SimHarness::hexOf(m_sim.unicastReceived(1, mark)), QStringList{kQuery} + commands);
    QCOMPARE(SimHarness::hexOf(m_sim.unicastReceived(3, mark)), commands);
    for (int display : kOthers)
        QCOMPARE(SimHarness::hexOf(m_sim.unicastReceived(display, mark)), QStringList{kQuery});

    // Pausing from the page stops both displays.
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Count Up Controls")));
    QVERIFY(m_app->waitUntilLinkIdle());
    const int pauseMark = m_sim.mark();
    QVERIFY(m_operator->tap(QStringLiteral("Pause")));
    QCOMPARE(text(QStringLiteral("countUpScreen.upStartButtonText")), QStringLiteral("Start"));
    QVERIFY(m_app->waitUntilLinkIdle());
    verifySelectedHeardOnly(pauseMark, QStringLiteral("A3 00 00"),
                            QStringLiteral("count-up-pause"));
}

void TestE2ePlainTimers::countDownPresetRunsToZero()
{
    QVERIFY(m_operator->goBack());
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Count Down Controls")));
    QVERIFY(m_app->waitUntilLinkIdle());
    const int mark = m_sim.mark();
    QVERIFY(m_operator->tap(QStringLiteral("30 Sec")));
    QCOMPARE(text(QStringLiteral("countDnScreen.timeDisplay")), QStringLiteral("00:00:30.0"));

    QObject *page = m_app->object(QStringLiteral("countDnScreen"));
    PropertyTrace mirror(page, QStringLiteral("timeDisplay"));
    PropertyTrace caption(page, QStringLiteral("dnStartButtonText"));
    const qint64 startedMs = nowMs();
    QVERIFY(m_operator->tap(QStringLiteral("Start")));
    QCOMPARE(text(QStringLiteral("countDnScreen.dnStartButtonText")), QStringLiteral("Pause"));
    QTRY_COMPARE_WITH_TIMEOUT(text(QStringLiteral("countDnScreen.dnStartButtonText")),
                              QStringLiteral("Start"), kPresetMs + 10000);

    // The mirror ran down to zero and stopped there, the caption turning back as it did.
    const qint64 ranMs = caption.samples().constLast().wallMs - startedMs;
    QVERIFY2(ranMs >= kPresetMs - kTenthMs && ranMs <= kPresetMs + 3000,
             qPrintable(QString::number(ranMs)));
    QCOMPARE(text(QStringLiteral("countDnScreen.timeDisplay")), QStringLiteral("00:00:00.0"));
    qint64 previousMs = kPresetMs;
    for (const PropertyTrace::Sample &sample : mirror.samples()) {
        const qint64 shownMs = mirrorMs(sample.value.toString());
        QVERIFY2(shownMs >= 0 && shownMs <= previousMs, qPrintable(sample.value.toString()));
        previousMs = shownMs;
    }

    for (int display : kChosen) {
        const QList<SimHarness::Record> heard = m_sim.unicastReceived(display, mark);
        QCOMPARE(SimHarness::hexOf(heard),
                 QStringList({"A7 00 00 00 1E 00 00 00 00 00", "A6 01 00"}));
        const auto zero = m_sim.records(
            [display](const SimHarness::Record &r) {
                return r.display == display && r.event == QLatin1String("count-down-zero");
            },
            mark);
        QCOMPARE(zero.size(), 1);
        const double zeroAfterMs = zero.constFirst().t - heard.at(1).t;
        QVERIFY2(zeroAfterMs >= kPresetMs - 1 && zeroAfterMs <= kPresetMs + 2000,
                 qPrintable(QString::number(zeroAfterMs)));
    }
    for (int display : kOthers)
        QVERIFY(m_sim.received(display, mark).isEmpty());
}

void TestE2ePlainTimers::setTimeModeReturnsTheDisplaysToTimeOfDay()
{
    const int mark = m_sim.mark();
    QVERIFY(m_operator->tap(QStringLiteral("Set Time Mode")));
    QCOMPARE(text(QStringLiteral("countDnScreen.dnStartButtonText")), QStringLiteral("Start"));
    QCOMPARE(text(QStringLiteral("countUpScreen.upStartButtonText")), QStringLiteral("Start"));
    QVERIFY(m_app->waitUntilLinkIdle());
    verifySelectedHeardOnly(mark, QStringLiteral("A8 01 00"), QStringLiteral("time-of-day-mode"));

    const QList<SimHarness::Record> replies = queryFromHomePage();
    QCOMPARE(replies.size(), 4);
    const QRegularExpression timeOfDay(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    for (int display = 1; display <= 4; ++display) {
        QCOMPARE(modeOf(replies.at(display - 1)), QStringLiteral("mode 0 stopped"));
        const QString shown = m_operator->rowOf(kAddresses.at(display - 1)).timeText;
        QVERIFY2(timeOfDay.match(shown).hasMatch(), qPrintable(shown));
    }
}

QTEST_MAIN(TestE2ePlainTimers)
#include "tst_e2e_plaintimers.moc"
