#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "link/protocol.h"

class QTimer;
class QUdpSocket;

// One packet waiting for its answer.
struct udpQueueStruct
{
    QByteArray data; // exactly the bytes sent
    QString addr;
    int port = 0;
    int retryCount = 0; // sends made after the first one
    bool waitFirstSend = false;
    QElapsedTimer timer;   // restarted when queued and at every send
    int firstDelay = 0;    // hold-back before the first send, ms
    int retryInterval = 0; // extra wait + delay at queueing time, ms

    qint64 nsUntilDue() const; // time left before the next send or the drop; <= 0 when due
};

// Owns the one UDP socket on port 7372. Packets are queued until the display answers, sent again
// every retry interval and dropped when the retries are spent. Datagrams from the displays are
// classified, end their queued packet and, when they carry data, are handed on by RXDatagram.
//
// Threading: the socket lives on the link thread and only that thread touches it. The queue is
// shared with the GUI thread (sends, answer matching) and guarded by m_queueMutex. RXDatagram is
// emitted on the thread that owns this object (the GUI thread), and its receiver runs to
// completion before the answered packet leaves the queue. sendUDPCommand, setIPParameters and
// queuedCount may be called from any thread.
class UDPCommThread : public QThread
{
    Q_OBJECT
public:
    explicit UDPCommThread(QObject *parent = nullptr);
    ~UDPCommThread() override;

    void sendUDPCommand(const QByteArray &data, int length, const QString &addr, int port,
                        bool queue, int firstDelay, int extraWait);
    void setIPParameters(int retries, int delay);
    void stopThread();

    int queuedCount() const;

signals:
    // An immediate send, emitted by sendUDPCommand before the link thread writes it.
    void UDPTx(const QByteArray &data, int length, const QString &addr, int port);
    // A received datagram has been handled (passed on and matched, or ignored); GUI thread.
    void UDPRx();
    void RXDatagram(const QString &sourceIP, const QByteArray &data);
    // A packet was queued: the link thread works out when it next has to wake up.
    void queueGrew(QPrivateSignal);

protected:
    void run() override;

private slots:
    // Owning thread: one datagram read by the link thread, in arrival order.
    void handleDatagram(const QString &sourceIP, const QByteArray &payload);

private:
    // A packet due for sending, copied out of the queue so the write happens without the lock.
    struct Send
    {
        QByteArray data;
        QString addr;
        int port;
    };

    // Link thread.
    void udpSocketSend(const QByteArray &data, const QString &addr, int port);
    bool bindSocket();
    void resetUDPSocket();
    void queuePass();
    void readDatagrams();

    // Owning thread.
    std::optional<int> removeAnswered(Protocol::ReplyKind kind, const QString &sourceIP,
                                      const QByteArray &payload);

    // Lives on the link thread from construction, so sends posted to it before run() reaches its
    // event loop are delivered once it does.
    std::unique_ptr<QObject> m_linkContext;
    QUdpSocket *udpSocket = nullptr; // the socket of run(), used only by the link thread
    QTimer *m_queueTimer = nullptr;  // run()'s timer for the next due packet; link thread only
    std::atomic<bool> m_passPosted{false};
    std::atomic<bool> m_stopRequested{false};

    mutable std::mutex m_queueMutex;
    std::vector<std::unique_ptr<udpQueueStruct>> udpQueue; // index 0 is the oldest

    std::atomic<int> retries{3};
    std::atomic<int> delay{50};
};
