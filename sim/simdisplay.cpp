#include "simdisplay.h"

#include "simlog.h"
#include "simprotocol.h"
#include "simtext.h"

#include <QJsonObject>
#include <QNetworkDatagram>
#include <QNetworkProxy>

namespace qbsim {

namespace {

QString clockEventName(ClockEvent event)
{
    switch (event) {
    case ClockEvent::ReachedZero:
        return QStringLiteral("count-down-zero");
    case ClockEvent::AlarmOn:
        return QStringLiteral("alarm-on");
    case ClockEvent::AlarmOff:
        break;
    }
    return QStringLiteral("alarm-off");
}

QJsonObject stateFields(const ClockReading &reading, int subFormat)
{
    return {{QStringLiteral("mode"), modeName(reading.mode)},
            {QStringLiteral("running"), reading.running},
            {QStringLiteral("format"), reading.format},
            {QStringLiteral("clock"), clockText(reading, subFormat)},
            {QStringLiteral("alarm"), reading.alarmSounding}};
}

} // namespace

bool bindDisplayPort(QUdpSocket &socket, const QHostAddress &address, QString *error)
{
    socket.setProxy(QNetworkProxy::NoProxy); // loopback only: no system proxy to ask
    if (socket.bind(address, kDisplayPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        return true;
    *error = QStringLiteral("cannot bind %1: %2 (a program holding port %3 without address reuse, "
                            "such as a controller started first, keeps the displays out)")
                 .arg(endpointText(address, kDisplayPort), socket.errorString())
                 .arg(kDisplayPort);
    return false;
}

ReplyPolicy::ReplyPolicy(double lossPercent, quint32 seed, int delayMs)
    : m_lossPercent(lossPercent), m_random(seed), m_delayMs(delayMs)
{
}

bool ReplyPolicy::drawLoss()
{
    return m_random.generateDouble() * 100 < m_lossPercent;
}

SimDisplay::SimDisplay(int number, const DisplayIdentity &identity, bool silent,
                       const TimeSource &time, ReplyPolicy &policy, DatagramLog &log,
                       const ProgramStore &programs, QObject *parent)
    : QObject(parent), m_number(number), m_silent(silent), m_time(time), m_policy(policy),
      m_log(log), m_state(identity, time, programs)
{
    m_clockEventTimer.setSingleShot(true);
    m_clockEventTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_clockEventTimer, &QTimer::timeout, this, [this] {
        logClockEvents();
        scheduleClockEvents();
    });
    connect(&m_socket, &QUdpSocket::readyRead, this, &SimDisplay::readDatagrams);
}

bool SimDisplay::bind(QString *error)
{
    return bindDisplayPort(m_socket, identity().address, error);
}

QString SimDisplay::ownEndpoint() const
{
    return endpointText(identity().address, kDisplayPort);
}

void SimDisplay::readDatagrams()
{
    while (m_socket.hasPendingDatagrams())
        receive(m_socket.receiveDatagram());
}

void SimDisplay::receive(const QNetworkDatagram &datagram)
{
    const QByteArray bytes = datagram.data();
    const QString from = endpointText(datagram.senderAddress(), quint16(datagram.senderPort()));
    const QString to = datagram.destinationAddress().isNull()
                           ? ownEndpoint()
                           : endpointText(datagram.destinationAddress(), kDisplayPort);
    Outcome outcome;
    QJsonObject fields;
    if (m_silent) {
        fields.insert(QStringLiteral("event"), QStringLiteral("silent"));
    } else {
        logClockEvents();
        outcome = m_state.handle(bytes);
        fields = stateFields(reading(), identity().subFormat);
        fields.insert(QStringLiteral("event"), outcome.event);
        if (!outcome.problem.isEmpty())
            fields.insert(QStringLiteral("problem"), outcome.problem);
    }
    if (!bytes.isEmpty())
        fields.insert(QStringLiteral("op"), opcodeText(quint8(bytes.at(0))));
    m_log.datagram(m_number, QStringLiteral("rx"), from, to, bytes, fields);
    if (m_silent)
        return;

    logClockEvents();
    scheduleClockEvents();
    if (!outcome.reply.isEmpty())
        sendReply(outcome.reply, from, datagram.senderAddress(), quint16(datagram.senderPort()));
}

void SimDisplay::sendReply(const QByteArray &reply, const QString &to, const QHostAddress &address,
                           quint16 port)
{
    if (m_policy.drawLoss()) {
        m_log.datagram(m_number, QStringLiteral("lost"), ownEndpoint(), to, reply);
        return;
    }
    if (m_policy.delayMs() == 0) {
        writeReply(reply, to, address, port);
        return;
    }
    QTimer::singleShot(m_policy.delayMs(), Qt::PreciseTimer, this,
                       [this, reply, to, address, port] { writeReply(reply, to, address, port); });
}

void SimDisplay::writeReply(const QByteArray &reply, const QString &to, const QHostAddress &address,
                            quint16 port)
{
    QJsonObject fields;
    if (m_socket.writeDatagram(reply, address, port) != reply.size())
        fields.insert(QStringLiteral("error"), m_socket.errorString());
    m_log.datagram(m_number, QStringLiteral("tx"), ownEndpoint(), to, reply, fields);
}

DigitColours SimDisplay::colours() const
{
    return m_state.runner().isShown() ? m_state.runner().colours() : DigitColours();
}

std::optional<RunStatus> SimDisplay::program() const
{
    if (!m_state.runner().isShown())
        return std::nullopt;
    return m_state.runner().status();
}

void SimDisplay::logClockEvents()
{
    const QVector<ClockEvent> events = m_state.clock().takeEvents();
    const QVector<ProgramEvent> programEvents = m_state.runner().takeEvents();
    if (events.isEmpty() && programEvents.isEmpty())
        return;
    const QJsonObject state = stateFields(reading(), identity().subFormat);
    for (ClockEvent event : events) {
        QJsonObject fields = state;
        if (event == ClockEvent::AlarmOn)
            fields.insert(QStringLiteral("seconds"), m_state.clock().reading().alarmSeconds);
        m_log.event(m_number, clockEventName(event), fields);
    }
    for (const ProgramEvent &event : programEvents) {
        QJsonObject fields = state;
        for (auto field = event.fields.begin(); field != event.fields.end(); ++field)
            fields.insert(field.key(), field.value());
        m_log.event(m_number, event.name, fields);
    }
}

void SimDisplay::scheduleClockEvents()
{
    std::optional<qint64> dueMs = m_state.clock().nextEventDueMs();
    const std::optional<qint64> programDueMs = m_state.runner().nextEventDueMs();
    if (!dueMs || (programDueMs && *programDueMs < *dueMs))
        dueMs = programDueMs;
    if (!dueMs) {
        m_clockEventTimer.stop();
        return;
    }
    // Never 0: a timer firing a little early must not spin.
    m_clockEventTimer.start(int(qBound<qint64>(1, *dueMs - m_time.monotonicMs(), kDayMs)));
}

} // namespace qbsim
