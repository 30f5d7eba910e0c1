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

// What tells a display's row apart (its shown time changes every second: not that), and its
// message, the health last so that surfaces reading the earlier arguments by place still can.
QVariantList displayKey(const QJsonObject &display)
{
    const bool missed = display.value(QStringLiteral("missed")).isObject();
    return {display.value(QStringLiteral("address")).toString(),
            display.value(QStringLiteral("name")).toString(),
            int(display.value(QStringLiteral("selected")).toBool()),
            missed ? QStringLiteral("missed") : QStringLiteral("ok")};
}

OscMessage displayMessage(const QVariantList &key, const QJsonObject &display)
{
    return {"/qb/display",
            key.mid(0, 3) +
                QVariantList{display.value(QStringLiteral("time")).toString(), key.at(3)}};
}

} // namespace

OscFeedback::OscFeedback(Send send, const QList<OscPeer> &fixedTargets) : m_send(std::move(send))
{
    for (const OscPeer &peer : fixedTargets)
        m_targets.push_back({peer, std::nullopt, {}, {}, {}, {}, {}});
}

const QStringList &OscFeedback::kindNames()
{
    static const QStringList names{QStringLiteral("mirror"), QStringLiteral("captions"),
                                   QStringLiteral("step"), QStringLiteral("displays"),
                                   QStringLiteral("missed")};
    return names;
}

bool OscFeedback::isFeedbackPath(const QByteArray &path)
{
    static const QByteArrayList paths{"/qb/mirror",   "/qb/captions", "/qb/program/step",
                                      "/qb/displays", "/qb/display",  "/qb/missed"};
    return paths.contains(path);
}

OscFeedback::Subscribed OscFeedback::subscribe(const OscPeer &peer, qint64 nowMs, QList<int> kinds)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    expire(nowMs);
    auto known = std::find_if(m_targets.begin(), m_targets.end(),
                              [&](const Target &target) { return target.peer == peer; });
    if (known == m_targets.end()) {
        const auto subscribers = std::count_if(m_targets.begin(), m_targets.end(),
                                               [](const Target &t) { return t.expiresMs; });
        if (subscribers >= kMaxSubscribers)
            return Subscribed::Full;
        const auto fromHost =
            std::count_if(m_targets.begin(), m_targets.end(), [&peer](const Target &t) {
                return t.expiresMs && t.peer.host == peer.host;
            });
        if (fromHost >= kMaxPerHost)
            return Subscribed::HostFull;
        m_targets.push_back({peer, nowMs, {}, {}, {}, {}, {}});
        known = std::prev(m_targets.end());
        qCInfo(lcRemote, "OSC feedback to %s", qUtf8Printable(peer.toString()));
    }
    if (known->expiresMs)
        known->expiresMs = nowMs + kLifetimeMs;
    known->kinds = std::move(kinds);
    known->told = {}; // told the whole state again
    known->waitingSinceMs = {};
    tell(*known, nowMs);
    return Subscribed::Yes;
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
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (kind == "mirror") {
        const QVariantList args = strings(
            data, {QStringLiteral("text"), QStringLiteral("counting"), QStringLiteral("mode")});
        setPart(Mirror, args, {"/qb/mirror", args});
    } else if (kind == "captions") {
        const QVariantList args =
            strings(data, {QStringLiteral("countUp"), QStringLiteral("countDown"),
                           QStringLiteral("program")});
        setPart(Captions, args, {"/qb/captions", args});
    } else if (kind == "program") {
        const int step = data.value(QStringLiteral("runningStep")).toInt();
        setPart(Step, step, {"/qb/program/step", {step}});
    } else if (kind == "displays") {
        setDisplays(data.value(QStringLiteral("displays")).toArray());
    } else if (kind == "display") {
        setDisplay(data);
    } else if (kind == "delivery") {
        addMissed(data);
    }
}

void OscFeedback::setDisplays(const QJsonArray &displays)
{
    setPart(DisplayCount, int(displays.size()), {"/qb/displays", {int(displays.size())}});
    for (int row = 0; row < kMaxDisplays; ++row) {
        const QJsonObject display = displays.at(row).toObject();
        const QVariantList key = displayKey(display);
        setPart(FirstDisplay + row, row < displays.size() ? QVariant(key) : QVariant(),
                displayMessage(key, display));
    }
}

// One row that changed: told when it is one of the first kMaxDisplays.
void OscFeedback::setDisplay(const QJsonObject &display)
{
    const QVariantList key = displayKey(display);
    for (int part = FirstDisplay; part < kParts; ++part) {
        if (m_parts[part].key.isValid() && m_parts[part].message.args.value(0) == key.at(0)) {
            setPart(part, key, displayMessage(key, display));
            return;
        }
    }
}

void OscFeedback::addMissed(const QJsonObject &delivery)
{
    if (delivery.value(QStringLiteral("outcome")).toString() != QLatin1String("missed"))
        return;
    const OscMessage message{"/qb/missed",
                             strings(delivery, {QStringLiteral("address"), QStringLiteral("name"),
                                                QStringLiteral("command")})};
    for (Target &target : m_targets) {
        if (!wants(target, kMissedKind))
            continue;
        if (int(target.missed.size()) >= kMaxMissed)
            target.missed.pop_front();
        target.missed.push_back({std::nullopt, message});
    }
}

void OscFeedback::setPart(int part, QVariant key, OscMessage message)
{
    m_parts[part] = {std::move(key), std::move(message)};
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
    // On a clock of whole milliseconds, more than 1000 ms apart is at least a second of real
    // time: at most ten messages in any second.
    while (!target.sentMs.empty() && nowMs - target.sentMs.front() > 1000)
        target.sentMs.pop_front();
    std::vector<int> due;
    for (int part = 0; part < kParts; ++part) {
        const QVariant &key = m_parts[part].key;
        if (!wants(target, kindOf(part)) || !key.isValid() || target.told[part] == key) {
            target.told[part] = key; // a display gone is told again when it comes back
            target.waitingSinceMs[part].reset();
            continue;
        }
        if (!target.waitingSinceMs[part])
            target.waitingSinceMs[part] = nowMs;
        due.push_back(part);
    }
    std::stable_sort(due.begin(), due.end(), [&target](int a, int b) {
        return *target.waitingSinceMs[a] < *target.waitingSinceMs[b];
    });
    for (Missed &missed : target.missed) {
        if (!missed.waitingSinceMs)
            missed.waitingSinceMs = nowMs;
    }
    // Parts and missed commands, each in the order they came, merged by how long they waited.
    auto part = due.begin();
    while (part != due.end() || !target.missed.empty()) {
        if (int(target.sentMs.size()) >= kMaxPerSecond)
            return target.sentMs.front() + 1001 - nowMs;
        const bool missedFirst =
            !target.missed.empty() && (part == due.end() || *target.missed.front().waitingSinceMs <
                                                                *target.waitingSinceMs[*part]);
        if (missedFirst) {
            m_send(target.peer, target.missed.front().message);
            target.missed.pop_front();
        } else {
            m_send(target.peer, m_parts[*part].message);
            target.told[*part] = m_parts[*part].key;
            target.waitingSinceMs[*part].reset();
            ++part;
        }
        target.sentMs.push_back(nowMs);
    }
    return std::nullopt;
}
