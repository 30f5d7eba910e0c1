#include "link/requestqueue.h"

#include <QtTest>

class TestRequestQueue : public QObject
{
    Q_OBJECT
private slots:
    void zeroDelayRetriesKeepTheirSpacing();
};

// With a retry delay of 0, the copies of an unanswered packet still leave 5 ms apart, and the
// drop comes 5 ms after the last.
void TestRequestQueue::zeroDelayRetriesKeepTheirSpacing()
{
    RequestQueue queue;
    udpQueueStruct record;
    record.data = QByteArray::fromHex("A30100");
    record.addr = QStringLiteral("127.0.0.2");
    queue.append(record); // sent at 0 by the caller

    QList<int> resentAtMs;
    int droppedAtMs = -1;
    for (int ms = 0; ms <= 100; ++ms) {
        const RequestQueue::Pass pass = queue.takeDue(ms * qint64(1000000), 10);
        if (!pass.due.empty())
            resentAtMs << ms;
        if (pass.dropped == 1)
            droppedAtMs = ms;
    }
    QCOMPARE(resentAtMs, (QList<int>{5, 10, 15, 20, 25, 30, 35, 40, 45, 50}));
    QCOMPARE(droppedAtMs, 55);
    QCOMPARE(queue.size(), 0);
}

QTEST_GUILESS_MAIN(TestRequestQueue)
#include "tst_requestqueue.moc"
