#include "controller/programediting.h"

#include "controller/programslots.h"
#include "link/logging.h"
#include "models/programdatamodel.h"

ProgramEditing::ProgramEditing(ProgramDataModel &model, ProgramSlots &programSlots)
    : m_model(model), m_slots(programSlots)
{
}

void ProgramEditing::changeProgram(int num, const QString &name)
{
    qCDebug(lcPrograms, "handlProgChangeButton, ProgNum=%d name=%s", num,
            name.toLocal8Bit().constData());
    if (!ProgramSlots::isProgram(num))
        return;
    if (m_model.getCommand(0) != 0)
        m_slots.setProgramText(m_slots.currentProgram(), m_model.toText());
    m_slots.setCurrentProgram(num);
    m_model.clearLines();
    m_model.loadFromText(m_slots.programTexts().at(num));
    m_model.validateLines();
}

void ProgramEditing::renameProgram(int num, const QString &name)
{
    qCDebug(lcPrograms, "handlProgNameChangeButton, ProgNum=%d name=%s", num,
            name.toLocal8Bit().constData());
    m_slots.setProgramName(num, name);
}

void ProgramEditing::insertLine(int row)
{
    m_model.insertEndLine(row);
}

void ProgramEditing::deleteLine(int row)
{
    if (row + 1 != m_model.rowCount())
        m_model.removeLine(row);
}

void ProgramEditing::saveProgram()
{
    qCDebug(lcPrograms, "handleProgSaveProgram");
    m_slots.saveProgramSettings(m_slots.currentProgram(), m_model.toText());
}

void ProgramEditing::openGenerated(int num, const QString &name, const ProgramStepArray &steps)
{
    m_slots.setCurrentProgram(num);
    m_slots.setProgramName(num, name);
    m_model.clearLines();
    const ProgramText text = ProgramCodec::stepArrayToText(steps);
    qCDebug(lcPrograms, "Program String=%s", qPrintable(text));
    m_model.loadFromText(text);
}

bool ProgramEditing::replaceProgram(int num, const QString &name, const ProgramText &text)
{
    if (!ProgramSlots::isProgram(num))
        return false;
    m_slots.setProgramName(num, name);
    m_slots.saveProgramSettings(num, text);
    if (num == m_slots.currentProgram()) {
        m_model.clearLines();
        m_model.loadFromText(text);
    }
    return true;
}
