#include "app/handlegui.h"

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
      m_tickTimer(timeSource), m_mirrorTimer(timeSource)
{
    m_pUDPThread = std::make_unique<UDPCommThread>();
    m_pUDPThread->start(QThread::NormalPriority);
    connect(m_pUDPThread.get(), &UDPCommThread::RXDatagram, this, &HandleGui::UDPResponse);
    connect(&m_timers, &TimerDataModel::dataUpdated, this, &HandleGui::updateTimerList);

    m_pUDPThread->setIPParameters(3, 100);
    m_mirrorTime = QTime(0, 0);
    m_programSlots.loadProgramSettings();
    loadTimerList();

    m_tickTimer.restart();
    m_lastTickMs = 0;
}

HandleGui::~HandleGui()
{
    m_pUDPThread->stopThread();
}

// ---- link parameters and the tick ----

void HandleGui::handleSetIPParameters(int retries, int delay, int refresh)
{
    m_refreshSecs = refresh;
    m_pUDPThread->setIPParameters(retries, delay);
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

    for (int row = 0; row < m_timers.rowCount(); ++row)
        m_timers.setData(m_timers.index(row), delta, TimerDataModel::AdvanceRole);

    advanceMirror();
}

qint32 HandleGui::takeMirrorStep()
{
    const quint32 now = m_mirrorTimer.elapsedMs();
    const qint32 step = Stopwatch::difference(now, m_prevMirrorMs);
    m_prevMirrorMs = now;
    return step;
}

void HandleGui::catchUpDown(int &days)
{
    // A pause just after zero was reached between two ticks stops at zero, not a day before it.
    ClockArithmetic::stepDown(m_mirrorTime, days, takeMirrorStep());
    if (days < 0) {
        days = 0;
        m_mirrorTime = QTime(0, 0);
    }
}

void HandleGui::advanceMirror()
{
    if (m_bCountDn) {
        ClockArithmetic::stepDown(m_mirrorTime, m_days, takeMirrorStep());
        if (m_days < 0) {
            m_bCountDn = false;
            if (!m_bProgramActive) {
                emit updateDnStartPause(false);
                m_days = 0;
                m_mirrorTime = QTime(0, 0);
            }
        }
        updateDisplayTime();
    } else if (m_bCountUp) {
        ClockArithmetic::stepUp(m_mirrorTime, m_days, takeMirrorStep());
        updateDisplayTime();
    }
}

void HandleGui::updateDisplayTime()
{
    QString text;
    switch (m_displayMode) {
    case 0:
        if (m_days == 0)
            text = m_mirrorTime.toString(QStringLiteral("hh:mm:ss.zzz")).left(10);
        else
            text = QString::asprintf("%d:%02d:%02d.%d", m_mirrorTime.hour() + 24 * m_days,
                                     m_mirrorTime.minute(), m_mirrorTime.second(),
                                     m_mirrorTime.msec() / 100);
        break;
    case 1:
        text = QString::asprintf("%d-", m_days) + m_mirrorTime.toString(QStringLiteral("hh:mm:ss"));
        break;
    case 2:
        text = QString::asprintf("%d:", m_days) + m_mirrorTime.toString(QStringLiteral("hh:mm"));
        break;
    case 3:
        text = QString::asprintf("%d-%s", m_intervalCount,
                                 qPrintable(m_mirrorTime.toString(QStringLiteral("mm:ss"))));
        break;
    default:
        break;
    }
    emit updateUpTime(text);
    emit updateDnTime(text);
    emit updateIntTime(text);
}

void HandleGui::SetCountUpMode(int mode, int bAlreadInit)
{
    qCDebug(lcControl, "SetCountUpMode mode=%d bAlreadInit=%d", mode, bAlreadInit);
    if (mode != 0) {
        m_bCountUp = true;
        m_bCountDn = false;
        m_mirrorTimer.restart();
        m_prevMirrorMs = 0;
    } else if (bAlreadInit == 0) {
        m_bCountUp = false;
        int days = m_days; // the final catch-up step leaves the day count alone
        ClockArithmetic::stepUp(m_mirrorTime, days, takeMirrorStep());
        updateDisplayTime();
    }
}

void HandleGui::SetCountDownMode(int mode, int bAlreadInit)
{
    qCDebug(lcControl, "SetCountDownMode mode=%d bAlreadInit=%d", mode, bAlreadInit);
    if (mode != 0) {
        m_bCountUp = false;
        m_bCountDn = true;
        m_mirrorTimer.restart();
        m_prevMirrorMs = 0;
    } else if (bAlreadInit == 0) {
        m_bCountDn = false;
        int days = m_days;
        catchUpDown(days);
        updateDisplayTime();
    }
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
    const QByteArray packet = Protocol::statusQuery();
    m_pUDPThread->sendUDPCommand(packet, packet.size(), addr, Protocol::kPort, true, 0, 0);
}

void HandleGui::handleSubmitQuery(QString broadcastIP)
{
    for (int row = 0; row < m_timers.rowCount(); ++row)
        sendStatusQuery(m_timers.timerIpAddr(row));
    sendStatusQuery(broadcastIP);
}

void HandleGui::pollDisplays()
{
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        if (m_timers.isSelected(row)) {
            sendStatusQuery(m_timers.timerIpAddr(row));
            return;
        }
    }
    for (int row = 0; row < m_timers.rowCount(); ++row)
        sendStatusQuery(m_timers.timerIpAddr(row));
}

void HandleGui::UDPResponse(QString, QByteArray data)
{
    switch (Protocol::classifyReply(data)) {
    case Protocol::ReplyKind::Status:
        applyStatusReply(data);
        break;
    case Protocol::ReplyKind::ActiveProgram:
    case Protocol::ReplyKind::RunStatus:
    case Protocol::ReplyKind::Program:
        // Program transfer and run control take these replies once programs can be run.
        break;
    case Protocol::ReplyKind::Acknowledgement:
    case Protocol::ReplyKind::Ignored:
        break;
    }
}

void HandleGui::applyStatusReply(const QByteArray &data)
{
    const std::optional<Protocol::StatusFields> reply = Protocol::decodeStatusReply(data);
    if (!reply)
        return;
    m_timers.addOrUpdateTimer(TimerData(reply->name, reply->ipaddr, false, reply->time, reply->day,
                                        reply->format, reply->subFormat));

    const bool running = reply->format & Protocol::Format::kRunning;
    const int formatNumber = Protocol::countFormatNumber(reply->format);
    const QByteArray timeText = reply->time.toString(QStringLiteral("hh:mm:ss.zzz")).toLatin1();
    switch (reply->format & Protocol::Format::kModeMask) {
    case 1:
        qCDebug(lcRegistry, "CountUp Running time=%d:%s\n", reply->day, timeText.constData());
        m_mirrorTimer.restart();
        m_prevMirrorMs = 0;
        m_bCountDn = false;
        m_mirrorTime = reply->time;
        m_displayMode = formatNumber;
        m_bCountUp = running;
        m_days = reply->day;
        emit updateUpTimeFormat(formatNumber);
        emit updateUpStartPause(running);
        break;
    case 2:
        qCDebug(lcRegistry, "CountDn Running time=%d:%s\n", reply->day, timeText.constData());
        m_mirrorTimer.restart();
        m_prevMirrorMs = 0;
        m_bCountUp = false;
        m_mirrorTime = reply->time;
        m_bCountDn = running;
        m_days = reply->day;
        m_displayMode = formatNumber;
        emit updateDnStartPause(running);
        break;
    case 0:
        m_mirrorTime = QTime(0, 0);
        m_bCountUp = false;
        m_bCountDn = false;
        emit updateUpStartPause(false);
        emit updateDnStartPause(false);
        break;
    default:
        return;
    }
    updateDisplayTime();
}

// ---- count-up, count-down and time of day ----

void HandleGui::sendToSelected(const QByteArray &packet)
{
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        if (m_timers.isSelected(row))
            m_pUDPThread->sendUDPCommand(packet, packet.size(), m_timers.timerIpAddr(row),
                                         Protocol::kPort, true, 0, 0);
    }
}

void HandleGui::queryFirstSelected()
{
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        if (m_timers.isSelected(row)) {
            sendStatusQuery(m_timers.timerIpAddr(row));
            return;
        }
    }
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
    m_bCountUp = false;
    m_bCountDn = false;
    m_mirrorTime = QTime(0, 0);
    updateDisplayTime();
    m_displayMode = 0;
    sendToSelected(Protocol::setCountUpMode());
}

void HandleGui::handleCountUpResetButton(int mode)
{
    if (m_bCountUp)
        return;
    m_bProgramActive = false;
    m_bFirstStepSet = false;
    m_mirrorTime = QTime(0, 0);
    m_days = 0;
    m_displayMode = mode;
    updateDisplayTime();
    sendToSelected(Protocol::countUpReset(mode));
}

void HandleGui::handleCountUpStartButton()
{
    const bool wasCounting = m_bCountUp;
    m_bProgramActive = false;
    m_bFirstStepSet = false;
    if (wasCounting) {
        m_bCountUp = false;
        emit updateUpStartPause(false);
        ClockArithmetic::stepUp(m_mirrorTime, m_days, takeMirrorStep());
        updateDisplayTime();
    } else {
        m_bCountUp = true;
        emit updateUpStartPause(true);
        m_mirrorTimer.restart();
        m_prevMirrorMs = 0;
    }
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        if (m_timers.isSelected(row))
            qCDebug(lcControl, "timerModel[%d] is selected, %s", row,
                    qPrintable(m_timers.timerIpAddr(row)));
    }
    sendToSelected(Protocol::countUpRun(m_bCountUp));
}

void HandleGui::handleTimeModeButton()
{
    m_bCountUp = false;
    m_bCountDn = false;
    m_mirrorTime = QTime(0, 0);
    emit updateUpStartPause(false);
    emit updateDnStartPause(false);
    updateDisplayTime();
    sendToSelected(Protocol::timeOfDayMode());
}

void HandleGui::handleSetCountDnModeButton(int mode, int days, int hours, int mins, int secs,
                                           int bAlarmEnabled, int alarmDuration)
{
    m_bCountUp = false;
    m_bCountDn = false;
    m_mirrorTime = QTime(0, 0);
    m_days = days;
    updateDisplayTime();
    m_displayMode = 0;
    sendToSelected(
        Protocol::setCountDownMode(mode, days, hours, mins, secs, bAlarmEnabled, alarmDuration));
}

void HandleGui::handleCountDnResetButton(int mode, int days, int hours, int mins, int secs,
                                         int bAlarmEnabled, int alarmDuration)
{
    if (m_bCountDn)
        return;
    // The preset dialog allows 99 hours and 60 minutes or seconds; the displays get the values as
    // chosen, and the mirror carries the excess into days, hours and minutes so it shows and
    // counts the same duration.
    ClockArithmetic::normalise(days, hours, mins, secs, m_mirrorTime, m_days);
    m_bProgramActive = false;
    m_bFirstStepSet = false;
    m_displayMode = mode;
    updateDisplayTime();
    sendToSelected(
        Protocol::countDownReset(mode, days, hours, mins, secs, bAlarmEnabled, alarmDuration));
}

void HandleGui::handleCountDnStartButton()
{
    if (m_bCountDn) {
        m_bCountDn = false;
        emit updateDnStartPause(false);
        catchUpDown(m_days);
        updateDisplayTime();
    } else {
        if (m_mirrorTime == QTime(0, 0))
            return;
        m_bCountDn = true;
        emit updateDnStartPause(true);
        m_mirrorTimer.restart();
        m_prevMirrorMs = 0;
    }
    sendToSelected(Protocol::countDownRun(m_bCountDn));
}

// ---- program editing ----

void HandleGui::handleProgChange(int num, QString name)
{
    m_programEditing.changeProgram(num, name);
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

// ---- generated programs ----

void HandleGui::handleTabataResetButton(int work, int rest, int kount, bool relay)
{
    if (m_bCountDn || m_bCountUp)
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
    m_bProgramActive = false;
    m_bFirstStepSet = false;
    if (m_bCountDn || m_bCountUp)
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

// ---- programs: filled in by transfer and run control ----

void HandleGui::handleProgEntry() {}
void HandleGui::handleProgResetButton() {}
void HandleGui::handleProgStartButton() {}
void HandleGui::handleGetProgram() {}
void HandleGui::handleSaveProgram() {}
void HandleGui::handleSaveAllProgramsButton() {}
void HandleGui::handleGetAllProgramsButton() {}
