#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class TimerDataModel;

// Hands packets to the link for the displays of the list: to every selected one, rows from 0
// upward, or to the first selected one only.
class DisplaySender
{
public:
    // Queues one packet to an address on the displays' port, with a first-send delay and an extra
    // reply wait in ms.
    using Send = std::function<void(const QByteArray &packet, const QString &addr, int firstDelay,
                                    int extraWait)>;

    DisplaySender(const TimerDataModel &timers, Send send);

    void toAddress(const QString &addr, const QByteArray &packet, int firstDelay = 0,
                   int extraWait = 0) const;
    void toSelected(const QByteArray &packet, int firstDelay = 0, int extraWait = 0) const;
    // The first selected display's address; a null string when none is selected.
    QString firstSelected() const;

private:
    QStringList selectedAddresses() const; // in row order
    const TimerDataModel &m_timers;
    Send m_send;
};
