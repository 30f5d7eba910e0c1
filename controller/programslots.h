#pragma once

#include "models/programcodec.h"

#include <QStringList>

class QSettings;

// The ten programs the controller keeps as text, with their names, and which of them is open in
// the line model. Settings keys "Program%d" and "ProgramName%d" at the top level of the store.
class ProgramSlots
{
public:
    static constexpr int kPrograms = 10;

    // Starts with the default programs; the store is read by loadProgramSettings.
    explicit ProgramSlots(QSettings &store);

    static bool isProgram(int n) { return n >= 0 && n < kPrograms; }
    // What a slot holds while the store has no key for it.
    static ProgramText defaultText(int n);
    static QString defaultName(int n);

    // Reads all ten slots; absent keys take the default programs and names. Stored values are
    // taken as they are: the line model reads any text safely.
    void loadProgramSettings();
    // Puts the text into slot n and writes slot n's text and name to the store.
    void saveProgramSettings(int n, const ProgramText &text);
    // Names slot n in memory and in the store; the text in either stays as it is.
    void storeProgramName(int n, const QString &name);
    // What the store holds for slot n, which the memory may have left behind (edits, a
    // generated program): the last saved text and name, or the defaults.
    ProgramText storedText(int n) const;
    QString storedName(int n) const;

    const QStringList &programTexts() const { return m_programTexts; }
    const QStringList &programNames() const { return m_programNames; }
    int currentProgram() const { return m_currentProgram; }

    // In memory only; numbers outside 0..9 are ignored.
    void setProgramText(int n, const ProgramText &text);
    void setProgramName(int n, const QString &name);
    void setCurrentProgram(int n);

private:
    QSettings &m_store;
    QStringList m_programTexts;
    QStringList m_programNames;
    int m_currentProgram = 0;
};
