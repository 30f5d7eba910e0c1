#include "link/udpcommthread.h"
#include "linktestkit.h"

#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <thread>

// Many senders, four displays, answers, retries and drops all at once: the queue must come out
// empty and every answer must have removed exactly one packet. Built with ThreadSanitizer by
// scripts/tsan-stress.sh.
class TestLinkStress : public QObject
{
    Q_OBJECT

private slots:
    void answersRetriesAndDropsUnderLoad();
};

namespace {

constexpr int kRetries = 3;
constexpr int kPacketsPerDisplay = 200; // program numbers 1..200 stay unique per display
constexpr int kProgramDisplays = 3;
constexpr int kDisplays = kProgramDisplays + 1;
constexpr int kPackets = kDisplays * kPacketsPerDisplay;

QString displayAddress(int index)
{
    return QStringLiteral("127.0.0.%1").arg(index + 2);
}

// Program displays answer a get-program request by its number n: n % 3 == 1 at once, n % 3 == 2
// only when it comes again, n % 3 == 0 never.
int answeredOnReceipt(int programNumber)
{
    return programNumber % 3;
}

std::optional<QByteArray> answerProgramRequest(const QByteArray &packet, int timesSeen)
{
    const int n = static_cast<quint8>(packet.at(1));
    if (answeredOnReceipt(n) != timesSeen)
        return std::nullopt;
    QByteArray reply(215, '\0');
    reply[0] = static_cast<char>(0xB2);
    reply[2] = static_cast<char>(n);
    return reply;
}

std::optional<QByteArray> acknowledgeFirstReceipt(const QByteArray &, int timesSeen)
{
    return timesSeen == 1 ? std::optional<QByteArray>(QByteArray("A")) : std::nullopt;
}

// Packet number i goes to display i % kDisplays with serial number i / kDisplays + 1: a
// get-program request for that program number, or for the last display a count command.
void sendPacket(UDPCommThread &link, int i)
{
    const int display = i % kDisplays;
    QByteArray packet = QByteArray::fromHex(display < kProgramDisplays ? "B200" : "A40000");
    packet[1] = static_cast<char>(i / kDisplays + 1);
    link.sendUDPCommand(packet, packet.size(), displayAddress(display), 7372, true, 0, 0);
}

} // namespace

void TestLinkStress::answersRetriesAndDropsUnderLoad()
{
    LinkLog log;
    UDPCommThread link;
    link.setIPParameters(kRetries, 100);
    link.start();

    std::vector<std::unique_ptr<ScriptedDisplay>> displays;
    for (int d = 0; d < kProgramDisplays; ++d)
        displays.push_back(
            std::make_unique<ScriptedDisplay>(displayAddress(d), answerProgramRequest));
    displays.push_back(std::make_unique<ScriptedDisplay>(displayAddress(kProgramDisplays),
                                                         acknowledgeFirstReceipt));
    QSignalSpy passedOn(&link, &UDPCommThread::RXDatagram);

    // Two sender threads draw packet numbers from one counter while the GUI thread matches the
    // answers and changes the delay, which only changes the interval of later packets.
    std::atomic<int> nextPacket{0};
    auto senderLoop = [&] {
        for (int i = nextPacket++; i < kPackets; i = nextPacket++) {
            sendPacket(link, i);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    };
    std::vector<std::thread> senders;
    for (int s = 0; s < 2; ++s)
        senders.emplace_back(senderLoop);
    for (int toggles = 0; nextPacket < kPackets; ++toggles) {
        link.setIPParameters(kRetries, toggles % 2 ? 150 : 100);
        QTest::qWait(25);
    }
    for (std::thread &sender : senders)
        sender.join();
    QTRY_COMPARE_WITH_TIMEOUT(link.queuedCount(), 0, 60000);
    QTest::qWait(200); // late resends or answers would show now
    link.stopThread();

    int programAnswers = 0;
    int unanswered = 0;
    for (int d = 0; d < kProgramDisplays; ++d) {
        const ScriptedDisplay &display = *displays[d];
        programAnswers += display.answersSent();
        QHash<int, int> sendsPerProgram;
        for (const ScriptedDisplay::Receipt &receipt : display.received())
            ++sendsPerProgram[static_cast<quint8>(receipt.payload.at(1))];
        QCOMPARE(sendsPerProgram.size(), kPacketsPerDisplay);
        for (auto it = sendsPerProgram.cbegin(); it != sendsPerProgram.cend(); ++it) {
            const int expectedAtLeast = qMax(1, answeredOnReceipt(it.key()));
            QVERIFY2(it.value() >= expectedAtLeast && it.value() <= kRetries + 1,
                     qPrintable(
                         QStringLiteral("program %1 sent %2 times").arg(it.key()).arg(it.value())));
            if (answeredOnReceipt(it.key()) == 0) {
                ++unanswered;
                QCOMPARE(it.value(), kRetries + 1);
            }
        }
    }
    const ScriptedDisplay &acknowledging = *displays.back();
    QCOMPARE(acknowledging.answersSent(), kPacketsPerDisplay);

    QCOMPARE(programAnswers + unanswered, kProgramDisplays * kPacketsPerDisplay);
    QCOMPARE(log.count(QStringLiteral("Removed AllProgDownload ")), programAnswers);
    QCOMPARE(log.count(QStringLiteral("Elapsed time=")), kPacketsPerDisplay);
    QCOMPARE(log.count(QStringLiteral("No response received, dropping packet")), unanswered);
    QCOMPARE(passedOn.count(), programAnswers);
}

QTEST_GUILESS_MAIN(TestLinkStress)
#include "tst_linkstress.moc"
