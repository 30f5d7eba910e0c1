#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

class HandleGui;
struct ProgramLine;
class ProgramDataModel;
class TimerDataModel;

// What the window shows, as data for the doors: one snapshot, and a change whenever a part of it
// changes. The controller's signals to the window and the lists' own signals are the source;
// nothing is polled. Only what changed is told: one display's row when its selection, mode or
// health changes ("display"), a display that missed a command ("delivery"); the whole list, with
// the shown times, at most once a second ("displays"); the mirror's text at most ten times a
// second; everything else as soon as the controller's thread is free.
class ControlState : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMirrorIntervalMs = 100;
    static constexpr int kDisplayTimesIntervalMs = 1000;

    ControlState(HandleGui &gui, TimerDataModel &timers, ProgramDataModel &lines,
                 QObject *parent = nullptr);

    // {"displays", "mirror", "captions", "program", "presets", "link"}
    QJsonObject snapshot() const;

    QJsonArray displays() const;
    // One display as the doors show it: address, name, selection, shown time, mode, running,
    // its last answer and the last command it missed since (null when none).
    QJsonObject display(int row) const;
    QJsonObject mirror() const;
    QJsonObject captions() const;
    QJsonObject program() const;
    // Whether the displays' port is held by another program, so that they cannot answer.
    QJsonObject link() const;
    static QJsonArray presets();
    // One program line as the doors show it: "step" from 1, the window's command name, and the
    // fields that line uses.
    static QJsonObject lineJson(int row, const ProgramLine &line);

signals:
    // kind is the snapshot's key whose value changed; data is that value, wrapped in an object
    // for the displays ({"displays": [...]}).
    void changed(const QString &kind, const QJsonObject &data);

private:
    void connectSources();
    void mirrorTextChanged();
    void rowsChanged(int first, int last, const QVector<int> &roles);
    void listChanged();
    void flushDisplays();
    void displayMissed(const QString &addr, const QString &command, qint64 atMs);
    void programChanged();
    void flushProgram();
    void emitCaptions();

    HandleGui &m_gui;
    TimerDataModel &m_timers;
    ProgramDataModel &m_lines;

    bool m_upRunning = false;
    bool m_dnRunning = false;
    bool m_progRunning = false;

    QElapsedTimer m_clock;
    QJsonObject m_sentMirror;
    qint64 m_mirrorSentMs = -kMirrorIntervalMs;
    QTimer m_mirrorLater;

    QJsonObject m_sentCaptions;
    // Per address, the row as last told, without its clock: a reply that only refreshes the
    // clock is told with the list, once a second.
    QHash<QString, QJsonObject> m_sentRows;
    qint64 m_displaysSentMs = -kDisplayTimesIntervalMs;
    QTimer m_displaysLater;

    QJsonObject m_sentProgram;
    QTimer m_programLater;
};
