#include "simclock.h"

#include <QTime>

#include <algorithm>

namespace qbsim {

SystemTimeSource::SystemTimeSource()
{
    m_started.start();
}

qint64 SystemTimeSource::monotonicMs() const
{
    return m_started.elapsed();
}

int SystemTimeSource::wallMsOfDay() const
{
    return QTime::currentTime().msecsSinceStartOfDay();
}

qint64 CountDownPreset::totalMs() const
{
    const qint64 totalSeconds = ((qint64(days) * 24 + hours) * 60 + minutes) * 60 + seconds;
    return std::clamp<qint64>(totalSeconds * 1000, 0, kMaxClockMs);
}

DisplayClock::DisplayClock(const TimeSource &time) : m_time(time) {}

qint64 DisplayClock::valueAt(const State &state, qint64 nowMs)
{
    if (!state.running)
        return state.baseMs;
    const qint64 elapsed = nowMs - state.sinceMs;
    const qint64 value =
        state.mode == ClockMode::CountDown ? state.baseMs - elapsed : state.baseMs + elapsed;
    return std::clamp<qint64>(value, 0, kMaxClockMs);
}

DisplayClock::State DisplayClock::settled(State state, qint64 nowMs, QVector<ClockEvent> *events)
{
    if (state.mode == ClockMode::CountDown && state.running &&
        nowMs - state.sinceMs >= state.baseMs) {
        const qint64 zeroAtMs = state.sinceMs + state.baseMs;
        state.running = false;
        state.baseMs = 0;
        state.sinceMs = zeroAtMs;
        events->append(ClockEvent::ReachedZero);
        if (state.alarmEnabled && state.alarmSeconds > 0) {
            state.alarmUntilMs = zeroAtMs + state.alarmSeconds * 1000LL;
            events->append(ClockEvent::AlarmOn);
        }
    }
    if (state.alarmUntilMs && nowMs >= *state.alarmUntilMs) {
        state.alarmUntilMs.reset();
        events->append(ClockEvent::AlarmOff);
    }
    return state;
}

void DisplayClock::settle()
{
    m_state = settled(m_state, m_time.monotonicMs(), &m_events);
}

QVector<ClockEvent> DisplayClock::takeEvents()
{
    settle();
    QVector<ClockEvent> events;
    events.swap(m_events);
    return events;
}

std::optional<qint64> DisplayClock::nextEventDueMs() const
{
    if (m_state.mode == ClockMode::CountDown && m_state.running)
        return m_state.sinceMs + m_state.baseMs;
    return m_state.alarmUntilMs;
}

ClockReading DisplayClock::reading() const
{
    QVector<ClockEvent> ignored;
    const qint64 nowMs = m_time.monotonicMs();
    const State state = settled(m_state, nowMs, &ignored);
    ClockReading reading;
    reading.mode = state.mode;
    reading.format = state.format;
    reading.running = state.running;
    reading.valueMs =
        state.mode == ClockMode::TimeOfDay ? m_time.wallMsOfDay() : valueAt(state, nowMs);
    reading.alarmEnabled = state.alarmEnabled;
    reading.alarmSeconds = state.alarmSeconds;
    reading.alarmSounding = state.alarmUntilMs.has_value();
    return reading;
}

void DisplayClock::silenceAlarm()
{
    if (m_state.alarmUntilMs) {
        m_state.alarmUntilMs.reset();
        m_events.append(ClockEvent::AlarmOff);
    }
}

void DisplayClock::stopCount()
{
    silenceAlarm();
    if (m_state.running) {
        m_state.baseMs = valueAt(m_state, m_time.monotonicMs());
        m_state.running = false;
    }
}

void DisplayClock::enterMode(ClockMode mode, int format, qint64 valueMs)
{
    stopCount();
    m_state.mode = mode;
    m_state.format = format;
    m_state.baseMs = valueMs;
}

void DisplayClock::loadPreset(const CountDownPreset &preset)
{
    m_state.format = preset.format;
    m_state.alarmEnabled = preset.alarmEnabled;
    m_state.alarmSeconds = preset.alarmSeconds;
    m_state.baseMs = preset.totalMs();
    m_state.sinceMs = m_time.monotonicMs();
    // A count-down reset to nothing has nothing to run: it must not sound the alarm at once.
    m_state.running = m_state.running && m_state.baseMs > 0;
}

void DisplayClock::enterCountUp()
{
    settle();
    enterMode(ClockMode::CountUp, 0, 0);
}

bool DisplayClock::runCount(ClockMode mode, bool run)
{
    settle();
    if (m_state.mode != mode)
        return false;
    // A count-down at zero has nothing left to run.
    const bool canRun = mode == ClockMode::CountUp || m_state.baseMs > 0;
    if (!run) {
        stopCount();
    } else if (!m_state.running && canRun) {
        m_state.running = true;
        m_state.sinceMs = m_time.monotonicMs();
    }
    return true;
}

void DisplayClock::resetCountUp(int format)
{
    settle();
    if (m_state.mode != ClockMode::CountUp) {
        enterMode(ClockMode::CountUp, format, 0);
        return;
    }
    m_state.format = format;
    m_state.baseMs = 0;
    m_state.sinceMs = m_time.monotonicMs();
}

void DisplayClock::enterCountDown(const CountDownPreset &preset)
{
    settle();
    enterMode(ClockMode::CountDown, preset.format, 0);
    loadPreset(preset);
}

void DisplayClock::resetCountDown(const CountDownPreset &preset)
{
    settle();
    if (m_state.mode != ClockMode::CountDown) {
        enterCountDown(preset);
        return;
    }
    silenceAlarm();
    loadPreset(preset);
}

void DisplayClock::enterTimeOfDay()
{
    settle();
    enterMode(ClockMode::TimeOfDay, m_state.format, 0);
}

} // namespace qbsim
