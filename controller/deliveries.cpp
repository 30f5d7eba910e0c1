#include "controller/deliveries.h"

#include "link/logging.h"
#include "link/protocol.h"
#include "models/timerdatamodel.h"

#include <QDateTime>

namespace {

// Queries ask and change nothing; every other packet changes what the display shows or holds.
bool isQuery(const QByteArray &packet)
{
    switch (packet.isEmpty() ? 0 : quint8(packet.at(0))) {
    case Protocol::StatusQuery:
    case Protocol::GetActiveProgram:
    case Protocol::GetRunStatus:
    case Protocol::GetProgram:
        return true;
    default:
        return false;
    }
}

} // namespace

Deliveries::Deliveries(TimerDataModel &timers, WallClock clock, QObject *parent)
    : QObject(parent), m_timers(timers), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

Deliveries::~Deliveries()
{
    // Nobody waits for ever: callers of watches still open hear what has ended so far.
    while (!m_watches.empty())
        finish(m_watches.begin()->first);
}

void Deliveries::setLinkTiming(int retries, int delayMs)
{
    // A second beyond the last resend's wait, for a late answer and the controller's turn.
    constexpr int kMarginMs = 1000;
    const qint64 giveUpMs = qint64(qMax(0, retries) + 1) * qMax(0, delayMs) + kMarginMs;
    m_maxWaitMs = int(qMin<qint64>(giveUpMs, kMaxWaitMs));
}

void Deliveries::noteSent(quint64 id, const QString &addr, const QByteArray &packet)
{
    if (id == 0)
        return;
    if (!isQuery(packet))
        m_lastCommand.insert(addr, id);
    if (!m_open)
        return;
    m_open->packets.push_back({id, addr, Protocol::commandName(packet)});
    ++m_open->open;
}

void Deliveries::packetEnded(quint64 id, const QString &addr, const QString &command, bool answered)
{
    if (answered) {
        noteAnswer(addr);
        // A status reply ends the oldest packet queued to its sender: when that is a query sent
        // after the last command, the reply tells of the display as it is.
        m_currentStatusFrom = command == Protocol::commandName(Protocol::statusQuery()) &&
                                      id > m_lastCommand.value(addr)
                                  ? addr
                                  : QString();
    } else {
        const qint64 now = m_clock();
        if (m_timers.noteMissed(addr, command, now)) {
            qCInfo(lcRegistry, "Display %s missed the %s", qUtf8Printable(addr),
                   qUtf8Printable(command));
            emit missed(addr, command, now);
        }
    }
    endWatched(id, answered);
}

void Deliveries::noteStatusReply(const QString &addr)
{
    noteAnswer(addr);
}

void Deliveries::noteAnswer(const QString &addr)
{
    const TimerData *timer = m_timers.timer(addr);
    const bool wasStale = timer && timer->isStale();
    m_timers.noteAnswer(addr, m_clock());
    if (wasStale)
        emit answeredAgain(addr);
}

bool Deliveries::takeCurrentStatus(const QString &addr)
{
    const bool current = !m_currentStatusFrom.isNull() && m_currentStatusFrom == addr;
    m_currentStatusFrom.clear();
    return current;
}

void Deliveries::openWatch()
{
    m_open.emplace();
}

void Deliveries::closeWatch(Done done)
{
    if (!m_open)
        return;
    Watch watch = std::move(*m_open);
    m_open.reset();
    watch.done = std::move(done);
    if (watch.packets.empty()) {
        watch.done(outcome(watch));
        return;
    }
    const quint64 number = ++m_lastWatch;
    for (const Packet &packet : watch.packets)
        m_watchOf.insert(packet.id, number);
    watch.deadline = new QTimer(this);
    watch.deadline->setSingleShot(true);
    connect(watch.deadline, &QTimer::timeout, this, [this, number] { finish(number); });
    watch.deadline->start(m_maxWaitMs);
    m_watches.emplace(number, std::move(watch));
}

void Deliveries::endWatched(quint64 id, bool answered)
{
    if (m_open) {
        // Ended while its command is still sending (a reply handled in a nested event loop).
        for (Packet &packet : m_open->packets) {
            if (packet.id == id && packet.end == Packet::End::Open) {
                packet.end = answered ? Packet::End::Answered : Packet::End::Missed;
                --m_open->open;
                return;
            }
        }
    }
    const auto watched = m_watchOf.find(id);
    if (watched == m_watchOf.end())
        return;
    const quint64 number = *watched;
    m_watchOf.erase(watched);
    Watch &watch = m_watches.at(number);
    for (Packet &packet : watch.packets) {
        if (packet.id == id && packet.end == Packet::End::Open) {
            packet.end = answered ? Packet::End::Answered : Packet::End::Missed;
            --watch.open;
            break;
        }
    }
    if (watch.open == 0)
        finish(number);
}

void Deliveries::finish(quint64 number)
{
    const auto it = m_watches.find(number);
    if (it == m_watches.end())
        return;
    Watch watch = std::move(it->second);
    m_watches.erase(it);
    for (const Packet &packet : watch.packets)
        m_watchOf.remove(packet.id);
    watch.deadline->deleteLater();
    watch.done(outcome(watch));
}

Deliveries::Outcome Deliveries::outcome(const Watch &watch)
{
    // A display counts as acknowledged when every packet to it was answered; the first packet it
    // missed, or else the first still open, says otherwise.
    const auto rank = [](Packet::End end) {
        return end == Packet::End::Missed ? 2 : end == Packet::End::Open ? 1 : 0;
    };
    Outcome outcome;
    QStringList order;
    QHash<QString, const Packet *> worst;
    for (const Packet &packet : watch.packets) {
        const Packet *&known = worst[packet.addr];
        if (!known)
            order << packet.addr;
        if (!known || rank(packet.end) > rank(known->end))
            known = &packet;
    }
    for (const QString &addr : order) {
        const Packet &packet = *worst.value(addr);
        switch (packet.end) {
        case Packet::End::Answered:
            outcome.acknowledged << addr;
            break;
        case Packet::End::Missed:
            outcome.missed.emplace_back(addr, packet.command);
            break;
        case Packet::End::Open:
            outcome.pending << addr;
            break;
        }
    }
    return outcome;
}
