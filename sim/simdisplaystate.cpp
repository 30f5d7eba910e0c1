#include "simdisplaystate.h"

#include "simprotocol.h"

namespace qbsim {

namespace {

Outcome acknowledged(const QString &event, bool applied, const QString &problem)
{
    return {QByteArray(1, kAcknowledgement), event, applied ? QString() : problem};
}

} // namespace

DisplayState::DisplayState(const DisplayIdentity &identity, const TimeSource &time)
    : m_identity(identity), m_clock(time)
{
}

QByteArray DisplayState::statusReply() const
{
    StatusReply reply;
    reply.ipv4 = m_identity.address.toIPv4Address();
    reply.clock = m_clock.reading();
    reply.subFormat = m_identity.subFormat;
    reply.name = m_identity.name;
    return encodeStatusReply(reply);
}

Outcome DisplayState::handle(const QByteArray &datagram)
{
    const Command command = decodeCommand(datagram);
    switch (command.kind) {
    case CommandKind::StatusQuery:
        return {statusReply(), QStringLiteral("status-query"), QString()};
    case CommandKind::CountUpMode:
        m_clock.enterCountUp();
        return acknowledged(QStringLiteral("count-up-mode"), true, QString());
    case CommandKind::CountUpRun:
        return acknowledged(
            command.run ? QStringLiteral("count-up-run") : QStringLiteral("count-up-pause"),
            m_clock.runCountUp(command.run), QStringLiteral("not in count-up mode"));
    case CommandKind::CountUpReset:
        m_clock.resetCountUp(command.format);
        return acknowledged(QStringLiteral("count-up-reset"), true, QString());
    case CommandKind::CountDownMode:
        m_clock.enterCountDown(command.preset);
        return acknowledged(QStringLiteral("count-down-mode"), true, QString());
    case CommandKind::CountDownRun:
        return acknowledged(
            command.run ? QStringLiteral("count-down-run") : QStringLiteral("count-down-pause"),
            m_clock.runCountDown(command.run), QStringLiteral("not in count-down mode"));
    case CommandKind::CountDownReset:
        m_clock.resetCountDown(command.preset);
        return acknowledged(QStringLiteral("count-down-reset"), true, QString());
    case CommandKind::TimeOfDayMode:
        m_clock.enterTimeOfDay();
        return acknowledged(QStringLiteral("time-of-day-mode"), true, QString());
    case CommandKind::Program:
        return acknowledged(QStringLiteral("program-command"), false,
                            QStringLiteral("programs are not simulated yet"));
    case CommandKind::Malformed:
    case CommandKind::Unknown:
        break;
    }
    return {QByteArray(), QStringLiteral("ignored"), command.problem};
}

} // namespace qbsim
