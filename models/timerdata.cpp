#include "models/timerdata.h"

#include "link/protocol.h"
#include "models/clockarithmetic.h"

#include <QDateTime>

namespace {

constexpr int kCountDownFloorMs = 100;

// The ways a row's clock is written, with the step of their last digit.
enum class Form {
    Empty,
    Clock,           // hh:mm:ss
    DayClock,        // d-hh:mm:ss
    DayHoursMinutes, // d-hh:mm
    Tenths,          // hh:mm:ss.t, the hours counting on past a day
    TenthsOfDay,     // hh:mm:ss.t of the time of day alone
    Interval,        // n-mm:ss with the interval number
};

int stepMs(Form form)
{
    switch (form) {
    case Form::Empty:
        return 0;
    case Form::Tenths:
    case Form::TenthsOfDay:
        return 100;
    case Form::DayHoursMinutes:
        return 60000;
    case Form::Clock:
    case Form::DayClock:
    case Form::Interval:
        return 1000;
    }
    return 0;
}

Form formOf(const TimerData &rec)
{
    switch (rec.mode()) {
    case 0:
        if (rec.subFormat == 0)
            return Form::Clock;
        if (rec.subFormat == 1 && rec.day != 0)
            return Form::DayClock;
        return rec.subFormat == 2 ? Form::TenthsOfDay : Form::Empty;
    case 1:
    case 2:
    case 5:
        switch (rec.format & Protocol::Format::kStyleMask) {
        case Protocol::Format::kStyleMask:
            return Form::DayHoursMinutes;
        case Protocol::Format::kStyleBit7:
            return Form::Tenths;
        case 0:
            return Form::DayClock;
        default:
            return Form::Empty;
        }
    case 3:
    case 4:
        return Form::Interval;
    default:
        return Form::Empty;
    }
}

QString tenthsForm(const QTime &time, int day)
{
    if (day == 0)
        return time.toString(QStringLiteral("hh:mm:ss")) + QLatin1Char('.') +
               QString::number(time.msec() / 100);
    return QString::asprintf("%d:%02d:%02d.%d", time.hour() + 24 * day, time.minute(),
                             time.second(), time.msec() / 100);
}

} // namespace

TimerData::TimerData(const QString &name, const QString &ipaddr, bool selected, const QTime &time,
                     int day, int format, int subFormat)
    : name(name), ipaddr(ipaddr), time(time), day(day), format(format), selected(selected),
      subFormat(subFormat)
{
}

void TimerData::setTime(const QTime &newTime)
{
    if (newTime.isValid())
        time = newTime;
}

int TimerData::mode() const
{
    return format & Protocol::Format::kModeMask;
}

bool TimerData::isRunning() const
{
    return format & Protocol::Format::kRunning;
}

void TimerData::advanceBy(int ms)
{
    switch (mode()) {
    case 0:
        ClockArithmetic::stepUp(time, day, ms);
        break;
    case 1:
    case 3:
        if (isRunning())
            ClockArithmetic::stepUp(time, day, ms);
        break;
    case 2:
    case 4:
    case 5: {
        if (!isRunning() || !time.isValid())
            break;
        // The last tenth of a count-down is left to the display; a multi-day count keeps going
        // through midnight, and a late tick never takes the copy below zero.
        if (day == 0 && time.msecsSinceStartOfDay() < kCountDownFloorMs)
            break;
        if (day == 0 && time.msecsSinceStartOfDay() < ms) {
            time = QTime(0, 0);
            break;
        }
        ClockArithmetic::stepDown(time, day, ms);
        break;
    }
    default:
        break;
    }
}

QString TimerData::timeString() const
{
    switch (formOf(*this)) {
    case Form::Empty:
        return QString();
    case Form::Clock:
        return time.toString(QStringLiteral("hh:mm:ss"));
    case Form::DayClock:
        return QString::number(day) + QLatin1Char('-') + time.toString(QStringLiteral("hh:mm:ss"));
    case Form::DayHoursMinutes:
        return QString::number(day) + QLatin1Char('-') + time.toString(QStringLiteral("hh:mm"));
    case Form::Tenths:
        return tenthsForm(time, day);
    case Form::TenthsOfDay:
        return tenthsForm(time, 0);
    case Form::Interval:
        return QString::asprintf("%d-%s", (format >> Protocol::Format::kIntervalShift) & 0xFF,
                                 qPrintable(time.toString(QStringLiteral("mm:ss"))));
    }
    return QString();
}

qint64 TimerData::shownStep() const
{
    const int step = stepMs(formOf(*this));
    if (step == 0 || !time.isValid())
        return -1;
    return (day * ClockArithmetic::kMsPerDay + time.msecsSinceStartOfDay()) / step;
}

QString TimerData::healthText() const
{
    if (!isStale())
        return QString();
    const qint64 sinceMs = lastAnswerMs != 0 ? lastAnswerMs : missedAtMs;
    return QStringLiteral("no answer since ") +
           QDateTime::fromMSecsSinceEpoch(sinceMs).toString(QStringLiteral("hh:mm:ss"));
}
