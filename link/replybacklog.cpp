#include "link/replybacklog.h"

bool ReplyBacklog::isWorthHandingOver(Protocol::ReplyKind kind, const QByteArray &payload,
                                      bool senderHasPackets)
{
    if (kind == Protocol::ReplyKind::Ignored)
        return false;
    return senderHasPackets || Protocol::isPassedOn(kind, payload);
}

ReplyBacklog::Push ReplyBacklog::push(const Reply &reply)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    Lane &lane = reply.isAnswer ? m_answers : m_others;
    const int size = reply.payload.size();
    if (int(lane.replies.size()) >= kLaneEntries || lane.bytes + size > kLaneBytes) {
        ++m_dropped;
        return Push::Dropped;
    }
    lane.bytes += size;
    lane.replies.push_back(reply);
    QByteArray &payload = lane.replies.back().payload;
    payload = QByteArray(payload.constData(), size);
    return std::exchange(m_awake, true) ? Push::Queued : Push::QueuedWake;
}

std::optional<ReplyBacklog::Reply> ReplyBacklog::takeFrom(Lane &lane)
{
    if (lane.replies.empty())
        return std::nullopt;
    Reply reply = std::move(lane.replies.front());
    lane.replies.pop_front();
    lane.bytes -= reply.payload.size();
    return reply;
}

std::optional<ReplyBacklog::Reply> ReplyBacklog::take()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (std::optional<Reply> answer = takeFrom(m_answers))
        return answer;
    return takeFrom(m_others);
}

bool ReplyBacklog::endTurn()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_awake = !m_answers.replies.empty() || !m_others.replies.empty();
    return m_awake;
}

qint64 ReplyBacklog::dropped() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

void ReplyBacklog::clear()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_answers = Lane();
    m_others = Lane();
    m_awake = false;
}
