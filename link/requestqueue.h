#pragma once

#include "link/protocol.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>
#include <vector>

// One packet waiting for its answer.
struct udpQueueStruct
{
    QByteArray data; // exactly the bytes sent
    QString addr;
    int port = 0;
    int retryCount = 0; // sends made after the first one
    bool waitFirstSend = false;
    qint64 markNs = 0;     // when queued, then when last sent
    int firstDelay = 0;    // hold-back before the first send, ms
    int retryInterval = 0; // extra wait + delay at queueing time, ms
    quint64 id = 0;        // the link's number for the packet, to report how it ended
};

// The packets waiting for answers, oldest first, with the rules that send them again, drop them
// and end them. No socket, no lock and no clock of its own: the caller passes the time (ns on one
// monotonic clock) and guards the queue, so the rules can be driven on one thread.
class RequestQueue
{
public:
    // Retries are never closer than this: with a retry delay of 0 every copy would otherwise
    // leave in one burst, before any display could answer the first.
    static constexpr int kMinRetryIntervalMs = 5;

    struct Send
    {
        QByteArray data;
        QString addr;
        int port;
    };
    // A packet that left the queue: answered, or dropped with its retries spent.
    struct Ended
    {
        quint64 id;
        QString addr;
        QByteArray data;
        int waitedMs; // since its last send
    };
    struct Pass
    {
        std::vector<Send> due;
        std::vector<Ended> dropped;
        std::optional<qint64> nextDueNs; // nothing while the queue is empty
    };

    void append(udpQueueStruct record);
    // Marks what is due at nowNs as sent, drops what has spent its retries.
    Pass takeDue(qint64 nowNs, int maxRetries);
    // Removes the oldest packet to sourceIP that the reply ends.
    std::optional<Ended> removeAnswered(Protocol::ReplyKind kind, const QString &sourceIP,
                                        const QByteArray &reply, qint64 nowNs);
    bool hasPacketsFor(const QString &addr) const { return m_perAddress.contains(addr); }
    int size() const { return static_cast<int>(m_records.size()); }
    void clear();

private:
    static qint64 nsUntilDue(const udpQueueStruct &record, qint64 nowNs);
    void uncount(const QString &addr);

    std::vector<udpQueueStruct> m_records;
    QHash<QString, int> m_perAddress; // packets queued per address, for the link thread's triage
};
