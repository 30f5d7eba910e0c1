#include "link/udpcommthread.h"
#include "linktestkit.h"

#include <QSignalSpy>
#include <QtTest>

// The link thread against display stand-ins on loopback: which queued packet a reply that came
// over the socket ends, and that the rest is sent again and dropped. The answer rules are tested
// in tst_protocol, the resend and drop times in tst_requestqueue.
namespace {

const QString kDisplay = QStringLiteral("127.0.0.2");
const QString kOther = QStringLiteral("127.0.0.3");

} // namespace

class TestUdpCommThread : public QObject
{
    Q_OBJECT

private slots:
    void replyEndsItsPacket_data();
    void replyEndsItsPacket();
};

void TestUdpCommThread::replyEndsItsPacket_data()
{
    QTest::addColumn<QString>("queued"); // hex packets, oldest first
    QTest::addColumn<int>("firstDelay");
    QTest::addColumn<int>("extraWait");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("resent"); // what the reply left queued: resent once, then dropped

    const QByteArray status = QByteArray(1, 1).leftJustified(40, '\0');
    const QByteArray program = QByteArray::fromHex("B20003").leftJustified(215, '\0');
    QTest::newRow("status ends the oldest")
        << "A30100 A80100" << 0 << 0 << status << kDisplay << "A80100";
    QTest::newRow("acknowledgement ends the oldest")
        << "AF A30100" << 0 << 0 << QByteArray("A") << kDisplay << "A30100";
    QTest::newRow("program 3 ends its request")
        << "B201 A40300 B203" << 0 << 0 << program << kDisplay << "B201 B203";
    QTest::newRow("another display's reply ends nothing")
        << "A30100 A80100" << 0 << 0 << status << kOther << "A30100 A80100";
    QTest::newRow("no reply, first send held back, extra wait")
        << "A30100" << 300 << 200 << QByteArray() << kDisplay << "A30100";
}

void TestUdpCommThread::replyEndsItsPacket()
{
    QFETCH(QString, queued);
    QFETCH(int, firstDelay);
    QFETCH(int, extraWait);
    QFETCH(QByteArray, reply);
    QFETCH(QString, from);

    constexpr int kInterval = 500;
    LinkLog log;
    UDPCommThread link;
    link.start();
    ScriptedDisplay display(kDisplay);
    ScriptedDisplay other(kOther);
    QSignalSpy handled(&link, &UDPCommThread::UDPRx);
    link.setIPParameters(1, kInterval);
    const qint64 queuedAt = linkClockMs();
    const QStringList packets = queued.split(QLatin1Char(' '));
    for (const QString &hex : packets) {
        const QByteArray packet = QByteArray::fromHex(hex.toLatin1());
        link.sendUDPCommand(packet, packet.size(), kDisplay, 7372, true, firstDelay, extraWait);
    }
    QTRY_COMPARE(display.received().size(), packets.size());
    QVERIFY2(display.received().first().ms - queuedAt >= firstDelay, "first send came too early");

    if (!reply.isEmpty()) {
        (from == kDisplay ? display : other).reply(reply);
        QTRY_COMPARE(handled.count(), 1);
    }
    QTRY_COMPARE_WITH_TIMEOUT(link.queuedCount(), 0, 4 * kInterval + 2000);
    QStringList resent;
    for (const QByteArray &payload : display.payloads().mid(packets.size()))
        resent << QString::fromLatin1(payload.toHex().toUpper());
    QTEST(resent.join(QLatin1Char(' ')), "resent");
    QVERIFY2(display.received().last().ms - queuedAt >= firstDelay + kInterval + extraWait,
             "resent too early");
    QTRY_COMPARE(log.count(QStringLiteral("No response received, dropping packet")), resent.size());
}

QTEST_GUILESS_MAIN(TestUdpCommThread)
#include "tst_udpcommthread.moc"
