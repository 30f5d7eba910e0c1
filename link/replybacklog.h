#pragma once

#include "link/protocol.h"

#include <QByteArray>
#include <QString>
#include <deque>
#include <mutex>
#include <optional>

// Received replies on their way from the link thread to the thread that owns the link, in two
// bounded lanes: answers (their sender had packets queued when they arrived) and the rest. The
// owner takes answers first, so a flood of strangers' datagrams cannot hold up a display's
// answers; what does not fit is dropped and counted. Thread-safe.
class ReplyBacklog
{
public:
    static constexpr int kLaneEntries = 2048;     // a discovery answered by 1,000 displays, twice
    static constexpr int kLaneBytes = 512 * 1024; // replies may be up to 64 KiB long

    struct Reply
    {
        QString sourceIP;
        QByteArray payload;
        Protocol::ReplyKind kind = Protocol::ReplyKind::Ignored;
        bool isAnswer = false; // only an answer may end a queued packet
    };
    enum class Push { Queued, QueuedWake, Dropped }; // QueuedWake: the owner must be woken

    // Whether the owner has anything to do with a reply: data to pass on, or a packet to end.
    static bool isWorthHandingOver(Protocol::ReplyKind kind, const QByteArray &payload,
                                   bool senderHasPackets);

    // Keeps a copy of the reply's payload, which may be a view of a buffer that is reused.
    Push push(const Reply &reply);
    std::optional<Reply> take();
    // Ends one turn of the owner: true while replies remain, so the owner stays awake and comes
    // back; false when it may sleep until the next push wakes it.
    bool endTurn();
    qint64 dropped() const;
    void clear();

private:
    struct Lane
    {
        std::deque<Reply> replies;
        int bytes = 0;
    };
    static std::optional<Reply> takeFrom(Lane &lane);

    mutable std::mutex m_mutex;
    Lane m_answers;
    Lane m_others;
    bool m_awake = false;
    qint64 m_dropped = 0;
};
