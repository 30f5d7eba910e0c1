#pragma once

#include "control/oscmessage.h"

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
// address, name or selection changes. Subscribers come and renew themselves with /qb/subscribe
// and lapse when they stop; the targets of the store are told always. A target is told at most
// ten messages in any second, one message a datagram (surfaces differ in how they take
// bundles): a part that changed again meanwhile is told once, with its latest value, and the
// part that has waited longest goes first. A new or renewed subscriber is told the whole state,
// as far as that allows at once. A subscriber may ask for some kinds of part only ("mirror",
// "captions", "step", "displays"): a surface that keeps only the latest message it was told then
// keeps the one it wants. Thread-safe; the clock is the caller's.
class OscFeedback
{
public:
    static constexpr int kMaxSubscribers = 16;
    static constexpr qint64 kLifetimeMs = 90000;
    static constexpr int kMaxPerSecond = 10;
    static constexpr int kMaxDisplays = 16;

    // Sends one message; called with the feedback's lock held, so that what one target is told
    // arrives in the order it was decided.
    using Send = std::function<void(const OscPeer &to, const OscMessage &message)>;

    explicit OscFeedback(Send send, const QList<OscPeer> &fixedTargets = {});

    // The kinds of part, as subscribers name them.
    static const QStringList &kindNames();

    // Subscribes or renews, for kinds by their names' indexes (none: all of them); false when
    // kMaxSubscribers others are subscribed.
    bool subscribe(const OscPeer &peer, qint64 nowMs, QList<int> kinds = {});
    void unsubscribe(const OscPeer &peer);

    // The whole state, as the "state" command gives it.
    void setState(const QJsonObject &snapshot);
    // One change, as the event hub tells it ("mirror", "captions", "program", "displays").
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

    struct Target
    {
        OscPeer peer;
        std::optional<qint64> expiresMs; // none for the store's targets
        std::deque<qint64> sentMs;       // the last kMaxPerSecond sends
        std::array<QVariant, kParts> told;
        std::array<std::optional<qint64>, kParts> waitingSinceMs;
        QList<int> kinds; // none: all
    };

    // The kind of a part, as an index into kindNames(): the display list's parts are one.
    static int kindOf(int part) { return std::min<int>(part, DisplayCount); }
    void setPart(int part, QVariant key, OscMessage message = {});
    void expire(qint64 nowMs);
    // Sends the target what it was not told yet, oldest first, as far as its pace allows; the
    // wait until it may be sent more, when something is left.
    std::optional<qint64> tell(Target &target, qint64 nowMs);

    Send m_send;
    std::mutex m_mutex;
    std::array<StatePart, kParts> m_parts;
    std::vector<Target> m_targets;
};
