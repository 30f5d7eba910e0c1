#include "link/requestqueue.h"

#include <QtTest>

// The queue's send, resend and drop rules on an injected clock. The clock jumps to each wake-up
// the queue asks for, as the link thread's timer does, so late wake-ups show as late sends.
class TestRequestQueue : public QObject
{
    Q_OBJECT
private slots:
    void schedule_data();
    void schedule();
};

void TestRequestQueue::schedule_data()
{
    QTest::addColumn<int>("retries");
    QTest::addColumn<int>("interval"); // retry delay + extra wait, ms
    QTest::addColumn<int>("firstDelay");
    QTest::addColumn<QString>("events"); // ms of each send the queue makes, and of the drop

    QTest::newRow("retries 3") << 3 << 100 << 0 << "100 200 300 drop 400";
    QTest::newRow("retries 0: dropped after one interval") << 0 << 100 << 0 << "drop 100";
    QTest::newRow("first send held back") << 1 << 150 << 300 << "300 450 drop 600";
    QTest::newRow("retry delay 0 keeps 5 ms apart")
        << 10 << 0 << 0 << "5 10 15 20 25 30 35 40 45 50 drop 55";
}

void TestRequestQueue::schedule()
{
    QFETCH(int, retries);
    QFETCH(int, interval);
    QFETCH(int, firstDelay);
    constexpr qint64 kNsPerMs = 1000000;

    RequestQueue queue;
    udpQueueStruct record;
    record.data = QByteArray::fromHex("A30100");
    record.waitFirstSend = firstDelay > 0;
    record.firstDelay = firstDelay;
    record.retryInterval = interval;
    queue.append(record); // queued at 0, and sent then unless held back

    QStringList events;
    qint64 nowNs = 0;
    for (int pass = 0; pass < 50 && queue.size() > 0; ++pass) {
        const RequestQueue::Pass due = queue.takeDue(nowNs, retries);
        if (!due.due.empty())
            events << QString::number(nowNs / kNsPerMs);
        if (due.dropped > 0)
            events << QStringLiteral("drop %1").arg(nowNs / kNsPerMs);
        nowNs += due.nextDueNs.value_or(0);
    }
    QTEST(events.join(QLatin1Char(' ')), "events");
}

QTEST_APPLESS_MAIN(TestRequestQueue)
#include "tst_requestqueue.moc"
