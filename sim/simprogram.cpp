#include "simprogram.h"

#include <QtEndian>

#include <algorithm>

namespace qbsim {

namespace {

constexpr int kRunStatusStepsOffset = kRunStatusReplyLength - kStepImageLength;

quint8 byteAt(const QByteArray &data, int offset)
{
    return quint8(data.at(offset));
}

quint32 wordAt(const QByteArray &data, int offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

void putWord(QByteArray &data, int offset, quint32 value)
{
    qToLittleEndian(value, data.data() + offset);
}

QByteArray nameField(const QString &name)
{
    return name.toUtf8().left(kProgramNameLength - 1).leftJustified(kProgramNameLength, '\0');
}

ProgramStep colourStep(int hours, int rest)
{
    ProgramStep step;
    step.command = StepColour;
    step.colours.hours = hours;
    step.colours.rest = rest;
    return step;
}

ProgramStep timingStep(quint8 command, quint32 start, quint32 stop, quint8 alarm = 0,
                       bool increment = false)
{
    ProgramStep step;
    step.command = command;
    step.startSeconds = start;
    step.stopSeconds = stop;
    step.alarmSeconds = alarm;
    step.incrementInterval = increment;
    return step;
}

ProgramStep jumpStep(quint8 command, quint8 jump, quint8 repeatCount = 0, quint8 alarm = 0)
{
    ProgramStep step;
    step.command = command;
    step.jump = jump;
    step.repeatCount = repeatCount;
    step.alarmSeconds = alarm;
    return step;
}

} // namespace

bool DigitColours::operator==(const DigitColours &other) const
{
    return hours == other.hours && rest == other.rest &&
           std::equal(rgbHours, rgbHours + 3, other.rgbHours) &&
           std::equal(rgbRest, rgbRest + 3, other.rgbRest);
}

QVector<ProgramStep> decodeSteps(const QByteArray &image)
{
    QVector<ProgramStep> steps;
    for (int offset = 0; offset + kStepLength <= image.size() && steps.size() < kMaxSteps;
         offset += kStepLength) {
        ProgramStep step;
        step.command = byteAt(image, offset);
        if (step.command == StepNone)
            break;
        if (step.command == StepColour) {
            step.colours.rgbHours[0] = byteAt(image, offset + 4);
            step.colours.rgbHours[1] = byteAt(image, offset + 5);
            step.colours.rgbHours[2] = byteAt(image, offset + 6);
            step.colours.rgbRest[0] = byteAt(image, offset + 7);
            step.colours.rgbRest[1] = byteAt(image, offset + 8);
            step.colours.rgbRest[2] = byteAt(image, offset + 9);
            step.colours.hours = byteAt(image, offset + 10);
            step.colours.rest = byteAt(image, offset + 11);
        } else {
            step.incrementInterval = byteAt(image, offset + 4) != 0;
            step.jump = byteAt(image, offset + 5);
            step.repeatCount = byteAt(image, offset + 6);
            step.startSeconds = wordAt(image, offset + 8);
            step.stopSeconds = wordAt(image, offset + 12);
            step.alarmSeconds = byteAt(image, offset + 16);
        }
        steps.append(step);
    }
    return steps;
}

QByteArray encodeSteps(const QVector<ProgramStep> &steps)
{
    QByteArray image(kStepImageLength, '\0');
    for (int i = 0; i < steps.size() && i < kMaxSteps; ++i) {
        const ProgramStep &step = steps.at(i);
        const int offset = i * kStepLength;
        image[offset] = char(step.command);
        if (step.command == StepColour) {
            for (int c = 0; c < 3; ++c) {
                image[offset + 4 + c] = char(step.colours.rgbHours[c]);
                image[offset + 7 + c] = char(step.colours.rgbRest[c]);
            }
            image[offset + 10] = char(step.colours.hours);
            image[offset + 11] = char(step.colours.rest);
            continue;
        }
        image[offset + 4] = char(step.incrementInterval ? 1 : 0);
        image[offset + 5] = char(step.jump);
        image[offset + 6] = char(step.repeatCount);
        putWord(image, offset + 8, step.startSeconds);
        putWord(image, offset + 12, step.stopSeconds);
        image[offset + 16] = char(step.alarmSeconds);
    }
    return image;
}

QString colourName(int index)
{
    static const char *const kNames[] = {"red",    "green", "blue",  "cyan",  "magenta",
                                         "yellow", "white", "user1", "user2", "user3"};
    if (index < 0)
        return QStringLiteral("default");
    if (index >= int(std::size(kNames)))
        return QStringLiteral("colour %1").arg(index);
    return QLatin1String(kNames[index]);
}

QString stepCommandName(quint8 command)
{
    static const char *const kNames[] = {"none",   "interval-down", "interval-up", "up-hms",
                                         "up-mst", "down-hms",      "down-mst",    "repeat",
                                         "end",    "colour",        "up-dhm",      "down-dhm"};
    if (command >= std::size(kNames))
        return QStringLiteral("command %1").arg(command);
    return QLatin1String(kNames[command]);
}

QString StoredProgram::name() const
{
    const int nul = nameField.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? nameField : nameField.left(nul));
}

ProgramStore demoPrograms()
{
    ProgramStore store;
    store[0].nameField = nameField(QStringLiteral("Intervals"));
    store[0].image = encodeSteps({
        colourStep(2, 1),
        timingStep(StepIntervalDown, 20, 0, 1, true),
        colourStep(2, 0),
        timingStep(StepIntervalDown, 10, 0, 1),
        jumpStep(StepRepeat, 0, 3),
        jumpStep(StepEnd, kEndReset, 0, 2),
    });
    store[1].nameField = nameField(QStringLiteral("Talk 5 min"));
    store[1].image = encodeSteps({
        colourStep(1, 1),
        timingStep(StepDownHms, 300, 60),
        colourStep(5, 5),
        timingStep(StepDownHms, 60, 0),
        colourStep(0, 0),
        timingStep(StepUpHms, 0, 0, 2),
        jumpStep(StepEnd, kEndStop),
    });
    return store;
}

QByteArray encodeProgramReply(quint8 opcode, int number, const StoredProgram &program)
{
    QByteArray reply(3, '\0');
    reply[0] = char(opcode);
    reply[2] = char(number);
    return reply + program.nameField + program.image;
}

QByteArray encodeRunStatusReply(const RunStatus &status)
{
    const qint64 seconds = status.valueMs / 1000;
    QByteArray reply(kRunStatusStepsOffset - kProgramNameLength, '\0');
    reply[0] = char(0xB1);
    reply[2] = char(status.active ? 1 : 0);
    reply[3] = char(status.row);
    reply[4] = char(status.interval);
    reply[5] = char(status.running ? 1 : 0);
    // The reply has no days: hours beyond a byte are held at its largest value.
    reply[6] = char(qMin<qint64>(seconds / 3600, 255));
    reply[7] = char(seconds / 60 % 60);
    reply[8] = char(seconds % 60);
    reply[10] = char(status.number);
    return reply + status.program.nameField + status.program.image;
}

} // namespace qbsim
