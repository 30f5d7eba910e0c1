#include "link/udpcommthread.h"

#include "link/logging.h"

#include <QAbstractEventDispatcher>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {

constexpr qint64 kNsPerMs = 1000000;

// "%d.%d.%d.%d" of an IPv4 sender, also when it arrives IPv4-mapped; nothing for other senders.
std::optional<QString> dottedIPv4(const QHostAddress &address)
{
    bool isIPv4 = false;
    const quint32 ip = address.toIPv4Address(&isIPv4);
    if (!isIPv4)
        return std::nullopt;
    return QString::asprintf("%u.%u.%u.%u", (ip >> 24) & 0xFF, (ip >> 16) & 0xFF, (ip >> 8) & 0xFF,
                             ip & 0xFF);
}

} // namespace

UDPCommThread::UDPCommThread(QObject *parent)
    : QThread(parent), m_linkContext(std::make_unique<QObject>())
{
    m_linkContext->moveToThread(this);
    // The packet is taken by value: this thread then drops its own reference to the shared
    // bytes after writing them, rather than leaving that to Qt's copy of the signal arguments,
    // which ThreadSanitizer cannot follow.
    connect(
        this, &UDPCommThread::UDPTx, m_linkContext.get(),
        [this](QByteArray data, int, QString addr, int port) { udpSocketSend(data, addr, port); },
        Qt::QueuedConnection);
    connect(
        this, &UDPCommThread::queueGrew, m_linkContext.get(), [this] { queuePass(); },
        Qt::QueuedConnection);
}

UDPCommThread::~UDPCommThread()
{
    if (isRunning())
        stopThread();
}

void UDPCommThread::sendUDPCommand(const QByteArray &data, int length, const QString &addr,
                                   int port, bool queue, int firstDelay, int extraWait)
{
    // A length beyond the array would send bytes that are not there.
    const QByteArray packet = data.left(qBound(0, length, data.size()));
    if (queue) {
        auto record = std::make_unique<udpQueueStruct>();
        record->data = packet;
        record->addr = addr;
        record->port = port;
        record->waitFirstSend = firstDelay > 0;
        record->firstDelay = firstDelay;
        record->retryInterval = extraWait + delay.load();
        record->timer.start();
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        udpQueue.push_back(std::move(record));
    }
    if (firstDelay == 0)
        emit UDPTx(packet, packet.size(), addr, port);
    // The link thread sleeps until the next packet falls due; this one may fall due sooner.
    if (queue && !m_passPosted.exchange(true))
        emit queueGrew(QPrivateSignal());
}

void UDPCommThread::setIPParameters(int newRetries, int newDelay)
{
    retries = newRetries;
    delay = newDelay;
}

void UDPCommThread::stopThread()
{
    m_stopRequested = true;
    if (QAbstractEventDispatcher *dispatcher = eventDispatcher())
        dispatcher->wakeUp();
    wait();
    {
        // Nothing still queued will be sent now.
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        udpQueue.clear();
    }
    qCDebug(lcLink, "UDPCommThread has ended.");
}

int UDPCommThread::queuedCount() const
{
    const std::lock_guard<std::mutex> lock(m_queueMutex);
    return static_cast<int>(udpQueue.size());
}

void UDPCommThread::run()
{
    qCDebug(lcLink, "Starting UDPCommThread...");
    QUdpSocket socket;
    udpSocket = &socket;
    connect(&socket, &QUdpSocket::readyRead, m_linkContext.get(), [this] { readDatagrams(); });
    bindSocket();

    QTimer queueTimer;
    queueTimer.setTimerType(Qt::PreciseTimer);
    queueTimer.setSingleShot(true);
    m_queueTimer = &queueTimer;
    connect(&queueTimer, &QTimer::timeout, m_linkContext.get(), [this] { queuePass(); });
    queuePass();

    // The controller starts this thread before the application object exists, where a
    // QEventLoop refuses to run; the thread's own dispatcher serves timers, the socket and
    // posted sends all the same.
    QAbstractEventDispatcher *dispatcher = eventDispatcher();
    while (!m_stopRequested)
        dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
    m_queueTimer = nullptr;
    // Ends under the queue lock, which stopThread takes after waiting, so this thread's last
    // steps are visibly ordered before the caller's (ThreadSanitizer cannot see into
    // QThread::wait).
    const std::lock_guard<std::mutex> lock(m_queueMutex);
    udpSocket = nullptr;
}

bool UDPCommThread::bindSocket()
{
    // Address reuse lets displays simulated on loopback addresses share port 7372 with us.
    return udpSocket->bind(QHostAddress::AnyIPv4, Protocol::kPort,
                           QAbstractSocket::ReuseAddressHint);
}

// Closing drops the native socket and whatever waited on it; binding again opens a fresh one.
void UDPCommThread::resetUDPSocket()
{
    udpSocket->close();
    const bool bound = bindSocket();
    qCDebug(lcLink, "resetUDPSocket bind returned=%d", bound ? 1 : 0);
}

void UDPCommThread::udpSocketSend(const QByteArray &data, const QString &addr, int port)
{
    const QHostAddress host(addr);
    if (host.isNull()) {
        // A mistyped address is no fault of the socket: rebuilding it would only lose replies.
        qCDebug(lcLink, "udpSocketSend: not an address: %s", qUtf8Printable(addr));
        return;
    }
    if (udpSocket->writeDatagram(data, host, static_cast<quint16>(port)) < 0)
        resetUDPSocket();
}

qint64 udpQueueStruct::nsUntilDue() const
{
    return qint64(waitFirstSend ? firstDelay : retryInterval) * kNsPerMs - timer.nsecsElapsed();
}

// Sends what is due, drops what has run out of retries, and sleeps until the next packet falls
// due: no wake-ups while nothing waits, and every send on time rather than on a polling grid.
void UDPCommThread::queuePass()
{
    m_passPosted = false;
    std::vector<Send> due;
    int dropped = 0;
    qint64 nextDueNs = -1;
    {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        const int maxRetries = retries.load();
        for (auto it = udpQueue.begin(); it != udpQueue.end();) {
            udpQueueStruct &record = **it;
            if (record.nsUntilDue() <= 0) {
                record.timer.restart();
                if (record.waitFirstSend) {
                    record.waitFirstSend = false;
                } else if (++record.retryCount > maxRetries) {
                    it = udpQueue.erase(it);
                    ++dropped;
                    continue;
                }
                due.push_back({record.data, record.addr, record.port});
            }
            const qint64 untilDue = qMax<qint64>(0, record.nsUntilDue());
            nextDueNs = nextDueNs < 0 ? untilDue : qMin(nextDueNs, untilDue);
            ++it;
        }
    }
    for (int i = 0; i < dropped; ++i)
        qCDebug(lcLink, "No response received, dropping packet");
    for (const Send &send : due)
        udpSocketSend(send.data, send.addr, send.port);
    if (nextDueNs < 0)
        m_queueTimer->stop();
    else
        m_queueTimer->start(int((nextDueNs + kNsPerMs - 1) / kNsPerMs));
}

void UDPCommThread::readDatagrams()
{
    while (udpSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udpSocket->receiveDatagram();
        if (!datagram.isValid())
            break;
        const std::optional<QString> sourceIP = dottedIPv4(datagram.senderAddress());
        if (!sourceIP)
            continue;
        // Posted events keep their order, so the datagrams are handled in arrival order.
        QMetaObject::invokeMethod(this, "handleDatagram", Qt::QueuedConnection,
                                  Q_ARG(QString, *sourceIP), Q_ARG(QByteArray, datagram.data()));
    }
}

void UDPCommThread::handleDatagram(const QString &sourceIP, const QByteArray &payload)
{
    const Protocol::ReplyKind kind = Protocol::classifyReply(payload);
    if (Protocol::isPassedOn(kind, payload))
        emit RXDatagram(sourceIP, payload);

    if (const std::optional<int> elapsed = removeAnswered(kind, sourceIP, payload)) {
        switch (kind) {
        case Protocol::ReplyKind::ActiveProgram:
        case Protocol::ReplyKind::RunStatus:
            qCDebug(lcLink,
                    "Removed Prog/RunningDownload sourceIP=%s Elapsed time=%d  Removed from Queue",
                    qUtf8Printable(sourceIP), *elapsed);
            break;
        case Protocol::ReplyKind::Program:
            qCDebug(lcLink, "Removed AllProgDownload  Elapsed time=%d  Removed from Queue",
                    *elapsed);
            break;
        case Protocol::ReplyKind::Acknowledgement:
            qCDebug(lcLink, "Elapsed time=%d", *elapsed);
            break;
        case Protocol::ReplyKind::Status:
        case Protocol::ReplyKind::Ignored:
            break;
        }
    }
    emit UDPRx();
}

// Removes the oldest packet to sourceIP that this reply ends; gives its timer reading if one did.
std::optional<int> UDPCommThread::removeAnswered(Protocol::ReplyKind kind, const QString &sourceIP,
                                                 const QByteArray &payload)
{
    const std::lock_guard<std::mutex> lock(m_queueMutex);
    for (auto it = udpQueue.begin(); it != udpQueue.end(); ++it) {
        const udpQueueStruct &record = **it;
        if (record.addr == sourceIP && Protocol::endsCommand(kind, payload, record.data)) {
            const int elapsed = static_cast<int>(record.timer.elapsed());
            udpQueue.erase(it);
            return elapsed;
        }
    }
    return std::nullopt;
}
