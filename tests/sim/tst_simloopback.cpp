#include "simoptions.h"
#include "simprotocol.h"
#include "simulator.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace qbsim;

namespace {

constexpr int kQuietMs = 400; // a display on loopback answers within a few ms

// "<sender> A", "<sender> status" (a status reply that reports its sender's address) or
// "<sender> <hex>".
QString describe(const QNetworkDatagram &datagram)
{
    const quint32 sender = datagram.senderAddress().toIPv4Address();
    const QString from = QHostAddress(sender).toString();
    const QByteArray data = datagram.data();
    if (data == "A")
        return from + QStringLiteral(" A");
    if (data.size() == kStatusReplyLength &&
        qFromBigEndian<quint32>(data.constData() + 1) == sender)
        return from + QStringLiteral(" status");
    return from + QLatin1Char(' ') + QString::fromLatin1(data.toHex());
}

} // namespace

class TestSimLoopback : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void executableEndsCleanlyOnTerminate();
    void executableRefusesNonLoopback();
};

void TestSimLoopback::answers_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("sends"); // "address hex"
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<int>("heldBackMs");

    QTest::newRow("unicast and broadcast query")
        << "--count 3" << QStringList{"127.0.0.2 A104B2", "127.255.255.255 A104B2"}
        << QStringList{"127.0.0.2 status", "127.0.0.2 status", "127.0.0.3 status",
                       "127.0.0.4 status"}
        << 0;
    QTest::newRow("commands acknowledged, malformed ignored")
        << "--count 2" << QStringList{"127.0.0.3 A20000", "127.0.0.3 A301", "127.0.0.3 A30100"}
        << QStringList{"127.0.0.3 A", "127.0.0.3 A"} << 0;
    QTest::newRow("--silent") << "--count 3 --silent 2"
                              << QStringList{"127.0.0.3 A104B2", "127.255.255.255 A104B2"}
                              << QStringList{"127.0.0.2 status", "127.0.0.4 status"} << 0;
    QTest::newRow("--loss 100") << "--count 3 --loss 100"
                                << QStringList{"127.0.0.3 A104B2", "127.0.0.4 A80100",
                                               "127.255.255.255 A104B2"}
                                << QStringList() << 0;
    QTest::newRow("--delay") << "--count 1 --delay 300" << QStringList{"127.0.0.2 A104B2"}
                             << QStringList{"127.0.0.2 status"} << 300;
}

void TestSimLoopback::answers()
{
    QFETCH(QString, arguments);
    QFETCH(QStringList, sends);
    QFETCH(QStringList, replies);
    QFETCH(int, heldBackMs);

    // The controller's socket binds first, on any address and port 7372: the displays share the
    // port through address reuse.
    QUdpSocket controller;
    QVERIFY(controller.bind(QHostAddress::AnyIPv4, kDisplayPort, QUdpSocket::ReuseAddressHint));
    const ParsedCommandLine parsed = parseCommandLine(QStringList{QStringLiteral("qb-timer-sim")} +
                                                      arguments.split(QLatin1Char(' ')));
    QCOMPARE(parsed.status, ParseStatus::Run);
    SystemTimeSource time;
    Simulator simulator(parsed.options, time);
    QString error;
    QVERIFY2(simulator.start(&error), qPrintable(error));

    QElapsedTimer sent;
    sent.start();
    for (const QString &send : sends) {
        const QStringList parts = send.split(QLatin1Char(' '));
        controller.writeDatagram(QByteArray::fromHex(parts.at(1).toLatin1()),
                                 QHostAddress(parts.at(0)), kDisplayPort);
    }
    QStringList received;
    qint64 firstReplyMs = -1;
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < kQuietMs + heldBackMs) {
        QTest::qWait(10);
        while (controller.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = controller.receiveDatagram();
            // The broadcast query comes back to the controller, as on a real network.
            if (datagram.senderAddress().isEqual(QHostAddress::LocalHost) &&
                datagram.data() == QByteArray::fromHex("A104B2"))
                continue;
            received << describe(datagram);
            if (firstReplyMs < 0)
                firstReplyMs = sent.elapsed();
            quiet.restart();
        }
    }
    received.sort();
    QCOMPARE(received, replies);
    if (heldBackMs > 0)
        QVERIFY2(firstReplyMs >= heldBackMs - 50, qPrintable(QString::number(firstReplyMs)));
}

void TestSimLoopback::executableEndsCleanlyOnTerminate()
{
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("sim.jsonl"));
    QProcess process;
    process.start(QStringLiteral(QB_SIM_EXECUTABLE), {"--count", "1", "--log", log});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log).size() > 0, 5000);
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestSimLoopback::executableRefusesNonLoopback()
{
    QProcess process;
    process.start(QStringLiteral(QB_SIM_EXECUTABLE), {"--first-address", "192.168.0.2"});
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("loopback"));
}

QTEST_MAIN(TestSimLoopback)
#include "tst_simloopback.moc"
