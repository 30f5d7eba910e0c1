#include "simdisplaystate.h"

#include "simprotocol.h"
#include "simtext.h"

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
        return runCount(ClockMode::CountUp, command.run);
    case CommandKind::CountUpReset:
        m_clock.resetCountUp(command.format);
        return acknowledged(QStringLiteral("count-up-reset"), true, QString());
    case CommandKind::CountDownMode:
        m_clock.enterCountDown(command.preset);
        return acknowledged(QStringLiteral("count-down-mode"), true, QString());
    case CommandKind::CountDownRun:
        return runCount(ClockMode::CountDown, command.run);
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

Outcome DisplayState::runCount(ClockMode mode, bool run)
{
    const QString event = modeName(mode) + (run ? QLatin1String("-run") : QLatin1String("-pause"));
    return acknowledged(event, m_clock.runCount(mode, run),
                        QStringLiteral("not in %1 mode").arg(modeName(mode)));
}

} // namespace qbsim
