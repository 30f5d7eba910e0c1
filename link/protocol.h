#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>
#include <optional>

// The displays' binary command protocol: one command or reply per UDP datagram, opcodes in
// byte 0, little-endian integers, NUL-padded 8-bit text. Builders and parsers are plain
// functions over byte arrays so that every byte can be checked against literal vectors.
namespace Protocol {

constexpr quint16 kPort = 7372;

enum Opcode : quint8 {
    StatusQuery = 0xA1,
    SetCountUpMode = 0xA2,
    CountUpRun = 0xA3,
    CountUpReset = 0xA4,
    SetCountDownMode = 0xA5,
    CountDownRun = 0xA6,
    CountDownReset = 0xA7,
    TimeOfDayMode = 0xA8,
    ArmProgram = 0xAC,
    ProgramRun = 0xAE,
    GetActiveProgram = 0xAF,
    SaveProgramsOnDisplay = 0xB0,
    GetRunStatus = 0xB1,
    GetProgram = 0xB2,
    UploadProgram = 0xB3,
};

constexpr quint8 kAcknowledgement = 0x41; // 'A'

// Status reply layout (40 bytes; an 80-byte form is accepted but not decoded).
namespace Status {
constexpr int kLength = 40;
constexpr int kLongLength = 80;
constexpr int kTypeCode = 0;
constexpr int kAddress = 1; // four bytes, most significant part first
constexpr int kHours = 15;
constexpr int kMinutes = 16;
constexpr int kSeconds = 17;
constexpr int kHundredths = 18;
constexpr int kStatusWord = 19; // 16-bit little-endian
constexpr int kDaysLow = 21;
constexpr int kDaysHighAndSubFormat = 22; // bits 5-7 days bits 8-10, bits 0-4 sub-format
constexpr int kName = 24;
constexpr int kNameLength = 15;
} // namespace Status

// Bits of the status word (the timer list's format word).
namespace Format {
constexpr int kModeMask = 0x1F;
constexpr int kStyleBit5 = 0x20;
constexpr int kRunning = 0x40;
constexpr int kStyleBit7 = 0x80;
constexpr int kStyleMask = kStyleBit5 | kStyleBit7;
constexpr int kIntervalShift = 8;
} // namespace Format

// The fields of a decodable status reply.
struct StatusFields
{
    QString name;
    QString ipaddr;
    QTime time; // invalid when the display reports an impossible time of day
    int day = 0;
    int format = 0;
    int subFormat = 0;
};

// Count format number (0 tenths, 1 days-h:m:s, 2 days:h:m) carried by a format word's style bits.
int countFormatNumber(int format);

QByteArray statusQuery();
QByteArray setCountUpMode();
QByteArray countUpRun(bool run);
QByteArray countUpReset(int format);
QByteArray setCountDownMode(int format, int days, int hours, int mins, int secs, int alarmEnabled,
                            int alarmDuration);
QByteArray countDownReset(int format, int days, int hours, int mins, int secs, int alarmEnabled,
                          int alarmDuration);
QByteArray countDownRun(bool run);
QByteArray timeOfDayMode();

// How the link treats an incoming datagram, first match wins.
enum class ReplyKind {
    Ignored,
    Status,        // exactly 40 or 80 bytes
    ActiveProgram, // 0xAF
    RunStatus,     // 0xB1
    Program,       // 0xB2
    Acknowledgement,
};

ReplyKind classifyReply(const QByteArray &datagram);

// Whether the controller gets to see the datagram (a status reply only with type code 1 to 4).
bool isPassedOn(ReplyKind kind, const QByteArray &datagram);

// Whether a reply of this kind ends the queued command bytes sent to the same address.
bool endsCommand(ReplyKind kind, const QByteArray &reply, const QByteArray &command);

// Decodes a 40-byte status reply with type code 1 or 2; anything else yields nothing.
std::optional<StatusFields> decodeStatusReply(const QByteArray &datagram);

// What a command packet asks of a display, in words ("count-down start"), for telling an
// operator which command a display missed.
QString commandName(const QByteArray &packet);

// "%d.%d.%d.%d" of four address bytes starting at offset.
QString dottedAddress(const QByteArray &bytes, int offset);

} // namespace Protocol
