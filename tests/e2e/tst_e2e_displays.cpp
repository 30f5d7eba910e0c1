#include "appundertest.h"
#include "link/udpcommthread.h"
#include "linktestkit.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QQuickItem>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

// Finding and listing displays, driven through the window against simulated displays: four on
// the loopback broadcast address, and beyond it two that only a typed address reaches plus one
// that never answers.
namespace {

const QString kQuery = QStringLiteral("A1 04 B2");
const QString kController = QStringLiteral("127.0.0.1:7372");
const QString kBroadcastEndpoint = QStringLiteral("127.255.255.255:7372");
const QStringList kNearNames = {"Alpha", "Beta", "Gamma", "Delta"};
const QStringList kNearAddresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"};
constexpr int kFar = 1, kAnnex = 2, kSilent = 3; // displays of the far simulator
constexpr int kRowsShownMs = 5000;

QStringList queries(int count)
{
    return QVector<QString>(count, kQuery).toList();
}

// "Name: Alpha, IP Addr: 127.0.0.2" for each row shown, top to bottom.
QStringList shown(const QList<ShownRow> &rows)
{
    QStringList lines;
    for (const ShownRow &row : rows)
        lines << row.nameLine + QStringLiteral(", ") + row.addressLine;
    return lines;
}

QStringList nearRows()
{
    QStringList lines;
    for (int i = 0; i < kNearNames.size(); ++i)
        lines
            << QStringLiteral("Name: %1, IP Addr: %2").arg(kNearNames.at(i), kNearAddresses.at(i));
    return lines;
}

} // namespace

class TestE2eDisplays : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void findsTheDisplaysOnTheBroadcastAddress();
    void tapSelectsAndDeselectsARow();
    void queryTimersAsksEveryListedDisplayAndTheBroadcastAddress();
    void manualAddQueriesTheTypedAddress_data();
    void manualAddQueriesTheTypedAddress();
    void setupSaveChangesTheResendSpacing();
    void removeSelectedSurvivesARestart();
    void pollGoesOnlyToTheSelectedDisplay();

private:
    void startApp();
    void verifyOneQueryPerDisplay(SimHarness &sim, const QList<int> &displays, int since);

    SimHarness m_near{QStringLiteral(QB_SIM_EXECUTABLE)};
    SimHarness m_far{QStringLiteral(QB_SIM_EXECUTABLE)};
    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<WindowOperator> m_operator;
};

void TestE2eDisplays::initTestCase()
{
    AppUnderTest::forgetStoredSettings();

    SimHarness::Options near;
    near.names = kNearNames;
    QVERIFY2(m_near.start(near), qPrintable(m_near.errorString()));
    SimHarness::Options far;
    far.firstAddress = QStringLiteral("127.0.0.9");
    far.count = 3;
    far.names = QStringList{"Far", "Annex"};
    far.silent = {kSilent};
    far.broadcast = false;
    QVERIFY2(m_far.start(far), qPrintable(m_far.errorString()));

    startApp();
}

void TestE2eDisplays::cleanupTestCase()
{
    m_operator.reset();
    m_app.reset();
    m_near.stop();
    m_far.stop();
}

void TestE2eDisplays::startApp()
{
    m_operator.reset();
    m_app.reset();
    m_app = std::make_unique<AppUnderTest>();
    QVERIFY(m_app->isRunning());
    m_operator = std::make_unique<WindowOperator>(m_app->window());
}

// Each display got exactly one query at its own address from the controller's port.
void TestE2eDisplays::verifyOneQueryPerDisplay(SimHarness &sim, const QList<int> &displays,
                                               int since)
{
    for (int display : displays) {
        const QList<SimHarness::Record> queries = sim.unicastReceived(display, since);
        QCOMPARE(SimHarness::hexOf(queries), QStringList{kQuery});
        QCOMPARE(queries.constFirst().from, kController);
    }
}

void TestE2eDisplays::findsTheDisplaysOnTheBroadcastAddress()
{
    // An empty store: the window's first discovery goes to the broadcast address only.
    QTRY_COMPARE_WITH_TIMEOUT(shown(m_operator->rows()), nearRows(), kRowsShownMs);
    const QList<ShownRow> rows = m_operator->rows();

    // Time-of-day rows show hh:mm:ss and advance between replies.
    const QRegularExpression timeOfDay(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    for (int i = 0; i < rows.size(); ++i) {
        const QString firstText = rows.at(i).timeText;
        QVERIFY2(timeOfDay.match(firstText).hasMatch(), qPrintable(firstText));
        QTRY_VERIFY_WITH_TIMEOUT(m_operator->rowOf(kNearAddresses.at(i)).timeText != firstText,
                                 2500);
    }

    // Three retries: four copies of the query, all from the controller's own port 7372.
    QVERIFY(m_app->waitUntilLinkIdle());
    for (int display = 1; display <= 4; ++display) {
        const QList<SimHarness::Record> heard = m_near.received(display);
        QCOMPARE(SimHarness::hexOf(heard), queries(4));
        for (const SimHarness::Record &record : heard) {
            QCOMPARE(record.to, kBroadcastEndpoint);
            QCOMPARE(record.from, kController);
        }
        QCOMPARE(m_near.sent(display).size(), 4);
    }
    for (int display = kFar; display <= kSilent; ++display)
        QVERIFY(m_far.received(display).isEmpty());
}

void TestE2eDisplays::tapSelectsAndDeselectsARow()
{
    const int row = m_app->timers().addresses().indexOf(QStringLiteral("127.0.0.3"));
    QVERIFY(row >= 0);
    QQuickItem *card = m_operator->rowOf(QStringLiteral("127.0.0.3")).card;
    QVERIFY(m_operator->tap(card));
    QVERIFY(m_app->timers().isSelected(row));
    QCOMPARE(card->property("color").value<QColor>(), QColor(QStringLiteral("#f73e3e")));
    QCOMPARE(card->state(), QStringLiteral("Current"));
    QTRY_COMPARE(card->x(), 20.0);

    QVERIFY(m_operator->tap(card));
    QVERIFY(!m_app->timers().isSelected(row));
    QCOMPARE(card->property("color").value<QColor>(), QColor(Qt::white));
    QCOMPARE(card->state(), QString());
    QTRY_COMPARE(card->x(), 0.0);
}

void TestE2eDisplays::queryTimersAsksEveryListedDisplayAndTheBroadcastAddress()
{
    QVERIFY(m_app->waitUntilLinkIdle());
    const int mark = m_near.mark();
    const int farMark = m_far.mark();
    QSignalSpy udpTx(&m_app->controller().link(), &UDPCommThread::UDPTx);

    QVERIFY(m_operator->tap(QStringLiteral("Query Timers")));
    QCOMPARE(sentPackets(udpTx),
             QStringList({"127.0.0.2 a104b2", "127.0.0.3 a104b2", "127.0.0.4 a104b2",
                          "127.0.0.5 a104b2", "127.255.255.255 a104b2"}));

    QVERIFY(m_app->waitUntilLinkIdle());
    verifyOneQueryPerDisplay(m_near, {1, 2, 3, 4}, mark);
    for (int display = 1; display <= 4; ++display) {
        // The unicast copy is answered at once; the broadcast one runs out its three retries.
        QCOMPARE(m_near.received(display, mark).size(), 1 + 4);
        QCOMPARE(m_near.sent(display, mark).size(), 1 + 4);
    }
    QVERIFY(m_far.received(kFar, farMark).isEmpty());
    QCOMPARE(m_operator->rows().size(), 4);
}

void TestE2eDisplays::manualAddQueriesTheTypedAddress_data()
{
    QTest::addColumn<int>("display");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::newRow("far") << kFar << QStringLiteral("127.0.0.9") << QStringLiteral("Far");
    QTest::newRow("annex") << kAnnex << QStringLiteral("127.0.0.10") << QStringLiteral("Annex");
}

void TestE2eDisplays::manualAddQueriesTheTypedAddress()
{
    QFETCH(int, display);
    QFETCH(QString, address);
    QFETCH(QString, name);
    QVERIFY(m_app->waitUntilLinkIdle());
    const QStringList listed = m_app->timers().addresses();
    const int mark = m_far.mark();
    QSignalSpy udpTx(&m_app->controller().link(), &UDPCommThread::UDPTx);

    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Manual IP Add")));
    QVERIFY(m_operator->typeInto(m_operator->fieldBeside(QStringLiteral("Manual IP:")), address));
    QVERIFY(m_operator->tap(QStringLiteral("Save")));

    // The listed displays are asked again first, in row order, then the typed address.
    QStringList expected;
    for (const QString &row : listed)
        expected << row + QStringLiteral(" a104b2");
    expected << address + QStringLiteral(" a104b2");
    QCOMPARE(sentPackets(udpTx), expected);
    QTRY_COMPARE_WITH_TIMEOUT(m_operator->rowOf(address).nameLine, QStringLiteral("Name: ") + name,
                              kRowsShownMs);
    QCOMPARE(m_operator->rows().size(), listed.size() + 1);
    QVERIFY(m_app->waitUntilLinkIdle());
    verifyOneQueryPerDisplay(m_far, {display}, mark);
    QCOMPARE(m_far.received(display, mark).size(), 1);
}

void TestE2eDisplays::setupSaveChangesTheResendSpacing()
{
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Setup Parameters")));
    QQuickItem *retries = m_operator->fieldBeside(QStringLiteral("UDP Retries:"));
    QQuickItem *delay = m_operator->fieldBeside(QStringLiteral("Retry Delay (ms):"));
    QVERIFY(retries && delay);
    // The page opens with the window's values: the defaults, as nothing was stored.
    QCOMPARE(retries->property("value").toInt(), 3);
    QCOMPARE(delay->property("value").toInt(), 350);
    QCOMPARE(m_operator->fieldBeside(QStringLiteral("Broadcast IP:"))->property("text").toString(),
             QStringLiteral("127.255.255.255"));
    QVERIFY(m_operator->typeInto(retries, QStringLiteral("2")));
    QVERIFY(m_operator->typeInto(delay, QStringLiteral("300")));
    QVERIFY(m_operator->tap(QStringLiteral("Save")));
    QCOMPARE(m_app->evaluate(QStringLiteral("window.iRetries")).toInt(), 2);
    QCOMPARE(m_app->evaluate(QStringLiteral("window.iDelay")).toInt(), 300);

    // A display that never answers hears the query three times, about 300 ms apart.
    QVERIFY(m_app->waitUntilLinkIdle());
    const int mark = m_far.mark();
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Manual IP Add")));
    QVERIFY(m_operator->typeInto(m_operator->fieldBeside(QStringLiteral("Manual IP:")),
                                 QStringLiteral("127.0.0.11")));
    QVERIFY(m_operator->tap(QStringLiteral("Save")));
    QVERIFY(m_app->waitUntilLinkIdle());
    const QList<SimHarness::Record> heard = m_far.unicastReceived(kSilent, mark);
    QCOMPARE(SimHarness::hexOf(heard), queries(3));
    for (int i = 1; i < heard.size(); ++i) {
        const double gap = heard.at(i).t - heard.at(i - 1).t;
        QVERIFY2(gap >= 200 && gap <= 1500, qPrintable(QString::number(gap)));
    }
    QVERIFY(m_far.sent(kSilent).isEmpty());
    QVERIFY(m_app->timers().addresses().indexOf(QStringLiteral("127.0.0.11")) < 0);
}

void TestE2eDisplays::removeSelectedSurvivesARestart()
{
    // Far and Annex, the last two rows, both selected.
    QVERIFY(m_operator->tap(m_operator->rowOf(QStringLiteral("127.0.0.9")).card));
    QVERIFY(m_operator->tap(m_operator->rowOf(QStringLiteral("127.0.0.10")).card));
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Remove Selected")));
    QTRY_COMPARE(shown(m_operator->rows()), nearRows());

    QCOMPARE(storedDisplayList(), kNearAddresses);

    QVERIFY(m_app->waitUntilLinkIdle());
    const int mark = m_near.mark();
    const int farMark = m_far.mark();
    startApp();

    // Only a list read back from the store makes the new window ask these displays by address;
    // the link values saved on the setup page are back too: two retries after the first send.
    QCOMPARE(m_app->evaluate(QStringLiteral("window.iRetries")).toInt(), 2);
    QCOMPARE(m_app->evaluate(QStringLiteral("window.iDelay")).toInt(), 300);
    QTRY_COMPARE_WITH_TIMEOUT(shown(m_operator->rows()), nearRows(), kRowsShownMs);
    QVERIFY(m_app->waitUntilLinkIdle());
    verifyOneQueryPerDisplay(m_near, {1, 2, 3, 4}, mark);
    for (int display = 1; display <= 4; ++display)
        QCOMPARE(m_near.received(display, mark).size(), 1 + 3);
    for (int display = kFar; display <= kSilent; ++display)
        QVERIFY(m_far.received(display, farMark).isEmpty());
}

void TestE2eDisplays::pollGoesOnlyToTheSelectedDisplay()
{
    QVERIFY(m_operator->tap(m_operator->rowOf(QStringLiteral("127.0.0.3")).card));
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Setup Parameters")));
    QVERIFY(m_operator->typeInto(m_operator->fieldBeside(QStringLiteral("Update Interval (sec):")),
                                 QStringLiteral("1")));
    QVERIFY(m_app->waitUntilLinkIdle());
    const int mark = m_near.mark();
    QVERIFY(m_operator->tap(QStringLiteral("Save")));

    // A refresh of 1 s polls once more than a second has gathered: every 2 s or so.
    QTest::qWait(5000);
    const QList<SimHarness::Record> polls = m_near.unicastReceived(2, mark);
    QVERIFY2(polls.size() >= 2 && polls.size() <= 3, qPrintable(QString::number(polls.size())));
    QCOMPARE(SimHarness::hexOf(polls), queries(polls.size()));
    for (int i = 1; i < polls.size(); ++i) {
        const double gap = polls.at(i).t - polls.at(i - 1).t;
        QVERIFY2(gap >= 1900 && gap <= 4000, qPrintable(QString::number(gap)));
    }
    for (int display : {1, 3, 4})
        QVERIFY(m_near.received(display, mark).isEmpty());
}

QTEST_MAIN(TestE2eDisplays)
#include "tst_e2e_displays.moc"
