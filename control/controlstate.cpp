#include "control/controlstate.h"

#include "controller/handlegui.h"
#include "controller/windowstore.h"
#include "models/programdatamodel.h"
#include "models/programfile.h"
#include "models/timerdatamodel.h"

#include <QDateTime>
#include <algorithm>

namespace {

QString caption(bool running)
{
    return running ? QStringLiteral("Pause") : QStringLiteral("Start");
}

QString modeName(MirrorClock::Mode mode)
{
    switch (mode) {
    case MirrorClock::Mode::Clock:
        return QStringLiteral("clock");
    case MirrorClock::Mode::CountUp:
        return QStringLiteral("countup");
    case MirrorClock::Mode::CountDown:
        return QStringLiteral("countdown");
    case MirrorClock::Mode::None:
        break;
    }
    return QStringLiteral("none");
}

QString rowModeName(const TimerData &timer)
{
    switch (timer.mode()) {
    case 0:
        return QStringLiteral("clock");
    case 1:
        return QStringLiteral("countup");
    case 2:
        return QStringLiteral("countdown");
    case 3:
    case 4:
        return QStringLiteral("program");
    default:
        return QStringLiteral("other");
    }
}

QJsonValue isoTime(qint64 msSinceEpoch)
{
    if (msSinceEpoch == 0)
        return QJsonValue::Null;
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC).toString(Qt::ISODateWithMs);
}

const QString kTime = QStringLiteral("time");
const QString kLastAnswer = QStringLiteral("lastAnswer");

// The part of a row that is told at once when it changes.
QJsonObject withoutClock(QJsonObject row)
{
    row.remove(kTime);
    row.remove(kLastAnswer);
    return row;
}

} // namespace

ControlState::ControlState(HandleGui &gui, TimerDataModel &timers, ProgramDataModel &lines,
                           QObject *parent)
    : QObject(parent), m_gui(gui), m_timers(timers), m_lines(lines)
{
    m_clock.start();
    for (QTimer *later : {&m_mirrorLater, &m_displaysLater, &m_programLater})
        later->setSingleShot(true);
    connect(&m_mirrorLater, &QTimer::timeout, this, &ControlState::mirrorTextChanged);
    connect(&m_displaysLater, &QTimer::timeout, this, &ControlState::flushDisplays);
    connect(&m_programLater, &QTimer::timeout, this, &ControlState::flushProgram);
    m_sentMirror = mirror();
    m_sentProgram = program();
    m_sentCaptions = captions();
    connectSources();
}

void ControlState::connectSources()
{
    // The count-up, count-down and interval texts are always the same text.
    connect(&m_gui, &HandleGui::updateUpTime, this, &ControlState::mirrorTextChanged);
    connect(&m_gui, &HandleGui::updateUpTimeFormat, this, &ControlState::mirrorTextChanged);
    connect(&m_gui, &HandleGui::updateUpStartPause, this, [this](const QVariant &running) {
        m_upRunning = running.toBool();
        emitCaptions();
    });
    connect(&m_gui, &HandleGui::updateDnStartPause, this, [this](const QVariant &running) {
        m_dnRunning = running.toBool();
        emitCaptions();
    });
    connect(&m_gui, &HandleGui::updateProgStartPause, this, [this](const QVariant &running) {
        m_progRunning = running.toBool();
        emitCaptions();
        programChanged();
    });
    connect(&m_gui, &HandleGui::updateProgNameCombo, this, &ControlState::programChanged);
    connect(&m_gui, &HandleGui::updatePortInUse, this,
            [this] { emit changed(QStringLiteral("link"), link()); });

    // A display found is told at once; the list follows within a second.
    connect(&m_timers, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { rowsChanged(first, last, {}); });
    connect(&m_timers, &QAbstractItemModel::rowsRemoved, this, &ControlState::listChanged);
    connect(&m_timers, &QAbstractItemModel::modelReset, this, &ControlState::listChanged);
    connect(&m_timers, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &first, const QModelIndex &last, const QVector<int> &roles) {
                rowsChanged(first.row(), last.row(), roles);
            });
    connect(&m_gui.deliveries(), &Deliveries::missed, this, &ControlState::displayMissed);

    const auto lines = [this] { programChanged(); };
    connect(&m_lines, &QAbstractItemModel::rowsInserted, this, lines);
    connect(&m_lines, &QAbstractItemModel::rowsRemoved, this, lines);
    connect(&m_lines, &QAbstractItemModel::modelReset, this, lines);
    connect(&m_lines, &QAbstractItemModel::dataChanged, this, lines);
}

QJsonObject ControlState::snapshot() const
{
    return {{QStringLiteral("displays"), displays()}, {QStringLiteral("mirror"), mirror()},
            {QStringLiteral("captions"), captions()}, {QStringLiteral("program"), program()},
            {QStringLiteral("presets"), presets()},   {QStringLiteral("link"), link()}};
}

QJsonArray ControlState::displays() const
{
    QJsonArray list;
    for (int row = 0; row < m_timers.rowCount(); ++row)
        list.append(display(row));
    return list;
}

QJsonObject ControlState::display(int row) const
{
    const TimerData *timer = m_timers.timerAt(row);
    if (!timer)
        return {};
    QJsonValue missed = QJsonValue::Null;
    if (timer->isStale())
        missed = QJsonObject{{QStringLiteral("command"), timer->missedCommand},
                             {QStringLiteral("at"), isoTime(timer->missedAtMs)}};
    return {{QStringLiteral("address"), timer->ipaddr},
            {QStringLiteral("name"), timer->name},
            {QStringLiteral("selected"), timer->selected},
            {kTime, timer->timeString()},
            {QStringLiteral("mode"), rowModeName(*timer)},
            {QStringLiteral("running"), timer->isRunning()},
            {kLastAnswer, isoTime(timer->lastAnswerMs)},
            {QStringLiteral("missed"), missed}};
}

QJsonObject ControlState::mirror() const
{
    const MirrorClock &clock = m_gui.mirror();
    const bool program = m_gui.programActive();
    QString counting = QStringLiteral("none");
    if (clock.countUp)
        counting = QStringLiteral("up");
    else if (clock.countDn)
        counting = QStringLiteral("down");
    return {{QStringLiteral("text"), m_gui.mirrorText()},
            {QStringLiteral("counting"), counting},
            {QStringLiteral("mode"), program ? QStringLiteral("program") : modeName(clock.mode)},
            {QStringLiteral("format"), clock.displayMode}};
}

QJsonObject ControlState::captions() const
{
    return {{QStringLiteral("countUp"), caption(m_upRunning)},
            {QStringLiteral("countDown"), caption(m_dnRunning)},
            {QStringLiteral("program"), caption(m_progRunning)}};
}

QJsonObject ControlState::program() const
{
    const ProgramSlots &programSlots = m_gui.programSlots();
    QJsonArray lines;
    int runningStep = 0;
    for (int row = 0; row < m_lines.lines().size(); ++row) {
        const ProgramLine &line = m_lines.lines().at(row);
        lines.append(lineJson(row, line));
        if (line.selected && runningStep == 0)
            runningStep = row + 1;
    }
    const int open = programSlots.currentProgram();
    return {{QStringLiteral("open"), open + 1},
            {QStringLiteral("name"), programSlots.programNames().value(open)},
            {QStringLiteral("names"), QJsonArray::fromStringList(programSlots.programNames())},
            {QStringLiteral("lines"), lines},
            {QStringLiteral("runningStep"), runningStep},
            {QStringLiteral("active"), m_gui.programActive()},
            {QStringLiteral("running"), m_progRunning}};
}

QJsonObject ControlState::link() const
{
    return {{QStringLiteral("portInUse"), m_gui.portInUse()}};
}

QJsonArray ControlState::presets()
{
    QJsonArray list;
    for (int n = 1; n <= WindowStore::kPresets; ++n) {
        const WindowStore::Preset p = WindowStore::preset(n);
        list.append(QJsonObject{{QStringLiteral("preset"), n},
                                {QStringLiteral("name"), p.name},
                                {QStringLiteral("format"), p.mode},
                                {QStringLiteral("days"), p.day},
                                {QStringLiteral("hours"), p.hour},
                                {QStringLiteral("minutes"), p.min},
                                {QStringLiteral("seconds"), p.sec},
                                {QStringLiteral("alarm"), p.alarm ? p.alarmTime : 0}});
    }
    return list;
}

QJsonObject ControlState::lineJson(int row, const ProgramLine &line)
{
    // A program file's names and forms, so that a shown line reads as the same line in a file.
    QJsonObject json = ProgramFile::shownLine(line);
    json.insert(QStringLiteral("step"), row + 1);
    json.insert(QStringLiteral("running"), line.selected);
    return json;
}

// ---- changes ----

void ControlState::mirrorTextChanged()
{
    const QJsonObject now = mirror();
    if (now == m_sentMirror)
        return;
    const qint64 waited = m_clock.elapsed() - m_mirrorSentMs;
    if (waited < kMirrorIntervalMs) {
        if (!m_mirrorLater.isActive())
            m_mirrorLater.start(int(kMirrorIntervalMs - waited));
        return;
    }
    m_sentMirror = now;
    m_mirrorSentMs = m_clock.elapsed();
    emit changed(QStringLiteral("mirror"), now);
}

void ControlState::emitCaptions()
{
    const QJsonObject now = captions();
    if (now != m_sentCaptions) {
        m_sentCaptions = now;
        emit changed(QStringLiteral("captions"), now);
    }
    // A pause may leave the text as it was while the counting stops.
    mirrorTextChanged();
}

void ControlState::rowsChanged(int first, int last, const QVector<int> &roles)
{
    // Clocks alone are told with the list; anything else is told of the row, if it changed.
    static const QVector<int> clockRoles = {TimerDataModel::TimeRole, TimerDataModel::DayRole,
                                            TimerDataModel::TimeStringRole};
    const bool clockOnly =
        !roles.isEmpty() &&
        std::all_of(roles.begin(), roles.end(), [](int role) { return clockRoles.contains(role); });
    if (!clockOnly) {
        for (int row = first; row <= last; ++row) {
            const QJsonObject now = display(row);
            QJsonObject &sent = m_sentRows[now.value(QStringLiteral("address")).toString()];
            const QJsonObject told = withoutClock(now);
            if (told == sent)
                continue;
            sent = told;
            emit changed(QStringLiteral("display"), now);
        }
    }
    listChanged();
}

void ControlState::listChanged()
{
    if (m_displaysLater.isActive())
        return;
    const qint64 waited = m_clock.elapsed() - m_displaysSentMs;
    m_displaysLater.start(int(qMax<qint64>(0, kDisplayTimesIntervalMs - waited)));
}

void ControlState::flushDisplays()
{
    m_displaysSentMs = m_clock.elapsed();
    const QJsonArray list = displays();
    m_sentRows.clear();
    for (const QJsonValue &row : list)
        m_sentRows.insert(row[QStringLiteral("address")].toString(), withoutClock(row.toObject()));
    emit changed(QStringLiteral("displays"), {{QStringLiteral("displays"), list}});
}

void ControlState::displayMissed(const QString &addr, const QString &command, qint64 atMs)
{
    const TimerData *timer = m_timers.timer(addr);
    emit changed(QStringLiteral("delivery"),
                 {{QStringLiteral("address"), addr},
                  {QStringLiteral("name"), timer ? timer->name : QString()},
                  {QStringLiteral("command"), command},
                  {QStringLiteral("at"), isoTime(atMs)},
                  {QStringLiteral("outcome"), QStringLiteral("missed")}});
}

void ControlState::programChanged()
{
    if (!m_programLater.isActive())
        m_programLater.start(0);
}

void ControlState::flushProgram()
{
    const QJsonObject now = program();
    if (now == m_sentProgram)
        return;
    m_sentProgram = now;
    emit changed(QStringLiteral("program"), now);
}
