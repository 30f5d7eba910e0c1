#pragma once

#include "controller/stopwatch.h"

#include <QString>
#include <QTime>

// The controller's local copy of the count the selected displays run: whole days plus a time of
// day, counting up, down or not at all, measured on its own stopwatch. The flags and the value
// are set directly by the count commands and the program runner.
class MirrorClock
{
public:
    explicit MirrorClock(TimeSource source);

    // What the selected displays were last told to run; a program's lines say it themselves.
    enum class Mode { None, Clock, CountUp, CountDown };

    Mode mode = Mode::None;
    bool countUp = false;
    bool countDn = false;
    QTime time = QTime(0, 0);
    int days = 0;
    int displayMode = 0; // 0 h:m:s.tenths, 1 days-h:m:s, 2 days:h:m, 3 interval-m:s

    // Counting starts afresh from now, so a paused time is not counted.
    void restartSteps();
    // The milliseconds since the previous step, as the next step to count.
    qint32 takeStep();
    // The next step counts ms more: time that had passed before counting restarted.
    void carryOver(qint32 ms) { m_prevMs -= quint32(ms); }
    void stepUp() { stepUp(days); }
    void stepDown() { stepDown(days); }
    // The last step of a count-down pause: zero passed since the last tick stops at zero, not a
    // day before it.
    void catchUpDown() { catchUpDown(days); }

    // mode != 0 starts counting in that direction; mode 0 with bAlreadInit 0 stops it after a
    // last step. Answers whether the value changed, so the caller refreshes the text.
    bool setCountUpMode(int mode, int bAlreadInit);
    bool setCountDownMode(int mode, int bAlreadInit);

    qint64 totalSeconds() const;
    qint64 valueMs() const;
    // A whole number of seconds, no milliseconds; a day or more is carried into the days.
    void setSeconds(qint64 seconds);

    QString text(int intervalCount) const;

private:
    void stepUp(int &dayCount);
    void stepDown(int &dayCount);
    void catchUpDown(int &dayCount);

    Stopwatch m_timer;
    quint32 m_prevMs = 0;
};
