#pragma once

#include "control/oscallowlist.h"
#include "control/oscfeedback.h"
#include "link/logthrottle.h"

#include <lo/lo_types.h>

class CommandGate;

// What the OSC door does with one datagram: a source outside the allow-list is dropped and
// counted; /qb/subscribe and /qb/unsubscribe go to the feedback; anything else is read as a
// command and handed to the controller through the gate. A message that cannot be read, a
// command the table refuses and a refusal of the controller's state are answered with /qb/error
// and a text naming the argument at fault; a command that reads is answered with /qb/result and
// its name and JSON result. Runs on the door's receiving thread.
class OscDoor
{
public:
    using Reply = OscFeedback::Send;

    OscDoor(CommandGate &gate, OscFeedback &feedback, OscAllowList allowed, Reply reply);

    void handle(const QByteArray &datagram, const OscPeer &from, qint64 nowMs);
    // Datagrams dropped because of their source.
    qint64 dropped() const { return m_dropped; }

private:
    void subscription(const QString &path, lo_message message, const OscPeer &from, qint64 nowMs);
    void command(const QString &path, lo_message message, const OscPeer &from, qint64 nowMs);
    void refuse(const OscPeer &to, const QString &why, qint64 nowMs);

    CommandGate &m_gate;
    OscFeedback &m_feedback;
    OscAllowList m_allowed;
    Reply m_reply;
    qint64 m_dropped = 0;
    LogThrottle m_dropLog;
    LogThrottle m_refusalLog;
};
