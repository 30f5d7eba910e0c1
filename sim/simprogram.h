#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <array>

// Timer programs as a display holds them and as they travel: the 200-byte step image (ten
// 20-byte steps, little-endian) with its 12-byte name field, and the replies that carry them.
// The display's own reading of the layout, independent of the controller's.
namespace qbsim {

constexpr int kProgramCount = 10;
constexpr int kProgramNameLength = 12;
constexpr int kStepImageLength = 200;
constexpr int kStepLength = 20;
constexpr int kMaxSteps = kStepImageLength / kStepLength;
constexpr int kProgramReplyLength = 3 + kProgramNameLength + kStepImageLength;
constexpr int kRunStatusReplyLength = 11 + kProgramNameLength + kStepImageLength;

enum StepCommand : quint8 {
    StepNone = 0,
    StepIntervalDown = 1,
    StepIntervalUp = 2,
    StepUpHms = 3,
    StepUpMst = 4,
    StepDownHms = 5,
    StepDownMst = 6,
    StepRepeat = 7,
    StepEnd = 8,
    StepColour = 9,
    StepUpDhm = 10,
    StepDownDhm = 11,
};

// End step flags (in the jump byte).
constexpr quint8 kEndReset = 0x01;
constexpr quint8 kEndStop = 0x02;

// Colour index of each digit group (-1 before any colour step: the display's own colour) and the
// RGB components that the user colours 7..9 take.
struct DigitColours
{
    int hours = -1;
    int rest = -1; // minutes, seconds and tenths
    quint8 rgbHours[3] = {0, 0, 0};
    quint8 rgbRest[3] = {0, 0, 0};

    bool operator==(const DigitColours &other) const;
};

struct ProgramStep
{
    quint8 command = StepNone;
    bool incrementInterval = false;
    quint8 jump = 0;        // repeat: line to go back to; end: kEndReset, kEndStop
    quint8 repeatCount = 0; // repeat: how often the jump is taken
    quint32 startSeconds = 0;
    quint32 stopSeconds = 0;
    quint8 alarmSeconds = 0;
    DigitColours colours; // colour steps
};

// The steps of an image up to the first with command 0, at most ten.
QVector<ProgramStep> decodeSteps(const QByteArray &image);
QByteArray encodeSteps(const QVector<ProgramStep> &steps);
// Offset of a repeat step's count of jumps taken, which the display keeps up to date while it runs.
constexpr int kRepeatsTakenOffset = 7;

QString colourName(int index);
QString stepCommandName(quint8 command);

struct StoredProgram
{
    QByteArray nameField = QByteArray(kProgramNameLength, '\0');
    QByteArray image = QByteArray(kStepImageLength, '\0');

    QString name() const;
};

using ProgramStore = std::array<StoredProgram, kProgramCount>;

// Two programs to play with in slots 0 and 1, the other slots empty.
ProgramStore demoPrograms();

// What the display runs, as the run-status reply reports it.
struct RunStatus
{
    bool active = false; // a program is armed and has not ended
    int row = 0;
    int interval = 0;
    bool running = false;
    qint64 valueMs = 0;
    int number = 0;
    StoredProgram program;
};

// Active-program reply (0xAF) and program reply (0xB2), 215 bytes.
QByteArray encodeProgramReply(quint8 opcode, int number, const StoredProgram &program);
// Run-status reply (0xB1), 223 bytes.
QByteArray encodeRunStatusReply(const RunStatus &status);

} // namespace qbsim
