#pragma once

#include <QTime>
#include <QtGlobal>

// A clock value as the displays keep it: whole days plus a time of day in milliseconds.
// Steps of any size carry into the day count, so a late tick never loses a midnight.
namespace ClockArithmetic {

constexpr qint64 kMsPerDay = 86400000;

// Adds ms; every midnight passed adds one day. An invalid time stays as it is.
void stepUp(QTime &time, int &days, qint64 ms);

// Subtracts ms; every midnight passed removes one day, so days can become negative.
// An invalid time stays as it is.
void stepDown(QTime &time, int &days, qint64 ms);

// Days and time of day for a duration given as days, hours, minutes and seconds, with any
// excess hours, minutes or seconds carried into the larger units (99 hours: 4 days 3 hours).
void normalise(qint64 days, qint64 hours, qint64 mins, qint64 secs, QTime &time, int &outDays);

} // namespace ClockArithmetic
