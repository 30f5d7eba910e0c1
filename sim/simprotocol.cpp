#include "simprotocol.h"

namespace qbsim {

namespace {

struct OpcodeInfo
{
    quint8 opcode;
    int length;
    CommandKind kind;
};

constexpr OpcodeInfo kOpcodes[] = {
    {OpStatusQuery, 3, CommandKind::StatusQuery},
    {OpCountUpMode, 3, CommandKind::CountUpMode},
    {OpCountUpRun, 3, CommandKind::CountUpRun},
    {OpCountUpReset, 3, CommandKind::CountUpReset},
    {OpCountDownMode, 10, CommandKind::CountDownMode},
    {OpCountDownRun, 3, CommandKind::CountDownRun},
    {OpCountDownReset, 10, CommandKind::CountDownReset},
    {OpTimeOfDayMode, 3, CommandKind::TimeOfDayMode},
    {OpProgramArm, 3 + kProgramNameLength + kStepImageLength, CommandKind::ArmProgram},
    {OpProgramRun, 3, CommandKind::ProgramRun},
    {OpActiveProgram, 1, CommandKind::ActiveProgramQuery},
    {OpSavePrograms, 1, CommandKind::SavePrograms},
    {OpRunStatus, 1, CommandKind::RunStatusQuery},
    {OpGetProgram, 2, CommandKind::GetProgram},
    {OpUploadProgram, 2 + kProgramNameLength + kStepImageLength, CommandKind::UploadProgram},
};

const OpcodeInfo *findOpcode(quint8 opcode)
{
    for (const OpcodeInfo &info : kOpcodes) {
        if (info.opcode == opcode)
            return &info;
    }
    return nullptr;
}

quint8 byteAt(const QByteArray &data, int offset)
{
    return quint8(data.at(offset));
}

CountDownPreset decodePreset(const QByteArray &data)
{
    CountDownPreset preset;
    preset.format = byteAt(data, 1);
    preset.hours = byteAt(data, 2);
    preset.minutes = byteAt(data, 3);
    preset.seconds = byteAt(data, 4);
    preset.alarmEnabled = byteAt(data, 6) != 0;
    preset.alarmSeconds = byteAt(data, 7);
    preset.days = byteAt(data, 8) | byteAt(data, 9) << 8;
    return preset;
}

// Upload: B3 n, name, image. Arm: AC, its length D7, n, name, image.
Command decodeProgram(Command command, const QByteArray &data, int numberOffset)
{
    command.programNumber = byteAt(data, numberOffset);
    command.program.nameField = data.mid(numberOffset + 1, kProgramNameLength);
    command.program.image = data.mid(numberOffset + 1 + kProgramNameLength, kStepImageLength);
    return command;
}

Command malformed(Command command, const QString &problem)
{
    command.kind = CommandKind::Malformed;
    command.problem = problem;
    return command;
}

} // namespace

int commandLength(quint8 opcode)
{
    const OpcodeInfo *info = findOpcode(opcode);
    return info ? info->length : -1;
}

Command decodeCommand(const QByteArray &datagram)
{
    Command command;
    if (datagram.isEmpty()) {
        command.problem = QStringLiteral("empty datagram");
        return command;
    }
    command.opcode = byteAt(datagram, 0);
    const OpcodeInfo *info = findOpcode(command.opcode);
    if (!info) {
        command.problem = QStringLiteral("unknown opcode");
        return command;
    }
    command.kind = info->kind;
    if (datagram.size() != info->length) {
        return malformed(
            command,
            QStringLiteral("length %1, expected %2").arg(datagram.size()).arg(info->length));
    }
    switch (command.kind) {
    case CommandKind::CountUpRun:
    case CommandKind::CountDownRun:
    case CommandKind::ProgramRun:
        command.run = byteAt(datagram, 1) != 0;
        break;
    case CommandKind::GetProgram:
        command.programNumber = byteAt(datagram, 1);
        break;
    case CommandKind::UploadProgram:
        command = decodeProgram(command, datagram, 1);
        break;
    case CommandKind::ArmProgram:
        command = decodeProgram(command, datagram, 2);
        break;
    case CommandKind::CountUpReset:
        command.format = byteAt(datagram, 1);
        if (command.format >= kCountFormats)
            return malformed(command, QStringLiteral("format %1").arg(command.format));
        break;
    case CommandKind::CountDownMode:
    case CommandKind::CountDownReset:
        command.preset = decodePreset(datagram);
        if (command.preset.format >= kCountFormats)
            return malformed(command, QStringLiteral("format %1").arg(command.preset.format));
        break;
    default:
        break;
    }
    if (command.programNumber >= kProgramCount)
        return malformed(command, QStringLiteral("program number %1").arg(command.programNumber));
    return command;
}

quint8 formatStyleBits(int format)
{
    switch (format) {
    case 0:
        return 0x80;
    case 2:
        return 0xA0;
    case kIntervalFormat:
        return 0x20;
    default:
        return 0x00;
    }
}

quint16 statusWord(ClockMode mode, int format, bool running, int intervalNumber)
{
    quint16 word = quint16(mode) & 0x1F;
    if (mode != ClockMode::TimeOfDay)
        word |= formatStyleBits(format);
    if (running)
        word |= 0x40;
    return word | quint16((intervalNumber & 0xFF) << 8);
}

QByteArray encodeStatusReply(const StatusReply &reply)
{
    QByteArray bytes(kStatusReplyLength, '\0');
    bytes[0] = char(kDisplayTypeCode);
    for (int i = 0; i < 4; ++i)
        bytes[1 + i] = char(reply.ipv4 >> (24 - 8 * i));

    const int msOfDay = reply.clock.msOfDay();
    bytes[15] = char(msOfDay / 3600000);
    bytes[16] = char(msOfDay / 60000 % 60);
    bytes[17] = char(msOfDay / 1000 % 60);
    bytes[18] = char(msOfDay / 10 % 100);

    const quint16 word =
        statusWord(reply.clock.mode, reply.clock.format, reply.clock.running, reply.intervalNumber);
    bytes[19] = char(word & 0xFF);
    bytes[20] = char(word >> 8);

    const int days = reply.clock.days();
    bytes[21] = char(days & 0xFF);
    bytes[22] = char((days >> 8 & 0x07) << 5 | (reply.subFormat & 0x1F));

    const QByteArray name = reply.name.toLatin1().left(kNameLength);
    bytes.replace(24, name.size(), name);
    return bytes;
}

} // namespace qbsim
