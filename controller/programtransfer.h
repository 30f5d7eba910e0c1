#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class DisplaySender;
class ProgramDataModel;
class ProgramEditing;
class ProgramSlots;

// Reads programs from the displays and uploads them: the active program of the first selected
// display, all ten of it, and all ten to every selected display with a save. Replies are applied
// on their own whenever they arrive; nothing is kept of what was asked.
class ProgramTransfer : public QObject
{
    Q_OBJECT
public:
    // The uploads go out 50 ms apart, the save a second after the first of them and with a
    // longer wait for its answer, while the display stores what it got.
    static constexpr int kProgramSpacingMs = 50;
    static constexpr int kSaveDelayMs = 1000;
    static constexpr int kSaveExtraWaitMs = 100;

    ProgramTransfer(ProgramDataModel &lines, ProgramSlots &programSlots, ProgramEditing &editing,
                    const DisplaySender &sender, QObject *parent = nullptr);

    void getActiveProgram();
    void saveOnDisplays();
    void getProgram(int n);
    void getAllPrograms();
    void saveProgram(int n);
    void saveAllPrograms();

    void applyActiveProgram(const QByteArray &datagram);
    void applyProgram(const QByteArray &datagram);

signals:
    // A program's name came from a display; show says whether the window shows that program.
    void programNameChanged(int index, const QString &name, bool show);

private:
    void uploadProgram(int n, int firstDelay);
    void saveAfterUploads();

    ProgramDataModel &m_lines;
    ProgramSlots &m_slots;
    ProgramEditing &m_editing;
    const DisplaySender &m_sender;
};
