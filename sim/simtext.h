#pragma once

#include "simclock.h"

#include <QString>

namespace qbsim {

QString modeName(ClockMode mode);
QString opcodeText(quint8 opcode);
// The clock as the display's digits show it: hh:mm:ss for the time of day (with the day in front
// for sub-format 1, with tenths for sub-format 2); for counts, format 0 hours:mm:ss.t with the
// days folded into the hours, format 1 d-hh:mm:ss, format 2 d:hh:mm; the interval format shows
// the interval number and the minutes and seconds.
QString clockText(const ClockReading &reading, int subFormat);

} // namespace qbsim
