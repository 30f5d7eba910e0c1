#pragma once

#include "models/programcodec.h"

#include <QString>

class ProgramDataModel;
class ProgramSlots;

// What the program page's actions do to the open program, its slot and the store: switching
// keeps the left program's lines in memory only; only a save writes the store.
class ProgramEditing
{
public:
    ProgramEditing(ProgramDataModel &model, ProgramSlots &programSlots);

    void changeProgram(int num, const QString &name);
    void renameProgram(int num, const QString &name);
    void insertLine(int row);
    void deleteLine(int row); // the last line, the program's end, stays
    void saveProgram();
    // Makes a generated program the open one, named, in slot num. The slot's text changes only
    // when the program is left or saved, as after an edit.
    void openGenerated(int num, const QString &name, const ProgramStepArray &steps);
    // Puts a program that came from elsewhere (a display, a file) into slot num and the store,
    // and reloads the lines when it is the open program. False for a number outside 0..9.
    bool replaceProgram(int num, const QString &name, const ProgramText &text);

private:
    ProgramDataModel &m_model;
    ProgramSlots &m_slots;
};
