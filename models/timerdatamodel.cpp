#include "models/timerdatamodel.h"

#include "link/logging.h"

TimerDataModel::TimerDataModel(QObject *parent) : QAbstractListModel(parent) {}

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
    const TimerData &timer = *m_timers[index.row()];
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
    TimerData &timer = *m_timers[index.row()];
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
            {TimeStringRole, "timestring"}};
}

void TimerDataModel::addOrUpdateTimer(const TimerData &rec)
{
    for (int row = 0; row < rowCount(); ++row) {
        if (m_timers[row]->ipaddr != rec.ipaddr)
            continue;
        const QModelIndex at = index(row);
        setData(at, rec.name, NameRole);
        setData(at, rec.time, TimeRole);
        setData(at, rec.day, DayRole);
        setData(at, rec.format, FormatRole);
        setData(at, rec.subFormat, SubFormatRole);
        return;
    }
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    m_timers.push_back(std::make_unique<TimerData>(rec));
    ++m_addressRevision;
    endInsertRows();
    emit dataUpdated();
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

bool TimerDataModel::isSelected(int row) const
{
    return isRow(row) && m_timers[row]->selected;
}

bool TimerDataModel::setSelected(int row, bool on)
{
    if (!isRow(row))
        return false;
    m_timers[row]->selected = on;
    // Views take a row's selected look from this role, also for rows they create anew, so
    // they must hear of the change; the stored list does not depend on it.
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {SelectedRole});
    return true;
}

QString TimerDataModel::timerName(int row) const
{
    return isRow(row) ? m_timers[row]->name : QString();
}

QString TimerDataModel::timerIpAddr(int row) const
{
    return isRow(row) ? m_timers[row]->ipaddr : QString();
}

QStringList TimerDataModel::addresses() const
{
    QStringList list;
    list.reserve(rowCount());
    for (const auto &timer : m_timers)
        list << timer->ipaddr;
    return list;
}

QString TimerDataModel::timeString(const TimerData &rec)
{
    return rec.timeString();
}
