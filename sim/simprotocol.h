#pragma once

#include "simclock.h"
#include "simprogram.h"

#include <QByteArray>
#include <QString>

// The display's side of the wire: decoding the commands it is sent and encoding its answers.
// Written independently of the controller's own encoder so that a fault in either shows up.
namespace qbsim {

constexpr quint16 kDisplayPort = 7372;
constexpr int kStatusReplyLength = 40;
constexpr int kNameLength = 15;
constexpr char kAcknowledgement = 'A';
constexpr quint8 kDisplayTypeCode = 1;

enum Opcode : quint8 {
    OpStatusQuery = 0xA1,
    OpCountUpMode = 0xA2,
    OpCountUpRun = 0xA3,
    OpCountUpReset = 0xA4,
    OpCountDownMode = 0xA5,
    OpCountDownRun = 0xA6,
    OpCountDownReset = 0xA7,
    OpTimeOfDayMode = 0xA8,
    OpProgramArm = 0xAC,
    OpProgramRun = 0xAE,
    OpActiveProgram = 0xAF,
    OpSavePrograms = 0xB0,
    OpRunStatus = 0xB1,
    OpGetProgram = 0xB2,
    OpUploadProgram = 0xB3,
};

enum class CommandKind {
    StatusQuery,
    CountUpMode,
    CountUpRun,
    CountUpReset,
    CountDownMode,
    CountDownRun,
    CountDownReset,
    TimeOfDayMode,
    ActiveProgramQuery,
    GetProgram,
    UploadProgram,
    SavePrograms,
    ArmProgram,
    ProgramRun,
    RunStatusQuery,
    Malformed, // a known opcode the display cannot carry out
    Unknown,   // an opcode displays do not know
};

struct Command
{
    CommandKind kind = CommandKind::Unknown;
    quint8 opcode = 0;
    bool run = false;       // CountUpRun, CountDownRun, ProgramRun
    int format = 0;         // CountUpReset
    CountDownPreset preset; // CountDownMode, CountDownReset
    int programNumber = 0;  // GetProgram, UploadProgram, ArmProgram
    StoredProgram program;  // UploadProgram, ArmProgram
    QString problem;        // why a command is Malformed or Unknown
};

// Length of the command with this opcode, or -1 for an unknown opcode.
int commandLength(quint8 opcode);
Command decodeCommand(const QByteArray &datagram);

// Status word bits 5 and 7 for a count format number.
quint8 formatStyleBits(int format);
quint16 statusWord(ClockMode mode, int format, bool running, int intervalNumber);

struct StatusReply
{
    quint32 ipv4 = 0;
    ClockReading clock;
    int subFormat = 0;
    int intervalNumber = 0;
    QString name;
};

QByteArray encodeStatusReply(const StatusReply &reply);

} // namespace qbsim
