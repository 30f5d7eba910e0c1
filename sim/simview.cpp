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

} // namespace

QString viewLine(const SimDisplay &display)
{
    const ClockReading reading = display.reading();
    QString runState;
    if (display.isSilent())
        runState = QStringLiteral("silent");
    else if (reading.mode != ClockMode::TimeOfDay)
        runState = reading.running ? QStringLiteral("running") : QStringLiteral("stopped");
    return QStringLiteral("%1  %2  %3  %4  %5  \x1b[1m%6\x1b[0m  %7")
        .arg(display.number(), 3)
        .arg(display.identity().address.toString(), -15)
        .arg(display.identity().name, -15)
        .arg(modeName(reading.mode), -11)
        .arg(runState, -7)
        .arg(clockText(reading, display.identity().subFormat), 13)
        .arg(alarmText(reading));
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
