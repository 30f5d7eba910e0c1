#pragma once

#include <QString>
#include <QtGlobal>

// Command codes of a program line. 0 ends the lines of a display's step image and is no command.
enum ProgramCommand : quint8 {
    TC_INTERVAL_DOWN = 1,
    TC_INTERVAL_UP,
    TC_UP_HMS,
    TC_UP_MST,
    TC_DOWN_HMS,
    TC_DOWN_MST,
    TC_REPEAT,
    TC_DONE,
    TC_COLOR,
    TC_UP_DHM,
    TC_DOWN_DHM,
};

// One line (step) of a timer program. A colour line (TC_COLOR) uses only the colour fields, every
// other line only the timer fields; the rest stay 0.
struct ProgramLine
{
    quint8 command = 0;
    quint8 incrementinterval = 0;
    quint8 gotoline = 0; // TC_REPEAT: target row; TC_DONE: bit 0 Reset, bit 1 Stop
    quint8 repeatcountset = 0;
    quint8 repeatcountact = 0; // jumps already taken while running; never stored
    quint16 startseconds = 0;
    quint16 stopseconds = 0;
    quint8 relaytimesec = 0;
    bool selected = false; // the line the display is running
    quint8 red1 = 0;
    quint8 grn1 = 0;
    quint8 blu1 = 0;
    quint8 red2 = 0;
    quint8 grn2 = 0;
    quint8 blu2 = 0;
    quint8 color1 = 0;
    quint8 color2 = 0;

    static ProgramLine timerLine(quint8 command, quint8 incrementinterval, quint8 gotoline,
                                 quint8 repeatcountset, quint8 repeatcountact, quint16 startseconds,
                                 quint16 stopseconds, quint8 relaytimesec);
    static ProgramLine colorLine(quint8 red1, quint8 grn1, quint8 blu1, quint8 red2, quint8 grn2,
                                 quint8 blu2, quint8 color1, quint8 color2);
    static ProgramLine endLine() { return timerLine(TC_DONE, 0, 0, 0, 0, 0, 0, 0); }

    bool isColorLine() const { return command == TC_COLOR; }
    bool operator==(const ProgramLine &other) const;
    bool operator!=(const ProgramLine &other) const { return !(*this == other); }
};

namespace ProgramNames {
// The window's names of a command code, a null string for codes without one, and of a colour
// index: a display may report indices beyond the ten named ones, shown as "colour 12".
QString commandName(int command);
QString colorName(int index);
} // namespace ProgramNames
