#include "simview.h"

#include "simdisplay.h"
#include "simprotocol.h"
#include "simtext.h"

namespace qbsim {

namespace {

constexpr int kRefreshMs = 200;
const char kHideCursor[] = "\x1b[?25l";
const char kShowCursor[] = "\x1b[?25h";
const char kHome[] = "\x1b[H";
const char kClearLineEnd[] = "\x1b[K";
const char kClearBelow[] = "\x1b[J";

QString alarmText(const ClockReading &reading)
{
    if (reading.alarmSounding)
        return QStringLiteral("\x1b[7m ALARM \x1b[0m");
    if (reading.mode == ClockMode::CountDown && reading.alarmEnabled)
        return QStringLiteral("alarm %1 s").arg(reading.alarmSeconds);
    return QString();
}

// SGR parameters of a colour index: the seven named colours, and the user colours 7..9 as the
// RGB components that came with them; nothing for the display's own colour.
QString colourCode(int index, const quint8 (&rgb)[3])
{
    static const int kNamed[] = {31, 32, 34, 36, 35, 33, 37}; // red .. white
    if (index >= 0 && index < int(std::size(kNamed)))
        return QString::number(kNamed[index]);
    if (index >= int(std::size(kNamed)) && index < 10)
        return QStringLiteral("38;2;%1;%2;%3").arg(rgb[0]).arg(rgb[1]).arg(rgb[2]);
    return QString();
}

QString painted(const QString &text, const QString &colour)
{
    const QString code = colour.isEmpty() ? QStringLiteral("1") : QStringLiteral("1;") + colour;
    return QStringLiteral("\x1b[%1m%2\x1b[0m").arg(code, text);
}

// The clock in bold, the hours digits (the interval number for an interval) in the first colour
// and the rest in the second.
QString colouredClock(const ClockReading &reading, int subFormat, const DigitColours &colours)
{
    const QString text = clockText(reading, subFormat).rightJustified(13);
    const int split = reading.format == kIntervalFormat ? text.indexOf(QLatin1Char('-')) + 1
                                                        : text.indexOf(QLatin1Char(':'));
    if (split <= 0)
        return painted(text, colourCode(colours.rest, colours.rgbRest));
    return painted(text.left(split), colourCode(colours.hours, colours.rgbHours)) +
           painted(text.mid(split), colourCode(colours.rest, colours.rgbRest));
}

// A program's name comes from the wire: control characters in it must not reach the terminal.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return text;
}

QString programText(const SimDisplay &display)
{
    const std::optional<RunStatus> program = display.program();
    if (!program)
        return QString();
    return QStringLiteral("program %1 \"%2\" %3")
        .arg(program->number)
        .arg(printable(program->program.name()))
        .arg(program->active ? QStringLiteral("line %1").arg(program->row + 1)
                             : QStringLiteral("ended"));
}

} // namespace

QString viewLine(const SimDisplay &display)
{
    const ClockReading reading = display.reading();
    QString runState;
    if (display.isSilent())
        runState = QStringLiteral("silent");
    else if (reading.mode != ClockMode::TimeOfDay)
        runState = reading.running ? QStringLiteral("running") : QStringLiteral("stopped");
    return QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8")
        .arg(display.number(), 3)
        .arg(display.identity().address.toString(), -15)
        .arg(display.identity().name, -15)
        .arg(modeName(reading.mode), -13)
        .arg(runState, -7)
        .arg(colouredClock(reading, display.identity().subFormat, display.colours()))
        .arg(alarmText(reading), -9)
        .arg(programText(display));
}

TerminalView::TerminalView(const QList<SimDisplay *> &displays, FILE *out, QObject *parent)
    : QObject(parent), m_displays(displays), m_out(out)
{
    connect(&m_timer, &QTimer::timeout, this, &TerminalView::redraw);
}

TerminalView::~TerminalView()
{
    if (m_timer.isActive()) {
        std::fputs(kShowCursor, m_out);
        std::fflush(m_out);
    }
}

void TerminalView::start()
{
    std::fputs(kHideCursor, m_out);
    redraw();
    m_timer.start(kRefreshMs);
}

void TerminalView::redraw()
{
    QString frame = QStringLiteral("%1qb-timer-sim: %2 displays on UDP port %3, Ctrl-C ends%4\n")
                        .arg(QLatin1String(kHome))
                        .arg(m_displays.size())
                        .arg(kDisplayPort)
                        .arg(QLatin1String(kClearLineEnd));
    for (const SimDisplay *display : m_displays)
        frame += viewLine(*display) + QLatin1String(kClearLineEnd) + QLatin1Char('\n');
    frame += QLatin1String(kClearBelow);
    std::fputs(frame.toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
}

} // namespace qbsim
