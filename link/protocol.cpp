#include "link/protocol.h"

namespace Protocol {
namespace {

quint8 byteAt(const QByteArray &bytes, int offset)
{
    return offset >= 0 && offset < bytes.size() ? static_cast<quint8>(bytes.at(offset)) : 0;
}

QByteArray threeBytes(quint8 opcode, quint8 argument)
{
    QByteArray packet(3, '\0');
    packet[0] = static_cast<char>(opcode);
    packet[1] = static_cast<char>(argument);
    return packet;
}

QByteArray countDownPacket(quint8 opcode, int format, int days, int hours, int mins, int secs,
                           int alarmEnabled, int alarmDuration)
{
    QByteArray packet(10, '\0');
    packet[0] = static_cast<char>(opcode);
    packet[1] = static_cast<char>(format & 0xFF);
    packet[2] = static_cast<char>(hours & 0xFF);
    packet[3] = static_cast<char>(mins & 0xFF);
    packet[4] = static_cast<char>(secs & 0xFF);
    packet[6] = static_cast<char>(alarmEnabled & 0xFF);
    packet[7] = static_cast<char>(alarmDuration & 0xFF);
    packet[8] = static_cast<char>(days & 0xFF);
    packet[9] = static_cast<char>((days >> 8) & 0xFF);
    return packet;
}

} // namespace

int countFormatNumber(int format)
{
    return ((format & Format::kStyleBit7) ? 0 : 1) + ((format & Format::kStyleBit5) ? 2 : 0);
}

QByteArray statusQuery()
{
    QByteArray packet(3, '\0');
    packet[0] = static_cast<char>(StatusQuery);
    packet[1] = 0x04;
    packet[2] = static_cast<char>(0xB2);
    return packet;
}

QByteArray setCountUpMode()
{
    return threeBytes(SetCountUpMode, 0);
}
QByteArray countUpRun(bool run)
{
    return threeBytes(CountUpRun, run ? 1 : 0);
}
QByteArray countUpReset(int format)
{
    return threeBytes(CountUpReset, format & 0xFF);
}
QByteArray countDownRun(bool run)
{
    return threeBytes(CountDownRun, run ? 1 : 0);
}
QByteArray timeOfDayMode()
{
    return threeBytes(TimeOfDayMode, 1);
}

QByteArray setCountDownMode(int format, int days, int hours, int mins, int secs, int alarmEnabled,
                            int alarmDuration)
{
    return countDownPacket(SetCountDownMode, format, days, hours, mins, secs, alarmEnabled,
                           alarmDuration);
}

QByteArray countDownReset(int format, int days, int hours, int mins, int secs, int alarmEnabled,
                          int alarmDuration)
{
    return countDownPacket(CountDownReset, format, days, hours, mins, secs, alarmEnabled,
                           alarmDuration);
}

ReplyKind classifyReply(const QByteArray &datagram)
{
    if (datagram.size() == Status::kLength || datagram.size() == Status::kLongLength)
        return ReplyKind::Status;
    if (datagram.isEmpty())
        return ReplyKind::Ignored;
    switch (byteAt(datagram, 0)) {
    case GetActiveProgram:
        return ReplyKind::ActiveProgram;
    case GetRunStatus:
        return ReplyKind::RunStatus;
    case GetProgram:
        return ReplyKind::Program;
    case kAcknowledgement:
        return ReplyKind::Acknowledgement;
    default:
        return ReplyKind::Ignored;
    }
}

bool isPassedOn(ReplyKind kind, const QByteArray &datagram)
{
    switch (kind) {
    case ReplyKind::Status: {
        const quint8 type = byteAt(datagram, Status::kTypeCode);
        return type >= 1 && type <= 4;
    }
    case ReplyKind::ActiveProgram:
    case ReplyKind::RunStatus:
    case ReplyKind::Program:
        return true;
    case ReplyKind::Acknowledgement:
    case ReplyKind::Ignored:
        return false;
    }
    return false;
}

bool endsCommand(ReplyKind kind, const QByteArray &reply, const QByteArray &command)
{
    switch (kind) {
    case ReplyKind::Status:
    case ReplyKind::Acknowledgement:
        return true;
    case ReplyKind::ActiveProgram:
    case ReplyKind::RunStatus:
        return byteAt(command, 0) == byteAt(reply, 0);
    case ReplyKind::Program:
        // A program reply too short to carry its program number ends nothing.
        return reply.size() > 2 && byteAt(command, 1) == byteAt(reply, 2);
    case ReplyKind::Ignored:
        return false;
    }
    return false;
}

QString commandName(const QByteArray &packet)
{
    // The run commands carry run (1) or pause (0) in byte 1.
    const bool run = byteAt(packet, 1) != 0;
    switch (byteAt(packet, 0)) {
    case StatusQuery:
        return QStringLiteral("status query");
    case SetCountUpMode:
        return QStringLiteral("count-up mode");
    case CountUpRun:
        return run ? QStringLiteral("count-up start") : QStringLiteral("count-up pause");
    case CountUpReset:
        return QStringLiteral("count-up reset");
    case SetCountDownMode:
        return QStringLiteral("count-down mode");
    case CountDownRun:
        return run ? QStringLiteral("count-down start") : QStringLiteral("count-down pause");
    case CountDownReset:
        return QStringLiteral("count-down reset");
    case TimeOfDayMode:
        return QStringLiteral("time of day");
    case ArmProgram:
        return QStringLiteral("program arm");
    case ProgramRun:
        return run ? QStringLiteral("program start") : QStringLiteral("program pause");
    case GetActiveProgram:
        return QStringLiteral("active program query");
    case SaveProgramsOnDisplay:
        return QStringLiteral("program save");
    case GetRunStatus:
        return QStringLiteral("run status query");
    case GetProgram:
        return QStringLiteral("program query");
    case UploadProgram:
        return QStringLiteral("program upload");
    }
    return QStringLiteral("command 0x%1").arg(byteAt(packet, 0), 2, 16, QLatin1Char('0'));
}

QString dottedAddress(const QByteArray &bytes, int offset)
{
    return QString::asprintf("%d.%d.%d.%d", byteAt(bytes, offset), byteAt(bytes, offset + 1),
                             byteAt(bytes, offset + 2), byteAt(bytes, offset + 3));
}

std::optional<StatusFields> decodeStatusReply(const QByteArray &datagram)
{
    if (datagram.size() != Status::kLength)
        return std::nullopt;
    const quint8 type = byteAt(datagram, Status::kTypeCode);
    if (type != 1 && type != 2)
        return std::nullopt;

    StatusFields fields;
    const QByteArray nameField = datagram.mid(Status::kName, Status::kNameLength);
    const int nul = nameField.indexOf('\0');
    fields.name = QString::fromLatin1(nul < 0 ? nameField : nameField.left(nul));
    fields.ipaddr = dottedAddress(datagram, Status::kAddress);
    fields.time =
        QTime(byteAt(datagram, Status::kHours), byteAt(datagram, Status::kMinutes),
              byteAt(datagram, Status::kSeconds), 10 * byteAt(datagram, Status::kHundredths));
    const quint8 daysHigh = byteAt(datagram, Status::kDaysHighAndSubFormat);
    fields.day = byteAt(datagram, Status::kDaysLow) + 256 * (daysHigh >> 5);
    fields.format =
        byteAt(datagram, Status::kStatusWord) + 256 * byteAt(datagram, Status::kStatusWord + 1);
    fields.subFormat = daysHigh & 0x1F;
    return fields;
}

} // namespace Protocol
