#include "controller/handlegui.h"
#include "link/udpcommthread.h"
#include "linktestkit.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <sys/resource.h>
#include <thread>

// The controller under a flood of strangers' datagrams while it polls and commands a
// well-behaved display. Runs in a network namespace of its own.
class TestLinkFlood : public QObject
{
    Q_OBJECT
private slots:
    void displayKeepsItsScheduleUnderFlood();
};

namespace {

const QString kDisplay = QStringLiteral("127.0.0.2");

// Sends to the controller from four loopback addresses until told to stop: forged status replies
// of ever new displays, acknowledgements nobody asked for, and noise. It keeps only a little
// ahead of what the link has read: what the kernel drops for want of room is lost to any reader,
// the display's answers included, and says nothing about the controller.
void flood(const UDPCommThread &link, const std::atomic<bool> &stop)
{
    QUdpSocket senders[4]; // used by this thread only
    for (int i = 0; i < 4; ++i)
        senders[i].bind(QHostAddress(0x7F000101 + i));
    QByteArray forged = statusReply(kDisplay, QStringLiteral("Forged"), 1, 2, 3, 4, 0);
    const QByteArray kinds[] = {forged, "A", QByteArray(60, '\x07')};
    qint64 sent = 0;
    for (; !stop; ++sent) {
        while (sent % 32 == 0 && !stop && sent - link.receiveCounts().read > 128)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        qToBigEndian<quint32>(0x0A000000 | (sent & 0xFFFFFF), forged.data() + 1);
        senders[sent % 4].writeDatagram(sent % 3 ? kinds[sent % 3] : forged,
                                        QHostAddress::LocalHost, 7372);
    }
}

} // namespace

void TestLinkFlood::displayKeepsItsScheduleUnderFlood()
{
    TimerDataModel timers;
    ProgramDataModel programs;
    timers.addOrUpdateTimer(TimerData(QString(), kDisplay, false, QTime(0, 0), 0, 0, 0));
    HandleGui controller(timers, programs);
    controller.handleSetIPParameters(3, 1000, 0); // a poll about every second
    ScriptedDisplay display(kDisplay, true);
    QSignalSpy sent(&controller.link(), &UDPCommThread::UDPTx);
    controller.handlecheckBoxChanged(0, true);
    QTimer tick, command;
    connect(&tick, &QTimer::timeout, &controller, &HandleGui::qmlTimerTriggered);
    connect(&command, &QTimer::timeout, &controller, &HandleGui::handleCountUpStartButton);
    tick.start(100);
    command.start(250);
    QTest::qWait(500);

    // The peak resident size so far, which the flood must not raise by more than a few MB.
    const auto peakResidentKb = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_maxrss;
    };
    const qint64 peakBefore = peakResidentKb();
    std::atomic<bool> stop{false};
    std::thread flooder([&] { flood(controller.link(), stop); });
    QTest::qWait(1500);
    QThread::msleep(200); // a slow frame: the backlog fills whatever the machine's speed
    QTest::qWait(1500);
    stop = true;
    flooder.join();
    command.stop();
    QTRY_COMPARE_WITH_TIMEOUT(controller.link().queuedCount(), 0, 5000);

    QVERIFY(controller.link().receiveCounts().dropped > 0);
    QVERIFY(peakResidentKb() - peakBefore < 8 * 1024);
    // Every poll and command reached the display once, none had to be sent again, and the
    // polls kept their period of about a second.
    QCOMPARE(display.received().size(), sentPackets(sent).filter(kDisplay + ' ').size());
    QList<qint64> polls;
    for (const ScriptedDisplay::Receipt &receipt : display.received()) {
        if (quint8(receipt.payload.at(0)) == 0xA1)
            polls << receipt.ms;
    }
    QVERIFY(polls.size() >= 3 && display.received().size() - polls.size() >= 10);
    for (int i = 1; i < polls.size(); ++i)
        QVERIFY2(polls.at(i) - polls.at(i - 1) < 2500, qPrintable(QString::number(i)));
}

QTEST_GUILESS_MAIN(TestLinkFlood)
#include "tst_linkflood.moc"
