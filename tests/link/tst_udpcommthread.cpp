#include "link/udpcommthread.h"
#include "linktestkit.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QString kDisplay = QStringLiteral("127.0.0.2");
const QString kOtherDisplay = QStringLiteral("127.0.0.3");
const QString kDropLine = QStringLiteral("No response received, dropping packet");
const QString kProgRemovedLine = QStringLiteral("Removed Prog/RunningDownload ");
const QString kAllProgRemovedLine = QStringLiteral("Removed AllProgDownload ");
const QString kAckRemovedLine = QStringLiteral("Elapsed time=");

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A datagram of the given length whose first byte is the given code, filled with a pattern.
QByteArray datagram(int code, int length)
{
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(i * 7);
    bytes[0] = static_cast<char>(code);
    return bytes;
}

// A program reply (0xB2) for program n: the number sits in byte 2.
QByteArray programReply(int n)
{
    QByteArray bytes = datagram(0xB2, 215);
    bytes[2] = static_cast<char>(n);
    return bytes;
}

} // namespace

class TestUdpCommThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startAndStopAreLogged();
    void queuedPacketsAreNotSentAfterStop();

    void retryTiming_data();
    void retryTiming();
    void delayChangeAppliesOnlyToLaterPackets();
    void unqueuedSends_data();
    void unqueuedSends();

    void answerMatching_data();
    void answerMatching();
    void receiverRunsBeforeRemovalAndMaySend_data();
    void receiverRunsBeforeRemovalAndMaySend();

    void failedWriteRebuildsTheSocket();
    void unparsableAddressIsNotWritten();

private:
    void send(const QByteArray &packet, const QString &addr = kDisplay, bool queue = true,
              int firstDelay = 0, int extraWait = 0)
    {
        m_link->sendUDPCommand(packet, packet.size(), addr, 7372, queue, firstDelay, extraWait);
    }

    std::unique_ptr<LinkLog> m_log;
    std::unique_ptr<UDPCommThread> m_link;
};

void TestUdpCommThread::initTestCase()
{
    m_log = std::make_unique<LinkLog>();
}

void TestUdpCommThread::init()
{
    m_log->clear();
    m_link = std::make_unique<UDPCommThread>();
    m_link->start();
}

void TestUdpCommThread::cleanup()
{
    m_link->stopThread();
    m_link.reset();
}

void TestUdpCommThread::startAndStopAreLogged()
{
    QTRY_COMPARE(m_log->count(QStringLiteral("Starting UDPCommThread...")), 1);
    // The quit request may also arrive before the thread has entered its loop.
    for (int i = 0; i < 20; ++i) {
        UDPCommThread link;
        link.start();
        link.stopThread();
        QVERIFY(link.isFinished());
    }
    m_link->stopThread();
    QVERIFY(m_link->isFinished());
    QCOMPARE(m_log->count(QStringLiteral("UDPCommThread has ended.")), 21);
}

void TestUdpCommThread::queuedPacketsAreNotSentAfterStop()
{
    ScriptedDisplay display(kDisplay);
    m_link->setIPParameters(3, 100);
    send(hex("A30100"));
    QTRY_COMPARE(display.received().size(), 1);
    m_link->stopThread();
    QCOMPARE(m_link->queuedCount(), 0);
    QTest::qWait(400);
    QCOMPARE(display.received().size(), 1);
    QCOMPARE(m_log->count(kDropLine), 0);
}

void TestUdpCommThread::retryTiming_data()
{
    QTest::addColumn<int>("retries");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("extraWait");
    QTest::addColumn<int>("firstDelay");

    QTest::newRow("retries 3, delay 100") << 3 << 100 << 0 << 0;
    QTest::newRow("retries 0: one send, then dropped") << 0 << 100 << 0 << 0;
    QTest::newRow("extra wait lengthens the interval") << 1 << 50 << 100 << 0;
    QTest::newRow("first send held back 450 ms") << 3 << 100 << 0 << 450;
}

void TestUdpCommThread::retryTiming()
{
    QFETCH(int, retries);
    QFETCH(int, delay);
    QFETCH(int, extraWait);
    QFETCH(int, firstDelay);
    const int interval = delay + extraWait;
    const QByteArray packet = hex("A30100");

    ScriptedDisplay display(kDisplay);
    m_link->setIPParameters(retries, delay);
    const qint64 queuedAt = linkClockMs();
    send(packet, kDisplay, true, firstDelay, extraWait);
    QCOMPARE(m_link->queuedCount(), 1);

    const int dropDue = firstDelay + (retries + 1) * interval;
    QTRY_COMPARE_WITH_TIMEOUT(m_link->queuedCount(), 0, dropDue + 5000);
    QTest::qWait(2 * interval); // nothing may follow the drop

    const QList<ScriptedDisplay::Receipt> &sends = display.received();
    QCOMPARE(sends.size(), retries + 1);
    for (const ScriptedDisplay::Receipt &receipt : sends)
        QCOMPARE(receipt.payload, packet);
    QVERIFY2(sends.first().ms - queuedAt >= firstDelay, "first send came too early");
    QVERIFY2(sends.first().ms - queuedAt <= firstDelay + 300, "first send came too late");
    for (int i = 1; i < sends.size(); ++i) {
        const qint64 gap = sends.at(i).ms - sends.at(i - 1).ms;
        QVERIFY2(gap >= interval / 2 && gap <= interval + 300, qPrintable(QString::number(gap)));
    }

    const std::vector<LinkLog::Line> drops = m_log->matching(kDropLine);
    QCOMPARE(int(drops.size()), 1);
    // Every step is timed on the sending side, so the drop cannot come before its due time.
    QVERIFY2(drops.front().ms - queuedAt >= dropDue, "dropped too early");
    QVERIFY2(drops.front().ms - queuedAt <= dropDue + 500, "dropped too late");
}

void TestUdpCommThread::delayChangeAppliesOnlyToLaterPackets()
{
    const QByteArray early = hex("A30100");
    const QByteArray late = hex("A60100");
    ScriptedDisplay display(kDisplay);
    m_link->setIPParameters(0, 400);
    send(early);
    QTRY_COMPARE(display.received().size(), 1);
    m_link->setIPParameters(2, 50); // retries now apply to both, the delay only to `late`
    send(late);
    QTRY_COMPARE_WITH_TIMEOUT(m_link->queuedCount(), 0, 5000);

    QList<qint64> earlyTimes, lateTimes;
    for (const ScriptedDisplay::Receipt &receipt : display.received())
        (receipt.payload == early ? earlyTimes : lateTimes) << receipt.ms;
    QCOMPARE(earlyTimes.size(), 3);
    QCOMPARE(lateTimes.size(), 3);
    // 400 ms apart against 50 ms apart: the bounds only need to tell the two apart.
    QVERIFY(earlyTimes.at(1) - earlyTimes.at(0) >= 200);
    QVERIFY(earlyTimes.at(2) - earlyTimes.at(1) >= 200);
    QVERIFY(lateTimes.at(2) - lateTimes.at(0) < 400);
    QCOMPARE(m_log->count(kDropLine), 2);
}

void TestUdpCommThread::unqueuedSends_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("firstDelay");
    QTest::addColumn<QList<QByteArray>>("sent");

    QTest::newRow("shorter: only the first bytes")
        << hex("AF0000") << 1 << 0 << QList<QByteArray>{hex("AF")};
    QTest::newRow("longer than the array")
        << hex("A301") << 10 << 0 << QList<QByteArray>{hex("A301")};
    QTest::newRow("negative: empty datagram")
        << hex("A30100") << -1 << 0 << QList<QByteArray>{QByteArray()};
    QTest::newRow("held back: never sent") << hex("A80100") << 3 << 100 << QList<QByteArray>();
}

void TestUdpCommThread::unqueuedSends()
{
    QFETCH(QByteArray, data);
    QFETCH(int, length);
    QFETCH(int, firstDelay);
    QFETCH(QList<QByteArray>, sent);

    ScriptedDisplay display(kDisplay);
    QSignalSpy transmitted(m_link.get(), &UDPCommThread::UDPTx);
    m_link->setIPParameters(3, 50);
    m_link->sendUDPCommand(data, length, kDisplay, 7372, false, firstDelay, 0);
    QCOMPARE(m_link->queuedCount(), 0);
    QCOMPARE(transmitted.count(), sent.size());
    if (!sent.isEmpty()) {
        QCOMPARE(transmitted.first().at(0).toByteArray(), sent.first());
        QCOMPARE(transmitted.first().at(1).toInt(), sent.first().size());
    }
    QTest::qWait(400); // no resend, no drop
    QCOMPARE(display.payloads(), sent);
    QCOMPARE(m_log->count(kDropLine), 0);
}

void TestUdpCommThread::answerMatching_data()
{
    QTest::addColumn<QString>("queued"); // hex packets to kDisplay, oldest first
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("passedOn");
    QTest::addColumn<QString>("remaining"); // the packets the reply left queued, oldest first
    QTest::addColumn<QString>("logLine");   // start of the removal line, empty for none
    QTest::addColumn<QString>("replyFrom");

    const auto row = [](const char *tag, const char *queued, const QByteArray &reply, bool passedOn,
                        const char *remaining, const QString &logLine = QString(),
                        const QString &from = kDisplay) {
        QTest::newRow(tag) << queued << reply << passedOn << remaining << logLine << from;
    };
    const QString prog = kProgRemovedLine + QStringLiteral("sourceIP=127.0.0.2 ");
    row("status 40, type 1: passed on, ends the oldest", "A30100 A80100", datagram(1, 40), true,
        "A80100");
    row("status 40, type 4: passed on", "A30100 A80100", datagram(4, 40), true, "A80100");
    row("status 40, type 0: kept back, still ends the oldest", "A30100 A80100", datagram(0, 40),
        false, "A80100");
    row("status 40, type 5: kept back", "A30100 A80100", datagram(5, 40), false, "A80100");
    row("status 80, type 2: passed on", "A30100 A80100", datagram(2, 80), true, "A80100");
    row("status 80, type 255: kept back", "A30100 A80100", datagram(255, 80), false, "A80100");
    row("status ends a data request too", "AF A30100", datagram(1, 40), true, "A30100");
    row("40 bytes starting 0xAF are a status reply", "A30100 AF", datagram(0xAF, 40), false, "AF");
    row("0xAF ends the oldest 0xAF", "A30100 AF AF", datagram(0xAF, 215), true, "A30100 AF", prog);
    row("0xB1 ends the oldest 0xB1", "B1 AF B1", datagram(0xB1, 223), true, "AF B1", prog);
    row("0xAF with no 0xAF queued ends nothing", "A30100 B1", datagram(0xAF, 215), true,
        "A30100 B1");
    row("0xB2 for program 3 ends the oldest packet with 3 in byte 1", "B201 A40300 B203",
        programReply(3), true, "B201 B203", kAllProgRemovedLine);
    row("0xB2 for program 0 ends an older one-byte request", "B201 B0 B200", programReply(0), true,
        "B201 B200", kAllProgRemovedLine);
    row("0xB2 of two bytes carries no program number", "B0 B200", hex("B200"), true, "B0 B200");
    row("0xB2 of one byte", "B0", hex("B2"), true, "B0");
    row("acknowledgement ends the oldest", "AF A30100", hex("41"), false, "A30100",
        kAckRemovedLine);
    row("acknowledgement with trailing bytes", "A30100 A80100", QByteArray("AOK\0", 4), false,
        "A80100", kAckRemovedLine);
    row("own status query coming back is ignored", "A30100 A80100", hex("A104B2"), false,
        "A30100 A80100");
    row("empty datagram is ignored", "A30100 A80100", QByteArray(), false, "A30100 A80100");
    row("39-byte status is ignored", "A30100 A80100", datagram(1, 39), false, "A30100 A80100");
    row("status from a display with nothing queued", "A30100 A80100", datagram(1, 40), true,
        "A30100 A80100", QString(), kOtherDisplay);
    row("acknowledgement from a display with nothing queued", "A30100 A80100", hex("41"), false,
        "A30100 A80100", QString(), kOtherDisplay);
}

void TestUdpCommThread::answerMatching()
{
    QFETCH(QString, queued);
    QFETCH(QByteArray, reply);
    QFETCH(bool, passedOn);
    QFETCH(QString, remaining);
    QFETCH(QString, logLine);
    QFETCH(QString, replyFrom);

    // One resend and then the drop show which packets the reply left in the queue.
    constexpr int kInterval = 500;
    ScriptedDisplay display(kDisplay);
    ScriptedDisplay other(kOtherDisplay);
    QSignalSpy passed(m_link.get(), &UDPCommThread::RXDatagram);
    m_link->setIPParameters(1, kInterval);
    const QStringList packets = queued.split(QLatin1Char(' '));
    for (const QString &packet : packets)
        send(QByteArray::fromHex(packet.toLatin1()));
    QTRY_COMPARE(display.received().size(), packets.size());

    (replyFrom == kDisplay ? display : other).reply(reply);
    QTRY_COMPARE_WITH_TIMEOUT(m_link->queuedCount(), 0, 4 * kInterval + 2000);
    QCOMPARE(passed.count(), passedOn ? 1 : 0);
    if (passedOn)
        QCOMPARE(passed.first(), (QList<QVariant>{replyFrom, reply}));
    for (const QString &line : {kProgRemovedLine, kAllProgRemovedLine, kAckRemovedLine})
        QCOMPARE(m_log->count(line), int(!logLine.isEmpty() && logLine.startsWith(line)));
    if (!logLine.isEmpty()) {
        QCOMPARE(m_log->count(logLine), 1);
        const QString text = m_log->matching(logLine).front().text;
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Elapsed time=\\d+"))),
                 qPrintable(text));
    }

    QStringList resent;
    for (const QByteArray &payload : display.payloads().mid(packets.size()))
        resent << QString::fromLatin1(payload.toHex().toUpper());
    QCOMPARE(resent.join(QLatin1Char(' ')), remaining);
    QCOMPARE(m_log->count(kDropLine), resent.size());
}

void TestUdpCommThread::receiverRunsBeforeRemovalAndMaySend_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("status reply") << hex("A104B2") << datagram(2, 40);
    QTest::newRow("active program reply") << hex("AF") << datagram(0xAF, 215);
    QTest::newRow("program reply") << hex("B204") << programReply(4);
}

void TestUdpCommThread::receiverRunsBeforeRemovalAndMaySend()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    ScriptedDisplay display(kDisplay);
    m_link->setIPParameters(3, 2000);
    send(request);
    QTRY_COMPARE(display.received().size(), 1);

    int queuedInReceiver = -1;
    const QByteArray followUp = hex("B0");
    connect(m_link.get(), &UDPCommThread::RXDatagram, this, [&] {
        queuedInReceiver = m_link->queuedCount();
        send(followUp); // the receiver may queue the next command at once
    });
    display.reply(reply);
    QTRY_VERIFY(queuedInReceiver >= 0);

    QCOMPARE(queuedInReceiver, 1);
    QCOMPARE(m_link->queuedCount(), 1); // the request left, the follow-up stays
    QTRY_COMPARE(display.received().size(), 2);
    QCOMPARE(display.received().last().payload, followUp);
}

void TestUdpCommThread::failedWriteRebuildsTheSocket()
{
    m_link->setIPParameters(3, 2000);
    // Larger than any UDP datagram can be, so the write fails.
    send(QByteArray(70000, 'x'), kDisplay, false);
    QTRY_COMPARE(m_log->count(QStringLiteral("resetUDPSocket bind returned=1")), 1);

    // The new socket sends and receives.
    ScriptedDisplay display(kDisplay, [](const QByteArray &, int) { return hex("41"); });
    send(hex("A30100"));
    QTRY_COMPARE(m_link->queuedCount(), 0);
    QCOMPARE(display.payloads(), QList<QByteArray>{hex("A30100")});
    QCOMPARE(m_log->count(kAckRemovedLine), 1);
}

void TestUdpCommThread::unparsableAddressIsNotWritten()
{
    m_link->setIPParameters(1, 50);
    send(hex("A30100"), QStringLiteral("display-7"));
    QTRY_COMPARE(m_link->queuedCount(), 0);
    QCOMPARE(m_log->count(QStringLiteral("udpSocketSend: not an address: display-7")), 2);
    QCOMPARE(m_log->count(QStringLiteral("resetUDPSocket")), 0);
    QCOMPARE(m_log->count(kDropLine), 1);
}

QTEST_GUILESS_MAIN(TestUdpCommThread)
#include "tst_udpcommthread.moc"
