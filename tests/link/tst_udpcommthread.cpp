#include "link/udpcommthread.h"
#include "linktestkit.h"

#include <QtTest>

// The link thread against display stand-ins on loopback: which queued packet a reply that came
// over the socket ends, and when the rest is sent again. The answer rules and the resend and drop
// times are tested in tst_protocol.
class TestUdpCommThread : public QObject
{
    Q_OBJECT

private slots:
    void repliesEndTheirPackets();
    void sendBeforeTheThreadRuns();
};

void TestUdpCommThread::repliesEndTheirPackets()
{
    constexpr int kFirstDelay = 300, kInterval = 500, kExtraWait = 200;
    UDPCommThread link;
    link.start();
    ScriptedDisplay display(QStringLiteral("127.0.0.2"));
    ScriptedDisplay other(QStringLiteral("127.0.0.3"));
    link.setIPParameters(1, kInterval);
    const qint64 queuedAt = QDeadlineTimer::current().deadline();
    const QStringList packets = {"AF", "A30100", "B201", "A40300", "B203"};
    for (const QString &hex : packets) {
        const QByteArray packet = QByteArray::fromHex(hex.toLatin1());
        link.sendUDPCommand(packet, packet.size(), QStringLiteral("127.0.0.2"), 7372, true,
                            kFirstDelay, kExtraWait);
    }
    QTRY_COMPARE(display.received().size(), packets.size());
    QVERIFY2(display.received().first().ms - queuedAt >= kFirstDelay, "first send came too early");

    // Another display's status ends nothing; the acknowledgement ends the oldest packet, the
    // reply to get-program 3 the oldest whose second byte is 3, whatever its command.
    other.reply(QByteArray(1, 1).leftJustified(40, '\0'));
    display.reply("A");
    display.reply(QByteArray::fromHex("B20003").leftJustified(215, '\0'));
    QTRY_COMPARE(link.queuedCount(), 3);

    // The rest is sent once more, a retry delay and the extra wait after the first send, then
    // dropped.
    QTRY_COMPARE_WITH_TIMEOUT(link.queuedCount(), 0, 4 * kInterval + 2000);
    QStringList resent;
    for (const ScriptedDisplay::Receipt &receipt : display.received().mid(packets.size()))
        resent << QString::fromLatin1(receipt.payload.toHex().toUpper());
    QCOMPARE(resent, QStringList({"A30100", "B201", "B203"}));
    QVERIFY2(display.received().last().ms - queuedAt >= kFirstDelay + kInterval + kExtraWait,
             "resent too early");
}

// An immediate send is written by the sending thread; one made before the link thread has opened
// the socket waits for it.
void TestUdpCommThread::sendBeforeTheThreadRuns()
{
    ScriptedDisplay display(QStringLiteral("127.0.0.2"));
    UDPCommThread link;
    const QByteArray packet = QByteArray::fromHex("A30100");
    link.sendUDPCommand(packet, packet.size(), QStringLiteral("127.0.0.2"), 7372, false, 0, 0);
    link.start();
    QTRY_COMPARE(display.received().size(), 1);
    QCOMPARE(display.received().first().payload, packet);
}

QTEST_GUILESS_MAIN(TestUdpCommThread)
#include "tst_udpcommthread.moc"
