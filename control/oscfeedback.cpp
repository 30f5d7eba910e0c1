#include "control/oscfeedback.h"

#include "control/controllogging.h"

#include <QJsonArray>

namespace {

QVariantList strings(const QJsonObject &data, const QStringList &keys)
{
    QVariantList values;
    for (const QString &key : keys)
        values << data.value(key).toString();
    return values;
}

} // namespace

OscFeedback::OscFeedback(Send send, const QList<OscPeer> &fixedTargets) : m_send(std::move(send))
{
    for (const OscPeer &peer : fixedTargets)
        m_targets.push_back({peer, std::nullopt, std::nullopt, {}});
}

OscFeedback::Subscription OscFeedback::subscribe(const OscPeer &peer, qint64 nowMs)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    expire(nowMs);
    auto known = std::find_if(m_targets.begin(), m_targets.end(),
                              [&](const Target &target) { return target.peer == peer; });
    Subscription outcome = Subscription::Renewed;
    if (known == m_targets.end()) {
        const auto subscribers = std::count_if(m_targets.begin(), m_targets.end(),
                                               [](const Target &t) { return t.expiresMs; });
        if (subscribers >= kMaxSubscribers)
            return Subscription::Full;
        m_targets.push_back({peer, nowMs, std::nullopt, {}});
        known = std::prev(m_targets.end());
        outcome = Subscription::Added;
        qCInfo(lcRemote, "OSC feedback to %s", qUtf8Printable(peer.toString()));
    }
    if (known->expiresMs)
        known->expiresMs = nowMs + kLifetimeMs;
    known->told = {}; // told the whole state again
    tell(*known, nowMs);
    return outcome;
}

void OscFeedback::unsubscribe(const OscPeer &peer)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_targets.erase(std::remove_if(m_targets.begin(), m_targets.end(),
                                   [&](const Target &t) { return t.expiresMs && t.peer == peer; }),
                    m_targets.end());
}

void OscFeedback::setState(const QJsonObject &snapshot)
{
    for (const char *kind : {"mirror", "captions", "program"})
        apply(kind, snapshot.value(QLatin1String(kind)).toObject());
    apply("displays", {{QStringLiteral("displays"), snapshot.value(QStringLiteral("displays"))}});
}

void OscFeedback::apply(const QByteArray &kind, const QJsonObject &data)
{
    if (kind == "mirror") {
        const QVariantList args = strings(
            data, {QStringLiteral("text"), QStringLiteral("counting"), QStringLiteral("mode")});
        setPart(Mirror, args, {{"/qb/mirror", args}});
    } else if (kind == "captions") {
        const QVariantList args =
            strings(data, {QStringLiteral("countUp"), QStringLiteral("countDown"),
                           QStringLiteral("program")});
        setPart(Captions, args, {{"/qb/captions", args}});
    } else if (kind == "program") {
        const int step = data.value(QStringLiteral("runningStep")).toInt();
        setPart(Step, step, {{"/qb/program/step", {step}}});
    } else if (kind == "displays") {
        const QJsonArray displays = data.value(QStringLiteral("displays")).toArray();
        // The shown times change every second; the list is told when the rest of it changes.
        QVariantList list;
        std::vector<OscMessage> messages{{"/qb/displays", {int(displays.size())}}};
        for (const QJsonValue &value : displays) {
            const QJsonObject display = value.toObject();
            const QVariantList args{display.value(QStringLiteral("address")).toString(),
                                    display.value(QStringLiteral("name")).toString(),
                                    int(display.value(QStringLiteral("selected")).toBool())};
            list << QVariant(args);
            if (int(messages.size()) <= kMaxDisplays)
                messages.push_back(
                    {"/qb/display",
                     args + QVariantList{display.value(QStringLiteral("time")).toString()}});
        }
        setPart(Displays, list, std::move(messages));
    }
}

void OscFeedback::setPart(Part part, QVariant key, std::vector<OscMessage> messages)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_parts[part] = {std::move(key), std::move(messages)};
}

std::optional<qint64> OscFeedback::flush(qint64 nowMs)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    expire(nowMs);
    std::optional<qint64> soonest;
    for (Target &target : m_targets) {
        const std::optional<qint64> wait = tell(target, nowMs);
        if (wait && (!soonest || *wait < *soonest))
            soonest = wait;
    }
    return soonest;
}

void OscFeedback::expire(qint64 nowMs)
{
    m_targets.erase(std::remove_if(m_targets.begin(), m_targets.end(),
                                   [nowMs](const Target &target) {
                                       const bool lapsed =
                                           target.expiresMs && *target.expiresMs <= nowMs;
                                       if (lapsed)
                                           qCInfo(lcRemote, "OSC feedback to %s lapsed",
                                                  qUtf8Printable(target.peer.toString()));
                                       return lapsed;
                                   }),
                    m_targets.end());
}

std::optional<qint64> OscFeedback::tell(Target &target, qint64 nowMs)
{
    std::vector<OscMessage> due;
    for (int part = 0; part < kParts; ++part) {
        if (m_parts[part].key.isValid() && target.told[part] != m_parts[part].key)
            due.insert(due.end(), m_parts[part].messages.begin(), m_parts[part].messages.end());
    }
    if (due.empty())
        return std::nullopt;
    // More than 100 ms on a clock of whole milliseconds is at least 100 ms of real time: at most
    // ten in any second.
    if (target.lastSentMs && nowMs - *target.lastSentMs <= kSpacingMs)
        return *target.lastSentMs + kSpacingMs + 1 - nowMs;
    m_send(target.peer, due);
    target.lastSentMs = nowMs;
    for (int part = 0; part < kParts; ++part)
        target.told[part] = m_parts[part].key;
    return std::nullopt;
}
