#include "models/programcodec.h"

#include <QtEndian>

using ProgramCodec::WideLine;

namespace {

WideLine widened(const ProgramLine &line)
{
    return {line, line.startseconds, line.stopseconds};
}

ProgramLine narrowed(const WideLine &wide)
{
    ProgramLine cut = wide.line;
    cut.startseconds = static_cast<quint16>(wide.startseconds);
    cut.stopseconds = static_cast<quint16>(wide.stopseconds);
    return cut;
}

int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// A field of up to 8 hex digits; a field that is not all hex digits reads as 0.
quint32 hexField(const QString &text, int pos, int digits)
{
    quint32 value = 0;
    for (int i = pos; i < pos + digits; ++i) {
        const int digit = hexDigit(text.at(i));
        if (digit < 0)
            return 0;
        value = value << 4 | quint32(digit);
    }
    return value;
}

int textLineCount(const ProgramText &text)
{
    return qMin(text.size() / ProgramCodec::kTextLineLength, int(ProgramCodec::kSteps));
}

WideLine textLine(const ProgramText &text, int index)
{
    const int p = index * ProgramCodec::kTextLineLength;
    const auto byteAt = [&](int offset) {
        return static_cast<quint8>(hexField(text, p + offset, 2));
    };
    WideLine wide;
    const quint8 command = byteAt(0);
    if (command == TC_COLOR) {
        // The last eight digits of a colour line carry nothing.
        wide.line = ProgramLine::colorLine(byteAt(2), byteAt(4), byteAt(6), byteAt(8), byteAt(10),
                                           byteAt(12), byteAt(14), byteAt(16));
    } else {
        wide.line =
            ProgramLine::timerLine(command, byteAt(2), byteAt(4), byteAt(6), 0, 0, 0, byteAt(24));
        wide.startseconds = hexField(text, p + 8, 8);
        wide.stopseconds = hexField(text, p + 16, 8);
    }
    return wide;
}

ProgramText textFromWideLines(const QVector<WideLine> &lines)
{
    ProgramText text;
    for (const WideLine &wide : lines) {
        const ProgramLine &l = wide.line;
        if (l.isColorLine())
            text +=
                QString::asprintf("%02x%02x%02x%02x%02x%02x%02x%02x%02x00000000", l.command, l.red1,
                                  l.grn1, l.blu1, l.red2, l.grn2, l.blu2, l.color1, l.color2);
        else
            text += QString::asprintf("%02x%02x%02x%02x%08x%08x%02x", l.command,
                                      l.incrementinterval, l.gotoline, l.repeatcountset,
                                      wide.startseconds, wide.stopseconds, l.relaytimesec);
    }
    return text;
}

ProgramStepArray stepArrayFromWideLines(const QVector<WideLine> &lines)
{
    ProgramStepArray steps(ProgramCodec::kStepArraySize, '\0');
    // A line with command 0 would end the program on the display, so nothing after it is sent.
    for (int k = 0; k < qMin(lines.size(), int(ProgramCodec::kSteps)); ++k) {
        const WideLine &wide = lines.at(k);
        const ProgramLine &l = wide.line;
        if (l.command == 0)
            break;
        uchar *step = reinterpret_cast<uchar *>(steps.data()) + k * ProgramCodec::kStepSize;
        step[0] = l.command;
        if (l.isColorLine()) {
            const quint8 colour[] = {l.red1, l.grn1, l.blu1,   l.red2,
                                     l.grn2, l.blu2, l.color1, l.color2};
            std::copy(std::begin(colour), std::end(colour), step + 4);
        } else {
            step[4] = l.incrementinterval;
            step[5] = l.gotoline;
            step[6] = l.repeatcountset;
            qToLittleEndian<quint32>(wide.startseconds, step + 8);
            qToLittleEndian<quint32>(wide.stopseconds, step + 12);
            step[16] = l.relaytimesec;
        }
    }
    return steps;
}

QVector<WideLine> wideLinesFromStepArray(const ProgramStepArray &steps)
{
    const ProgramStepArray whole = steps.leftJustified(ProgramCodec::kStepArraySize, '\0', true);
    QVector<WideLine> lines;
    for (int k = 0; k < ProgramCodec::kSteps; ++k) {
        const uchar *step =
            reinterpret_cast<const uchar *>(whole.constData()) + k * ProgramCodec::kStepSize;
        if (step[0] == 0)
            break;
        WideLine wide;
        if (step[0] == TC_COLOR) {
            wide.line = ProgramLine::colorLine(step[4], step[5], step[6], step[7], step[8], step[9],
                                               step[10], step[11]);
        } else {
            wide.line =
                ProgramLine::timerLine(step[0], step[4], step[5], step[6], step[7], 0, 0, step[16]);
            wide.startseconds = qFromLittleEndian<quint32>(step + 8);
            wide.stopseconds = qFromLittleEndian<quint32>(step + 12);
        }
        lines.append(wide);
    }
    return lines;
}

QVector<WideLine> widened(const QVector<ProgramLine> &lines)
{
    QVector<WideLine> wide;
    for (const ProgramLine &line : lines)
        wide.append(widened(line));
    return wide;
}

QVector<ProgramLine> narrowed(const QVector<WideLine> &lines)
{
    QVector<ProgramLine> narrow;
    for (const WideLine &wide : lines)
        narrow.append(narrowed(wide));
    return narrow;
}

} // namespace

QVector<WideLine> ProgramCodec::wideLinesFromText(const ProgramText &text)
{
    QVector<WideLine> lines;
    for (int k = 0; k < textLineCount(text); ++k)
        lines.append(textLine(text, k));
    return lines;
}

QVector<ProgramLine> ProgramCodec::linesFromText(const ProgramText &text)
{
    return narrowed(wideLinesFromText(text));
}

ProgramText ProgramCodec::textFromLines(const QVector<ProgramLine> &lines)
{
    return textFromWideLines(widened(lines));
}

ProgramStepArray ProgramCodec::stepArrayFromLines(const QVector<ProgramLine> &lines)
{
    return stepArrayFromWideLines(widened(lines));
}

QVector<ProgramLine> ProgramCodec::linesFromStepArray(const ProgramStepArray &steps)
{
    return narrowed(wideLinesFromStepArray(steps));
}

ProgramStepArray ProgramCodec::textToStepArray(const ProgramText &text)
{
    return stepArrayFromWideLines(wideLinesFromText(text));
}

ProgramText ProgramCodec::stepArrayToText(const ProgramStepArray &steps)
{
    return textFromWideLines(wideLinesFromStepArray(steps));
}
