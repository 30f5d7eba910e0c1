#pragma once

#include "simdisplaystate.h"

#include <QObject>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>

class QNetworkDatagram;

namespace qbsim {

class DatagramLog;

// Binds a simulator socket to address:7372 with address reuse, so that displays, the broadcast
// listener and a controller on any address can share the port.
bool bindDisplayPort(QUdpSocket &socket, const QHostAddress &address, QString *error);

// How replies fare on their way back: a share of them lost, all of them late.
class ReplyPolicy
{
public:
    ReplyPolicy(double lossPercent, quint32 seed, int delayMs);

    bool drawLoss();
    int delayMs() const { return m_delayMs; }

private:
    double m_lossPercent;
    QRandomGenerator m_random;
    int m_delayMs;
};

// One simulated display on the wire: its own socket on its own loopback address, answering every
// datagram that reaches it, directly or through the broadcast listener, from that socket.
// A silent display hears and logs datagrams but neither acts on them nor answers: it stands for
// a display that is switched off or cut off.
class SimDisplay : public QObject
{
    Q_OBJECT

public:
    SimDisplay(int number, const DisplayIdentity &identity, bool silent, const TimeSource &time,
               ReplyPolicy &policy, DatagramLog &log, const ProgramStore &programs,
               QObject *parent = nullptr);

    bool bind(QString *error);
    void receive(const QNetworkDatagram &datagram);

    int number() const { return m_number; }
    bool isSilent() const { return m_silent; }
    const DisplayIdentity &identity() const { return m_state.identity(); }
    ClockReading reading() const { return m_state.reading(); }
    // Colours of the digits: those of the shown program's last colour line, if any.
    DigitColours colours() const;
    // What the shown program is doing, if one is shown.
    std::optional<RunStatus> program() const;

private:
    void readDatagrams();
    void logClockEvents();
    void scheduleClockEvents();
    void sendReply(const QByteArray &reply, const QString &to, const QHostAddress &address,
                   quint16 port);
    void writeReply(const QByteArray &reply, const QString &to, const QHostAddress &address,
                    quint16 port);
    QString ownEndpoint() const;

    const int m_number;
    const bool m_silent;
    const TimeSource &m_time;
    ReplyPolicy &m_policy;
    DatagramLog &m_log;
    DisplayState m_state;
    QUdpSocket m_socket;
    QTimer m_clockEventTimer;
};

} // namespace qbsim
