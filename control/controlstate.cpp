#include "control/controlstate.h"

#include "controller/handlegui.h"
#include "controller/windowstore.h"
#include "models/programdatamodel.h"
#include "models/programfile.h"
#include "models/timerdatamodel.h"

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

    const auto structure = [this] { displaysChanged(false); };
    connect(&m_timers, &QAbstractItemModel::rowsInserted, this, structure);
    connect(&m_timers, &QAbstractItemModel::rowsRemoved, this, structure);
    connect(&m_timers, &QAbstractItemModel::modelReset, this, structure);
    connect(&m_timers, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &, const QModelIndex &, const QVector<int> &roles) {
                displaysChanged(roles == QVector<int>{TimerDataModel::TimeStringRole});
            });

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
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        const QModelIndex at = m_timers.index(row);
        list.append(QJsonObject{
            {QStringLiteral("address"), m_timers.timerIpAddr(row)},
            {QStringLiteral("name"), m_timers.timerName(row)},
            {QStringLiteral("selected"), m_timers.isSelected(row)},
            {QStringLiteral("time"), m_timers.data(at, TimerDataModel::TimeStringRole).toString()},
        });
    }
    return list;
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
    emit changed(QStringLiteral("captions"), captions());
    // A pause may leave the text as it was while the counting stops.
    mirrorTextChanged();
}

void ControlState::displaysChanged(bool timesOnly)
{
    m_displaysStructureDirty = m_displaysStructureDirty || !timesOnly;
    if (m_displaysStructureDirty) {
        m_displaysLater.start(0);
        return;
    }
    if (!m_displaysLater.isActive()) {
        const qint64 waited = m_clock.elapsed() - m_displaysSentMs;
        m_displaysLater.start(int(qMax<qint64>(0, kDisplayTimesIntervalMs - waited)));
    }
}

void ControlState::flushDisplays()
{
    m_displaysStructureDirty = false;
    m_displaysSentMs = m_clock.elapsed();
    emit changed(QStringLiteral("displays"), {{QStringLiteral("displays"), displays()}});
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
