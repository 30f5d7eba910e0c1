#pragma once

#include "control/oscallowlist.h"
#include "control/oscfeedback.h"
#include "control/oscreplypace.h"
#include "link/logthrottle.h"

#include <lo/lo_types.h>

class CommandGate;

// What the OSC door does with one datagram: a source outside the allow-list is dropped and
// counted; /qb/subscribe and /qb/unsubscribe go to the feedback; anything else is read as a
// command and handed to the controller through the gate. A message that cannot be read, a
// command the table refuses and a refusal of the controller's state are answered with /qb/error
// and a text naming the argument at fault; a command that reads is answered with /qb/result and
// its name and JSON result. Answers are paced per host (OscReplyPace). What is itself an answer
// or feedback (another door's, or this one's come back) and whatever comes from the door's own
// address and port is never answered, so that two doors cannot keep each other talking. Runs on
// the door's receiving thread.
class OscDoor
{
public:
    using Reply = OscFeedback::Send;

    // `self` is where the door listens (0.0.0.0 or :: for every address of the machine).
    OscDoor(CommandGate &gate, OscFeedback &feedback, OscAllowList allowed, Reply reply,
            OscPeer self);

    void handle(const QByteArray &datagram, const OscPeer &from, qint64 nowMs);
    // Datagrams dropped because of their source.
    qint64 dropped() const { return m_dropped; }
    // Answers not sent because their host had been answered enough.
    qint64 unanswered() const { return m_unanswered; }

private:
    bool isSelf(const OscPeer &peer) const;
    void subscription(const QString &path, lo_message message, const OscPeer &from, qint64 nowMs);
    void command(const QString &path, lo_message message, const OscPeer &from, qint64 nowMs);
    // Whether `to` may be answered now; counts and warns of the answer dropped when not.
    bool mayAnswer(const OscPeer &to, qint64 nowMs);
    void answer(const OscPeer &to, const OscMessage &message, qint64 nowMs);
    void refuse(const OscPeer &to, const QString &why, qint64 nowMs);

    CommandGate &m_gate;
    OscFeedback &m_feedback;
    OscAllowList m_allowed;
    Reply m_reply;
    OscPeer m_self;
    QList<QHostAddress> m_ownAddresses; // when listening on every address
    OscReplyPace m_pace;
    qint64 m_dropped = 0;
    qint64 m_unanswered = 0;
    LogThrottle m_dropLog;
    LogThrottle m_refusalLog;
    LogThrottle m_unansweredLog;
};
