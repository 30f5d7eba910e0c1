#include "controller/handlegui.h"

#include "link/logging.h"
#include "link/protocol.h"
#include "link/udpcommthread.h"
#include "models/clockarithmetic.h"
#include "models/programdatamodel.h"
#include "models/programgenerators.h"
#include "models/timerdatamodel.h"

#include <QSettings>

namespace {

const QString kTimerListArray = QStringLiteral("timerlist");
const QString kIpKey = QStringLiteral("IP");

} // namespace

HandleGui::HandleGui(TimerDataModel &timers, ProgramDataModel &programs, TimeSource timeSource,
                     QObject *parent)
    : QObject(parent), m_timers(timers), m_programs(programs),
      m_pSettings(std::make_unique<QSettings>(QStringLiteral("Quillbrook Inc"),
                                              QStringLiteral("QB-Timer"))),
      m_sender(
          timers,
          [this](const QByteArray &packet, const QString &addr, int firstDelay, int extraWait) {
              m_deliveries.noteSent(m_pUDPThread->sendUDPCommand(packet, packet.size(), addr,
                                                                 Protocol::kPort, true, firstDelay,
                                                                 extraWait),
                                    addr, packet);
          }),
      m_tickTimer(timeSource), m_mirror(timeSource),
      m_programTransfer(programs, m_programSlots, m_programEditing, m_sender),
      m_programRunner(programs, m_programSlots, m_mirror, m_sender)
{
    m_pUDPThread = std::make_unique<UDPCommThread>();
    // Connected before the thread starts, so that a first bind that fails is heard of.
    connect(
        m_pUDPThread.get(), &UDPCommThread::portInUseChanged, this,
        [this](bool inUse) {
            m_bPortInUse = inUse;
            emit updatePortInUse(inUse);
        },
        Qt::QueuedConnection);
    m_pUDPThread->start(QThread::NormalPriority);
    // Answers are reported on this thread just before their reply; drops come from the link's.
    connect(m_pUDPThread.get(), &UDPCommThread::packetEnded, &m_deliveries,
            &Deliveries::packetEnded);
    connect(m_pUDPThread.get(), &UDPCommThread::RXDatagram, this, &HandleGui::UDPResponse);
    // A display heard from again after a miss: its clock has stood since, so ask for it.
    connect(&m_deliveries, &Deliveries::answeredAgain, this, &HandleGui::sendStatusQuery);
    connect(&m_timers, &TimerDataModel::dataUpdated, this, &HandleGui::updateTimerList);
    connectPrograms();

    m_pUDPThread->setIPParameters(3, 100);
    m_deliveries.setLinkTiming(3, 100);
    m_programSlots.loadProgramSettings();
    loadTimerList();

    m_tickTimer.restart();
    m_lastTickMs = 0;
}

HandleGui::~HandleGui()
{
    m_pUDPThread->stopThread();
}

void HandleGui::connectPrograms()
{
    connect(&m_programTransfer, &ProgramTransfer::programNameChanged, this,
            [this](int index, const QString &name, bool show) {
                emit updateProgNameCombo(index, name, show);
            });
    connect(
        &m_programRunner, &ProgramRunner::programShown, this,
        [this](int index, const QString &name) { emit updateProgNameCombo(index, name, true); });
    connect(&m_programRunner, &ProgramRunner::mirrorChanged, this, &HandleGui::updateDisplayTime);
    connect(&m_programRunner, &ProgramRunner::progStartPause, this,
            [this](bool running) { emit updateProgStartPause(running); });
    connect(&m_programRunner, &ProgramRunner::upStartPause, this,
            [this](bool running) { emit updateUpStartPause(running); });
    connect(&m_programRunner, &ProgramRunner::dnStartPause, this,
            [this](bool running) { emit updateDnStartPause(running); });
}

// ---- link parameters and the tick ----

void HandleGui::handleSetIPParameters(int retries, int delay, int refresh)
{
    m_refreshSecs = refresh;
    m_pUDPThread->setIPParameters(retries, delay);
    m_deliveries.setLinkTiming(retries, delay);
}

void HandleGui::qmlTimerTriggered()
{
    const quint32 now = m_tickTimer.elapsedMs();
    const qint32 delta = Stopwatch::difference(now, m_lastTickMs);
    m_lastTickMs = now;

    m_refreshAccMs += delta;
    if (m_refreshAccMs / 1000 > m_refreshSecs) {
        m_refreshAccMs = 0;
        pollDisplays();
    }

    m_timers.advanceClocks(delta);

    // While a program is active its runner advances the mirror, line by line.
    if (m_programRunner.isActive())
        m_programRunner.tick();
    else
        advanceMirror();
}

void HandleGui::advanceMirror()
{
    if (m_mirror.countDn) {
        m_mirror.stepDown();
        if (m_mirror.days < 0) {
            m_mirror.countDn = false;
            emit updateDnStartPause(false);
            m_mirror.days = 0;
            m_mirror.time = QTime(0, 0);
        }
        updateDisplayTime();
    } else if (m_mirror.countUp) {
        m_mirror.stepUp();
        updateDisplayTime();
    } else if (m_mirror.mode == MirrorClock::Mode::Clock && mirrorText() != m_shownText) {
        updateDisplayTime();
    }
}

QString HandleGui::mirrorText() const
{
    // The time of day is the display's own, as its row keeps it.
    if (const TimerData *clock = clockSource())
        return clock->timeString();
    return m_mirror.text(m_programRunner.intervalCount());
}

const TimerData *HandleGui::clockSource() const
{
    if (m_mirror.mode != MirrorClock::Mode::Clock || m_programRunner.isActive())
        return nullptr;
    const TimerData *first = m_timers.timer(m_sender.firstSelected());
    return first && first->mode() == 0 ? first : nullptr;
}

void HandleGui::updateDisplayTime()
{
    const QString text = mirrorText();
    m_shownText = text;
    emit updateUpTime(text);
    emit updateDnTime(text);
    emit updateIntTime(text);
}

void HandleGui::SetCountUpMode(int mode, int bAlreadInit)
{
    if (m_mirror.setCountUpMode(mode, bAlreadInit))
        updateDisplayTime();
}

void HandleGui::SetCountDownMode(int mode, int bAlreadInit)
{
    if (m_mirror.setCountDownMode(mode, bAlreadInit))
        updateDisplayTime();
}

// ---- the device list ----

void HandleGui::handlecheckBoxChanged(int index, bool bVal)
{
    m_timers.setSelected(index, bVal);
}

void HandleGui::handleRemoveSelected()
{
    for (int row = 0; row < m_timers.rowCount();) {
        if (m_timers.isSelected(row))
            m_timers.removeTimer(row);
        else
            ++row;
    }
    updateTimerList();
}

void HandleGui::updateTimerList()
{
    if (m_bLoadingTimerList || m_timers.addressRevision() == m_storedAddressRevision)
        return;
    m_storedAddressRevision = m_timers.addressRevision();
    m_pSettings->beginWriteArray(kTimerListArray);
    const QStringList addresses = m_timers.addresses();
    for (int row = 0; row < addresses.size(); ++row) {
        m_pSettings->setArrayIndex(row);
        m_pSettings->setValue(kIpKey, addresses.at(row));
    }
    m_pSettings->endArray();
}

void HandleGui::loadTimerList()
{
    m_bLoadingTimerList = true;
    const int size = m_pSettings->beginReadArray(kTimerListArray);
    // A hand-edited size far beyond the stored entries must not make start-up crawl through
    // millions of missing entries: each of those would only add the same empty address.
    int highestEntry = 0;
    for (const QString &group : m_pSettings->childGroups())
        highestEntry = qMax(highestEntry, group.toInt());
    const int readable = qMin(size, highestEntry);
    for (int i = 0; i < readable; ++i) {
        m_pSettings->setArrayIndex(i);
        m_timers.addOrUpdateTimer(TimerData(QString(), m_pSettings->value(kIpKey).toString(), false,
                                            QTime(0, 0), 0, 0, 0));
    }
    if (size > readable)
        m_timers.addOrUpdateTimer(TimerData(QString(), QString(), false, QTime(0, 0), 0, 0, 0));
    m_pSettings->endArray();
    m_bLoadingTimerList = false;
    // What was read is what is stored, unless duplicate entries collapsed into one row.
    if (readable == m_timers.rowCount() && size == readable)
        m_storedAddressRevision = m_timers.addressRevision();
}

// ---- discovery and replies ----

void HandleGui::sendStatusQuery(const QString &addr)
{
    m_sender.toAddress(addr, Protocol::statusQuery());
}

void HandleGui::handleSubmitQuery(QString broadcastIP)
{
    for (int row = 0; row < m_timers.rowCount(); ++row)
        sendStatusQuery(m_timers.timerIpAddr(row));
    m_timers.noteQueryTarget(broadcastIP);
    sendStatusQuery(broadcastIP);
}

// The pages mirror the first selected display: while one is selected, it is polled, and with
// it the displays that missed a command, so that their marks clear once they answer again.
void HandleGui::pollDisplays()
{
    const QString first = m_sender.firstSelected();
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        const TimerData &timer = *m_timers.timerAt(row);
        if (first.isNull() || timer.ipaddr == first || timer.isStale())
            sendStatusQuery(timer.ipaddr);
    }
}

void HandleGui::UDPResponse(QString sourceIP, QByteArray data)
{
    switch (Protocol::classifyReply(data)) {
    case Protocol::ReplyKind::Status:
        applyStatusReply(sourceIP, data);
        break;
    case Protocol::ReplyKind::ActiveProgram:
        m_programTransfer.applyActiveProgram(data);
        break;
    case Protocol::ReplyKind::Program:
        m_programTransfer.applyProgram(data);
        break;
    case Protocol::ReplyKind::RunStatus:
        m_programRunner.applyRunStatus(data);
        break;
    case Protocol::ReplyKind::Acknowledgement:
    case Protocol::ReplyKind::Ignored:
        break;
    }
}

void HandleGui::applyStatusReply(const QString &sourceIP, const QByteArray &data)
{
    const std::optional<Protocol::StatusFields> reply = Protocol::decodeStatusReply(data);
    if (!reply)
        return;
    const bool current = m_deliveries.takeCurrentStatus(sourceIP);
    m_timers.addReportedTimer(TimerData(reply->name, reply->ipaddr, false, reply->time, reply->day,
                                        reply->format, reply->subFormat),
                              sourceIP);
    m_deliveries.noteStatusReply(sourceIP);
    if (!isMirrorSource(sourceIP, *reply, current)) {
        // The mirror's time of day is the first selected display's row, refreshed just now.
        if (clockSource())
            updateDisplayTime();
        return;
    }

    const bool running = reply->format & Protocol::Format::kRunning;
    const int formatNumber = Protocol::countFormatNumber(reply->format);
    const QByteArray timeText = reply->time.toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1();
    switch (reply->format & Protocol::Format::kModeMask) {
    case 1:
        qCDebug(lcRegistry, "CountUp Running time=%d:%s\n", reply->day, timeText.constData());
        followCount(*reply, false);
        emit updateUpTimeFormat(formatNumber);
        emit updateUpStartPause(running);
        emit updateDnStartPause(false);
        break;
    case 2:
        qCDebug(lcRegistry, "CountDn Running time=%d:%s\n", reply->day, timeText.constData());
        followCount(*reply, true);
        emit updateUpStartPause(false);
        emit updateDnStartPause(running);
        break;
    case 0:
        m_mirror.mode = MirrorClock::Mode::Clock;
        m_mirror.time = QTime(0, 0);
        m_mirror.countUp = false;
        m_mirror.countDn = false;
        emit updateUpStartPause(false);
        emit updateDnStartPause(false);
        break;
    default:
        return;
    }
    updateDisplayTime();
}

bool HandleGui::isMirrorSource(const QString &sourceIP, const Protocol::StatusFields &reply,
                               bool current) const
{
    return current && reply.ipaddr == sourceIP && sourceIP == m_sender.firstSelected();
}

// The mirror takes over a display's count: its time, days and format, running or not.
void HandleGui::followCount(const Protocol::StatusFields &reply, bool down)
{
    const bool running = reply.format & Protocol::Format::kRunning;
    m_mirror.restartSteps();
    m_mirror.mode = down ? MirrorClock::Mode::CountDown : MirrorClock::Mode::CountUp;
    m_mirror.time = reply.time;
    m_mirror.days = reply.day;
    m_mirror.displayMode = Protocol::countFormatNumber(reply.format);
    m_mirror.countUp = !down && running;
    m_mirror.countDn = down && running;
}

// ---- count-up, count-down and time of day ----

bool HandleGui::queryFirstSelected()
{
    const QString first = m_sender.firstSelected();
    if (first.isNull())
        return false;
    sendStatusQuery(first);
    return true;
}

void HandleGui::handleCountUpEntry()
{
    queryFirstSelected();
}

void HandleGui::handleCountDnEntry()
{
    queryFirstSelected();
}

void HandleGui::handleSetCountUpModeButton()
{
    m_mirror.mode = MirrorClock::Mode::CountUp;
    m_mirror.countUp = false;
    m_mirror.countDn = false;
    m_mirror.time = QTime(0, 0);
    updateDisplayTime();
    m_mirror.displayMode = 0;
    m_sender.toSelected(Protocol::setCountUpMode());
}

void HandleGui::handleCountUpResetButton(int mode)
{
    if (m_mirror.countUp)
        return;
    m_programRunner.release();
    m_mirror.mode = MirrorClock::Mode::CountUp;
    m_mirror.time = QTime(0, 0);
    m_mirror.days = 0;
    m_mirror.displayMode = mode;
    m_sender.toSelected(Protocol::countUpReset(mode));
    updateDisplayTime();
}

// The displays are sent to first in these handlers; the window and the doors hear of it after.
void HandleGui::handleCountUpStartButton()
{
    const bool wasCounting = m_mirror.countUp;
    // The displays leave a count-down for the count-up, and so does the mirror.
    const bool leavesCountDown = !wasCounting && m_mirror.countDn;
    m_programRunner.release();
    m_mirror.mode = MirrorClock::Mode::CountUp;
    m_mirror.countUp = !wasCounting;
    if (wasCounting) {
        m_mirror.stepUp();
    } else {
        m_mirror.countDn = false;
        m_mirror.restartSteps();
    }
    m_sender.toSelected(Protocol::countUpRun(m_mirror.countUp));
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        if (m_timers.isSelected(row))
            qCDebug(lcControl, "timerModel[%d] is selected, %s", row,
                    qPrintable(m_timers.timerIpAddr(row)));
    }
    if (leavesCountDown)
        emit updateDnStartPause(false);
    emit updateUpStartPause(m_mirror.countUp);
    if (wasCounting)
        updateDisplayTime();
}

void HandleGui::handleTimeModeButton()
{
    // The displays leave a program for the time of day, and so does the mirror.
    m_programRunner.release();
    m_mirror.mode = MirrorClock::Mode::Clock;
    m_mirror.countUp = false;
    m_mirror.countDn = false;
    m_mirror.time = QTime(0, 0);
    m_sender.toSelected(Protocol::timeOfDayMode());
    emit updateUpStartPause(false);
    emit updateDnStartPause(false);
    updateDisplayTime();
    // The mirror shows the first selected display's time of day from its row; a row that shows
    // a count is asked for the time once the display has switched.
    if (!clockSource())
        queryFirstSelected();
}

void HandleGui::handleSetCountDnModeButton(int mode, int days, int hours, int mins, int secs,
                                           int bAlarmEnabled, int alarmDuration)
{
    m_mirror.mode = MirrorClock::Mode::CountDown;
    m_mirror.countUp = false;
    m_mirror.countDn = false;
    m_mirror.time = QTime(0, 0);
    m_mirror.days = days;
    updateDisplayTime();
    m_mirror.displayMode = 0;
    m_sender.toSelected(
        Protocol::setCountDownMode(mode, days, hours, mins, secs, bAlarmEnabled, alarmDuration));
}

void HandleGui::handleCountDnResetButton(int mode, int days, int hours, int mins, int secs,
                                         int bAlarmEnabled, int alarmDuration)
{
    if (m_mirror.countDn)
        return;
    m_lastCountDn = CountDownSetting{mode, days, hours, mins, secs, bAlarmEnabled, alarmDuration};
    resetCountDown(*m_lastCountDn);
}

void HandleGui::resetCountDown(const CountDownSetting &s)
{
    // The preset dialog allows 99 hours and 60 minutes or seconds; the displays get the values as
    // chosen, and the mirror carries the excess into days, hours and minutes so it shows and
    // counts the same duration.
    ClockArithmetic::normalise(s.days, s.hours, s.mins, s.secs, m_mirror.time, m_mirror.days);
    m_programRunner.release();
    m_mirror.mode = MirrorClock::Mode::CountDown;
    m_mirror.displayMode = s.mode;
    m_sender.toSelected(Protocol::countDownReset(s.mode, s.days, s.hours, s.mins, s.secs,
                                                 s.bAlarmEnabled, s.alarmDuration));
    updateDisplayTime();
}

bool HandleGui::adjustCountDown(int seconds)
{
    if (m_mirror.mode != MirrorClock::Mode::CountDown || m_programRunner.isActive())
        return false;
    const bool wasCounting = m_mirror.countDn;
    // Whole seconds, as the displays take them; the tenths a running count has gone into the
    // current second are rounded.
    const qint64 projected = (m_mirror.valueMs() + 500) / 1000 + seconds;
    if (projected < 0)
        return false;
    if (wasCounting)
        handleCountDnStartButton(); // pauses, with the mirror caught up to this moment
    const qint64 target = qMax<qint64>(0, (m_mirror.valueMs() + 500) / 1000 + seconds);
    CountDownSetting setting = m_lastCountDn.value_or(CountDownSetting{});
    setting.mode = m_mirror.displayMode;
    setting.days = int(target / 86400);
    setting.hours = int(target / 3600 % 24);
    setting.mins = int(target / 60 % 60);
    setting.secs = int(target % 60);
    resetCountDown(setting);
    if (wasCounting)
        handleCountDnStartButton(); // on from the new value
    return true;
}

void HandleGui::handleCountDnStartButton()
{
    m_mirror.mode = MirrorClock::Mode::CountDown;
    const bool wasCounting = m_mirror.countDn;
    // A preset of whole days (24 h, 48 h) has a zero time part but is not zero.
    if (!wasCounting && m_mirror.time == QTime(0, 0) && m_mirror.days == 0)
        return;
    m_mirror.countDn = !wasCounting;
    if (wasCounting)
        m_mirror.catchUpDown();
    else
        m_mirror.restartSteps();
    m_sender.toSelected(Protocol::countDownRun(m_mirror.countDn));
    emit updateDnStartPause(m_mirror.countDn);
    if (wasCounting)
        updateDisplayTime();
}

// ---- program editing ----

void HandleGui::handleProgChange(int num, QString name)
{
    m_programEditing.changeProgram(num, name);
}

void HandleGui::openProgram(int n)
{
    if (!ProgramSlots::isProgram(n))
        return;
    const QString name = m_programSlots.programNames().at(n);
    emit updateProgNameCombo(n, name, true);
    handleProgChange(n, name);
}

void HandleGui::handleProgNameChange(int num, QString name)
{
    m_programEditing.renameProgram(num, name);
}

void HandleGui::handleProgInsert(int row)
{
    m_programEditing.insertLine(row);
}

void HandleGui::handleProgDelete(int row)
{
    m_programEditing.deleteLine(row);
}

void HandleGui::handleProgSaveProgram()
{
    m_programEditing.saveProgram();
}

bool HandleGui::importProgram(int n, const QString &name, const ProgramText &text)
{
    if (!m_programEditing.replaceProgram(n, name, text))
        return false;
    emit updateProgNameCombo(n, name, n == m_programSlots.currentProgram());
    return true;
}

void HandleGui::renameProgram(int n, const QString &name)
{
    if (!ProgramSlots::isProgram(n))
        return;
    m_programSlots.storeProgramName(n, name);
    emit updateProgNameCombo(n, name, false);
}

// ---- generated programs ----

void HandleGui::handleTabataResetButton(int work, int rest, int kount, bool relay)
{
    if (m_mirror.countDn || m_mirror.countUp)
        return;
    qCDebug(lcPrograms, "handleTabataResetButton work=%d rest=%d kount=%d relay=%d", work, rest,
            kount, relay ? 1 : 0);
    openGenerated(ProgramGenerators::kTabataSlot, ProgramGenerators::tabataName(work, rest),
                  ProgramGenerators::tabata(work, rest, kount, relay));
}

void HandleGui::handlePresentResetButton(int start, int change, int format, bool countup,
                                         bool relay)
{
    // The runner lets go of the mirror even when the reset is refused: a running count goes on
    // as a plain count.
    m_programRunner.release();
    if (m_mirror.countDn || m_mirror.countUp)
        return;
    qCDebug(lcPrograms, "handlePrsentResetButton start=%d change=%d countup=%d relay=%d", start,
            change, countup ? 1 : 0, relay ? 1 : 0);
    openGenerated(ProgramGenerators::kPresentationSlot,
                  ProgramGenerators::presentationName(start, change),
                  ProgramGenerators::presentation(start, change, format, countup, relay));
}

void HandleGui::openGenerated(int slot, const QString &name, const ProgramStepArray &steps)
{
    m_programEditing.openGenerated(slot, name, steps);
    emit updateProgNameCombo(slot, name, true);
    handleProgResetButton();
}

// ---- program transfer ----

void HandleGui::handleGetProgram()
{
    m_programTransfer.getActiveProgram();
}

void HandleGui::handleSaveProgram()
{
    m_programTransfer.saveOnDisplays();
}

void HandleGui::getProgramFromDisplay(int n)
{
    m_programTransfer.getProgram(n);
}

void HandleGui::saveProgramOnDisplays(int n)
{
    m_programTransfer.saveProgram(n);
}

void HandleGui::handleGetAllProgramsButton()
{
    m_programTransfer.getAllPrograms();
}

void HandleGui::handleSaveAllProgramsButton()
{
    m_programTransfer.saveAllPrograms();
}

// ---- program run control ----

void HandleGui::handleProgEntry()
{
    m_programRunner.queryRunStatus();
}

void HandleGui::handleProgResetButton()
{
    m_programRunner.arm();
}

void HandleGui::handleProgStartButton()
{
    m_programRunner.startPause();
}
