#pragma once

#include <QUdpSocket>

class QSignalSpy;

// What the controller handed to the link for an immediate send, one "address hex" per packet,
// from a spy on UDPCommThread::UDPTx.
QStringList sentPackets(const QSignalSpy &udpTx);

// The display addresses in the controller's settings store, as a restart would load them.
QStringList storedDisplayList();

// A 40-byte status reply as a display would send it.
QByteArray statusReply(const QString &address, const QString &name, int hours, int minutes,
                       int seconds, int hundredths, int statusWord, int days = 0, int subFormat = 0,
                       int typeCode = 1);

// A display stand-in on one loopback address, port 7372, living in the test's thread. It keeps
// every datagram with its arrival time. One that answers sends a status reply to a status query
// and an acknowledgement to anything else.
class ScriptedDisplay : public QObject
{
    Q_OBJECT
public:
    struct Receipt
    {
        qint64 ms; // on the monotonic clock, as QDeadlineTimer::current().deadline() reads it
        QByteArray payload;
    };
    explicit ScriptedDisplay(const QString &address, bool answers = false);

    const QList<Receipt> &received() const { return m_received; }
    // Sends from this display's address to the link's socket on 127.0.0.1:7372.
    void reply(const QByteArray &payload);

private:
    void readPending();

    const QString m_address;
    const bool m_answers;
    QUdpSocket m_socket;
    QList<Receipt> m_received;
};
