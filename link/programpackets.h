#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Program transfer and run control packets: plain functions over byte arrays, like the rest of
// the protocol. Builders refuse a program number outside 0..9 or a step image that is not
// exactly 200 bytes with an empty array (nothing to send); parsers refuse short replies and
// program numbers outside 0..9 with nothing, except in a run-status reply that says the display
// runs no program.
namespace Protocol {

namespace ProgramPacket {
constexpr int kProgramCount = 10;
constexpr int kNameFieldLength = 12;
constexpr int kStepArrayLength = 200; // ProgramStepArray: ten 20-byte steps
constexpr int kUploadLength = 2 + kNameFieldLength + kStepArrayLength;          // 214
constexpr int kArmLength = 3 + kNameFieldLength + kStepArrayLength;             // 215
constexpr int kProgramReplyLength = 3 + kNameFieldLength + kStepArrayLength;    // 215
constexpr int kRunStatusReplyLength = 11 + kNameFieldLength + kStepArrayLength; // 223
} // namespace ProgramPacket

// A program as the active-program reply (0xAF) and the program reply (0xB2) carry it.
struct ProgramReply
{
    int number = 0;
    QString name;
    QByteArray steps; // ProgramStepArray, 200 bytes
};

// The run-status reply (0xB1).
struct RunStatusReply
{
    bool hasProgram = false; // false when the display runs no program or an empty one
    int row = 0;
    int interval = 0;
    bool running = false;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int number = 0;
    QString name;
    QByteArray steps; // ProgramStepArray, 200 bytes
};

// The 12-byte name field: the UTF-8 bytes of the name cut to at most 11 on a character boundary,
// padded with NUL bytes, so that it always ends in a NUL and never spills into the step image.
QByteArray programNameField(const QString &name);

QByteArray getActiveProgram();                                                      // AF
QByteArray saveProgramsOnDisplay();                                                 // B0
QByteArray getProgram(int number);                                                  // B2 n
QByteArray uploadProgram(int number, const QString &name, const QByteArray &steps); // B3 n ...
QByteArray armProgram(int number, const QString &name, const QByteArray &steps);    // AC D7 n ...
QByteArray programRun(bool run);                                                    // AE 01|00 00
QByteArray getRunStatus();                                                          // B1

std::optional<ProgramReply> decodeActiveProgramReply(const QByteArray &datagram);
std::optional<ProgramReply> decodeProgramReply(const QByteArray &datagram);
std::optional<RunStatusReply> decodeRunStatusReply(const QByteArray &datagram);

} // namespace Protocol
