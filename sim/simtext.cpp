#include "simtext.h"

namespace qbsim {

QString modeName(ClockMode mode)
{
    switch (mode) {
    case ClockMode::CountUp:
        return QStringLiteral("count-up");
    case ClockMode::CountDown:
        return QStringLiteral("count-down");
    case ClockMode::IntervalUp:
        return QStringLiteral("interval-up");
    case ClockMode::IntervalDown:
        return QStringLiteral("interval-down");
    case ClockMode::TimeOfDay:
        break;
    }
    return QStringLiteral("time-of-day");
}

QString opcodeText(quint8 opcode)
{
    return QStringLiteral("0x") + QString::number(opcode, 16).toUpper().rightJustified(2, '0');
}

QString clockText(const ClockReading &reading, int subFormat)
{
    const int ms = reading.msOfDay();
    const int hours = ms / 3600000;
    const int minutes = ms / 60000 % 60;
    const int seconds = ms / 1000 % 60;
    const int tenths = ms / 100 % 10;
    const int days = reading.days();
    const auto withTenths = [&](int allHours) {
        return QString::asprintf("%02d:%02d:%02d.%d", allHours, minutes, seconds, tenths);
    };
    const auto withDay = [&] {
        return QString::asprintf("%d-%02d:%02d:%02d", days, hours, minutes, seconds);
    };

    if (reading.mode == ClockMode::TimeOfDay) {
        switch (subFormat) {
        case 1:
            return withDay();
        case 2:
            return withTenths(hours);
        default:
            return QString::asprintf("%02d:%02d:%02d", hours, minutes, seconds);
        }
    }
    switch (reading.format) {
    case 0:
        return withTenths(days * 24 + hours);
    case 1:
        return withDay();
    case kIntervalFormat:
        return QString::asprintf("%d-%02lld:%02d", reading.intervalNumber, reading.valueMs / 60000,
                                 seconds);
    default:
        return QString::asprintf("%d:%02d:%02d", days, hours, minutes);
    }
}

} // namespace qbsim
