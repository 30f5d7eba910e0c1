#pragma once

#include "control/oscmessage.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QVariant>
#include <array>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// What OSC surfaces are told of the state, each part when it changes: the mirror (/qb/mirror),
// the Start/Pause captions (/qb/captions), the running program step (/qb/program/step), the
// number of listed displays (/qb/displays) and each of the first 16 (/qb/display) when its
// address, name, selection or health changes; and each command a display missed (/qb/missed),
// which is an event, not a state: each is told, the last kMaxMissed waiting at most. Subscribers
// come and renew themselves with /qb/subscribe and lapse when they stop; the targets of the store
// are told always. A target is told at most ten messages in any second, one message a datagram
// (surfaces differ in how they take bundles): a part that changed again meanwhile is told once,
// with its latest value, and the part that has waited longest goes first. A new or renewed
// subscriber is told the whole state, as far as that allows at once. A subscriber may ask for some
// kinds of part only ("mirror", "captions", "step", "displays", "missed"): a surface that keeps
// only the latest message it was told then keeps the one it wants. Thread-safe; the clock is the
// caller's.
class OscFeedback
{
public:
    static constexpr int kMaxSubscribers = 16;
    static constexpr qint64 kLifetimeMs = 90000;
    static constexpr int kMaxPerSecond = 10;
    static constexpr int kMaxDisplays = 16;
    // Subscribers from one host: a forged source cannot take every place.
    static constexpr int kMaxPerHost = 4;
    // Missed commands waiting for one target's pace; older ones are not told.
    static constexpr int kMaxMissed = 16;

    enum class Subscribed { Yes, Full, HostFull };

    // Sends one message; called with the feedback's lock held, so that what one target is told
    // arrives in the order it was decided.
    using Send = std::function<void(const OscPeer &to, const OscMessage &message)>;

    explicit OscFeedback(Send send, const QList<OscPeer> &fixedTargets = {});

    // The kinds of part, as subscribers name them.
    static const QStringList &kindNames();
    // Whether a message at `path` is one the feedback sends.
    static bool isFeedbackPath(const QByteArray &path);

    // Subscribes or renews, for kinds by their names' indexes (none: all of them); refused when
    // kMaxSubscribers others are subscribed, or kMaxPerHost others from the peer's host.
    Subscribed subscribe(const OscPeer &peer, qint64 nowMs, QList<int> kinds = {});
    void unsubscribe(const OscPeer &peer);

    // The whole state, as the "state" command gives it.
    void setState(const QJsonObject &snapshot);
    // One change, as the event hub tells it ("mirror", "captions", "program", "displays",
    // "display", "delivery").
    void apply(const QByteArray &kind, const QJsonObject &data);

    // Tells every target what changed since it was last told, as far as its pace allows. Gives
    // the time until a target held back by its pace may be told, if one is.
    std::optional<qint64> flush(qint64 nowMs);

private:
    enum Part {
        Mirror,
        Captions,
        Step,
        DisplayCount,
        FirstDisplay,
        kParts = FirstDisplay + kMaxDisplays
    };

    struct StatePart
    {
        QVariant key; // what the target was told; none while the part does not exist
        OscMessage message;
    };

    struct Missed
    {
        std::optional<qint64> waitingSinceMs; // from the first flush that saw it
        OscMessage message;
    };

    struct Target
    {
        OscPeer peer;
        std::optional<qint64> expiresMs; // none for the store's targets
        std::deque<qint64> sentMs;       // the last kMaxPerSecond sends
        std::array<QVariant, kParts> told;
        std::array<std::optional<qint64>, kParts> waitingSinceMs;
        QList<int> kinds; // none: all
        std::deque<Missed> missed;
    };

    // The kind of a part, as an index into kindNames(): the display list's parts are one.
    static int kindOf(int part) { return std::min<int>(part, DisplayCount); }
    static constexpr int kMissedKind = DisplayCount + 1;
    static bool wants(const Target &target, int kind)
    {
        return target.kinds.isEmpty() || target.kinds.contains(kind);
    }
    void setPart(int part, QVariant key, OscMessage message = {});
    void setDisplays(const QJsonArray &displays);
    void setDisplay(const QJsonObject &display);
    void addMissed(const QJsonObject &delivery);
    void expire(qint64 nowMs);
    // Sends the target what it was not told yet, oldest first, as far as its pace allows; the
    // wait until it may be sent more, when something is left.
    std::optional<qint64> tell(Target &target, qint64 nowMs);

    Send m_send;
    std::mutex m_mutex;
    std::array<StatePart, kParts> m_parts;
    std::vector<Target> m_targets;
};
