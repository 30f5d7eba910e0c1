#include "models/timerdatamodel.h"

#include "link/logging.h"

#include <QHostAddress>
#include <optional>

namespace {

// The address as a number, when it is a dotted IPv4 address.
std::optional<quint32> ipv4(const QString &address)
{
    bool isIPv4 = false;
    const quint32 ip = QHostAddress(address).toIPv4Address(&isIPv4);
    return isIPv4 ? std::optional<quint32>(ip) : std::nullopt;
}

} // namespace

bool TimerDataModel::isHostAddress(quint32 ip)
{
    return ip != 0 && (ip >> 28) != 0xE && (ip >> 28) != 0xF;
}

TimerDataModel::TimerDataModel(QObject *parent) : QAbstractListModel(parent)
{
    m_clock.start();
}

TimerDataModel::~TimerDataModel() = default;

bool TimerDataModel::isRow(int row) const
{
    return row >= 0 && row < static_cast<int>(m_timers.size());
}

int TimerDataModel::rowCount(const QModelIndex &) const
{
    return static_cast<int>(m_timers.size());
}

QVariant TimerDataModel::data(const QModelIndex &index, int role) const
{
    if (!isRow(index.row()))
        return QVariant();
    const TimerData &timer = m_timers[index.row()];
    switch (role) {
    case NameRole:
        return timer.name;
    case IpAddrRole:
        return timer.ipaddr;
    case TimeRole:
        return timer.time;
    case DayRole:
        return timer.day;
    case FormatRole:
        return timer.format;
    case SelectedRole:
        return timer.selected;
    case TimeStringRole:
        return timer.timeString();
    case StaleRole:
        return timer.isStale();
    case HealthTextRole:
        return timer.healthText();
    default:
        return QVariant();
    }
}

bool TimerDataModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!isRow(index.row())) {
        qCDebug(lcRegistry, "Returning false, index out of range: %d", index.row());
        return false;
    }
    TimerData &timer = m_timers[index.row()];
    switch (role) {
    case NameRole:
        timer.name = value.toString();
        break;
    case IpAddrRole:
        timer.ipaddr = value.toString();
        ++m_addressRevision;
        break;
    case TimeRole:
        timer.setTime(value.toTime());
        break;
    case DayRole:
        timer.day = value.toInt();
        break;
    case FormatRole:
        timer.format = value.toInt();
        break;
    case SelectedRole:
        timer.selected = value.toBool();
        break;
    case AdvanceRole:
        timer.advanceBy(value.toInt());
        break;
    case SubFormatRole:
        timer.subFormat = value.toInt();
        break;
    default:
        break;
    }
    emit dataChanged(index, index);
    emit dataUpdated();
    return true;
}

Qt::ItemFlags TimerDataModel::flags(const QModelIndex &index) const
{
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

QHash<int, QByteArray> TimerDataModel::roleNames() const
{
    return {{NameRole, "name"},
            {IpAddrRole, "ipaddr"},
            {TimeRole, "time"},
            {DayRole, "day"},
            {FormatRole, "format"},
            {SelectedRole, "selected"},
            {TimeStringRole, "timestring"},
            {StaleRole, "stale"},
            {HealthTextRole, "healthtext"}};
}

int TimerDataModel::rowOf(const QString &address) const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (m_timers[row].ipaddr == address)
            return row;
    }
    return -1;
}

bool TimerDataModel::addOrUpdateTimer(const TimerData &rec)
{
    return addOrUpdateAt(rowOf(rec.ipaddr), rec);
}

bool TimerDataModel::addOrUpdateAt(int row, const TimerData &rec)
{
    if (row >= 0) {
        updateRow(row, rec);
        return true;
    }
    if (rowCount() >= kMaxTimers) {
        if (const std::optional<qint64> refused = m_refusalLog.count(m_clock.elapsed()))
            qCWarning(lcRegistry, "Display list full (%d displays): %s not listed (%lld refused)",
                      kMaxTimers, qUtf8Printable(rec.ipaddr), *refused);
        return false;
    }
    row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_timers.push_back(rec);
    ++m_addressRevision;
    endInsertRows();
    emit dataUpdated();
    return true;
}

// One notification per reply: of the clock alone when that is all a reply changes (the display
// still counts as before), so that views and the doors can tell a refreshed clock from a change.
void TimerDataModel::updateRow(int row, const TimerData &rec)
{
    TimerData &timer = m_timers[row];
    const bool clockOnly =
        timer.name == rec.name && timer.format == rec.format && timer.subFormat == rec.subFormat;
    timer.name = rec.name;
    timer.setTime(rec.time);
    timer.day = rec.day;
    timer.format = rec.format;
    timer.subFormat = rec.subFormat;
    const QModelIndex at = index(row);
    if (clockOnly)
        emit dataChanged(at, at, {TimeRole, DayRole, TimeStringRole});
    else
        emit dataChanged(at, at);
    emit dataUpdated();
}

bool TimerDataModel::noteAnswer(const QString &address, qint64 atMs)
{
    const int row = rowOf(address);
    if (row < 0)
        return false;
    TimerData &timer = m_timers[row];
    timer.lastAnswerMs = atMs;
    if (timer.isStale()) {
        timer.missedCommand.clear();
        timer.missedAtMs = 0;
        healthChanged(row);
    }
    return true;
}

bool TimerDataModel::noteMissed(const QString &address, const QString &command, qint64 atMs)
{
    const int row = rowOf(address);
    if (row < 0)
        return false;
    TimerData &timer = m_timers[row];
    timer.missedCommand = command;
    timer.missedAtMs = atMs;
    healthChanged(row);
    return true;
}

void TimerDataModel::healthChanged(int row)
{
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {StaleRole, HealthTextRole});
}

const TimerData *TimerDataModel::timer(const QString &address) const
{
    return timerAt(rowOf(address));
}

bool TimerDataModel::isListable(const QString &address, const QString &sourceIP) const
{
    const std::optional<quint32> ip = ipv4(address);
    if (!ip || !isHostAddress(*ip))
        return false;
    return !m_queryTargets.contains(*ip) || ipv4(sourceIP) == ip;
}

bool TimerDataModel::addReportedTimer(const TimerData &rec, const QString &sourceIP)
{
    const int row = rowOf(rec.ipaddr);
    if (row < 0 && !isListable(rec.ipaddr, sourceIP))
        return false;
    return addOrUpdateAt(row, rec);
}

void TimerDataModel::noteQueryTarget(const QString &address)
{
    if (const std::optional<quint32> ip = ipv4(address))
        m_queryTargets.insert(*ip);
}

void TimerDataModel::removeTimer(int row)
{
    if (!isRow(row))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_timers.erase(m_timers.begin() + row);
    ++m_addressRevision;
    endRemoveRows();
}

void TimerDataModel::advanceClocks(int ms)
{
    int runStart = -1;
    for (int row = 0; row < rowCount(); ++row) {
        TimerData &timer = m_timers[row];
        // A stale display's clock stands where it was last vouched for.
        const qint64 shownBefore = timer.shownStep();
        if (!timer.isStale())
            timer.advanceBy(ms);
        const bool changed = timer.shownStep() != shownBefore;
        if (changed && runStart < 0)
            runStart = row;
        if (!changed && runStart >= 0) {
            timeTextsChanged(runStart, row - 1);
            runStart = -1;
        }
    }
    if (runStart >= 0)
        timeTextsChanged(runStart, rowCount() - 1);
    emit dataUpdated();
}

void TimerDataModel::timeTextsChanged(int first, int last)
{
    emit dataChanged(index(first), index(last), {TimeStringRole});
}

bool TimerDataModel::isSelected(int row) const
{
    return isRow(row) && m_timers[row].selected;
}

bool TimerDataModel::setSelected(int row, bool on)
{
    if (!isRow(row))
        return false;
    m_timers[row].selected = on;
    // Views take a row's selected look from this role, also for rows they create anew, so
    // they must hear of the change; the stored list does not depend on it.
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {SelectedRole});
    return true;
}

QString TimerDataModel::timerName(int row) const
{
    return isRow(row) ? m_timers[row].name : QString();
}

QString TimerDataModel::timerIpAddr(int row) const
{
    return isRow(row) ? m_timers[row].ipaddr : QString();
}

QStringList TimerDataModel::addresses() const
{
    QStringList list;
    list.reserve(rowCount());
    for (const auto &timer : m_timers)
        list << timer.ipaddr;
    return list;
}

QString TimerDataModel::timeString(const TimerData &rec)
{
    return rec.timeString();
}
