#include "simprogramrunner.h"

#include <algorithm>

namespace qbsim {

namespace {

struct LineKind
{
    ClockMode mode;
    int format;
};

std::optional<LineKind> timingKind(quint8 command)
{
    switch (command) {
    case StepIntervalDown:
        return LineKind{ClockMode::IntervalDown, kIntervalFormat};
    case StepIntervalUp:
        return LineKind{ClockMode::IntervalUp, kIntervalFormat};
    case StepUpHms:
        return LineKind{ClockMode::CountUp, 1};
    case StepUpMst:
        return LineKind{ClockMode::CountUp, 0};
    case StepUpDhm:
        return LineKind{ClockMode::CountUp, 2};
    case StepDownHms:
        return LineKind{ClockMode::CountDown, 1};
    case StepDownMst:
        return LineKind{ClockMode::CountDown, 0};
    case StepDownDhm:
        return LineKind{ClockMode::CountDown, 2};
    default:
        return std::nullopt;
    }
}

bool countsDown(ClockMode mode)
{
    return mode == ClockMode::CountDown || mode == ClockMode::IntervalDown;
}

qint64 secondsToMs(quint32 seconds)
{
    return std::min<qint64>(qint64(seconds) * 1000, kMaxClockMs);
}

} // namespace

ProgramRunner::ProgramRunner(const TimeSource &time) : m_time(time) {}

void ProgramRunner::arm(int number, const StoredProgram &program)
{
    leave();
    m_state = State();
    m_state.phase = Phase::Armed;
    m_state.number = number;
    m_state.program = program;
    m_state.steps = decodeSteps(program.image);
    restart(m_state);
    enterLine(m_state, 0, m_time.monotonicMs(), &m_events);
}

bool ProgramRunner::run(bool run)
{
    settle();
    if (m_state.phase != Phase::Armed)
        return false;
    const qint64 nowMs = m_time.monotonicMs();
    if (run && !m_state.running) {
        m_state.running = true;
        m_state.sinceMs = nowMs;
        soundAlarm(m_state, m_state.pendingAlarmSeconds, nowMs, &m_events);
        m_state.pendingAlarmSeconds = 0;
    } else if (!run && m_state.running) {
        m_state.baseMs = valueAt(m_state, nowMs);
        m_state.sinceMs = nowMs;
        m_state.running = false;
    }
    return true;
}

void ProgramRunner::leave()
{
    settle();
    if (m_state.alarmUntilMs) {
        m_state.alarmUntilMs.reset();
        m_events.append({QStringLiteral("alarm-off"), {}});
    }
    m_state.phase = Phase::Idle;
    m_state.running = false;
}

bool ProgramRunner::isShown() const
{
    return m_state.phase != Phase::Idle;
}

StoredProgram ProgramRunner::liveProgram() const
{
    Events ignored;
    const State state = settled(m_state, m_time.monotonicMs(), &ignored);
    StoredProgram program = state.program;
    for (int row = 0; row < state.steps.size(); ++row) {
        if (state.steps.at(row).command == StepRepeat)
            program.image[row * kStepLength + kRepeatsTakenOffset] =
                char(state.repeatsTaken.at(row));
    }
    return program;
}

ClockReading ProgramRunner::reading() const
{
    Events ignored;
    const qint64 nowMs = m_time.monotonicMs();
    const State state = settled(m_state, nowMs, &ignored);
    ClockReading reading;
    reading.mode = state.mode;
    reading.format = state.format;
    reading.running = state.phase == Phase::Armed && state.running;
    reading.valueMs = valueAt(state, nowMs);
    reading.alarmSeconds = state.alarmSeconds;
    reading.alarmSounding = state.alarmUntilMs.has_value();
    reading.intervalNumber = state.interval;
    return reading;
}

RunStatus ProgramRunner::status() const
{
    Events ignored;
    const qint64 nowMs = m_time.monotonicMs();
    const State state = settled(m_state, nowMs, &ignored);
    RunStatus status;
    status.active = state.phase == Phase::Armed;
    status.row = state.row;
    status.interval = state.interval;
    status.running = status.active && state.running;
    status.valueMs = valueAt(state, nowMs);
    status.number = state.number;
    status.program = liveProgram();
    return status;
}

DigitColours ProgramRunner::colours() const
{
    Events ignored;
    return settled(m_state, m_time.monotonicMs(), &ignored).colours;
}

QVector<ProgramEvent> ProgramRunner::takeEvents()
{
    settle();
    Events events;
    events.swap(m_events);
    return events;
}

std::optional<qint64> ProgramRunner::nextEventDueMs() const
{
    const std::optional<qint64> lineEnd = lineEndMs(m_state);
    if (lineEnd && m_state.alarmUntilMs)
        return std::min(*lineEnd, *m_state.alarmUntilMs);
    return lineEnd ? lineEnd : m_state.alarmUntilMs;
}

void ProgramRunner::settle()
{
    m_state = settled(m_state, m_time.monotonicMs(), &m_events);
}

ProgramRunner::State ProgramRunner::settled(State state, qint64 nowMs, Events *events)
{
    for (std::optional<qint64> endMs = lineEndMs(state); endMs && *endMs <= nowMs;
         endMs = lineEndMs(state)) {
        expireAlarm(state, *endMs, events);
        enterLine(state, state.row + 1, *endMs, events);
    }
    expireAlarm(state, nowMs, events);
    return state;
}

void ProgramRunner::enterLine(State &state, int row, qint64 atMs, Events *events)
{
    if (state.zeroTimeAtMs != atMs) {
        state.zeroTimeAtMs = atMs;
        state.zeroTimeLines = 0;
    }
    for (;;) {
        if (++state.zeroTimeLines > kMaxZeroTimeLines) {
            endProgram(state, QStringLiteral("zero-time loop"), events);
            return;
        }
        state.row = row;
        if (row >= state.steps.size()) {
            endProgram(state, QStringLiteral("ran past the last line"), events);
            return;
        }
        const ProgramStep &step = state.steps.at(row);
        if (step.command == StepColour) {
            if (!(state.colours == step.colours)) {
                state.colours = step.colours;
                events->append({QStringLiteral("program-colour"),
                                {{QStringLiteral("row"), row},
                                 {QStringLiteral("hours"), colourName(step.colours.hours)},
                                 {QStringLiteral("rest"), colourName(step.colours.rest)}}});
            }
            ++row;
            continue;
        }
        if (step.command == StepRepeat) {
            // The count is a byte, as on the wire: a repeat count of 255 jumps for ever.
            quint8 &taken = state.repeatsTaken[row];
            ++taken;
            if (taken > step.repeatCount) {
                taken = 0;
                ++row;
            } else {
                row = step.jump;
            }
            continue;
        }
        if (step.command == StepEnd) {
            appendStepEvent(state, events);
            if (state.running)
                soundAlarm(state, step.alarmSeconds, atMs, events);
            const bool reset = step.jump & kEndReset;
            events->append({QStringLiteral("program-end"), {{QStringLiteral("reset"), reset}}});
            if (!reset) {
                endProgram(state, QString(), events);
                return;
            }
            restart(state);
            row = 0;
            continue;
        }
        const std::optional<LineKind> kind = timingKind(step.command);
        if (!kind) {
            endProgram(state, QStringLiteral("unknown command %1").arg(step.command), events);
            return;
        }
        state.mode = kind->mode;
        state.format = kind->format;
        if (kind->format == kIntervalFormat && step.incrementInterval)
            ++state.interval;
        appendStepEvent(state, events);
        state.baseMs = secondsToMs(step.startSeconds);
        state.sinceMs = atMs;
        if (state.running)
            soundAlarm(state, step.alarmSeconds, atMs, events);
        else
            state.pendingAlarmSeconds = step.alarmSeconds;
        return;
    }
}

void ProgramRunner::appendStepEvent(const State &state, Events *events)
{
    events->append(
        {QStringLiteral("program-step"),
         {{QStringLiteral("row"), state.row},
          {QStringLiteral("command"), stepCommandName(state.steps.at(state.row).command)},
          {QStringLiteral("interval"), state.interval}}});
}

void ProgramRunner::restart(State &state)
{
    state.repeatsTaken = QVector<quint8>(state.steps.size(), 0);
    state.interval = 0;
    state.colours = DigitColours();
    state.running = false;
    state.pendingAlarmSeconds = 0;
}

void ProgramRunner::endProgram(State &state, const QString &problem, Events *events)
{
    if (!problem.isEmpty())
        events->append({QStringLiteral("program-halted"), {{QStringLiteral("problem"), problem}}});
    state.phase = Phase::Ended;
    state.running = false;
    state.baseMs = 0;
    state.pendingAlarmSeconds = 0;
}

void ProgramRunner::soundAlarm(State &state, int seconds, qint64 atMs, Events *events)
{
    if (seconds <= 0)
        return;
    expireAlarm(state, atMs, events);
    state.alarmSeconds = seconds;
    state.alarmUntilMs = atMs + seconds * 1000LL;
    events->append({QStringLiteral("alarm-on"), {{QStringLiteral("seconds"), seconds}}});
}

void ProgramRunner::expireAlarm(State &state, qint64 atMs, Events *events)
{
    if (state.alarmUntilMs && *state.alarmUntilMs <= atMs) {
        state.alarmUntilMs.reset();
        events->append({QStringLiteral("alarm-off"), {}});
    }
}

std::optional<qint64> ProgramRunner::lineEndMs(const State &state)
{
    if (state.phase != Phase::Armed || !state.running)
        return std::nullopt;
    const quint32 stopSeconds = state.steps.at(state.row).stopSeconds;
    const qint64 stopMs = secondsToMs(stopSeconds);
    if (countsDown(state.mode))
        return state.sinceMs + std::max<qint64>(0, state.baseMs - stopMs);
    if (stopSeconds == 0)
        return std::nullopt;
    return state.sinceMs + std::max<qint64>(0, stopMs - state.baseMs);
}

qint64 ProgramRunner::valueAt(const State &state, qint64 nowMs)
{
    if (state.phase != Phase::Armed || !state.running)
        return state.baseMs;
    const qint64 elapsed = nowMs - state.sinceMs;
    const qint64 value = countsDown(state.mode) ? state.baseMs - elapsed : state.baseMs + elapsed;
    return std::clamp<qint64>(value, 0, kMaxClockMs);
}

} // namespace qbsim
