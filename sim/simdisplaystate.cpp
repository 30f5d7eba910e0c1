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

DisplayState::DisplayState(const DisplayIdentity &identity, const TimeSource &time,
                           const ProgramStore &programs)
    : m_identity(identity), m_clock(time), m_programs(programs), m_runner(time)
{
}

ClockReading DisplayState::reading() const
{
    return m_runner.isShown() ? m_runner.reading() : m_clock.reading();
}

QByteArray DisplayState::statusReply() const
{
    StatusReply reply;
    reply.ipv4 = m_identity.address.toIPv4Address();
    reply.clock = reading();
    reply.intervalNumber = reply.clock.intervalNumber;
    reply.subFormat = m_identity.subFormat;
    reply.name = m_identity.name;
    return encodeStatusReply(reply);
}

Outcome DisplayState::handle(const QByteArray &datagram)
{
    const Command command = decodeCommand(datagram);
    switch (command.kind) {
    case CommandKind::CountUpMode:
    case CommandKind::CountUpReset:
    case CommandKind::CountDownMode:
    case CommandKind::CountDownReset:
    case CommandKind::TimeOfDayMode:
        m_runner.leave();
        break;
    default:
        break;
    }
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
    case CommandKind::ActiveProgramQuery:
    case CommandKind::GetProgram:
    case CommandKind::UploadProgram:
    case CommandKind::SavePrograms:
    case CommandKind::ArmProgram:
    case CommandKind::ProgramRun:
    case CommandKind::RunStatusQuery:
        return handleProgram(command);
    case CommandKind::Malformed:
    case CommandKind::Unknown:
        break;
    }
    return {QByteArray(), QStringLiteral("ignored"), command.problem};
}

Outcome DisplayState::handleProgram(const Command &command)
{
    switch (command.kind) {
    case CommandKind::ActiveProgramQuery:
        return {encodeProgramReply(OpActiveProgram, m_runner.number(), m_runner.liveProgram()),
                QStringLiteral("active-program-query"), QString()};
    case CommandKind::GetProgram:
        return {encodeProgramReply(OpGetProgram, command.programNumber,
                                   m_programs.at(command.programNumber)),
                QStringLiteral("get-program"), QString()};
    case CommandKind::UploadProgram:
        m_programs.at(command.programNumber) = command.program;
        return acknowledged(QStringLiteral("upload-program"), true, QString());
    case CommandKind::SavePrograms:
        // The programs are kept for the life of the display already: nothing more to do.
        return acknowledged(QStringLiteral("save-programs"), true, QString());
    case CommandKind::ArmProgram:
        // The clock stops while the program is shown; a mode command takes the display back.
        m_clock.enterTimeOfDay();
        m_runner.arm(command.programNumber, command.program);
        return acknowledged(QStringLiteral("program-arm"), true, QString());
    case CommandKind::ProgramRun:
        return acknowledged(command.run ? QStringLiteral("program-run")
                                        : QStringLiteral("program-pause"),
                            m_runner.run(command.run), QStringLiteral("no program armed"));
    default: // RunStatusQuery
        break;
    }
    return {encodeRunStatusReply(m_runner.status()), QStringLiteral("run-status-query"), QString()};
}

Outcome DisplayState::runCount(ClockMode mode, bool run)
{
    const QString event = modeName(mode) + (run ? QLatin1String("-run") : QLatin1String("-pause"));
    return acknowledged(event, m_clock.runCount(mode, run),
                        QStringLiteral("not in %1 mode").arg(modeName(mode)));
}

} // namespace qbsim
