#include "controllerfixture.h"

#include <QtTest>

// Status replies from anyone on the network: which reported addresses join the display list.
class TestForgedReplies : public QObject
{
    Q_OBJECT
private slots:
    void statusReplies_data();
    void statusReplies();
};

void TestForgedReplies::statusReplies_data()
{
    QTest::addColumn<int>("stored");      // 0.0.0.0, as an older build listed it, then 10.0.x.y
    QTest::addColumn<QString>("queried"); // a discovery query's destination, if any
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<int>("rows");

    const auto row = [](const char *tag, int stored, const char *queried, const char *source,
                        const char *reported, int rows) {
        QTest::newRow(tag) << stored << queried << source << reported << rows;
    };
    row("a host", 0, "", "127.0.0.2", "127.0.0.2", 1);
    row("a host other than the sender", 0, "", "127.0.0.2", "10.1.2.3", 1);
    row("0.0.0.0", 0, "", "127.0.0.2", "0.0.0.0", 0);
    row("limited broadcast", 0, "", "127.0.0.2", "255.255.255.255", 0);
    row("multicast", 0, "", "127.0.0.2", "239.255.255.250", 0);
    row("reserved", 0, "", "127.0.0.2", "240.0.0.1", 0);
    row("the broadcast address queried", 0, "127.255.255.255", "127.0.0.2", "127.255.255.255", 0);
    row("a queried display answering from its address", 0, "127.0.0.7", "127.0.0.7", "127.0.0.7",
        1);
    row("listed already: 0.0.0.0 still answers", 1, "", "127.0.0.2", "0.0.0.0", 1);
    row("the 1,000th display", 999, "", "127.0.0.2", "127.0.0.2", 1000);
    row("the 1,001st display is refused", 1000, "", "127.0.0.2", "127.0.0.2", 1000);
    row("a listed display with the list full", 1000, "", "127.0.0.2", "10.0.3.249", 1000);
}

void TestForgedReplies::statusReplies()
{
    QFETCH(int, stored);
    QFETCH(QString, queried);
    QFETCH(QString, source);
    QFETCH(QString, reported);
    QFETCH(int, rows);

    ControllerFixture::clearStore();
    {
        QSettings store(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
        store.beginWriteArray(QStringLiteral("timerlist"));
        for (int i = 0; i < stored; ++i) {
            store.setArrayIndex(i);
            store.setValue(QStringLiteral("IP"),
                           i ? QStringLiteral("10.0.%1.%2").arg(i / 250).arg(i % 250) : "0.0.0.0");
        }
        store.endArray();
    }
    ControllerFixture f;
    if (!queried.isEmpty())
        f.controller->handleSubmitQuery(queried);
    const bool listed = stored < rows || f.timers.addresses().contains(reported);
    if (!listed && stored == TimerDataModel::kMaxTimers)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "^Display list full \\(1000 displays\\): ")));
    f.controller->UDPResponse(source,
                              statusReply(reported, QStringLiteral("Forged"), 1, 2, 3, 4, 0));
    QCOMPARE(f.timers.rowCount(), rows);
    QCOMPARE(f.timers.timerName(f.timers.addresses().indexOf(reported)), listed ? "Forged" : "");
}

QTEST_GUILESS_MAIN(TestForgedReplies)
#include "tst_forgedreplies.moc"
