#include "link/udpcommthread.h"
#include "linktestkit.h"

#include <QSignalSpy>
#include <QtTest>

// The link thread against display stand-ins on loopback: resends, drops, and which queued
// packet a reply ends (the rules themselves are tested in tst_protocol).
namespace {

const QString kDisplay = QStringLiteral("127.0.0.2");
const QString kDropLine = QStringLiteral("No response received, dropping packet");

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

} // namespace

class TestUdpCommThread : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void retryTiming_data();
    void retryTiming();
    void replyEndsItsPacket_data();
    void replyEndsItsPacket();

private:
    void send(const QByteArray &packet, int firstDelay = 0, int extraWait = 0)
    {
        m_link->sendUDPCommand(packet, packet.size(), kDisplay, 7372, true, firstDelay, extraWait);
    }

    std::unique_ptr<LinkLog> m_log;
    std::unique_ptr<UDPCommThread> m_link;
};

void TestUdpCommThread::init()
{
    m_log = std::make_unique<LinkLog>();
    m_link = std::make_unique<UDPCommThread>();
    m_link->start();
}

void TestUdpCommThread::cleanup()
{
    m_link->stopThread();
    m_link.reset();
    m_log.reset();
}

void TestUdpCommThread::retryTiming_data()
{
    QTest::addColumn<int>("retries");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("extraWait");
    QTest::addColumn<int>("firstDelay");

    QTest::newRow("retries 3, delay 100") << 3 << 100 << 0 << 0;
    QTest::newRow("retries 0: one send, then dropped") << 0 << 100 << 0 << 0;
    QTest::newRow("extra wait, first send held back") << 1 << 50 << 100 << 300;
}

void TestUdpCommThread::retryTiming()
{
    QFETCH(int, retries);
    QFETCH(int, delay);
    QFETCH(int, extraWait);
    QFETCH(int, firstDelay);
    const int interval = delay + extraWait;

    ScriptedDisplay display(kDisplay);
    m_link->setIPParameters(retries, delay);
    const qint64 queuedAt = linkClockMs();
    send(hex("A30100"), firstDelay, extraWait);
    const int dropDue = firstDelay + (retries + 1) * interval;
    QTRY_COMPARE_WITH_TIMEOUT(m_link->queuedCount(), 0, dropDue + 5000);
    QTest::qWait(2 * interval); // nothing may follow the drop

    QCOMPARE(display.payloads(), QVector<QByteArray>(retries + 1, hex("A30100")).toList());
    QVERIFY2(display.received().first().ms - queuedAt >= firstDelay, "first send came too early");
    // Every interval is timed on the sending side, so the drop cannot come before its due time;
    // how late it may come depends on how busy the machine is.
    const std::vector<LinkLog::Line> drops = m_log->matching(kDropLine);
    QCOMPARE(int(drops.size()), 1);
    QVERIFY2(drops.front().ms - queuedAt >= dropDue, "dropped too early");
    QVERIFY2(drops.front().ms - queuedAt <= dropDue + 2000, "dropped too late");
}

void TestUdpCommThread::replyEndsItsPacket_data()
{
    QTest::addColumn<QString>("queued"); // hex packets, oldest first
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("resent"); // what the reply left queued: resent once, then dropped

    QByteArray status(40, '\0');
    status[0] = 1;
    QByteArray program(215, '\0');
    program[0] = char(0xB2);
    program[2] = 3;
    QTest::newRow("status ends the oldest") << "A30100 A80100" << status << kDisplay << "A80100";
    QTest::newRow("acknowledgement ends the oldest")
        << "AF A30100" << hex("41") << kDisplay << "A30100";
    QTest::newRow("program 3 ends its request")
        << "B201 A40300 B203" << program << kDisplay << "B201 B203";
    QTest::newRow("another display's reply ends nothing")
        << "A30100 A80100" << status << "127.0.0.3"
        << "A30100 A80100";
}

void TestUdpCommThread::replyEndsItsPacket()
{
    QFETCH(QString, queued);
    QFETCH(QByteArray, reply);
    QFETCH(QString, from);

    constexpr int kInterval = 500;
    ScriptedDisplay display(kDisplay);
    ScriptedDisplay other(QStringLiteral("127.0.0.3"));
    QSignalSpy handled(m_link.get(), &UDPCommThread::UDPRx);
    m_link->setIPParameters(1, kInterval);
    const QStringList packets = queued.split(QLatin1Char(' '));
    for (const QString &packet : packets)
        send(QByteArray::fromHex(packet.toLatin1()));
    QTRY_COMPARE(display.received().size(), packets.size());

    (from == kDisplay ? display : other).reply(reply);
    QTRY_COMPARE(handled.count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(m_link->queuedCount(), 0, 4 * kInterval + 2000);
    QStringList resent;
    for (const QByteArray &payload : display.payloads().mid(packets.size()))
        resent << QString::fromLatin1(payload.toHex().toUpper());
    QTEST(resent.join(QLatin1Char(' ')), "resent");
    QCOMPARE(m_log->count(kDropLine), resent.size());
}

QTEST_GUILESS_MAIN(TestUdpCommThread)
#include "tst_udpcommthread.moc"
