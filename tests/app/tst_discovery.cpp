#include "controllerfixture.h"

#include <QtTest>

namespace {

void writeStore(const QStringList &addresses, const QVariant &size)
{
    QSettings settings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
    settings.clear();
    settings.beginWriteArray(QStringLiteral("timerlist"));
    for (int i = 0; i < addresses.size(); ++i) {
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("IP"), addresses.at(i));
    }
    settings.endArray();
    settings.setValue(QStringLiteral("timerlist/size"), size);
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void queryOrder();
    void decodesIntoARow();
    void updateKeepsSelection();
    void mirrorFollowsReply_data();
    void mirrorFollowsReply();
    void invalidTimeKeepsRowTime();
    void poll_data();
    void poll();
    void storedListSurvivesRestart();
    void loadDoesNotRewriteWhileReading();
    void corruptStoreLoads_data();
    void corruptStoreLoads();

private:
    std::unique_ptr<ControllerFixture> m_f;
    void start() { m_f = std::make_unique<ControllerFixture>(); }
};

void TestDiscovery::init()
{
    m_f.reset();
    ControllerFixture::clearStore();
    start();
}

void TestDiscovery::queryOrder()
{
    m_f->controller->handleSubmitQuery(QStringLiteral("127.255.255.255"));
    QCOMPARE(m_f->sent(), QStringList{"127.255.255.255 a104b2"});
    m_f->addTimer(QStringLiteral("127.0.0.3"));
    m_f->addTimer(QStringLiteral("127.0.0.2"));
    m_f->udpTx.clear();
    m_f->controller->handleSubmitQuery(QStringLiteral("127.0.0.9"));
    QCOMPARE(m_f->sent(),
             QStringList({"127.0.0.3 a104b2", "127.0.0.2 a104b2", "127.0.0.9 a104b2"}));
    QCOMPARE(m_f->timers.rowCount(), 2); // the query alone adds nothing
}

void TestDiscovery::decodesIntoARow()
{
    m_f->controller->UDPResponse(QStringLiteral("127.0.0.2"),
                                 statusReply("10.1.200.255", "Hall", 13, 14, 15, 67, 0x03C1, 9));
    QCOMPARE(m_f->timers.rowCount(), 1);
    const QModelIndex row = m_f->timers.index(0);
    QCOMPARE(m_f->timers.timerName(0), QStringLiteral("Hall"));
    QCOMPARE(m_f->timers.timerIpAddr(0), QStringLiteral("10.1.200.255"));
    QCOMPARE(m_f->timers.data(row, TimerDataModel::TimeRole).toTime(), QTime(13, 14, 15, 670));
    QCOMPARE(m_f->timers.data(row, TimerDataModel::DayRole).toInt(), 9);
    QCOMPARE(m_f->timers.data(row, TimerDataModel::FormatRole).toInt(), 0x03C1);
    QVERIFY(!m_f->timers.isSelected(0));
}

void TestDiscovery::updateKeepsSelection()
{
    const QByteArray first = statusReply("127.0.0.2", "Old", 1, 0, 0, 0, 0);
    const QByteArray second = statusReply("127.0.0.2", "New", 2, 0, 0, 0, 0);
    m_f->controller->UDPResponse(QStringLiteral("127.0.0.2"), first);
    m_f->controller->handlecheckBoxChanged(0, true);
    m_f->controller->UDPResponse(QStringLiteral("127.0.0.2"), second);
    QCOMPARE(m_f->timers.rowCount(), 1);
    QVERIFY(m_f->timers.isSelected(0));
    QCOMPARE(m_f->timers.timerName(0), QStringLiteral("New"));
    m_f->controller->handlecheckBoxChanged(0, false);
    QVERIFY(!m_f->timers.isSelected(0));
    m_f->controller->handlecheckBoxChanged(7, true); // outside the list: nothing happens
}

void TestDiscovery::mirrorFollowsReply_data()
{
    QTest::addColumn<bool>("countingDown"); // a count-down of 3 days 10 s runs when the reply comes
    QTest::addColumn<int>("statusWord");
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("textNow");
    QTest::addColumn<QString>("told");
    QTest::addColumn<QString>("textAfterOneSecond");

    QTest::newRow("count up running, tenths") << false << 0xC1 << 0 << "01:02:03.4"
                                              << "up 1 format 0"
                                              << "01:02:04.4";
    QTest::newRow("count up paused, days-h:m:s") << false << 0x01 << 2 << "2-01:02:03"
                                                 << "up 0 format 1"
                                                 << "2-01:02:03";
    QTest::newRow("count up running, days:h:m") << false << 0xE1 << 1 << "1:01:02"
                                                << "up 1 format 2"
                                                << "1:01:02";
    QTest::newRow("count down running, tenths") << false << 0xC2 << 0 << "01:02:03.4"
                                                << "dn 1"
                                                << "01:02:02.4";
    QTest::newRow("count down paused") << false << 0x82 << 0 << "01:02:03.4"
                                       << "dn 0"
                                       << "01:02:03.4";
    // The time part goes to zero; days and the display mode stay.
    QTest::newRow("time of day stops a count-down") << true << 0x00 << 0 << "3-00:00:00"
                                                    << "up 0 dn 0"
                                                    << "3-00:00:00";
}

void TestDiscovery::mirrorFollowsReply()
{
    QFETCH(bool, countingDown);
    QFETCH(int, statusWord);
    QFETCH(int, days);
    if (countingDown) {
        m_f->controller->handleCountDnResetButton(1, 3, 0, 0, 10, 0, 0);
        m_f->controller->handleCountDnStartButton();
        m_f->dnStartPause.clear();
    }
    m_f->controller->UDPResponse(QString(),
                                 statusReply("127.0.0.2", "T", 1, 2, 3, 45, statusWord, days));
    QTEST(m_f->text(), "textNow");
    QTEST(m_f->told(), "told");
    m_f->tickFor(1000);
    QTEST(m_f->text(), "textAfterOneSecond");
}

void TestDiscovery::invalidTimeKeepsRowTime()
{
    m_f->controller->UDPResponse(QString(), statusReply("127.0.0.2", "T", 5, 6, 7, 0, 0));
    m_f->controller->UDPResponse(QString(), statusReply("127.0.0.2", "T", 24, 60, 60, 100, 0));
    QCOMPARE(m_f->timers.data(m_f->timers.index(0), TimerDataModel::TimeRole).toTime(),
             QTime(5, 6, 7));
}

void TestDiscovery::poll_data()
{
    QTest::addColumn<int>("refreshSecs");
    QTest::addColumn<QList<int>>("selectedRows");
    QTest::addColumn<QStringList>("polled");
    // Polls come once more than the refresh period has gathered: 2 s for a period of 1 s.
    QTest::newRow("first selected only, every 2 s")
        << 1 << QList<int>{1, 2} << QStringList{"127.0.0.3 a104b2"};
    QTest::newRow("everyone without a selection, every 61 s")
        << 60 << QList<int>()
        << QStringList({"127.0.0.2 a104b2", "127.0.0.3 a104b2", "127.0.0.4 a104b2"});
}

void TestDiscovery::poll()
{
    QFETCH(int, refreshSecs);
    QFETCH(QList<int>, selectedRows);
    QFETCH(QStringList, polled);
    m_f->controller->handleSetIPParameters(0, 5000, refreshSecs);
    for (const char *ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        m_f->addTimer(QString::fromLatin1(ip));
    for (int row : selectedRows)
        m_f->timers.setSelected(row, true);
    const int periodMs = (refreshSecs + 1) * 1000;
    m_f->tickFor(periodMs - 100);
    QVERIFY(m_f->sent().isEmpty());
    m_f->tickFor(100);
    QCOMPARE(m_f->sent(), polled);
    m_f->tickFor(periodMs);
    QCOMPARE(m_f->sent(), polled + polled);
}

void TestDiscovery::storedListSurvivesRestart()
{
    m_f->addTimer(QStringLiteral("127.0.0.2"));
    m_f->addTimer(QStringLiteral("127.0.0.3"));
    m_f->addTimer(QStringLiteral("127.0.0.4"));
    QCOMPARE(storedDisplayList(), QStringList({"127.0.0.2", "127.0.0.3", "127.0.0.4"}));
    m_f->controller->handlecheckBoxChanged(0, true);
    m_f->controller->handlecheckBoxChanged(1, true);
    m_f->controller->handleRemoveSelected();
    QCOMPARE(storedDisplayList(), QStringList{"127.0.0.4"});

    start(); // a new controller and new lists on the same store
    QCOMPARE(m_f->timers.addresses(), QStringList{"127.0.0.4"});
    QVERIFY(!m_f->timers.isSelected(0));
    QVERIFY(m_f->timers.timerName(0).isEmpty());
}

void TestDiscovery::loadDoesNotRewriteWhileReading()
{
    writeStore({"127.0.0.2", "127.0.0.3", "127.0.0.2", "127.0.0.5"}, 4);
    start();
    QCOMPARE(m_f->timers.addresses(), QStringList({"127.0.0.2", "127.0.0.3", "127.0.0.5"}));
    // Loading writes nothing; the first change of the list (the tick's advance) stores it whole.
    QCOMPARE(storedDisplayList().size(), 4);
    m_f->tickFor(100);
    QCOMPARE(storedDisplayList(), QStringList({"127.0.0.2", "127.0.0.3", "127.0.0.5"}));
}

void TestDiscovery::corruptStoreLoads_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QVariant>("size");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("size not a number")
        << QStringList{"127.0.0.2"} << QVariant("many") << QStringList();
    QTest::newRow("negative size") << QStringList{"127.0.0.2"} << QVariant(-5) << QStringList();
    QTest::newRow("size beyond the entries")
        << QStringList{"127.0.0.2", "127.0.0.3"} << QVariant(2000000000)
        << QStringList({"127.0.0.2", "127.0.0.3", ""});
    QTest::newRow("size below the entries")
        << QStringList{"127.0.0.2", "127.0.0.3"} << QVariant(1) << QStringList{"127.0.0.2"};
}

void TestDiscovery::corruptStoreLoads()
{
    QFETCH(QStringList, addresses);
    QFETCH(QVariant, size);
    writeStore(addresses, size);
    QElapsedTimer took;
    took.start();
    start();
    QTEST(m_f->timers.addresses(), "expected");
    QVERIFY(took.elapsed() < 10000);
}

QTEST_GUILESS_MAIN(TestDiscovery)
#include "tst_discovery.moc"
