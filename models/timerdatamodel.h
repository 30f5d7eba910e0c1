#pragma once

#include "models/timerdata.h"

#include "link/logthrottle.h"

#include <QAbstractListModel>
#include <QElapsedTimer>
#include <QSet>
#include <vector>

// The list of known displays, in the order they were found, keyed by address. Anyone on the
// network can send a status reply, so the list is bounded and lists only addresses that a
// display can have.
class TimerDataModel : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int kMaxTimers = 1000;

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
        StaleRole,
        HealthTextRole,
    };
    Q_ENUM(TimerDataRoles)

    explicit TimerDataModel(QObject *parent = nullptr);
    ~TimerDataModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Updates the row with rec's address, or appends one while the list has room; true when
    // rec is listed.
    bool addOrUpdateTimer(const TimerData &rec);
    // The same for an address reported in a status reply that came from sourceIP: an address
    // not listed yet joins only when a display can have it, which rules out 0.0.0.0, multicast
    // and reserved addresses and a discovery query's destination that the reply does not come
    // from (a broadcast address; a manually added display answers from its own address).
    bool addReportedTimer(const TimerData &rec, const QString &sourceIP);
    // An address a discovery query was sent to.
    void noteQueryTarget(const QString &address);
    void removeTimer(int row);
    // The tick's advance of every row's clock by ms. Views hear only of the rows whose shown
    // time text changed, as TimeStringRole changes, one notification per run of such rows:
    // with a thousand rows listed a notification for each row would cost the window more than
    // the tick's whole budget. Then dataUpdated, once.
    void advanceClocks(int ms);
    // A display's answer to anything, and a command or query it missed (its resends ran out),
    // by the address it was sent to; false when no row has that address. An answer clears a
    // miss. Views hear of a change of health only, not of every answer.
    bool noteAnswer(const QString &address, qint64 atMs);
    bool noteMissed(const QString &address, const QString &command, qint64 atMs);
    // The row with that address, or null.
    const TimerData *timer(const QString &address) const;
    const TimerData *timerAt(int row) const { return isRow(row) ? &m_timers[row] : nullptr; }

    bool isSelected(int row) const;
    bool setSelected(int row, bool on);
    QString timerName(int row) const;
    QString timerIpAddr(int row) const;
    QStringList addresses() const;
    static QString timeString(const TimerData &rec);
    // 0.0.0.0, multicast 224.0.0.0/4 and reserved 240.0.0.0/4 (with 255.255.255.255) name no
    // host: no display has them.
    static bool isHostAddress(quint32 ip);

    // Grows whenever the set or order of addresses may have changed, so the stored list is
    // rewritten only when there is something new to store.
    quint64 addressRevision() const { return m_addressRevision; }

signals:
    void dataUpdated();

private:
    bool isRow(int row) const;
    int rowOf(const QString &address) const;
    // Updates the row, or appends rec when row is -1 and the list has room.
    bool addOrUpdateAt(int row, const TimerData &rec);
    void updateRow(int row, const TimerData &rec);
    void healthChanged(int row);
    bool isListable(const QString &address, const QString &sourceIP) const;
    void timeTextsChanged(int first, int last);

    // Side by side in memory: the tick walks every row, and a thousand rows apart on the heap
    // would cost it a cache miss each.
    std::vector<TimerData> m_timers;
    quint64 m_addressRevision = 0;
    QSet<quint32> m_queryTargets;
    QElapsedTimer m_clock;
    LogThrottle m_refusalLog;
};
