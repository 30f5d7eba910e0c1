#pragma once

#include <QElapsedTimer>
#include <QVector>

#include <optional>

namespace qbsim {

constexpr qint64 kDayMs = 24LL * 60 * 60 * 1000;
// The status reply carries 11 bits of days and hundredths of a second: the largest value a
// display can show. Counts are held at it rather than wrapping to zero.
constexpr qint64 kMaxClockMs = 2048 * kDayMs - 10;

// Where a display's clock takes its time from: a monotonic count for the counters and the wall
// clock for the time-of-day mode. Tests drive a hand-made one.
class TimeSource
{
public:
    virtual ~TimeSource() = default;
    virtual qint64 monotonicMs() const = 0;
    virtual int wallMsOfDay() const = 0;
};

class SystemTimeSource : public TimeSource
{
public:
    SystemTimeSource();
    qint64 monotonicMs() const override;
    int wallMsOfDay() const override;

private:
    QElapsedTimer m_started;
};

// The status word's mode numbers. The interval modes are shown only while a program runs.
enum class ClockMode {
    TimeOfDay = 0,
    CountUp = 1,
    CountDown = 2,
    IntervalUp = 3,
    IntervalDown = 4
};

// Count format numbers: 0 with tenths, 1 days-hh:mm:ss, 2 days:hh:mm. Programs add the interval
// format, interval number and mm:ss, which no count command can ask for.
constexpr int kCountFormats = 3;
constexpr int kIntervalFormat = 3;

struct CountDownPreset
{
    int format = 0;
    int days = 0;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    bool alarmEnabled = false;
    int alarmSeconds = 0;

    // Hours from 24 up and minutes or seconds of 60 and more carry into the larger units.
    qint64 totalMs() const;
};

struct ClockReading
{
    ClockMode mode = ClockMode::TimeOfDay;
    int format = 0;
    bool running = false;
    qint64 valueMs = 0;
    bool alarmEnabled = false;
    int alarmSeconds = 0;
    bool alarmSounding = false;
    int intervalNumber = 0;

    int days() const { return int(valueMs / kDayMs); }
    int msOfDay() const { return int(valueMs % kDayMs); }
};

enum class ClockEvent { ReachedZero, AlarmOn, AlarmOff };

// One display's clock: time of day, count up or count down with an end alarm. Counts are kept as
// a value taken at a monotonic instant and worked out from it whenever they are read, so they
// never drift with the event loop. Settling turns a count-down that has passed zero into a stopped
// one and records what happened on the way as events.
class DisplayClock
{
public:
    explicit DisplayClock(const TimeSource &time);

    void enterCountUp();
    void resetCountUp(int format);
    void enterCountDown(const CountDownPreset &preset);
    void resetCountDown(const CountDownPreset &preset);
    // Runs or pauses the count of `mode`; false, changing nothing, when the clock is in another
    // mode. Pausing silences a sounding alarm.
    bool runCount(ClockMode mode, bool run);
    void enterTimeOfDay();

    ClockReading reading() const;
    // Settles the clock at the present time and hands over every event since the last call.
    QVector<ClockEvent> takeEvents();
    // Monotonic time at which the next event falls due, if one is pending.
    std::optional<qint64> nextEventDueMs() const;

private:
    struct State
    {
        ClockMode mode = ClockMode::TimeOfDay;
        int format = 0;
        bool running = false;
        qint64 baseMs = 0;  // count value at sinceMs
        qint64 sinceMs = 0; // monotonic time the count was last (re)started
        bool alarmEnabled = false;
        int alarmSeconds = 0;
        std::optional<qint64> alarmUntilMs;
    };

    static State settled(State state, qint64 nowMs, QVector<ClockEvent> *events);
    static qint64 valueAt(const State &state, qint64 nowMs);
    void settle();
    void silenceAlarm();
    void stopCount();
    void enterMode(ClockMode mode, int format, qint64 valueMs);
    void loadPreset(const CountDownPreset &preset);

    const TimeSource &m_time;
    State m_state;
    QVector<ClockEvent> m_events;
};

} // namespace qbsim
