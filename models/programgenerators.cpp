#include "models/programgenerators.h"

#include <QVector>

namespace {

enum Colour : quint8 { Red = 0, Green = 1, Blue = 2, Yellow = 5 };

constexpr quint8 kAlarmSeconds = 2;

quint8 alarm(bool relay)
{
    return relay ? kAlarmSeconds : 0;
}

ProgramLine colour(quint8 hours, quint8 rest)
{
    return ProgramLine::colorLine(0, 0, 0, 0, 0, 0, hours, rest);
}

ProgramLine timing(quint8 command, int start, int stop, quint8 relay, quint8 increment = 0)
{
    return ProgramLine::timerLine(command, increment, 0, 0, 0, quint16(start), quint16(stop),
                                  relay);
}

} // namespace

namespace ProgramGenerators {

ProgramStepArray tabata(int work, int rest, int kount, bool relay)
{
    const quint8 r = alarm(relay);
    const quint8 repeats = quint8(kount - 1);
    return ProgramCodec::stepArrayFromLines({
        colour(Blue, Green),
        timing(TC_INTERVAL_DOWN, work, 0, r, 1),
        colour(Blue, Red),
        timing(TC_INTERVAL_DOWN, rest, 0, r),
        ProgramLine::timerLine(TC_REPEAT, 0, 0, repeats, 0, 0, 0, 0),
        timing(TC_DONE, 0, 0, r),
    });
}

QString tabataName(int work, int rest)
{
    return QString::asprintf("Tab %d/%d", work, rest);
}

ProgramStepArray presentation(int start, int change, int format, bool countup, bool relay)
{
    const quint8 r = alarm(relay);
    const quint8 down = format == 1 ? TC_DOWN_HMS : TC_DOWN_MST;
    const quint8 up = format == 1 ? TC_UP_HMS : TC_UP_MST;
    QVector<ProgramLine> lines = {
        colour(Green, Green),
        timing(down, start, change, 0),
        colour(Yellow, Yellow),
        timing(down, change, 0, 0),
    };
    if (countup)
        lines << colour(Red, Red) << timing(up, 0, 0, r) << timing(TC_DONE, 0, 0, 0);
    else
        lines << timing(TC_DONE, 0, 0, r);
    return ProgramCodec::stepArrayFromLines(lines);
}

QString presentationName(int start, int change)
{
    return QString::asprintf("Pres:%d-%d", start, change);
}

} // namespace ProgramGenerators
