#pragma once

#include "simclock.h"
#include "simprogramrunner.h"
#include "simprotocol.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

namespace qbsim {

struct DisplayIdentity
{
    QHostAddress address;
    QString name;
    int subFormat = 0;
};

// What a display made of one datagram.
struct Outcome
{
    QByteArray reply; // empty when the display does not answer
    QString event;    // what the datagram asked for, as a log event name
    QString problem;  // why it was ignored or had no effect; empty otherwise
};

// One display without its socket: turns each datagram into a change of its clock or its programs
// and an answer. A status query (any 0xA1 datagram of 3 bytes) is answered with a status reply,
// the program queries (0xAF, 0xB2 n, 0xB1) with their data replies, every other known command
// with the acknowledgement. Arming a program shows it instead of the clock until a mode command
// takes the display back. Datagrams of unknown opcodes, of a known opcode with the
// wrong length or with a count format the display does not have are ignored without an answer:
// a display does not act on what it cannot parse, and never answering unknown opcodes keeps two
// displays from acknowledging each other's answers forever.
class DisplayState
{
public:
    DisplayState(const DisplayIdentity &identity, const TimeSource &time,
                 const ProgramStore &programs = ProgramStore());

    Outcome handle(const QByteArray &datagram);
    QByteArray statusReply() const;
    // What the digits show: the armed program while it is shown, the clock otherwise.
    ClockReading reading() const;

    const DisplayIdentity &identity() const { return m_identity; }
    DisplayClock &clock() { return m_clock; }
    const DisplayClock &clock() const { return m_clock; }
    ProgramRunner &runner() { return m_runner; }
    const ProgramRunner &runner() const { return m_runner; }

private:
    Outcome runCount(ClockMode mode, bool run);
    Outcome handleProgram(const Command &command);

    DisplayIdentity m_identity;
    DisplayClock m_clock;
    ProgramStore m_programs;
    ProgramRunner m_runner;
};

} // namespace qbsim
