#include "models/timerdata.h"

#include "link/protocol.h"
#include "models/clockarithmetic.h"

namespace {

constexpr int kCountDownFloorMs = 100;

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
    const int style = format & Protocol::Format::kStyleMask;
    switch (mode()) {
    case 0:
        if (subFormat == 0)
            return time.toString(QStringLiteral("hh:mm:ss"));
        if (subFormat == 1 && day != 0)
            return QString::number(day) + QLatin1Char('-') +
                   time.toString(QStringLiteral("hh:mm:ss"));
        if (subFormat == 2)
            return tenthsForm(time, 0);
        return QString();
    case 1:
    case 2:
    case 5:
        switch (style) {
        case Protocol::Format::kStyleMask:
            return QString::asprintf("%d-", day) + time.toString(QStringLiteral("hh:mm"));
        case Protocol::Format::kStyleBit7:
            return tenthsForm(time, day);
        case 0:
            return QString::asprintf("%d-", day) + time.toString(QStringLiteral("hh:mm:ss"));
        default:
            return QString();
        }
    case 3:
    case 4:
        return QString::asprintf("%d-%s", (format >> Protocol::Format::kIntervalShift) & 0xFF,
                                 qPrintable(time.toString(QStringLiteral("mm:ss"))));
    default:
        return QString();
    }
}
