#include "controller/deliveries.h"
#include "link/protocol.h"
#include "models/timerdatamodel.h"

#include <QSignalSpy>
#include <QtTest>

// How the packets of one command end, per display: who acknowledged, who missed what, whose row
// is marked stale, and when an answer clears the mark. Packets are told by the link's reports,
// on a fixed wall clock.
class TestDeliveries : public QObject
{
    Q_OBJECT
private slots:
    void outcomes_data();
    void outcomes();
    void waitEndsAtTheLinksGiveUp();
};

void TestDeliveries::outcomes_data()
{
    QTest::addColumn<QString>("script");
    // "acknowledged | missed | pending | stale rows | missed signals | answered again"
    QTest::addColumn<QString>("expected");

    // "send ID ADDRESS HEX" inside the watch, "end ID ok|miss" as the link reports it, "reply
    // ADDRESS" a status reply from it; ADDRESS is the last byte of 127.0.0.x.
    QTest::newRow("every display answered") << "send 1 2 a60100; send 2 3 a60100; end 2 ok; "
                                               "end 1 ok"
                                            << "2 3 |  |  |  |  | ";
    QTest::newRow("one missed the start")
        << "send 1 2 a60100; send 2 3 a60100; end 1 ok; end 2 miss"
        << "2 | 3 count-down start |  | 3 | 3 count-down start | ";
    QTest::newRow("the first packet a display missed names it")
        << "send 1 2 a60000; send 2 2 a7000001000000000000; send 3 2 a60100; end 1 ok; "
           "end 2 miss; end 3 miss"
        << " | 2 count-down reset |  | 2 | 2 count-down reset 2 count-down start | ";
    QTest::newRow("an answer after a miss clears the mark")
        << "send 1 2 a80100; end 1 miss; reply 2"
        << " | 2 time of day |  |  | 2 time of day | 2";
    QTest::newRow("an answer to a later packet clears it too")
        << "send 1 2 a80100; end 1 miss; send 2 2 a104b2; end 2 ok"
        << " | 2 time of day |  |  | 2 time of day | 2";
    QTest::newRow("an address not listed is named, no row is marked")
        << "send 1 9 a80100; end 1 miss"
        << " | 9 time of day |  |  |  | ";
    QTest::newRow("a miss outside the watch marks its row, not the outcome")
        << "send 1 2 a60100; end 7 miss; end 1 ok"
        << "2 |  |  | 4 | 4 status query | ";
}

void TestDeliveries::outcomes()
{
    QFETCH(QString, script);
    QFETCH(QString, expected);
    TimerDataModel timers;
    for (const char *ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        timers.addOrUpdateTimer(TimerData(QString(), ip, false, QTime(0, 0), 0, 0, 0));
    Deliveries deliveries(timers, [] { return qint64(1'800'000'000'000); });
    QStringList missedSignals, answeredAgain;
    connect(&deliveries, &Deliveries::missed,
            [&](const QString &addr, const QString &command, qint64 at) {
                QCOMPARE(at, qint64(1'800'000'000'000));
                missedSignals << addr.section(QLatin1Char('.'), 3) + ' ' + command;
            });
    connect(&deliveries, &Deliveries::answeredAgain,
            [&](const QString &addr) { answeredAgain << addr.section(QLatin1Char('.'), 3); });
    std::optional<Deliveries::Outcome> outcome;
    QHash<quint64, QPair<QString, QByteArray>> packets;
    const auto address = [](const QString &last) { return "127.0.0." + last; };

    deliveries.openWatch();
    bool open = true;
    for (const QString &step : script.split(QStringLiteral("; "))) {
        const QStringList w = step.split(QLatin1Char(' '));
        if (w[0] == "send") {
            packets.insert(w[1].toULongLong(),
                           {address(w[2]), QByteArray::fromHex(w[3].toLatin1())});
            deliveries.noteSent(w[1].toULongLong(), address(w[2]),
                                QByteArray::fromHex(w[3].toLatin1()));
            continue;
        }
        if (open) {
            deliveries.closeWatch([&](const Deliveries::Outcome &o) { outcome = o; });
            open = false;
        }
        if (w[0] == "end") {
            const auto packet = packets.value(w[1].toULongLong(), {address("4"), "\xa1"});
            deliveries.packetEnded(w[1].toULongLong(), packet.first,
                                   Protocol::commandName(packet.second), w[2] == "ok");
        } else {
            deliveries.noteStatusReply(address(w[1]));
        }
    }
    QVERIFY(outcome);
    const auto last = [](const QStringList &addrs) {
        QStringList bytes;
        for (const QString &a : addrs)
            bytes << a.section(QLatin1Char('.'), 3);
        return bytes.join(QLatin1Char(' '));
    };
    QStringList missed;
    for (const auto &[addr, command] : outcome->missed)
        missed << addr.section(QLatin1Char('.'), 3) + ' ' + command;
    QStringList stale;
    for (int row = 0; row < timers.rowCount(); ++row) {
        if (timers.timerAt(row)->isStale())
            stale << timers.timerIpAddr(row).section(QLatin1Char('.'), 3);
    }
    const QString seen = QStringList{last(outcome->acknowledged), missed.join(' '),
                                     last(outcome->pending),      stale.join(' '),
                                     missedSignals.join(' '),     answeredAgain.join(' ')}
                             .join(QStringLiteral(" | "));
    QCOMPARE(seen, expected);
}

// A packet the link never reports on holds a caller no longer than the link's retries take,
// plus a second.
void TestDeliveries::waitEndsAtTheLinksGiveUp()
{
    TimerDataModel timers;
    Deliveries deliveries(timers);
    deliveries.setLinkTiming(1, 100);
    QCOMPARE(deliveries.maxWaitMs(), 1200);
    deliveries.setLinkTiming(10, 1000);
    QCOMPARE(deliveries.maxWaitMs(), Deliveries::kMaxWaitMs);
    deliveries.setLinkTiming(0, 50);
    deliveries.openWatch();
    deliveries.noteSent(1, QStringLiteral("127.0.0.2"), Protocol::statusQuery());
    std::optional<Deliveries::Outcome> outcome;
    QElapsedTimer waited;
    waited.start();
    deliveries.closeWatch([&](const Deliveries::Outcome &o) { outcome = o; });
    QVERIFY(!outcome);
    QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 5000);
    QVERIFY(waited.elapsed() >= 1000);
    QCOMPARE(outcome->pending, QStringList{QStringLiteral("127.0.0.2")});
}

QTEST_MAIN(TestDeliveries)
#include "tst_deliveries.moc"
