#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "link/linksocket.h"
#include "link/logthrottle.h"
#include "link/protocol.h"
#include "link/replybacklog.h"
#include "link/requestqueue.h"

class QHostAddress;
class QSocketNotifier;

// Owns the one UDP socket on port 7372. Packets are queued until the display answers, sent again
// every retry interval and dropped when the retries are spent. Datagrams from the displays are
// classified on the link thread; those the answer rules give something to do go through a
// bounded backlog to the owning thread, which ends their queued packet and hands on those that
// carry data by RXDatagram.
//
// Threading: an immediate send is written by the thread that sends it, at once; the link thread
// reads the socket, writes held-back and repeated packets and replaces the socket. The queue is
// shared with the owning (GUI) thread (sends, answer matching) and guarded by m_queueMutex.
// RXDatagram is emitted on the owning thread, a bounded turn of replies at a time, and its
// receiver runs to completion before the answered packet leaves the queue. sendUDPCommand,
// setIPParameters, queuedCount and receiveCounts may be called from any thread.
class UDPCommThread : public QThread
{
    Q_OBJECT
public:
    // The kernel's buffer for datagrams not read yet: room for a discovery answered by a
    // thousand displays at once, at up to 4 KiB of kernel bookkeeping per small datagram.
    static constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
    // While another program holds port 7372 without sharing it, the bind is tried again this
    // often.
    static constexpr int kBindRetryMs = 3000;

    struct ReceiveCounts
    {
        qint64 read = 0;    // datagrams taken from the socket
        qint64 dropped = 0; // replies that found the backlog full
    };

    explicit UDPCommThread(QObject *parent = nullptr);
    ~UDPCommThread() override;

    // Gives the packet's number, which packetEnded reports it by; 0 for a packet not queued.
    quint64 sendUDPCommand(const QByteArray &data, int length, const QString &addr, int port,
                           bool queue, int firstDelay, int extraWait);
    void setIPParameters(int retries, int delay);
    void stopThread();

    int queuedCount() const;
    ReceiveCounts receiveCounts() const;

    // Link thread: one datagram read from the socket. The fuzz target feeds datagrams here too,
    // on one thread, to an instance it never starts.
    void receiveDatagram(const QHostAddress &sender, const QByteArray &payload);

signals:
    // An immediate send, emitted by sendUDPCommand once it has written it.
    void UDPTx(const QByteArray &data, int length, const QString &addr, int port);
    // Link thread: replies wait in the backlog; once until the owning thread has taken them all.
    void UDPRx();
    void RXDatagram(const QString &sourceIP, const QByteArray &data);
    // How a queued packet ended: answered (emitted on the owning thread, just before the
    // answer's RXDatagram) or dropped with its retries spent (emitted on the link thread).
    // command names what the packet asked, in words.
    void packetEnded(quint64 id, const QString &addr, const QString &command, bool answered);
    // A packet was queued: the link thread works out when it next has to wake up.
    void queueGrew(QPrivateSignal);
    // Link thread: port 7372 could not be bound (the bind is retried) or is bound again. Sent
    // on changes only; the port counts as free until told otherwise.
    void portInUseChanged(bool inUse);

protected:
    void run() override;

private slots:
    // Owning thread: one turn over the backlog, oldest first, answers before the rest.
    void readUDPResponses();

private:
    // Any thread; a failed write has the link thread replace the socket.
    void udpSocketSend(const QByteArray &data, const QString &addr, int port);
    // Link thread.
    bool bindSocket();
    void resetUDPSocket();
    void notePortInUse(bool inUse, const QString &why);
    void queuePass();
    void readDatagrams();
    // "%d.%d.%d.%d" of an IPv4 sender, also when it arrives IPv4-mapped; nothing for others.
    std::optional<QString> sourceName(const QHostAddress &sender);

    // Owning thread.
    void handleReply(const ReplyBacklog::Reply &reply);
    static void logAnswer(const ReplyBacklog::Reply &reply, int elapsedMs);

    qint64 nowNs() const { return m_clock.nsecsElapsed(); }

    // Lives on the link thread from construction, so sends posted to it before run() reaches its
    // event loop are delivered once it does.
    std::unique_ptr<QObject> m_linkContext;
    LinkSocket m_socket;                         // open while run() runs
    std::unique_ptr<QSocketNotifier> m_readable; // link thread only
    std::atomic<bool> m_resetPosted{false};
    QTimer *m_queueTimer = nullptr; // run()'s timer for the next due packet; link thread only
    QTimer *m_bindRetry = nullptr;  // run()'s timer for the next bind; link thread only
    bool m_portInUse = false;       // link thread only
    QByteArray m_readBuffer;        // link thread only
    LogThrottle m_dropLog;          // link thread only
    QHash<quint32, QString> m_sourceNames; // link thread only
    std::atomic<bool> m_passPosted{false};
    quint64 m_lastId = 0; // under m_queueMutex
    std::atomic<bool> m_stopRequested{false};
    std::atomic<qint64> m_datagramsRead{0};
    QElapsedTimer m_clock; // the queue's time, read by both threads

    mutable std::mutex m_queueMutex;
    RequestQueue udpQueue;

    ReplyBacklog m_backlog;
    QTimer m_nextTurn; // owning thread: the next turn while a backlog remains

    std::atomic<int> retries{3};
    std::atomic<int> delay{50};
};
