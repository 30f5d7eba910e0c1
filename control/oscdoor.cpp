#include "control/oscdoor.h"

#include "control/commandgate.h"
#include "control/commandtable.h"
#include "control/controllogging.h"
#include "control/oscaddress.h"

#include <QJsonDocument>
#include <QNetworkInterface>
#include <lo/lo.h>
#include <memory>

namespace {

const QString kSubscribe = QStringLiteral("/qb/subscribe");
const QString kUnsubscribe = QStringLiteral("/qb/unsubscribe");

struct FreeMessage
{
    void operator()(void *message) const { lo_message_free(message); }
};

bool isAnyAddress(const QHostAddress &host)
{
    return host == QHostAddress::AnyIPv4 || host == QHostAddress::AnyIPv6;
}

// What a door sends: an answer to one of these would start an exchange that never ends.
bool isAnswerOrFeedback(const QByteArray &path)
{
    return path == "/qb/error" || path == "/qb/result" || OscFeedback::isFeedbackPath(path);
}

} // namespace

OscDoor::OscDoor(CommandGate &gate, OscFeedback &feedback, OscAllowList allowed, Reply reply,
                 OscPeer self)
    : m_gate(gate), m_feedback(feedback), m_allowed(std::move(allowed)), m_reply(std::move(reply)),
      m_self(std::move(self)),
      m_ownAddresses(isAnyAddress(m_self.host) ? QNetworkInterface::allAddresses()
                                               : QList<QHostAddress>{})
{
}

void OscDoor::handle(const QByteArray &datagram, const OscPeer &from, qint64 nowMs)
{
    if (!m_allowed.admits(from.host) || isSelf(from)) {
        ++m_dropped;
        if (const std::optional<qint64> count = m_dropLog.count(nowMs))
            qCWarning(lcRemote,
                      "OSC: %lld datagrams from outside the allow-list or from this door itself "
                      "dropped (%s)",
                      *count, qUtf8Printable(from.toString()));
        return;
    }
    // The address leads the datagram (the array ends in a zero byte whatever it holds).
    if (isAnswerOrFeedback(QByteArray(datagram.constData())))
        return;
    QByteArray bytes = datagram; // liblo reads from a buffer it may write to
    int result = 0;
    const std::unique_ptr<void, FreeMessage> message(
        lo_message_deserialise(bytes.data(), size_t(bytes.size()), &result));
    if (!message) {
        refuse(from,
               datagram.startsWith("#bundle")
                   ? QStringLiteral("bundles are not taken: send each message alone")
                   : QStringLiteral("not an OSC message (liblo error %1)").arg(result),
               nowMs);
        return;
    }
    const QString path = QString::fromUtf8(datagram.constData());
    if (path == kSubscribe || path == kUnsubscribe)
        subscription(path, message.get(), from, nowMs);
    else
        command(path, message.get(), from, nowMs);
}

bool OscDoor::isSelf(const OscPeer &peer) const
{
    if (peer.port != m_self.port)
        return false;
    if (!isAnyAddress(m_self.host))
        return peer.host == m_self.host;
    return peer.host.isLoopback() || m_ownAddresses.contains(peer.host);
}

void OscDoor::subscription(const QString &path, lo_message message, const OscPeer &from,
                           qint64 nowMs)
{
    const int count = lo_message_get_argc(message);
    const char *types = lo_message_get_types(message);
    lo_arg **argv = lo_message_get_argv(message);
    const std::optional<qint64> port =
        count > 0 ? OscAddress::integer(types[0], argv[0]) : std::nullopt;
    if (!port || *port < 0 || *port > 65535 || (path == kUnsubscribe && count > 1)) {
        refuse(from,
               QStringLiteral("%1: %2the port to tell, an integer 0..65535 (0: the sender's own "
                              "port)%3")
                   .arg(path, count == 0 ? QStringLiteral("missing ") : QStringLiteral("takes "),
                        path == kSubscribe ? QStringLiteral(", then kinds to tell") : ""),
               nowMs);
        return;
    }
    const OscPeer peer{from.host, quint16(*port != 0 ? *port : from.port)};
    if (path == kUnsubscribe) {
        m_feedback.unsubscribe(peer);
        return;
    }
    if (isSelf(peer)) {
        refuse(from,
               QStringLiteral("%1: port %2 is this door's own: name the port the surface "
                              "listens on")
                   .arg(path)
                   .arg(peer.port),
               nowMs);
        return;
    }
    QList<int> kinds;
    for (int at = 1; at < count; ++at) {
        kinds << OscFeedback::kindNames().indexOf(OscAddress::text(types[at], argv[at]));
        if (kinds.last() < 0) {
            refuse(from,
                   QStringLiteral("%1: argument %2 is not a kind to tell (%3)")
                       .arg(path)
                       .arg(at + 1)
                       .arg(OscFeedback::kindNames().join(QStringLiteral(", "))),
                   nowMs);
            return;
        }
    }
    switch (m_feedback.subscribe(peer, nowMs, kinds)) {
    case OscFeedback::Subscribed::Yes:
        break;
    case OscFeedback::Subscribed::Full:
        refuse(from,
               QStringLiteral("%1: %2 subscribers already; try again when one has lapsed")
                   .arg(path)
                   .arg(OscFeedback::kMaxSubscribers),
               nowMs);
        break;
    case OscFeedback::Subscribed::HostFull:
        refuse(from,
               QStringLiteral("%1: %2 subscribers from %3 already; unsubscribe one first")
                   .arg(path)
                   .arg(OscFeedback::kMaxPerHost)
                   .arg(from.host.toString()),
               nowMs);
        break;
    }
}

void OscDoor::command(const QString &path, lo_message message, const OscPeer &from, qint64 nowMs)
{
    const OscAddress::Request request = OscAddress::read(path, message);
    if (!request.error.isEmpty()) {
        refuse(from, request.error, nowMs);
        return;
    }
    // A confirmation would hold the door, and every surface behind it, until the displays
    // answered; surfaces hear of a display that missed a command by /qb/missed instead.
    if (request.args.value(CommandTable::confirmParam()).toBool()) {
        refuse(from,
               QStringLiteral("confirm: OSC answers at once; subscribe to \"missed\", or confirm "
                              "over HTTP"),
               nowMs);
        return;
    }
    // A reading command is all answer: not worth running when the answer could not go out.
    if (request.command->readOnly && !mayAnswer(from, nowMs))
        return;
    const QString name = request.command->name;
    const CommandResult result = m_gate.call(name, request.args);
    if (!result.isDone()) {
        refuse(from, result.message, nowMs);
        return;
    }
    if (!request.command->readOnly)
        return;
    const QString json =
        QString::fromUtf8(QJsonDocument(result.data).toJson(QJsonDocument::Compact));
    // Room for the address, the name and the type tags besides the text.
    if (json.toUtf8().size() > OscWire::kMaxDatagram - 1024) {
        refuse(from,
               QStringLiteral("%1: the result is larger than a datagram holds; ask over HTTP")
                   .arg(path),
               nowMs);
        return;
    }
    answer(from, {"/qb/result", {name, json}}, nowMs);
}

bool OscDoor::mayAnswer(const OscPeer &to, qint64 nowMs)
{
    if (m_pace.allows(to.host, nowMs))
        return true;
    ++m_unanswered;
    if (const std::optional<qint64> count = m_unansweredLog.count(nowMs))
        qCWarning(lcRemote, "OSC: %lld answers not sent: %s was answered %d times in a second",
                  *count, qUtf8Printable(to.host.toString()), OscReplyPace::kPerHost);
    return false;
}

void OscDoor::answer(const OscPeer &to, const OscMessage &message, qint64 nowMs)
{
    if (!mayAnswer(to, nowMs))
        return;
    m_pace.count(to.host, nowMs);
    m_reply(to, message);
}

void OscDoor::refuse(const OscPeer &to, const QString &why, qint64 nowMs)
{
    if (const std::optional<qint64> count = m_refusalLog.count(nowMs))
        qCWarning(lcRemote, "OSC: refused from %s: %s (%lld refused since the last line)",
                  qUtf8Printable(to.toString()), qUtf8Printable(why), *count);
    answer(to, {"/qb/error", {why}}, nowMs);
}
