#include "simoptions.h"
#include "simprotocol.h"
#include "simulator.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace qbsim;

namespace {

const QHostAddress kBroadcast(QStringLiteral("127.255.255.255"));
const QByteArray kStatusQuery = QByteArray::fromHex("A104B2");
constexpr int kWaitMs = 3000;
constexpr int kSilenceMs = 1000; // a display on loopback answers within a few ms
constexpr int kQuietMs = 400;

// Replies are told apart by source address; on a shared machine other programs may send too.
struct Reply
{
    QString from;
    QByteArray data;

    bool operator==(const Reply &other) const { return from == other.from && data == other.data; }
};

QString source(const QNetworkDatagram &datagram)
{
    return QStringLiteral("%1:%2")
        .arg(QHostAddress(datagram.senderAddress().toIPv4Address()).toString())
        .arg(datagram.senderPort());
}

// Waits until `count` replies have come (or the timeout), then a short quiet spell so that surplus
// replies are caught as well.
QList<Reply> collect(QUdpSocket &socket, int count, int timeoutMs = kWaitMs)
{
    QList<Reply> replies;
    QElapsedTimer waited;
    waited.start();
    int quietFrom = -1;
    while (waited.elapsed() < timeoutMs) {
        while (socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = socket.receiveDatagram();
            replies.append({source(datagram), datagram.data()});
        }
        if (replies.size() >= count && quietFrom < 0)
            quietFrom = int(waited.elapsed());
        if (quietFrom >= 0 && waited.elapsed() - quietFrom >= kQuietMs)
            break;
        QTest::qWait(10);
    }
    return replies;
}

QStringList sources(const QList<Reply> &replies)
{
    QStringList from;
    for (const Reply &reply : replies)
        from << reply.from;
    from.sort();
    return from;
}

QList<QJsonObject> logLines(const QString &path)
{
    QFile file(path);
    QList<QJsonObject> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd())
        lines << QJsonDocument::fromJson(file.readLine()).object();
    return lines;
}

} // namespace

class TestSimLoopback : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void statusQueryUnicastAndBroadcast();
    void commandsAreAcknowledged();
    void silentDisplayStaysSilent();
    void lossSwallowsEveryReply();
    void delayHoldsRepliesBack();
    void coexistsWithController_data();
    void coexistsWithController();
    void executableRunsAndEndsCleanly();
    void executableRefusesNonLoopback();

private:
    bool startSimulator(const QString &arguments);

    QTemporaryDir m_dir;
    QUdpSocket m_socket;
    SystemTimeSource m_time;
    std::unique_ptr<Simulator> m_simulator;
};

bool TestSimLoopback::startSimulator(const QString &arguments)
{
    const ParsedCommandLine parsed = parseCommandLine(QStringList{QStringLiteral("qb-timer-sim")} +
                                                      arguments.split(QLatin1Char(' ')));
    if (parsed.status != ParseStatus::Run) {
        qWarning("%s", qPrintable(parsed.message));
        return false;
    }
    m_simulator = std::make_unique<Simulator>(parsed.options, m_time);
    QString error;
    if (!m_simulator->start(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

void TestSimLoopback::init()
{
    QVERIFY(m_dir.isValid());
    m_socket.close();
    QVERIFY(m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
}

void TestSimLoopback::cleanup()
{
    m_simulator.reset();
}

void TestSimLoopback::statusQueryUnicastAndBroadcast()
{
    QVERIFY(startSimulator("--count 3 --names One,Two,Three"));

    m_socket.writeDatagram(kStatusQuery, QHostAddress(QStringLiteral("127.0.0.2")), kDisplayPort);
    const QList<Reply> unicast = collect(m_socket, 1);
    QCOMPARE(sources(unicast), QStringList{"127.0.0.2:7372"});
    const QByteArray reply = unicast.constFirst().data;
    QCOMPARE(reply.size(), kStatusReplyLength);
    QCOMPARE(reply.left(5).toHex(' '), QByteArray("01 7f 00 00 02"));
    QCOMPARE(reply.mid(24), QByteArray("One").leftJustified(16, '\0'));

    QVERIFY(m_socket.writeDatagram(kStatusQuery, kBroadcast, kDisplayPort) == 3);
    const QList<Reply> broadcast = collect(m_socket, 3);
    QCOMPARE(sources(broadcast),
             (QStringList{"127.0.0.2:7372", "127.0.0.3:7372", "127.0.0.4:7372"}));
    for (const Reply &each : broadcast) {
        // Each display reports its own address, the one it answered from.
        const QHostAddress reported(qFromBigEndian<quint32>(each.data.constData() + 1));
        QVERIFY(each.from.startsWith(reported.toString() + ':'));
    }
}

void TestSimLoopback::commandsAreAcknowledged()
{
    QVERIFY(startSimulator("--count 2 --first-address 127.0.0.20"));
    const QHostAddress second(QStringLiteral("127.0.0.21"));

    m_socket.writeDatagram(QByteArray::fromHex("A20000"), second, kDisplayPort);
    m_socket.writeDatagram(QByteArray::fromHex("A30100"), second, kDisplayPort);
    m_socket.writeDatagram(QByteArray::fromHex("A301"), second, kDisplayPort); // ignored
    m_socket.writeDatagram(kStatusQuery, second, kDisplayPort);
    const QList<Reply> replies = collect(m_socket, 3);
    QCOMPARE(replies.size(), 3);
    QCOMPARE(replies.at(0).data, QByteArray("A"));
    QCOMPARE(replies.at(1).data, QByteArray("A"));
    QCOMPARE(replies.at(2).data.size(), kStatusReplyLength);
    // Count up, running, tenths: mode 1 | 0x40 | 0x80.
    QCOMPARE(quint8(replies.at(2).data.at(19)), quint8(0xC1));
    QCOMPARE(sources(replies),
             (QStringList{"127.0.0.21:7372", "127.0.0.21:7372", "127.0.0.21:7372"}));
}

void TestSimLoopback::silentDisplayStaysSilent()
{
    QVERIFY(startSimulator("--count 3 --first-address 127.0.0.30 --silent 2"));

    m_socket.writeDatagram(kStatusQuery, QHostAddress(QStringLiteral("127.0.0.31")), kDisplayPort);
    QVERIFY(collect(m_socket, 1, kSilenceMs).isEmpty());

    m_socket.writeDatagram(kStatusQuery, kBroadcast, kDisplayPort);
    QCOMPARE(sources(collect(m_socket, 2)), (QStringList{"127.0.0.30:7372", "127.0.0.32:7372"}));
}

void TestSimLoopback::lossSwallowsEveryReply()
{
    const QString log = m_dir.filePath(QStringLiteral("loss.jsonl"));
    QVERIFY(startSimulator("--count 3 --first-address 127.0.0.40 --loss 100 --log " + log));

    m_socket.writeDatagram(kStatusQuery, QHostAddress(QStringLiteral("127.0.0.41")), kDisplayPort);
    m_socket.writeDatagram(QByteArray::fromHex("A80100"),
                           QHostAddress(QStringLiteral("127.0.0.42")), kDisplayPort);
    QVERIFY(collect(m_socket, 1, kSilenceMs).isEmpty());

    // Other programs on this machine may broadcast too: count only this socket's traffic.
    const QString self = QStringLiteral("127.0.0.1:%1").arg(m_socket.localPort());
    QMap<QString, int> counts;
    const QList<QJsonObject> lines = logLines(log);
    for (const QJsonObject &line : lines) {
        if (line.value(QLatin1String("from")).toString() == self ||
            line.value(QLatin1String("to")).toString() == self)
            ++counts[line.value(QLatin1String("dir")).toString()];
    }
    QCOMPARE(counts, (QMap<QString, int>{{"rx", 2}, {"lost", 2}}));
    QCOMPARE(lines.constFirst().value(QLatin1String("event")).toString(), QStringLiteral("start"));
}

void TestSimLoopback::delayHoldsRepliesBack()
{
    QVERIFY(startSimulator("--count 1 --first-address 127.0.0.50 --delay 300"));

    QElapsedTimer elapsed;
    elapsed.start();
    m_socket.writeDatagram(QByteArray::fromHex("A20000"),
                           QHostAddress(QStringLiteral("127.0.0.50")), kDisplayPort);
    m_socket.writeDatagram(kStatusQuery, QHostAddress(QStringLiteral("127.0.0.50")), kDisplayPort);
    QTRY_VERIFY_WITH_TIMEOUT(m_socket.hasPendingDatagrams(), kWaitMs);
    QVERIFY(elapsed.elapsed() >= 250);
    const QList<Reply> replies = collect(m_socket, 2);
    QCOMPARE(replies.size(), 2);
    QCOMPARE(replies.at(0).data, QByteArray("A"));
    QCOMPARE(replies.at(1).data.size(), kStatusReplyLength);
}

void TestSimLoopback::coexistsWithController_data()
{
    QTest::addColumn<bool>("controllerFirst");
    QTest::newRow("controller started first") << true;
    QTest::newRow("displays started first") << false;
}

void TestSimLoopback::coexistsWithController()
{
    QFETCH(bool, controllerFirst);

    // The controller's socket: any address, port 7372. Sharing the port with the displays needs
    // address reuse on both sides, in either order of starting.
    QUdpSocket controller;
    const auto bindController = [&controller] {
        return controller.bind(QHostAddress::AnyIPv4, kDisplayPort, QUdpSocket::ReuseAddressHint);
    };
    if (controllerFirst)
        QVERIFY2(bindController(), qPrintable(controller.errorString()));
    QVERIFY(startSimulator("--count 2 --first-address 127.0.0.60"));
    if (!controllerFirst)
        QVERIFY2(bindController(), qPrintable(controller.errorString()));

    // Other programs on this machine may use the port too: look only at these displays' replies.
    const auto statusRepliesFromDisplays = [](const QList<Reply> &received) {
        QList<Reply> replies;
        for (const Reply &reply : received) {
            if (reply.from.startsWith(QLatin1String("127.0.0.6")) &&
                reply.data.size() == kStatusReplyLength)
                replies << reply;
        }
        return sources(replies);
    };

    // A query to display 1 reaches display 1 only, not the controller's own socket.
    controller.writeDatagram(kStatusQuery, QHostAddress(QStringLiteral("127.0.0.60")),
                             kDisplayPort);
    QList<Reply> received = collect(controller, 1);
    QCOMPARE(statusRepliesFromDisplays(received), QStringList{"127.0.0.60:7372"});
    QVERIFY(!received.contains(Reply{QStringLiteral("127.0.0.1:7372"), kStatusQuery}));

    // The broadcast query reaches every display, and comes back to the controller as it would on
    // a real network.
    controller.writeDatagram(kStatusQuery, kBroadcast, kDisplayPort);
    received = collect(controller, 3);
    QCOMPARE(statusRepliesFromDisplays(received),
             (QStringList{"127.0.0.60:7372", "127.0.0.61:7372"}));
    QVERIFY(received.contains(Reply{QStringLiteral("127.0.0.1:7372"), kStatusQuery}));
}

void TestSimLoopback::executableRunsAndEndsCleanly()
{
    const QString log = m_dir.filePath(QStringLiteral("process.jsonl"));
    QProcess process;
    process.start(
        QStringLiteral(QB_SIM_EXECUTABLE),
        {"--count", "2", "--first-address", "127.0.0.70", "--names", "Left,Right", "--log", log});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!logLines(log).isEmpty(), 5000);

    m_socket.writeDatagram(kStatusQuery, QHostAddress(QStringLiteral("127.0.0.71")), kDisplayPort);
    const QList<Reply> received = collect(m_socket, 1);
    QCOMPARE(sources(received), QStringList{"127.0.0.71:7372"});
    QCOMPARE(received.constFirst().data.mid(24, 6), QByteArray("Right\0", 6));

    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);

    const QString self = QStringLiteral("127.0.0.1:%1").arg(m_socket.localPort());
    const QList<QJsonObject> lines = logLines(log);
    QCOMPARE(lines.constLast().value(QLatin1String("event")).toString(), QStringLiteral("stop"));
    int queries = 0;
    int replies = 0;
    for (const QJsonObject &line : lines) {
        if (line.value(QLatin1String("dir")).toString() == QLatin1String("rx") &&
            line.value(QLatin1String("from")).toString() == self) {
            QCOMPARE(line.value(QLatin1String("display")).toInt(), 2);
            QCOMPARE(line.value(QLatin1String("op")).toString(), QStringLiteral("0xA1"));
            QCOMPARE(line.value(QLatin1String("hex")).toString(), QStringLiteral("A1 04 B2"));
            QCOMPARE(line.value(QLatin1String("len")).toInt(), 3);
            QCOMPARE(line.value(QLatin1String("to")).toString(), QStringLiteral("127.0.0.71:7372"));
            QVERIFY(line.value(QLatin1String("t")).isDouble());
            ++queries;
        }
        if (line.value(QLatin1String("dir")).toString() == QLatin1String("tx") &&
            line.value(QLatin1String("to")).toString() == self) {
            QCOMPARE(line.value(QLatin1String("from")).toString(),
                     QStringLiteral("127.0.0.71:7372"));
            QCOMPARE(line.value(QLatin1String("len")).toInt(), kStatusReplyLength);
            ++replies;
        }
    }
    QCOMPARE(queries, 1);
    QCOMPARE(replies, 1);
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
