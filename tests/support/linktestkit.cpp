#include "linktestkit.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QSettings>
#include <QSignalSpy>
#include <QStringList>
#include <atomic>

namespace {

std::atomic<LinkLog *> activeLog{nullptr};

} // namespace

qint64 linkClockMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

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
    const int size = store.beginReadArray(QStringLiteral("timerlist"));
    for (int i = 0; i < size; ++i) {
        store.setArrayIndex(i);
        addresses << store.value(QStringLiteral("IP")).toString();
    }
    store.endArray();
    return addresses;
}

QByteArray statusReply(const QString &address, const QString &name, int hours, int minutes,
                       int seconds, int hundredths, int statusWord, int days, int subFormat,
                       int typeCode)
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

ScriptedDisplay::ScriptedDisplay(const QString &address, AnswerRule rule) : m_rule(std::move(rule))
{
    m_socket.bind(QHostAddress(address), 7372,
                  QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    connect(&m_socket, &QUdpSocket::readyRead, this, &ScriptedDisplay::readPending);
}

QList<QByteArray> ScriptedDisplay::payloads() const
{
    QList<QByteArray> result;
    for (const Receipt &receipt : m_received)
        result << receipt.payload;
    return result;
}

void ScriptedDisplay::reply(const QByteArray &payload)
{
    m_socket.writeDatagram(payload, QHostAddress(QStringLiteral("127.0.0.1")), 7372);
}

void ScriptedDisplay::readPending()
{
    while (m_socket.hasPendingDatagrams()) {
        const QByteArray payload = m_socket.receiveDatagram().data();
        m_received.append({linkClockMs(), payload});
        const int timesSeen = ++m_timesSeen[payload];
        if (!m_rule)
            continue;
        if (const std::optional<QByteArray> answer = m_rule(payload, timesSeen))
            reply(*answer);
    }
}

LinkLog::LinkLog()
{
    QLoggingCategory::setFilterRules(QStringLiteral("qb.link.debug=true"));
    activeLog = this;
    m_previous = qInstallMessageHandler(&LinkLog::handler);
}

LinkLog::~LinkLog()
{
    qInstallMessageHandler(m_previous);
    activeLog = nullptr;
}

std::vector<LinkLog::Line> LinkLog::matching(const QString &prefix) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Line> result;
    for (const Line &line : m_lines) {
        if (line.text.startsWith(prefix))
            result.push_back(line);
    }
    return result;
}

void LinkLog::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    LinkLog *log = activeLog;
    if (log && qstrcmp(context.category, "qb.link") == 0) {
        const std::lock_guard<std::mutex> lock(log->m_mutex);
        log->m_lines.push_back({linkClockMs(), text});
        return;
    }
    if (log && log->m_previous)
        log->m_previous(type, context, text);
}
