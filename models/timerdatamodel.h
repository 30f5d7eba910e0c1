#pragma once

#include "models/timerdata.h"

#include <QAbstractListModel>
#include <memory>
#include <vector>

// The list of known displays, in the order they were found, keyed by address.
class TimerDataModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum TimerDataRoles {
        NameRole = Qt::UserRole + 1,
        IpAddrRole,
        TimeRole,
        DayRole,
        FormatRole,
        SelectedRole,
        AdvanceRole,
        SubFormatRole,
        TimeStringRole,
    };
    Q_ENUM(TimerDataRoles)

    explicit TimerDataModel(QObject *parent = nullptr);
    ~TimerDataModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    void addOrUpdateTimer(const TimerData &rec);
    void removeTimer(int row);
    bool isSelected(int row) const;
    bool setSelected(int row, bool on);
    QString timerName(int row) const;
    QString timerIpAddr(int row) const;
    QStringList addresses() const;
    static QString timeString(const TimerData &rec);

    // Grows whenever the set or order of addresses may have changed, so the stored list is
    // rewritten only when there is something new to store.
    quint64 addressRevision() const { return m_addressRevision; }

signals:
    void dataUpdated();

private:
    bool isRow(int row) const;
    std::vector<std::unique_ptr<TimerData>> m_timers;
    quint64 m_addressRevision = 0;
};
