#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class ControlState;
class HandleGui;
class ProgramDataModel;
class TimerDataModel;

// What a command works on: the controller and its two lists, on the controller's thread, and the
// state the doors report. Commands act through the same controller slots the window calls.
class CommandContext
{
public:
    CommandContext(HandleGui &gui, TimerDataModel &timers, ProgramDataModel &lines,
                   const ControlState &state)
        : gui(gui), timers(timers), lines(lines), state(state)
    {
    }

    HandleGui &gui;
    TimerDataModel &timers;
    ProgramDataModel &lines;
    const ControlState &state;

    // The rows of the displays with these names or addresses, in list order; a name shared by
    // several displays means all of them. The first word that matches none when one does not.
    struct Lookup
    {
        QList<int> rows;
        std::optional<QString> unknown;
    };
    Lookup findDisplays(const QStringList &namesOrAddresses) const;

    // Selects or deselects rows as a tap on their check boxes does.
    void setSelected(const QList<int> &rows, bool selected);
    void selectOnly(const QList<int> &rows);
    bool anySelected() const;
};
