#pragma once

#include <QObject>
#include <QTimer>

#include <cstdio>

namespace qbsim {

class SimDisplay;

// Line of the terminal view for one display: number, address, name, mode, run state, the clock
// as its digits show it in the colours of the shown program, the alarm and the program's line.
QString viewLine(const SimDisplay &display);

// The live terminal view: redraws one line per display in place five times a second.
class TerminalView : public QObject
{
    Q_OBJECT

public:
    TerminalView(const QList<SimDisplay *> &displays, FILE *out, QObject *parent = nullptr);
    ~TerminalView() override;

    void start();

private:
    void redraw();

    const QList<SimDisplay *> m_displays;
    FILE *m_out;
    QTimer m_timer;
};

} // namespace qbsim
