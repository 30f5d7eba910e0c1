#pragma once

#include <QString>
#include <QTime>

// One display as the controller knows it: its reported name and clock, advanced locally between
// status replies, and whether the operator has selected it.
struct TimerData
{
    TimerData() = default;
    TimerData(const QString &name, const QString &ipaddr, bool selected, const QTime &time, int day,
              int format, int subFormat);

    QString name;
    QString ipaddr; // dotted IPv4 text, the key of the list
    QTime time;
    int day = 0;
    int format = 0; // the display's status word: mode, style bits, running bit, interval number
    bool selected = false;
    int subFormat = 0;

    // What the controller has seen of the display, in ms since the epoch (0 for never): its
    // last answer to anything, and the last command or query it missed since (its resends ran
    // out). A display that missed one is stale: its clock is no longer vouched for.
    qint64 lastAnswerMs = 0;
    QString missedCommand;
    qint64 missedAtMs = 0;
    bool isStale() const { return missedAtMs != 0; }
    // "no answer since 20:14:05" (local time) for a stale display, else nothing.
    QString healthText() const;

    void setTime(const QTime &newTime); // an invalid time leaves the clock as it was
    int mode() const;
    bool isRunning() const;
    void advanceBy(int ms);
    QString timeString() const;
    // The clock counted in steps of the last digit timeString() shows (tenths, seconds or
    // minutes), or -1 while it shows nothing: as long as this stays the same, so does the text.
    qint64 shownStep() const;
};
