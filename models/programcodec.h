#pragma once

#include "models/programline.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// The stored form of a program: 26 lower-case hex digits a line, lines back to back.
using ProgramText = QString;
// The form displays take and give: ten 20-byte steps, little-endian, a step with command 0 and
// all later steps zero.
using ProgramStepArray = QByteArray;

// Conversions between program lines and the two forms. Input is settings data or a datagram and
// may be anything: short or odd-length text and non-hex digits read as documented, never past
// the end; at most ten lines come out.
namespace ProgramCodec {

constexpr int kTextLineLength = 26;
constexpr int kStepSize = 20;
constexpr int kSteps = 10;
constexpr int kStepArraySize = kSteps * kStepSize;

// Seconds keep their low 16 bits, as the model holds them; repeatcountact is 0.
QVector<ProgramLine> linesFromText(const ProgramText &text);
ProgramText textFromLines(const QVector<ProgramLine> &lines);
// The steps end at the first line with command 0; repeatcountact is not carried.
ProgramStepArray stepArrayFromLines(const QVector<ProgramLine> &lines);
// Reads up to the first step with command 0; missing bytes of a short array read as 0.
QVector<ProgramLine> linesFromStepArray(const ProgramStepArray &steps);

// A line as both encoded forms carry it: start and stop seconds in all 32 bits.
struct WideLine
{
    ProgramLine line;
    quint32 startseconds = 0;
    quint32 stopseconds = 0;
};
// The text's lines, at most ten, before the model cuts their seconds to 16 bits.
QVector<WideLine> wideLinesFromText(const ProgramText &text);

// Direct conversions that keep all 32 bits of the start and stop seconds.
ProgramStepArray textToStepArray(const ProgramText &text);
ProgramText stepArrayToText(const ProgramStepArray &steps);

} // namespace ProgramCodec
