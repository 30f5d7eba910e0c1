#include "control/oscserver.h"

#include "control/commandgate.h"
#include "control/controllogging.h"
#include "control/eventhub.h"
#include "control/oscdoor.h"
#include "control/oscreader.h"

#include <QJsonDocument>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// How long the feedback thread sleeps when nothing is due: it looks whether it is to stop.
constexpr int kIdleWaitMs = 1000;

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The peer as a socket of `family` reaches it (an IPv4 peer through an IPv6 socket as
// ::ffff:a.b.c.d); 0 when it cannot.
socklen_t toSockaddr(const OscPeer &peer, int family, sockaddr_storage &out)
{
    std::memset(&out, 0, sizeof out);
    const bool isIPv4 = peer.host.protocol() == QAbstractSocket::IPv4Protocol;
    if (family == AF_INET) {
        if (!isIPv4)
            return 0;
        auto &in4 = reinterpret_cast<sockaddr_in &>(out);
        in4.sin_family = AF_INET;
        in4.sin_port = htons(peer.port);
        in4.sin_addr.s_addr = htonl(peer.host.toIPv4Address());
        return sizeof in4;
    }
    const QHostAddress host =
        isIPv4 ? QHostAddress(QStringLiteral("::ffff:") + peer.host.toString()) : peer.host;
    const Q_IPV6ADDR bytes = host.toIPv6Address();
    auto &in6 = reinterpret_cast<sockaddr_in6 &>(out);
    in6.sin6_family = AF_INET6;
    in6.sin6_port = htons(peer.port);
    std::memcpy(&in6.sin6_addr, &bytes, sizeof bytes);
    return sizeof in6;
}

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

// The bound socket and the two threads around it.
class OscServer::Running
{
public:
    Running(CommandGate &gate, OscAllowList allowed, const QList<OscPeer> &fixedTargets, int fd,
            int family, std::shared_ptr<EventHub::Subscriber> subscriber)
        : m_gate(gate), m_fd(fd), m_family(family),
          m_feedback([this](const OscPeer &to, const OscMessage &m) { send(to, m); }, fixedTargets),
          m_door(
              gate, m_feedback, std::move(allowed),
              [this](const OscPeer &to, const OscMessage &m) { send(to, m); }, bound(fd)),
          m_subscriber(std::move(subscriber))
    {
    }

    ~Running()
    {
        m_stopping = true;
        m_reader.stop();
        for (std::thread *thread : {&m_receiver, &m_teller}) {
            if (thread->joinable())
                thread->join();
        }
        ::close(m_fd);
    }

    void run(const QJsonObject &state)
    {
        m_feedback.setState(state);
        m_receiver = std::thread([this] {
            m_reader.run([this](const QByteArray &datagram, const OscPeer &from) {
                m_door.handle(datagram, from, nowMs());
            });
        });
        m_teller = std::thread([this] { tell(); });
    }

    int port() const { return bound(m_fd).port; }

private:
    static OscPeer bound(int fd)
    {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
        return OscReader::peerOf(address);
    }

    void tell()
    {
        while (!m_stopping) {
            const std::optional<qint64> wait = m_feedback.flush(nowMs());
            const EventHub::Subscriber::Batch batch =
                m_subscriber->wait(std::chrono::milliseconds(wait.value_or(kIdleWaitMs)));
            if (batch.closed)
                return;
            if (batch.lost) {
                const CommandResult state = m_gate.call(QStringLiteral("state"), {});
                if (state.isDone())
                    m_feedback.setState(state.data);
            }
            for (const EventHub::Event &event : batch.events)
                m_feedback.apply(event.kind, QJsonDocument::fromJson(event.json).object());
        }
    }

    // From either thread: a datagram is one write, and a full socket buffer drops it.
    void send(const OscPeer &to, const OscMessage &message)
    {
        const QByteArray bytes = OscWire::serialise(message);
        sockaddr_storage address;
        const socklen_t length = toSockaddr(to, m_family, address);
        if (bytes.isEmpty() || length == 0)
            return;
        ::sendto(m_fd, bytes.constData(), size_t(bytes.size()), MSG_DONTWAIT,
                 reinterpret_cast<const sockaddr *>(&address), length);
    }

    CommandGate &m_gate;
    const int m_fd;
    const int m_family;
    std::atomic<bool> m_stopping{false};
    OscFeedback m_feedback;
    OscDoor m_door;
    OscReader m_reader{m_fd};
    std::shared_ptr<EventHub::Subscriber> m_subscriber;
    std::thread m_receiver;
    std::thread m_teller;
};

OscServer::OscServer(CommandGate &gate, EventHub &events, Options options)
    : m_gate(gate), m_events(events), m_options(std::move(options))
{
}

OscServer::~OscServer()
{
    stop();
}

bool OscServer::start(QString *error)
{
    QString why;
    const std::optional<OscAllowList> allowed = OscAllowList::parse(m_options.allow, &why);
    if (!allowed)
        return fail(error, QStringLiteral("OSC allow-list: ") + why);
    for (const QString &warning : allowed->warnings())
        qCWarning(lcRemote, "OSC allow-list: %s", qUtf8Printable(warning));
    const QHostAddress host(m_options.host);
    if (host.isNull())
        return fail(error, QStringLiteral("OSC: \"%1\" is not an address").arg(m_options.host));
    if (!host.isLoopback() && allowed->isEmpty())
        return fail(error, QStringLiteral("OSC on %1 reaches beyond loopback: name the networks "
                                          "it may take messages from (--osc-allow NETWORK, or "
                                          "remote/oscAllow in the store)")
                               .arg(m_options.host));
    const int family = host.protocol() == QAbstractSocket::IPv6Protocol ? AF_INET6 : AF_INET;
    const int fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address;
    const socklen_t length = toSockaddr({host, quint16(m_options.port)}, family, address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return fail(error, QStringLiteral("OSC: cannot listen on %1 port %2: %3")
                               .arg(m_options.host)
                               .arg(m_options.port)
                               .arg(reason));
    }
    std::shared_ptr<EventHub::Subscriber> subscriber = m_events.subscribe();
    if (!subscriber) {
        ::close(fd);
        return fail(error, QStringLiteral("OSC: the event hub takes no more subscribers"));
    }
    // On the controller's thread the state is read at once, before any change can be published.
    const CommandResult state = m_gate.call(QStringLiteral("state"), {});
    m_running = std::make_unique<Running>(m_gate, *allowed, m_options.feedback, fd, family,
                                          std::move(subscriber));
    m_running->run(state.data);
    return true;
}

void OscServer::stop()
{
    m_running.reset();
}

int OscServer::port() const
{
    return m_running ? m_running->port() : 0;
}
