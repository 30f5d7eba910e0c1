#include "models/clockarithmetic.h"

#include <algorithm>
#include <limits>

namespace ClockArithmetic {
namespace {

int clampDays(qint64 days)
{
    return static_cast<int>(
        std::clamp<qint64>(days, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

void setFromTotal(qint64 totalMs, QTime &time, int &days, qint64 baseDays)
{
    qint64 wholeDays = totalMs / kMsPerDay;
    qint64 rest = totalMs % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --wholeDays;
    }
    time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(rest));
    days = clampDays(baseDays + wholeDays);
}

} // namespace

void stepUp(QTime &time, int &days, qint64 ms)
{
    if (!time.isValid())
        return;
    setFromTotal(time.msecsSinceStartOfDay() + ms, time, days, days);
}

void stepDown(QTime &time, int &days, qint64 ms)
{
    if (!time.isValid())
        return;
    setFromTotal(time.msecsSinceStartOfDay() - ms, time, days, days);
}

void normalise(qint64 days, qint64 hours, qint64 mins, qint64 secs, QTime &time, int &outDays)
{
    const qint64 totalSecs = ((days * 24 + hours) * 60 + mins) * 60 + secs;
    setFromTotal(totalSecs * 1000, time, outDays, 0);
}

} // namespace ClockArithmetic
