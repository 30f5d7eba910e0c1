#include "linktestkit.h"

#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QSettings>
#include <QSignalSpy>
#include <QStringList>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <chrono>

namespace {

std::atomic<LinkLog *> activeLog{nullptr};

} // namespace

qint64 linkClockMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
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
    qToBigEndian(QHostAddress(address).toIPv4Address(), reply.data() + 1);
    const char fields[] = {char(hours),      char(minutes),
                           char(seconds),    char(hundredths),
                           char(statusWord), char(statusWord >> 8),
                           char(days),       char(((days >> 8) << 5) | (subFormat & 0x1F))};
    reply.replace(15, sizeof fields, fields, sizeof fields);
    return reply.replace(24, 15, name.toLatin1().leftJustified(15, '\0', true));
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
        if (const auto answer = m_rule ? m_rule(payload, ++m_timesSeen[payload]) : std::nullopt)
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
    std::copy_if(m_lines.begin(), m_lines.end(), std::back_inserter(result),
                 [&](const Line &line) { return line.text.startsWith(prefix); });
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
