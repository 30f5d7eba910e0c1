#include "controller/displaysender.h"

#include "models/timerdatamodel.h"

DisplaySender::DisplaySender(const TimerDataModel &timers, Send send)
    : m_timers(timers), m_send(std::move(send))
{
}

void DisplaySender::toAddress(const QString &addr, const QByteArray &packet, int firstDelay,
                              int extraWait) const
{
    m_send(packet, addr, firstDelay, extraWait);
}

void DisplaySender::toSelected(const QByteArray &packet, int firstDelay, int extraWait) const
{
    for (const QString &addr : selectedAddresses())
        m_send(packet, addr, firstDelay, extraWait);
}

QString DisplaySender::firstSelected() const
{
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        if (m_timers.isSelected(row))
            return m_timers.timerIpAddr(row);
    }
    return QString();
}

QStringList DisplaySender::selectedAddresses() const
{
    QStringList addresses;
    for (int row = 0; row < m_timers.rowCount(); ++row) {
        if (m_timers.isSelected(row))
            addresses << m_timers.timerIpAddr(row);
    }
    return addresses;
}
