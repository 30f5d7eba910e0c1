#include "controller/programtransfer.h"

#include "controller/displaysender.h"
#include "controller/programediting.h"
#include "controller/programslots.h"
#include "link/logging.h"
#include "link/programpackets.h"
#include "models/programdatamodel.h"

#include <optional>

ProgramTransfer::ProgramTransfer(ProgramDataModel &lines, ProgramSlots &programSlots,
                                 ProgramEditing &editing, const DisplaySender &sender,
                                 QObject *parent)
    : QObject(parent), m_lines(lines), m_slots(programSlots), m_editing(editing), m_sender(sender)
{
}

void ProgramTransfer::getActiveProgram()
{
    qCDebug(lcPrograms, "handleGetProgram");
    const QString addr = m_sender.firstSelected();
    if (!addr.isNull())
        m_sender.toAddress(addr, Protocol::getActiveProgram());
    // The program on the screen is stored before the display's answer replaces it.
    m_slots.saveProgramSettings(m_slots.currentProgram(), m_lines.toText());
}

void ProgramTransfer::saveOnDisplays()
{
    qCDebug(lcPrograms, "handleSaveProgram");
    m_sender.toSelected(Protocol::saveProgramsOnDisplay());
}

void ProgramTransfer::getProgram(int n)
{
    const QString addr = m_sender.firstSelected();
    if (ProgramSlots::isProgram(n) && !addr.isNull())
        m_sender.toAddress(addr, Protocol::getProgram(n));
}

void ProgramTransfer::getAllPrograms()
{
    const QString addr = m_sender.firstSelected();
    if (addr.isNull())
        return;
    for (int n = 0; n < ProgramSlots::kPrograms; ++n)
        m_sender.toAddress(addr, Protocol::getProgram(n), kProgramSpacingMs * n);
}

void ProgramTransfer::saveProgram(int n)
{
    if (!ProgramSlots::isProgram(n))
        return;
    uploadProgram(n, 0);
    saveAfterUploads();
}

void ProgramTransfer::saveAllPrograms()
{
    for (int n = 0; n < ProgramSlots::kPrograms; ++n)
        uploadProgram(n, kProgramSpacingMs * n);
    saveAfterUploads();
}

// The in-memory slot, with the changes of a program switched away from without saving.
void ProgramTransfer::uploadProgram(int n, int firstDelay)
{
    const QByteArray steps = ProgramCodec::textToStepArray(m_slots.programTexts().at(n));
    m_sender.toSelected(Protocol::uploadProgram(n, m_slots.programNames().at(n), steps),
                        firstDelay);
}

void ProgramTransfer::saveAfterUploads()
{
    m_sender.toSelected(Protocol::saveProgramsOnDisplay(), kSaveDelayMs, kSaveExtraWaitMs);
}

void ProgramTransfer::applyActiveProgram(const QByteArray &datagram)
{
    const std::optional<Protocol::ProgramReply> reply =
        Protocol::decodeActiveProgramReply(datagram);
    if (!reply || reply->steps.at(0) == 0)
        return; // a display without a program
    m_slots.setCurrentProgram(reply->number);
    qCDebug(lcPrograms, "ProgScreenView::onGetProgram Updating ProgNum=%d Name=%s", reply->number,
            qPrintable(reply->name));
    emit programNameChanged(reply->number, reply->name, true);
    m_slots.setProgramName(reply->number, reply->name);
    m_lines.loadFromStepArray(reply->steps);
    m_slots.saveProgramSettings(reply->number, m_lines.toText());
}

void ProgramTransfer::applyProgram(const QByteArray &datagram)
{
    const std::optional<Protocol::ProgramReply> reply = Protocol::decodeProgramReply(datagram);
    if (!reply)
        return;
    const int n = reply->number;
    qCDebug(lcPrograms, "Download All Programs prognum=%d", n);
    const bool current = n == m_slots.currentProgram();
    emit programNameChanged(n, reply->name, current);
    m_editing.replaceProgram(n, reply->name, ProgramCodec::stepArrayToText(reply->steps));
}
