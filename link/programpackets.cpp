#include "link/programpackets.h"

#include "link/protocol.h"

namespace Protocol {
namespace {

using namespace ProgramPacket;

// Offsets shared by the active-program and program replies.
constexpr int kReplyNumber = 2;
constexpr int kReplyName = 3;
constexpr int kReplySteps = 15;

// Offsets of the run-status reply.
constexpr int kRunFlag = 2;
constexpr int kRunRow = 3;
constexpr int kRunInterval = 4;
constexpr int kRunState = 5;
constexpr int kRunHours = 6;
constexpr int kRunMinutes = 7;
constexpr int kRunSeconds = 8;
constexpr int kRunNumber = 10;
constexpr int kRunName = 11;
constexpr int kRunSteps = 23;

bool isProgramNumber(int number)
{
    return number >= 0 && number < kProgramCount;
}

quint8 byteAt(const QByteArray &bytes, int offset)
{
    return static_cast<quint8>(bytes.at(offset));
}

// The program number bytes are signed: 0xFF is -1, not 255.
int signedByteAt(const QByteArray &bytes, int offset)
{
    return static_cast<qint8>(bytes.at(offset));
}

QString nameFromField(const QByteArray &datagram, int offset)
{
    const QByteArray field = datagram.mid(offset, kNameFieldLength);
    const int nul = field.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? field : field.left(nul));
}

QByteArray programPacket(QByteArray head, const QString &name, const QByteArray &steps)
{
    return head + programNameField(name) + steps;
}

std::optional<ProgramReply> decodeProgram(quint8 opcode, const QByteArray &datagram)
{
    if (datagram.size() < kProgramReplyLength || byteAt(datagram, 0) != opcode)
        return std::nullopt;
    ProgramReply reply;
    reply.number = signedByteAt(datagram, kReplyNumber);
    if (!isProgramNumber(reply.number))
        return std::nullopt;
    reply.name = nameFromField(datagram, kReplyName);
    reply.steps = datagram.mid(kReplySteps, kStepArrayLength);
    return reply;
}

} // namespace

QByteArray programNameField(const QString &name)
{
    QByteArray bytes = name.toUtf8();
    int length = qMin(bytes.size(), kNameFieldLength - 1);
    // Back off over UTF-8 continuation bytes so that no character is cut in two.
    while (length > 0 && length < bytes.size() && (byteAt(bytes, length) & 0xC0) == 0x80)
        --length;
    bytes.truncate(length);
    return bytes.leftJustified(kNameFieldLength, '\0');
}

QByteArray getActiveProgram()
{
    return QByteArray(1, static_cast<char>(GetActiveProgram));
}

QByteArray saveProgramsOnDisplay()
{
    return QByteArray(1, static_cast<char>(SaveProgramsOnDisplay));
}

QByteArray getRunStatus()
{
    return QByteArray(1, static_cast<char>(GetRunStatus));
}

QByteArray getProgram(int number)
{
    if (!isProgramNumber(number))
        return QByteArray();
    QByteArray packet(2, '\0');
    packet[0] = static_cast<char>(GetProgram);
    packet[1] = static_cast<char>(number);
    return packet;
}

QByteArray uploadProgram(int number, const QString &name, const QByteArray &steps)
{
    if (!isProgramNumber(number) || steps.size() != kStepArrayLength)
        return QByteArray();
    QByteArray head(2, '\0');
    head[0] = static_cast<char>(UploadProgram);
    head[1] = static_cast<char>(number);
    return programPacket(head, name, steps);
}

QByteArray armProgram(int number, const QString &name, const QByteArray &steps)
{
    if (!isProgramNumber(number) || steps.size() != kStepArrayLength)
        return QByteArray();
    QByteArray head(3, '\0');
    head[0] = static_cast<char>(ArmProgram);
    head[1] = static_cast<char>(kArmLength);
    head[2] = static_cast<char>(number);
    return programPacket(head, name, steps);
}

QByteArray programRun(bool run)
{
    QByteArray packet(3, '\0');
    packet[0] = static_cast<char>(ProgramRun);
    packet[1] = run ? 1 : 0;
    return packet;
}

std::optional<ProgramReply> decodeActiveProgramReply(const QByteArray &datagram)
{
    return decodeProgram(GetActiveProgram, datagram);
}

std::optional<ProgramReply> decodeProgramReply(const QByteArray &datagram)
{
    return decodeProgram(GetProgram, datagram);
}

std::optional<RunStatusReply> decodeRunStatusReply(const QByteArray &datagram)
{
    if (datagram.size() < kRunStatusReplyLength || byteAt(datagram, 0) != GetRunStatus)
        return std::nullopt;
    RunStatusReply reply;
    reply.hasProgram = byteAt(datagram, kRunFlag) != 0 && byteAt(datagram, kRunSteps) != 0;
    reply.number = signedByteAt(datagram, kRunNumber);
    // A display that runs nothing may report any number there.
    if (reply.hasProgram && !isProgramNumber(reply.number))
        return std::nullopt;
    reply.row = byteAt(datagram, kRunRow);
    reply.interval = byteAt(datagram, kRunInterval);
    reply.running = byteAt(datagram, kRunState) != 0;
    reply.hours = byteAt(datagram, kRunHours);
    reply.minutes = byteAt(datagram, kRunMinutes);
    reply.seconds = byteAt(datagram, kRunSeconds);
    reply.name = nameFromField(datagram, kRunName);
    reply.steps = datagram.mid(kRunSteps, kStepArrayLength);
    return reply;
}

} // namespace Protocol
