#pragma once

#include "simclock.h"
#include "simprogram.h"

#include <QJsonObject>

#include <optional>

namespace qbsim {

// Something the running program did, for the log: "program-step" (a line was set up: "row",
// "command", "interval"), "program-colour" (a colour line changed the colours: "row", "hours",
// "rest"), "alarm-on" ("seconds"),
// "alarm-off", "program-end" ("reset") and "program-halted" ("problem").
struct ProgramEvent
{
    QString name;
    QJsonObject fields;
};

// A display running an armed program by itself. Arming sets the program up at its first timing
// line, paused; running counts each timing line from its start to its stop time (a count-up with
// stop 0 runs on until paused), then passes colour and repeat lines, which take no time, to the
// next timing line. An interval line with its flag set adds one to the interval number when it
// is set up; a line with an alarm sounds it for its seconds when the line starts running. The
// end line sounds its alarm, then either arms the program afresh (Reset) or ends it, showing zero.
// Like the clock, the program is worked out from the time whenever it is read, so a line ends at
// its exact instant however late it is looked at; events are recorded on the way.
class ProgramRunner
{
public:
    // Zero-time lines (colour, repeat, lines that start at their stop time) passed at one
    // instant before the runner gives up on a loop that would never let time pass.
    static constexpr int kMaxZeroTimeLines = 4096;

    explicit ProgramRunner(const TimeSource &time);

    void arm(int number, const StoredProgram &program);
    // Runs or pauses the armed program; false, changing nothing, when none is armed.
    bool run(bool run);
    // Another mode takes the display over: the program is no longer shown.
    void leave();

    // An armed program is shown, whether it is running, paused or has ended.
    bool isShown() const;
    int number() const { return m_state.number; }
    // The armed program with the repeat counts taken so far; empty before the first arming.
    StoredProgram liveProgram() const;
    ClockReading reading() const;
    RunStatus status() const;
    DigitColours colours() const;

    QVector<ProgramEvent> takeEvents();
    std::optional<qint64> nextEventDueMs() const;

private:
    enum class Phase { Idle, Armed, Ended };

    struct State
    {
        Phase phase = Phase::Idle;
        int number = 0;
        StoredProgram program;
        QVector<ProgramStep> steps;
        QVector<quint8> repeatsTaken;
        int row = 0;
        int interval = 0;
        bool running = false;
        ClockMode mode = ClockMode::CountDown;
        int format = 1;
        qint64 baseMs = 0;  // the line's value at sinceMs
        qint64 sinceMs = 0; // when the line was set up or last run or paused
        DigitColours colours;
        int pendingAlarmSeconds = 0; // of a line set up while paused
        int alarmSeconds = 0;
        std::optional<qint64> alarmUntilMs;
        qint64 zeroTimeAtMs = -1;
        int zeroTimeLines = 0;
    };

    using Events = QVector<ProgramEvent>;

    static State settled(State state, qint64 nowMs, Events *events);
    static void enterLine(State &state, int row, qint64 atMs, Events *events);
    static void appendStepEvent(const State &state, Events *events);
    static void restart(State &state);
    static void endProgram(State &state, const QString &problem, Events *events);
    static void soundAlarm(State &state, int seconds, qint64 atMs, Events *events);
    static void expireAlarm(State &state, qint64 atMs, Events *events);
    static std::optional<qint64> lineEndMs(const State &state);
    static qint64 valueAt(const State &state, qint64 nowMs);
    void settle();

    const TimeSource &m_time;
    State m_state;
    Events m_events;
};

} // namespace qbsim
