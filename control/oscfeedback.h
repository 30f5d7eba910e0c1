#pragma once

#include "control/oscmessage.h"

#include <QJsonObject>
#include <QList>
#include <QVariant>
#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// What OSC surfaces are told of the state: the mirror (/qb/mirror), the Start/Pause captions
// (/qb/captions), the running program step (/qb/program/step) and the display list
// (/qb/displays and one /qb/display per display), each when it changes. Subscribers come and
// renew themselves with /qb/subscribe and lapse when they stop; the targets of the store are told
// always. A target is told again only more than 100 ms after it was last told, so at most ten
// times a second: what changed meanwhile is merged, the latest value winning, and several messages
// due together go as one bundle. A new or renewed subscriber is told the whole state at once.
// Thread-safe; the clock is the caller's.
class OscFeedback
{
public:
    static constexpr int kMaxSubscribers = 16;
    static constexpr qint64 kLifetimeMs = 90000;
    static constexpr qint64 kSpacingMs = 100;
    static constexpr int kMaxDisplays = 32;

    // Sends one datagram's messages; called with the feedback's lock held, so that what one
    // target is told arrives in the order it changed.
    using Send = std::function<void(const OscPeer &to, const std::vector<OscMessage> &messages)>;

    explicit OscFeedback(Send send, const QList<OscPeer> &fixedTargets = {});

    enum class Subscription { Added, Renewed, Full };
    Subscription subscribe(const OscPeer &peer, qint64 nowMs);
    void unsubscribe(const OscPeer &peer);

    // The whole state, as the "state" command gives it.
    void setState(const QJsonObject &snapshot);
    // One change, as the event hub tells it ("mirror", "captions", "program", "displays").
    void apply(const QByteArray &kind, const QJsonObject &data);

    // Tells every target what changed since it was last told, as far as its pace allows. Gives
    // the time until a target held back by its pace may be told, if one is.
    std::optional<qint64> flush(qint64 nowMs);

private:
    enum Part { Mirror, Captions, Step, Displays, kParts };

    struct StatePart
    {
        QVariant key; // equal keys: nothing to tell
        std::vector<OscMessage> messages;
    };

    struct Target
    {
        OscPeer peer;
        std::optional<qint64> expiresMs; // none for the store's targets
        std::optional<qint64> lastSentMs;
        std::array<QVariant, kParts> told;
    };

    void setPart(Part part, QVariant key, std::vector<OscMessage> messages);
    void expire(qint64 nowMs);
    // Sends what the target was not told yet, if its pace allows; else the wait.
    std::optional<qint64> tell(Target &target, qint64 nowMs);

    Send m_send;
    std::mutex m_mutex;
    std::array<StatePart, kParts> m_parts;
    std::vector<Target> m_targets;
};
