#include "models/programline.h"

#include <tuple>

ProgramLine ProgramLine::timerLine(quint8 command, quint8 incrementinterval, quint8 gotoline,
                                   quint8 repeatcountset, quint8 repeatcountact,
                                   quint16 startseconds, quint16 stopseconds, quint8 relaytimesec)
{
    ProgramLine line;
    line.command = command;
    line.incrementinterval = incrementinterval;
    line.gotoline = gotoline;
    line.repeatcountset = repeatcountset;
    line.repeatcountact = repeatcountact;
    line.startseconds = startseconds;
    line.stopseconds = stopseconds;
    line.relaytimesec = relaytimesec;
    return line;
}

ProgramLine ProgramLine::colorLine(quint8 red1, quint8 grn1, quint8 blu1, quint8 red2, quint8 grn2,
                                   quint8 blu2, quint8 color1, quint8 color2)
{
    ProgramLine line;
    line.command = TC_COLOR;
    line.red1 = red1;
    line.grn1 = grn1;
    line.blu1 = blu1;
    line.red2 = red2;
    line.grn2 = grn2;
    line.blu2 = blu2;
    line.color1 = color1;
    line.color2 = color2;
    return line;
}

namespace {

auto fields(const ProgramLine &l)
{
    return std::tie(l.command, l.incrementinterval, l.gotoline, l.repeatcountset, l.repeatcountact,
                    l.startseconds, l.stopseconds, l.relaytimesec, l.selected, l.red1, l.grn1,
                    l.blu1, l.red2, l.grn2, l.blu2, l.color1, l.color2);
}

// As the line dialog's command list names them.
const char *const kCommandNames[] = {
    "Interval CountDown", "Interval CountUp",   "CountUp HH:MM:SS",  "CountUp MM:SS:TS",
    "CountDown HH:MM:SS", "CountDown MM:SS:TS", "Goto Line",         "End Program",
    "Change Colors",      "CountUp DD:HH:MM",   "CountDown DD:HH:MM"};

const char *const kColorNames[] = {"Red",    "Green", "Blue",  "Cyan",  "Magenta",
                                   "Yellow", "White", "User1", "User2", "User3"};

template <std::size_t N> QString nameAt(const char *const (&names)[N], int index)
{
    if (index < 0 || index >= static_cast<int>(N))
        return QString();
    return QString::fromLatin1(names[index]);
}

} // namespace

bool ProgramLine::operator==(const ProgramLine &other) const
{
    return fields(*this) == fields(other);
}

QString ProgramNames::commandName(int command)
{
    return nameAt(kCommandNames, command - 1);
}

QString ProgramNames::colorName(int index)
{
    const QString name = nameAt(kColorNames, index);
    return name.isNull() ? QStringLiteral("colour %1").arg(index) : name;
}
