#pragma once

#include "models/programcodec.h"

#include <QString>

// The two ready-made programs the Tabata and presentation pages build from a few numbers. Every
// alarm they set lasts two seconds; values are taken as the pages' spin boxes bound them.
namespace ProgramGenerators {

constexpr int kTabataSlot = 9;
constexpr int kPresentationSlot = 8;

// kount passes of work then rest: blue hours digits, green while working and red while resting,
// the interval number rising with each work phase. A kount outside 1..256 wraps its repeat count
// (0 gives 255, a loop that never ends).
ProgramStepArray tabata(int work, int rest, int kount, bool relay);
QString tabataName(int work, int rest); // "Tab work/rest"

// Green from start down to change, yellow down to zero, then red counting up with no end or the
// end of the program. format 1 counts in hours, minutes and seconds, any other value in minutes,
// seconds and tenths.
ProgramStepArray presentation(int start, int change, int format, bool countup, bool relay);
QString presentationName(int start, int change); // "Pres:start-change"

} // namespace ProgramGenerators
