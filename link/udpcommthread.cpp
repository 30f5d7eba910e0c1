#include "link/udpcommthread.h"

#include "link/logging.h"

#include <QAbstractEventDispatcher>
#include <QHostAddress>
#include <QSocketNotifier>

namespace {

constexpr qint64 kNsPerMs = 1000000;
// Datagrams read per wake-up of the link thread: a flood must not hold up due sends.
constexpr int kReadBatch = 256;
// The owning thread spends at most a turn on replies, then rests while a backlog remains, so
// the window's 100 ms tick and the polls it sends stay on time whatever arrives.
constexpr qint64 kTurnNs = 4 * kNsPerMs;
constexpr int kRestMs = 16;

constexpr int kSourceNames = 1024;

} // namespace

UDPCommThread::UDPCommThread(QObject *parent)
    : QThread(parent), m_linkContext(std::make_unique<QObject>())
{
    m_clock.start();
    m_linkContext->moveToThread(this);
    connect(
        this, &UDPCommThread::queueGrew, m_linkContext.get(), [this] { queuePass(); },
        Qt::QueuedConnection);
    connect(this, &UDPCommThread::UDPRx, this, &UDPCommThread::readUDPResponses,
            Qt::QueuedConnection);
    m_nextTurn.setSingleShot(true);
    m_nextTurn.setInterval(kRestMs);
    connect(&m_nextTurn, &QTimer::timeout, this, &UDPCommThread::readUDPResponses);
}

UDPCommThread::~UDPCommThread()
{
    if (isRunning())
        stopThread();
}

quint64 UDPCommThread::sendUDPCommand(const QByteArray &data, int length, const QString &addr,
                                      int port, bool queue, int firstDelay, int extraWait)
{
    quint64 id = 0;
    // A length beyond the array would send bytes that are not there.
    const QByteArray packet = data.left(qBound(0, length, data.size()));
    if (queue) {
        udpQueueStruct record;
        record.data = packet;
        record.addr = addr;
        record.port = port;
        record.waitFirstSend = firstDelay > 0;
        record.firstDelay = firstDelay;
        record.retryInterval = extraWait + delay.load();
        record.markNs = nowNs();
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        id = record.id = ++m_lastId;
        udpQueue.append(std::move(record));
    }
    if (firstDelay == 0) {
        udpSocketSend(packet, addr, port);
        emit UDPTx(packet, packet.size(), addr, port);
    }
    // The link thread sleeps until the next packet falls due; this one may fall due sooner.
    if (queue && !m_passPosted.exchange(true))
        emit queueGrew(QPrivateSignal());
    return id;
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
    m_backlog.clear();
    m_nextTurn.stop();
    qCDebug(lcLink, "UDPCommThread has ended.");
}

int UDPCommThread::queuedCount() const
{
    const std::lock_guard<std::mutex> lock(m_queueMutex);
    return udpQueue.size();
}

UDPCommThread::ReceiveCounts UDPCommThread::receiveCounts() const
{
    return {m_datagramsRead.load(), m_backlog.dropped()};
}

void UDPCommThread::run()
{
    qCDebug(lcLink, "Starting UDPCommThread...");
    m_readBuffer.resize(65536); // the largest UDP payload fits
    QTimer bindRetry;
    bindRetry.setSingleShot(true);
    bindRetry.setInterval(kBindRetryMs);
    m_bindRetry = &bindRetry;
    connect(&bindRetry, &QTimer::timeout, m_linkContext.get(), [this] { resetUDPSocket(); });
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
    m_bindRetry = nullptr;
    // Ends under the queue lock, which stopThread takes after waiting, so this thread's last
    // steps are visibly ordered before the caller's (ThreadSanitizer cannot see into
    // QThread::wait).
    const std::lock_guard<std::mutex> lock(m_queueMutex);
    m_readable.reset();
    m_socket.close();
}

// A fresh socket, waited on for datagrams; the old one goes with whatever waited on it.
bool UDPCommThread::bindSocket()
{
    m_readable.reset();
    QString why;
    const bool bound = m_socket.reopen(Protocol::kPort, kReceiveBufferBytes, &why);
    if (m_socket.descriptor() >= 0) {
        m_readable =
            std::make_unique<QSocketNotifier>(m_socket.descriptor(), QSocketNotifier::Read);
        connect(m_readable.get(), &QSocketNotifier::activated, m_linkContext.get(),
                [this] { readDatagrams(); });
    }
    // The kernel caps the size at its limit (net.core.rmem_max) and doubles it for its own
    // bookkeeping; what it granted is what counts.
    if (bound)
        qCDebug(lcLink, "Receive buffer %d bytes (asked for %d)", m_socket.receiveBufferBytes(),
                kReceiveBufferBytes);
    notePortInUse(!bound, why);
    return bound;
}

// Another program on the port without sharing it: the displays' answers go there, not here.
void UDPCommThread::notePortInUse(bool inUse, const QString &why)
{
    if (inUse)
        m_bindRetry->start();
    if (inUse == m_portInUse)
        return;
    m_portInUse = inUse;
    if (inUse)
        qCWarning(lcLink, "Cannot bind UDP port %d (%s): trying again every %d s", Protocol::kPort,
                  qUtf8Printable(why), kBindRetryMs / 1000);
    else
        qCInfo(lcLink, "Bound UDP port %d", Protocol::kPort);
    emit portInUseChanged(inUse);
}

void UDPCommThread::resetUDPSocket()
{
    m_resetPosted = false;
    const bool bound = bindSocket();
    qCDebug(lcLink, "resetUDPSocket bind returned=%d", bound ? 1 : 0);
}

void UDPCommThread::udpSocketSend(const QByteArray &data, const QString &addr, int port)
{
    bool isIPv4 = false;
    const quint32 ipv4 = QHostAddress(addr).toIPv4Address(&isIPv4);
    if (!isIPv4) {
        // A mistyped address is no fault of the socket: rebuilding it would only lose replies.
        qCDebug(lcLink, "udpSocketSend: not an address: %s", qUtf8Printable(addr));
        return;
    }
    const bool onLinkThread = QThread::currentThread() == this;
    switch (m_socket.send(data, ipv4, quint16(port))) {
    case LinkSocket::Sent::Yes:
        break;
    case LinkSocket::Sent::Failed:
        if (onLinkThread)
            resetUDPSocket();
        else if (!m_resetPosted.exchange(true))
            QMetaObject::invokeMethod(m_linkContext.get(), [this] { resetUDPSocket(); });
        break;
    case LinkSocket::Sent::NotOpen:
        // Sent before the link thread opened the socket: it writes the packet once it has.
        if (!onLinkThread)
            QMetaObject::invokeMethod(
                m_linkContext.get(), [this, data, addr, port] { udpSocketSend(data, addr, port); });
        break;
    }
}

// Sends what is due, drops what has run out of retries, and sleeps until the next packet falls
// due: no wake-ups while nothing waits, and every send on time rather than on a polling grid.
void UDPCommThread::queuePass()
{
    m_passPosted = false;
    RequestQueue::Pass pass;
    {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        pass = udpQueue.takeDue(nowNs(), retries.load());
    }
    for (const RequestQueue::Ended &dropped : pass.dropped) {
        qCDebug(lcLink, "No response received, dropping packet");
        emit packetEnded(dropped.id, dropped.addr, Protocol::commandName(dropped.data), false);
    }
    for (const RequestQueue::Send &send : pass.due)
        udpSocketSend(send.data, send.addr, send.port);
    if (pass.nextDueNs)
        m_queueTimer->start(int((*pass.nextDueNs + kNsPerMs - 1) / kNsPerMs));
    else
        m_queueTimer->stop();
}

void UDPCommThread::readDatagrams()
{
    // The rest of a flood waits for the next wake-up, after the timers and posted sends. A read
    // of an empty socket ends the batch: asking first would cost a system call per datagram.
    for (int i = 0; i < kReadBatch; ++i) {
        QHostAddress sender;
        const std::optional<qint64> size =
            m_socket.receive(m_readBuffer.data(), size_t(m_readBuffer.size()), &sender);
        if (!size)
            break;
        ++m_datagramsRead;
        receiveDatagram(sender, QByteArray::fromRawData(m_readBuffer.constData(), int(*size)));
    }
}

std::optional<QString> UDPCommThread::sourceName(const QHostAddress &sender)
{
    bool isIPv4 = false;
    const quint32 ip = sender.toIPv4Address(&isIPv4);
    if (!isIPv4)
        return std::nullopt;
    // A flood comes from few senders: their names are made once, not per datagram.
    if (m_sourceNames.size() >= kSourceNames)
        m_sourceNames.clear();
    QString &name = m_sourceNames[ip];
    if (name.isEmpty())
        name = QString::asprintf("%u.%u.%u.%u", (ip >> 24) & 0xFF, (ip >> 16) & 0xFF,
                                 (ip >> 8) & 0xFF, ip & 0xFF);
    return name;
}

// Hands over what the answer rules give the owning thread something to do with; the rest of
// the datagrams, however many, cost it nothing.
void UDPCommThread::receiveDatagram(const QHostAddress &sender, const QByteArray &payload)
{
    const Protocol::ReplyKind kind = Protocol::classifyReply(payload);
    if (kind == Protocol::ReplyKind::Ignored)
        return;
    const std::optional<QString> sourceIP = sourceName(sender);
    if (!sourceIP)
        return;
    bool isAnswer = false;
    {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        isAnswer = udpQueue.hasPacketsFor(*sourceIP);
    }
    if (!ReplyBacklog::isWorthHandingOver(kind, payload, isAnswer))
        return;
    switch (m_backlog.push({*sourceIP, payload, kind, isAnswer})) {
    case ReplyBacklog::Push::QueuedWake:
        emit UDPRx();
        break;
    case ReplyBacklog::Push::Queued:
        break;
    case ReplyBacklog::Push::Dropped:
        if (const std::optional<qint64> dropped = m_dropLog.count(nowNs() / kNsPerMs))
            qCWarning(lcLink, "Reply backlog full: %lld datagrams dropped", *dropped);
        break;
    }
}

void UDPCommThread::readUDPResponses()
{
    QElapsedTimer turn;
    turn.start();
    while (turn.nsecsElapsed() < kTurnNs) {
        const std::optional<ReplyBacklog::Reply> reply = m_backlog.take();
        if (!reply)
            break;
        handleReply(*reply);
    }
    if (m_backlog.endTurn())
        m_nextTurn.start();
}

void UDPCommThread::handleReply(const ReplyBacklog::Reply &reply)
{
    // The answered packet leaves the queue before the reply is handed on, so the receiver knows
    // which of its packets the reply answers (a status reply to a query sent before its latest
    // command tells of the display as it was). A reply that came while nothing was queued to its
    // sender answers nothing queued since.
    std::optional<RequestQueue::Ended> answered;
    if (reply.isAnswer) {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        answered = udpQueue.removeAnswered(reply.kind, reply.sourceIP, reply.payload, nowNs());
    }
    if (answered) {
        logAnswer(reply, answered->waitedMs);
        emit packetEnded(answered->id, answered->addr, Protocol::commandName(answered->data), true);
    }
    if (Protocol::isPassedOn(reply.kind, reply.payload))
        emit RXDatagram(reply.sourceIP, reply.payload);
}

void UDPCommThread::logAnswer(const ReplyBacklog::Reply &reply, int elapsedMs)
{
    switch (reply.kind) {
    case Protocol::ReplyKind::ActiveProgram:
    case Protocol::ReplyKind::RunStatus:
        qCDebug(lcLink,
                "Removed Prog/RunningDownload sourceIP=%s Elapsed time=%d  Removed from Queue",
                qUtf8Printable(reply.sourceIP), elapsedMs);
        break;
    case Protocol::ReplyKind::Program:
        qCDebug(lcLink, "Removed AllProgDownload  Elapsed time=%d  Removed from Queue", elapsedMs);
        break;
    case Protocol::ReplyKind::Acknowledgement:
        qCDebug(lcLink, "Elapsed time=%d", elapsedMs);
        break;
    case Protocol::ReplyKind::Status:
    case Protocol::ReplyKind::Ignored:
        break;
    }
}
