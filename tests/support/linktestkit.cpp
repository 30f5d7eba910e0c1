#include "linktestkit.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QSettings>
#include <QSignalSpy>
#include <QtEndian>

QStringList sentPackets(const QSignalSpy &udpTx)
{
    QStringList sent;
    for (const QList<QVariant> &args : udpTx)
        sent << args.at(2).toString() + QLatin1Char(' ') + args.at(0).toByteArray().toHex();
    return sent;
}

QStringList storedDisplayList()
{
    QSettings store(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
    QStringList addresses;
    for (int i = 0, size = store.beginReadArray(QStringLiteral("timerlist")); i < size; ++i) {
        store.setArrayIndex(i);
        addresses << store.value(QStringLiteral("IP")).toString();
    }
    return addresses;
}

QByteArray statusReply(const QString &address, const QString &name, int hours, int minutes,
                       int seconds, int hundredths, int statusWord, int days, int subFormat,
                       int typeCode)
{
    QByteArray reply(40, '\0');
    reply[0] = char(typeCode);
    qToBigEndian(QHostAddress(address).toIPv4Address(), reply.data() + 1);
    const char fields[] = {char(hours),      char(minutes),
                           char(seconds),    char(hundredths),
                           char(statusWord), char(statusWord >> 8),
                           char(days),       char(((days >> 8) << 5) | (subFormat & 0x1F))};
    reply.replace(15, sizeof fields, fields, sizeof fields);
    return reply.replace(24, 15, name.toLatin1().leftJustified(15, '\0', true));
}

ScriptedDisplay::ScriptedDisplay(const QString &address, bool answers)
    : m_address(address), m_answers(answers)
{
    m_socket.bind(QHostAddress(address), 7372,
                  QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    connect(&m_socket, &QUdpSocket::readyRead, this, &ScriptedDisplay::readPending);
}

void ScriptedDisplay::reply(const QByteArray &payload)
{
    m_socket.writeDatagram(payload, QHostAddress(QStringLiteral("127.0.0.1")), 7372);
}

void ScriptedDisplay::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QByteArray payload = m_socket.receiveDatagram().data();
        m_received.append({QDeadlineTimer::current().deadline(), payload});
        if (m_answers)
            reply(quint8(payload.at(0)) == 0xA1 ? statusReply(m_address, "Wall", 0, 0, 0, 0, 0)
                                                : "A");
    }
}
