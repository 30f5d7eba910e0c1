#pragma once

#include "controller/deliveries.h"
#include "controller/displaysender.h"
#include "controller/mirrorclock.h"
#include "controller/programediting.h"
#include "controller/programrunner.h"
#include "controller/programslots.h"
#include "controller/programtransfer.h"
#include "controller/stopwatch.h"

#include <QObject>
#include <QVariant>
#include <memory>
#include <optional>

class QSettings;
class ProgramDataModel;
namespace Protocol {
struct StatusFields;
}
struct TimerData;
class TimerDataModel;
class UDPCommThread;

// The one controller between the QML window and the displays: it answers the window's signals,
// sends the commands, decodes the replies and runs the mirror clock that the window shows.
class HandleGui : public QObject
{
    Q_OBJECT
public:
    HandleGui(TimerDataModel &timers, ProgramDataModel &programs,
              TimeSource timeSource = steadyTimeSource(), QObject *parent = nullptr);
    ~HandleGui() override;

    void updateDisplayTime();
    void SetCountUpMode(int mode, int bAlreadInit);
    void SetCountDownMode(int mode, int bAlreadInit);
    void sendStatusQuery(const QString &addr);

    UDPCommThread &link() const { return *m_pUDPThread; }
    // How the packets sent to each display ended, and the waits of callers for them.
    Deliveries &deliveries() { return m_deliveries; }
    // Another program holds port 7372, so displays cannot answer; the link keeps trying.
    bool portInUse() const { return m_bPortInUse; }

    // What the window shows, for other doors to the same controller: the controller's copy of
    // the first selected display.
    const MirrorClock &mirror() const { return m_mirror; }
    QString mirrorText() const;
    bool programActive() const { return m_programRunner.isActive(); }
    bool programRunning() const { return m_programRunner.isRunning(); }
    const ProgramSlots &programSlots() const { return m_programSlots; }

    // The count-down's duration, format and alarm as a preset or the count-down page set it.
    struct CountDownSetting
    {
        int mode = 0;
        int days = 0;
        int hours = 0;
        int mins = 0;
        int secs = 0;
        int bAlarmEnabled = 0;
        int alarmDuration = 0;
    };
    // The last one the displays were reset to, if any.
    const std::optional<CountDownSetting> &lastCountDownSetting() const { return m_lastCountDn; }

    // Sets a plain count-down that runs or is paused to its value plus seconds (whole seconds,
    // never below zero) and runs it on if it was running. False, with nothing sent, for a mirror
    // that shows no plain count-down.
    bool adjustCountDown(int seconds);
    // Shows program n in the window and opens it, as picking it in the selector does.
    void openProgram(int n);
    // Program n read from the first selected display, or uploaded to the selected ones and saved.
    void getProgramFromDisplay(int n);
    void saveProgramOnDisplays(int n);
    // Stores a program read from a file into slot n, shown under its name in the window (and
    // shown there when n is the open program). False for a number outside 0..9.
    bool importProgram(int n, const QString &name, const ProgramText &text);
    // Names program n in the window and the store; its lines, stored or in memory, stay.
    void renameProgram(int n, const QString &name);

signals:
    void updateUpTime(QVariant time);
    void updateDnTime(QVariant time);
    void updateIntTime(QVariant time);
    void updateUpStartPause(QVariant state);
    void updateUpTimeFormat(QVariant state);
    void updateDnStartPause(QVariant state);
    void updateProgStartPause(QVariant state);
    void updateProgNameCombo(QVariant index, QVariant name, QVariant update);
    void updatePortInUse(QVariant inUse);

public slots:
    void handleRemoveSelected();
    void handleSubmitQuery(QString broadcastIP);
    void handleSetIPParameters(int retries, int delay, int refresh);
    void handleSetCountUpModeButton();
    void handleCountUpResetButton(int mode);
    void handleCountUpStartButton();
    void handleTimeModeButton();
    void handleCountUpEntry();
    void handlecheckBoxChanged(int index, bool bVal);
    void UDPResponse(QString sourceIP, QByteArray data);
    void qmlTimerTriggered();
    void handleSetCountDnModeButton(int mode, int days, int hours, int mins, int secs,
                                    int bAlarmEnabled, int alarmDuration);
    void handleCountDnResetButton(int mode, int days, int hours, int mins, int secs,
                                  int bAlarmEnabled, int alarmDuration);
    void handleCountDnStartButton();
    void handleCountDnEntry();
    void handleTabataResetButton(int work, int rest, int kount, bool relay);
    void handlePresentResetButton(int start, int change, int format, bool countup, bool relay);
    void handleProgEntry();
    void handleProgResetButton();
    void handleProgStartButton();
    void handleProgChange(int num, QString name);
    void handleProgNameChange(int num, QString name);
    void handleProgInsert(int row);
    void handleProgDelete(int row);
    void handleProgSaveProgram();
    void handleGetProgram();
    void handleSaveProgram();
    void handleSaveAllProgramsButton();
    void handleGetAllProgramsButton();
    void updateTimerList();

private:
    void connectPrograms();
    void loadTimerList();
    void pollDisplays();
    void advanceMirror();
    void applyStatusReply(const QString &sourceIP, const QByteArray &data);
    void followCount(const Protocol::StatusFields &reply, bool down);
    bool queryFirstSelected(); // false when no display is selected
    // Whether a status reply speaks for the mirror: it comes from the first selected display,
    // about itself, and answers a query sent after the last command to it.
    bool isMirrorSource(const QString &sourceIP, const Protocol::StatusFields &reply,
                        bool current) const;
    // The first selected display's row while it shows the time of day, else null.
    const TimerData *clockSource() const;
    // Opens the program in its slot, shows it in the window and arms it on the displays.
    void openGenerated(int slot, const QString &name, const ProgramStepArray &steps);
    void resetCountDown(const CountDownSetting &setting);

    TimerDataModel &m_timers;
    ProgramDataModel &m_programs;
    // The controller's own store (programs, timer list), declared before the program slots
    // that keep a reference to it.
    std::unique_ptr<QSettings> m_pSettings;
    ProgramSlots m_programSlots{*m_pSettings};
    ProgramEditing m_programEditing{m_programs, m_programSlots};

    std::unique_ptr<UDPCommThread> m_pUDPThread;
    bool m_bPortInUse = false;
    Deliveries m_deliveries{m_timers};
    DisplaySender m_sender;
    QString m_shownText; // the mirror's text as last sent to the window
    Stopwatch m_tickTimer;
    quint32 m_lastTickMs = 0;
    MirrorClock m_mirror;
    ProgramTransfer m_programTransfer;
    ProgramRunner m_programRunner;
    std::optional<CountDownSetting> m_lastCountDn;
    int m_refreshSecs = 60;
    qint64 m_refreshAccMs = 0;

    // The stored "timerlist" is rewritten only when the listed addresses have changed, and
    // never while it is being read.
    bool m_bLoadingTimerList = false;
    quint64 m_storedAddressRevision = 0;
};
