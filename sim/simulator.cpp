#include "simulator.h"

#include "simprotocol.h"

#include <QJsonArray>
#include <QNetworkDatagram>
#include <utility>

namespace qbsim {

namespace {

const QHostAddress kLoopbackBroadcast(QStringLiteral("127.255.255.255"));

} // namespace

Simulator::Simulator(const SimOptions &options, const TimeSource &time, QObject *parent)
    : QObject(parent), m_options(options),
      m_policy(options.lossPercent, options.seed, options.delayMs)
{
    const ProgramStore programs = options.demoPrograms ? demoPrograms() : ProgramStore();
    for (int number = 1; number <= options.count; ++number) {
        const DisplayIdentity identity{options.displayAddress(number),
                                       options.names.value(number - 1), options.subFormat};
        m_displays.append(new SimDisplay(number, identity, options.silent.contains(number), time,
                                         m_policy, m_log, programs, this));
    }
    connect(&m_broadcastSocket, &QUdpSocket::readyRead, this, &Simulator::readBroadcasts);
}

Simulator::~Simulator()
{
    // The displays use the log and the reply policy: they go first.
    qDeleteAll(m_displays);
    m_log.event(0, QStringLiteral("stop"));
}

bool Simulator::start(QString *error)
{
    if (!m_options.logFile.isEmpty() && !m_log.open(m_options.logFile, error))
        return false;
    for (SimDisplay *display : std::as_const(m_displays)) {
        if (!display->bind(error))
            return false;
    }
    if (m_options.broadcast && !bindDisplayPort(m_broadcastSocket, kLoopbackBroadcast, error))
        return false;
    logStart();
    return true;
}

void Simulator::logStart()
{
    QJsonArray displays;
    for (const SimDisplay *display : std::as_const(m_displays)) {
        displays.append(QJsonObject{
            {QStringLiteral("display"), display->number()},
            {QStringLiteral("address"), endpointText(display->identity().address, kDisplayPort)},
            {QStringLiteral("name"), display->identity().name},
            {QStringLiteral("silent"), display->isSilent()}});
    }
    m_log.event(0, QStringLiteral("start"),
                {{QStringLiteral("displays"), displays},
                 {QStringLiteral("broadcast"), m_options.broadcast},
                 {QStringLiteral("loss"), m_options.lossPercent},
                 {QStringLiteral("seed"), qint64(m_options.seed)},
                 {QStringLiteral("delay"), m_options.delayMs},
                 {QStringLiteral("programs"),
                  m_options.demoPrograms ? QStringLiteral("demo") : QStringLiteral("empty")}});
}

void Simulator::readBroadcasts()
{
    while (m_broadcastSocket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_broadcastSocket.receiveDatagram();
        for (SimDisplay *display : std::as_const(m_displays))
            display->receive(datagram);
    }
}

} // namespace qbsim
