#include "controllerfixture.h"

#include <QtTest>

// Status replies from anyone on the network: what joins the display list, and what the mirror
// follows.
class TestForgedReplies : public QObject
{
    Q_OBJECT
private slots:
    void init() { ControllerFixture::clearStore(); }
    void statusReplies_data();
    void statusReplies();
};

namespace {

constexpr int kCountUpRunning = 0x01 | 0x40 | 0x80;

// The stored list a restart loads: 0.0.0.0 as an older build may have listed it, then
// 10.0.x.y.
void storeDisplays(int count)
{
    QSettings store(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
    store.beginWriteArray(QStringLiteral("timerlist"));
    for (int i = 0; i < count; ++i) {
        store.setArrayIndex(i);
        store.setValue(QStringLiteral("IP"),
                       i == 0 ? QStringLiteral("0.0.0.0")
                              : QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250 + 1));
    }
    store.endArray();
}

} // namespace

void TestForgedReplies::statusReplies_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("queried"); // a discovery query's destination, if any
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<bool>("listed");

    const auto row = [](const char *tag, int stored, const char *queried, const char *source,
                        const char *reported, bool listed) {
        QTest::newRow(tag) << stored << queried << source << reported << listed;
    };
    row("a host", 0, "", "127.0.0.2", "127.0.0.2", true);
    row("a host other than the sender", 0, "", "127.0.0.2", "10.1.2.3", true);
    row("0.0.0.0", 0, "", "127.0.0.2", "0.0.0.0", false);
    row("limited broadcast", 0, "", "127.0.0.2", "255.255.255.255", false);
    row("multicast", 0, "", "127.0.0.2", "224.0.0.251", false);
    row("multicast, last", 0, "", "127.0.0.2", "239.255.255.255", false);
    row("reserved", 0, "", "127.0.0.2", "240.0.0.1", false);
    row("the broadcast address queried", 0, "127.255.255.255", "127.0.0.2", "127.255.255.255",
        false);
    row("a queried display answering from its address", 0, "127.0.0.7", "127.0.0.7", "127.0.0.7",
        true);
    row("listed already: 0.0.0.0 still answers", 1, "", "127.0.0.2", "0.0.0.0", true);
    row("the 1,000th display", 999, "", "127.0.0.2", "127.0.0.2", true);
    row("the 1,001st display is refused", 1000, "", "127.0.0.2", "127.0.0.2", false);
    row("a listed display with the list full", 1000, "", "127.0.0.2", "10.0.3.250", true);
}

void TestForgedReplies::statusReplies()
{
    QFETCH(int, stored);
    QFETCH(QString, queried);
    QFETCH(QString, source);
    QFETCH(QString, reported);
    QFETCH(bool, listed);

    storeDisplays(stored);
    ControllerFixture f;
    QCOMPARE(f.timers.rowCount(), stored);
    if (!queried.isEmpty())
        f.controller->handleSubmitQuery(queried);
    if (stored == TimerDataModel::kMaxTimers && !listed)
        QTest::ignoreMessage(
            QtWarningMsg,
            qUtf8Printable(QStringLiteral("Display list full (1000 displays): %1 not listed "
                                          "(1 refused)")
                               .arg(reported)));
    f.controller->UDPResponse(
        source, statusReply(reported, QStringLiteral("Forged"), 1, 2, 3, 4, kCountUpRunning));

    const QStringList addresses = f.timers.addresses();
    QCOMPARE(f.timers.rowCount(),
             stored + (listed && !addresses.mid(0, stored).contains(reported)));
    QCOMPARE(f.timers.timerName(addresses.indexOf(reported)), listed ? "Forged" : "");
    QCOMPARE(f.upStartPause.count(), listed ? 1 : 0); // the mirror follows listed displays only
}

QTEST_GUILESS_MAIN(TestForgedReplies)
#include "tst_forgedreplies.moc"
