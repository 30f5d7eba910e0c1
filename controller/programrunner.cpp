#include "controller/programrunner.h"

#include "controller/displaysender.h"
#include "controller/mirrorclock.h"
#include "controller/programslots.h"
#include "link/logging.h"
#include "link/programpackets.h"
#include "models/clockarithmetic.h"
#include "models/programdatamodel.h"

#include <optional>

namespace {

// How a timing line drives the mirror.
struct LineKind
{
    int timerKind;
    int displayMode;
    bool down;
};

std::optional<LineKind> lineKind(uint command)
{
    switch (command) {
    case TC_INTERVAL_DOWN:
        return LineKind{4, 3, true};
    case TC_INTERVAL_UP:
        return LineKind{3, 3, false};
    case TC_UP_HMS:
        return LineKind{1, 1, false};
    case TC_UP_MST:
        return LineKind{1, 0, false};
    case TC_UP_DHM:
        return LineKind{1, 2, false};
    case TC_DOWN_HMS:
        return LineKind{2, 1, true};
    case TC_DOWN_MST:
        return LineKind{2, 0, true};
    case TC_DOWN_DHM:
        return LineKind{2, 2, true};
    default:
        return std::nullopt;
    }
}

} // namespace

ProgramRunner::ProgramRunner(ProgramDataModel &lines, ProgramSlots &programSlots,
                             MirrorClock &mirror, const DisplaySender &sender, QObject *parent)
    : QObject(parent), m_lines(lines), m_slots(programSlots), m_mirror(mirror), m_sender(sender)
{
}

void ProgramRunner::release()
{
    m_bProgramActive = false;
    m_bFirstStepSet = false;
}

// ---- run control ----

void ProgramRunner::arm()
{
    if (m_mirror.countDn || m_mirror.countUp)
        return; // the operator pauses first
    qCDebug(lcPrograms, "handlProgResetButton");
    m_bProgramActive = true;
    m_mirror.countUp = false;
    m_mirror.countDn = false;
    m_bFirstStepSet = false;
    m_progRunning = 0;
    m_bProgStartStop = false;
    emit progStartPause(false);
    const int number = m_slots.currentProgram();
    m_sender.toSelected(
        Protocol::armProgram(number, m_slots.programNames().value(number), m_lines.toStepArray()));
}

void ProgramRunner::startPause()
{
    qCDebug(lcPrograms, "-----------------------------------------------------");
    qCDebug(lcPrograms, "Program Start Button clicked, m_bProgrStartStop=%d", m_bProgStartStop);
    m_bProgStartStop = !m_bProgStartStop;
    m_progRunning = m_bProgStartStop ? 1 : 0;
    emit progStartPause(m_bProgStartStop);
    bool changed = false;
    if (m_timerKind == 1 || m_timerKind == 3)
        changed = m_mirror.setCountUpMode(m_progRunning, 0);
    else if (m_timerKind == 2 || m_timerKind == 4)
        changed = m_mirror.setCountDownMode(m_progRunning, 0);
    if (changed)
        emit mirrorChanged();
    qCDebug(lcPrograms, "handleProgStartbutton m_bProgStartStop=%d", m_bProgStartStop);
    m_sender.toSelected(Protocol::programRun(m_bProgStartStop));
}

void ProgramRunner::queryRunStatus()
{
    const QString addr = m_sender.firstSelected();
    if (addr.isNull())
        return;
    qCDebug(lcPrograms, "CheckRunning to IP:%s", qPrintable(addr));
    m_sender.toAddress(addr, Protocol::getRunStatus());
}

void ProgramRunner::applyRunStatus(const QByteArray &datagram)
{
    const std::optional<Protocol::RunStatusReply> reply = Protocol::decodeRunStatusReply(datagram);
    if (!reply)
        return;
    if (!reply->hasProgram) {
        goIdle();
        return;
    }
    qCDebug(lcPrograms, "Current program number=%d", m_slots.currentProgram());
    m_slots.setCurrentProgram(reply->number);
    qCDebug(lcPrograms, "New Current program number=%d", m_slots.currentProgram());
    emit programShown(reply->number, reply->name);
    m_slots.setProgramName(reply->number, reply->name);
    m_lines.loadFromStepArray(reply->steps);

    m_progRow = reply->row;
    m_intervalCount = reply->interval;
    // The reply has no day count: hours past 23 (a count up with no stop, running for days) are
    // carried into the days rather than taken for an impossible time of day.
    m_mirror.setSeconds(reply->hours * 3600 + reply->minutes * 60 + reply->seconds);
    m_mirror.restartSteps();
    m_stepNeedsStart = 0;
    m_stepDone = 0;
    m_bFirstStepSet = true;
    m_bProgStartStop = reply->running;
    m_progRunning = reply->running ? 1 : 0;
    emit progStartPause(m_bProgStartStop);
    m_lines.setSelected(m_progRow, true);

    if (const std::optional<LineKind> kind = lineKind(m_lines.getCommand(m_progRow))) {
        m_timerKind = kind->timerKind;
        m_mirror.displayMode = kind->displayMode;
        m_mirror.countUp = !kind->down && m_bProgStartStop;
        m_mirror.countDn = kind->down && m_bProgStartStop;
    }
    emit mirrorChanged();
    m_bProgramActive = true;
}

void ProgramRunner::goIdle()
{
    m_mirror.countUp = false;
    m_mirror.countDn = false;
    m_progRow = 0;
    m_bFirstStepSet = false;
    m_stepNeedsStart = 0;
    m_stepDone = 0;
    m_intervalCount = 0;
    m_progRunning = 0;
    m_timerKind = 0;
    m_bProgramActive = false;
    m_bProgStartStop = false;
    emit upStartPause(false);
    emit dnStartPause(false);
    emit progStartPause(false);
    m_mirror.setSeconds(0);
    emit mirrorChanged();
}

// ---- the steps of one tick ----

void ProgramRunner::tick()
{
    int linesPassed = 0;
    while (advanceMirror(takeSteps(linesPassed))) {
    }
}

// Takes the program's steps up to the next one that waits for time; answers whether the tick
// continues after the mirror's advance.
bool ProgramRunner::takeSteps(int &linesPassed)
{
    for (;;) {
        if (!m_bProgramActive)
            return false;
        if (!m_bFirstStepSet) {
            setUpFirstLine();
            return true;
        }
        const uint command = m_lines.getCommand(m_progRow);
        if (command == TC_DONE) {
            endProgram(m_lines.getGotoLine(m_progRow) & 1);
            return false;
        }
        const bool startsLine = command == TC_REPEAT || command == TC_COLOR ||
                                (lineKind(command) && m_stepNeedsStart == 1);
        if (startsLine && ++linesPassed > kLinesPerTickBound) {
            qCInfo(lcPrograms,
                   "Timer program stopped: %d lines passed in one tick without taking time",
                   kLinesPerTickBound);
            endProgram(false);
            return false;
        }
        if (command == TC_REPEAT || command == TC_COLOR) {
            passZeroTimeLine(command);
            continue;
        }
        if (!lineKind(command))
            return false; // past the last line, or no command: nothing more to run
        if (m_stepNeedsStart == 1) {
            startLine(command);
            return true;
        }
        if (m_stepDone != 1)
            return false;
        m_stepDone = 0;
        m_lines.setSelected(m_progRow, false);
        ++m_progRow;
        m_lines.setSelected(m_progRow, true);
        m_stepNeedsStart = 1;
        return true;
    }
}

void ProgramRunner::setUpFirstLine()
{
    qCDebug(lcPrograms, "Setting First Step of Timer Program\n");
    m_bFirstStepSet = true;
    m_progRow = 0;
    m_stepNeedsStart = 1;
    m_intervalCount = 0;
    m_stepDone = 0;
    m_carryMs = 0;
    for (int row = 0; row < m_lines.rowCount(); ++row) {
        if (m_lines.getCommand(row) == TC_REPEAT)
            m_lines.setRepeatCountAct(row, 0);
        m_lines.setSelected(row, false);
    }
}

void ProgramRunner::startLine(uint command)
{
    const LineKind kind = *lineKind(command);
    m_stepNeedsStart = 0;
    m_timerKind = kind.timerKind;
    m_mirror.displayMode = kind.displayMode;
    if ((command == TC_INTERVAL_DOWN || command == TC_INTERVAL_UP) &&
        m_lines.getIncrementInterval(m_progRow) != 0)
        ++m_intervalCount;
    if (kind.timerKind == 1)
        qCDebug(lcPrograms, "--------------Starting tc_UPTIMER----------------");
    else if (kind.timerKind == 2)
        qCDebug(lcPrograms, "--------------Starting tc_DNTIMER----------------");
    m_mirror.setSeconds(m_lines.getStartSeconds(m_progRow));
    // Running, this starts the mirror from the line's start; paused, it changes nothing.
    if (kind.down)
        m_mirror.setCountDownMode(m_progRunning, 1);
    else
        m_mirror.setCountUpMode(m_progRunning, 1);
    if (m_progRunning) // at most a day: a tick held up for weeks says nothing about this line
        m_mirror.carryOver(qint32(qMin(m_carryMs, ClockArithmetic::kMsPerDay)));
    m_carryMs = 0;
    m_lines.setSelected(m_progRow, true);
    emit mirrorChanged();
}

void ProgramRunner::passZeroTimeLine(uint command)
{
    m_lines.setSelected(m_progRow, false);
    if (command == TC_REPEAT) {
        const int taken = (m_lines.getRepeatCountAct(m_progRow) + 1) & 0xFF;
        if (uint(taken) > m_lines.getRepeatCountSet(m_progRow)) {
            m_lines.setRepeatCountAct(m_progRow, 0);
            ++m_progRow;
        } else {
            m_lines.setRepeatCountAct(m_progRow, taken);
            m_progRow = int(m_lines.getGotoLine(m_progRow));
        }
    } else {
        ++m_progRow; // the displays show the colours; the mirror has none
    }
    m_lines.setSelected(m_progRow, true);
    m_mirror.countUp = false;
    m_mirror.countDn = false;
    m_stepNeedsStart = 1;
}

void ProgramRunner::endProgram(bool reset)
{
    qCDebug(lcPrograms, "Stopping tc_Program\n");
    m_progRunning = 0;
    const bool stoppedDown = m_mirror.setCountDownMode(0, 0);
    const bool stoppedUp = m_mirror.setCountUpMode(0, 0);
    if (stoppedDown || stoppedUp)
        emit mirrorChanged();
    m_bProgStartStop = false;
    if (reset) {
        // Armed again at the first line, paused, from the next tick.
        m_mirror.countUp = false;
        m_mirror.countDn = false;
        m_bFirstStepSet = false;
    } else {
        m_bProgramActive = false;
        m_timerKind = 0;
        m_mirror.setSeconds(0);
        emit mirrorChanged();
    }
    emit progStartPause(false);
}

// The mirror's advance while a program is active: a line ends when a count down passes below
// zero or its stop time, or when a count up reaches or passes a stop time other than 0. Answers
// whether the tick goes back to the program's steps.
bool ProgramRunner::advanceMirror(bool continueTick)
{
    // The line's stop time and the mirror are compared as a whole, days and time together.
    const qint64 stop = m_lines.getStopSeconds(m_progRow);
    if (m_mirror.countDn) {
        m_mirror.stepDown();
        if (m_mirror.days < 0 || m_mirror.totalSeconds() < stop) {
            m_mirror.countDn = false;
            m_stepDone = 1;
            m_carryMs = stop * 1000 - m_mirror.valueMs();
            m_mirror.setSeconds(stop);
            emit mirrorChanged();
            return true;
        }
        emit mirrorChanged();
        return continueTick;
    }
    if (m_mirror.countUp) {
        m_mirror.stepUp();
        emit mirrorChanged();
        if (continueTick)
            return true;
        // Only a count-up line under way ends here: the mirror counts on past a line that has
        // ended, and a stop time read from a row that no longer runs would end it again and again.
        const bool underWay = lineKind(m_lines.getCommand(m_progRow)) && m_stepNeedsStart == 0;
        // A tick late by more than a second (a suspended or loaded machine) may pass the stop.
        if (underWay && stop != 0 && m_mirror.totalSeconds() >= stop) {
            m_stepDone = 1;
            m_carryMs = m_mirror.valueMs() - stop * 1000;
            return true;
        }
        return false;
    }
    return continueTick;
}
