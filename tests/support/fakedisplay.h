#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QUdpSocket>

// A display stand-in bound to one loopback address on port 7372: it records every datagram it
// receives and answers only when told to.
class FakeDisplay : public QObject
{
    Q_OBJECT
public:
    explicit FakeDisplay(const QString &address, QObject *parent = nullptr);

    bool isBound() const;
    QString address() const { return m_address; }
    QList<QByteArray> received() const { return m_received; }
    void clear() { m_received.clear(); }
    // Sends from this display's address to the controller's socket on 127.0.0.1:7372.
    void reply(const QByteArray &payload);

    // A 40-byte status reply as a display would send it.
    static QByteArray statusReply(const QString &address, const QString &name, int hours,
                                  int minutes, int seconds, int hundredths, int statusWord,
                                  int days = 0, int subFormat = 0, int typeCode = 1);

private:
    QString m_address;
    QUdpSocket m_socket;
    QList<QByteArray> m_received;
};
