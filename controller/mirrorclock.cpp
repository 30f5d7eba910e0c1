#include "controller/mirrorclock.h"

#include "link/logging.h"
#include "models/clockarithmetic.h"

MirrorClock::MirrorClock(TimeSource source) : m_timer(std::move(source)) {}

void MirrorClock::restartSteps()
{
    m_timer.restart();
    m_prevMs = 0;
}

qint32 MirrorClock::takeStep()
{
    const quint32 now = m_timer.elapsedMs();
    const qint32 step = Stopwatch::difference(now, m_prevMs);
    m_prevMs = now;
    return step;
}

void MirrorClock::stepUp(int &dayCount)
{
    ClockArithmetic::stepUp(time, dayCount, takeStep());
}

void MirrorClock::stepDown(int &dayCount)
{
    ClockArithmetic::stepDown(time, dayCount, takeStep());
}

void MirrorClock::catchUpDown(int &dayCount)
{
    stepDown(dayCount);
    if (dayCount < 0) {
        dayCount = 0;
        time = QTime(0, 0);
    }
}

bool MirrorClock::setCountUpMode(int mode, int bAlreadInit)
{
    qCDebug(lcControl, "SetCountUpMode mode=%d bAlreadInit=%d", mode, bAlreadInit);
    if (mode != 0) {
        countUp = true;
        countDn = false;
        restartSteps();
        return false;
    }
    if (bAlreadInit != 0)
        return false;
    countUp = false;
    int dayCount = days; // the last step of a mode change leaves the day count alone
    stepUp(dayCount);
    return true;
}

bool MirrorClock::setCountDownMode(int mode, int bAlreadInit)
{
    qCDebug(lcControl, "SetCountDownMode mode=%d bAlreadInit=%d", mode, bAlreadInit);
    if (mode != 0) {
        countUp = false;
        countDn = true;
        restartSteps();
        return false;
    }
    if (bAlreadInit != 0)
        return false;
    countDn = false;
    int dayCount = days;
    catchUpDown(dayCount);
    return true;
}

qint64 MirrorClock::totalSeconds() const
{
    return qint64(days) * 86400 + time.hour() * 3600 + time.minute() * 60 + time.second();
}

qint64 MirrorClock::valueMs() const
{
    return days * ClockArithmetic::kMsPerDay + time.msecsSinceStartOfDay();
}

void MirrorClock::setSeconds(qint64 seconds)
{
    ClockArithmetic::normalise(0, 0, 0, seconds, time, days);
}

QString MirrorClock::text(int intervalCount) const
{
    switch (displayMode) {
    case 0:
        if (days == 0)
            return time.toString(QStringLiteral("hh:mm:ss.zzz")).left(10);
        return QString::asprintf("%d:%02d:%02d.%d", time.hour() + 24 * days, time.minute(),
                                 time.second(), time.msec() / 100);
    case 1:
        return QString::asprintf("%d-", days) + time.toString(QStringLiteral("hh:mm:ss"));
    case 2:
        return QString::asprintf("%d:", days) + time.toString(QStringLiteral("hh:mm"));
    case 3:
        return QString::asprintf("%d-%s", intervalCount,
                                 qPrintable(time.toString(QStringLiteral("mm:ss"))));
    default:
        return QString();
    }
}
