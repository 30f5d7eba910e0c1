#include "link/requestqueue.h"

namespace {

constexpr qint64 kNsPerMs = 1000000;

} // namespace

void RequestQueue::append(udpQueueStruct record)
{
    ++m_perAddress[record.addr];
    m_records.push_back(std::move(record));
}

qint64 RequestQueue::nsUntilDue(const udpQueueStruct &record, qint64 nowNs)
{
    const int waitMs =
        record.waitFirstSend ? record.firstDelay : qMax(record.retryInterval, kMinRetryIntervalMs);
    return waitMs * kNsPerMs - (nowNs - record.markNs);
}

void RequestQueue::uncount(const QString &addr)
{
    const auto count = m_perAddress.find(addr);
    if (--*count == 0)
        m_perAddress.erase(count);
}

RequestQueue::Pass RequestQueue::takeDue(qint64 nowNs, int maxRetries)
{
    // One pass that moves the records kept up over the dropped ones: dropping many at once (a
    // save-all to displays that never answer) costs no more than sending them.
    Pass pass;
    auto kept = m_records.begin();
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        udpQueueStruct &record = *it;
        if (nsUntilDue(record, nowNs) <= 0) {
            const qint64 sentNs = record.markNs;
            record.markNs = nowNs;
            if (record.waitFirstSend) {
                record.waitFirstSend = false;
            } else if (++record.retryCount > maxRetries) {
                uncount(record.addr);
                pass.dropped.push_back({record.id, std::move(record.addr), std::move(record.data),
                                        int((nowNs - sentNs) / kNsPerMs)});
                continue;
            }
            pass.due.push_back({record.data, record.addr, record.port});
        }
        const qint64 untilDue = qMax<qint64>(0, nsUntilDue(record, nowNs));
        pass.nextDueNs = pass.nextDueNs ? qMin(*pass.nextDueNs, untilDue) : untilDue;
        if (kept != it)
            *kept = std::move(record);
        ++kept;
    }
    m_records.erase(kept, m_records.end());
    return pass;
}

std::optional<RequestQueue::Ended> RequestQueue::removeAnswered(Protocol::ReplyKind kind,
                                                                const QString &sourceIP,
                                                                const QByteArray &reply,
                                                                qint64 nowNs)
{
    if (!hasPacketsFor(sourceIP))
        return std::nullopt;
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (it->addr == sourceIP && Protocol::endsCommand(kind, reply, it->data)) {
            Ended ended{it->id, it->addr, std::move(it->data),
                        static_cast<int>((nowNs - it->markNs) / kNsPerMs)};
            uncount(it->addr);
            m_records.erase(it);
            return ended;
        }
    }
    return std::nullopt;
}

void RequestQueue::clear()
{
    m_records.clear();
    m_perAddress.clear();
}
