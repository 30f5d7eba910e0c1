#include "fakedisplay.h"

#include <QNetworkDatagram>

FakeDisplay::FakeDisplay(const QString &address, QObject *parent)
    : QObject(parent), m_address(address)
{
    m_socket.bind(QHostAddress(address), 7372,
                  QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
        while (m_socket.hasPendingDatagrams())
            m_received << m_socket.receiveDatagram().data();
    });
}

bool FakeDisplay::isBound() const
{
    return m_socket.state() == QAbstractSocket::BoundState;
}

void FakeDisplay::reply(const QByteArray &payload)
{
    m_socket.writeDatagram(payload, QHostAddress(QStringLiteral("127.0.0.1")), 7372);
}

QByteArray FakeDisplay::statusReply(const QString &address, const QString &name, int hours,
                                    int minutes, int seconds, int hundredths, int statusWord,
                                    int days, int subFormat, int typeCode)
{
    QByteArray reply(40, '\0');
    reply[0] = char(typeCode);
    const QStringList parts = address.split(QLatin1Char('.'));
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        reply[1 + i] = char(parts.at(i).toInt());
    reply[15] = char(hours);
    reply[16] = char(minutes);
    reply[17] = char(seconds);
    reply[18] = char(hundredths);
    reply[19] = char(statusWord & 0xFF);
    reply[20] = char((statusWord >> 8) & 0xFF);
    reply[21] = char(days & 0xFF);
    reply[22] = char(((days >> 8) << 5) | (subFormat & 0x1F));
    const QByteArray latin = name.toLatin1().left(15);
    for (int i = 0; i < latin.size(); ++i)
        reply[24 + i] = latin.at(i);
    return reply;
}
