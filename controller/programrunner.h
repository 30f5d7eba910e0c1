#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class DisplaySender;
class MirrorClock;
class ProgramDataModel;
class ProgramSlots;

// Runs the open program locally, line by line, so that the mirror clock shows what the displays
// running it show: it arms, starts and pauses the program on the selected displays, catches up
// with a display that already runs one, and takes the program's steps once per tick. Time comes
// from the mirror clock's own time source.
class ProgramRunner : public QObject
{
    Q_OBJECT
public:
    // Lines a single tick may pass before the program is taken for a loop that never waits (a
    // repeat that can never fall through, over lines that take no time). A repeat taken 255 times
    // over the nine other lines passes fewer.
    static constexpr int kLinesPerTickBound = 2600;

    ProgramRunner(ProgramDataModel &lines, ProgramSlots &programSlots, MirrorClock &mirror,
                  const DisplaySender &sender, QObject *parent = nullptr);

    bool isActive() const { return m_bProgramActive; }
    bool isRunning() const { return m_bProgStartStop; }
    int intervalCount() const { return m_intervalCount; }

    // A count command takes the mirror over.
    void release();

    void arm();            // 0xAC with the open program, to every selected display
    void startPause();     // 0xAE, to every selected display
    void queryRunStatus(); // 0xB1, to the first selected display
    void applyRunStatus(const QByteArray &datagram);

    // The program's steps and the mirror's advance for one tick; only while a program is active.
    void tick();

signals:
    void mirrorChanged();
    void progStartPause(bool running);
    void upStartPause(bool running);
    void dnStartPause(bool running);
    void programShown(int index, const QString &name);

private:
    bool takeSteps(int &linesPassed);
    bool advanceMirror(bool continueTick);
    void setUpFirstLine();
    void startLine(uint command);
    void passZeroTimeLine(uint command);
    void endProgram(bool reset);
    void goIdle();

    ProgramDataModel &m_lines;
    ProgramSlots &m_slots;
    MirrorClock &m_mirror;
    const DisplaySender &m_sender;

    bool m_bProgramActive = false;
    bool m_bFirstStepSet = false;
    bool m_bProgStartStop = false;
    int m_progRow = 0;
    int m_stepNeedsStart = 0;
    int m_stepDone = 0;
    int m_intervalCount = 0;
    int m_progRunning = 0;
    int m_timerKind = 0; // 0 none, 1 count up, 2 count down, 3 interval up, 4 interval down
    // How far the mirror had counted past the end of the last line when the tick saw it, counted
    // into the next line so that the mirror keeps the displays' pace from line to line.
    qint64 m_carryMs = 0;
};
