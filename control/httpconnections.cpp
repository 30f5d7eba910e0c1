#include "control/httpconnections.h"

#include "control/controllogging.h"

#include <QHostAddress>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string addressText(const sockaddr_storage &address, int &port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6) {
        const auto *v6 = reinterpret_cast<const sockaddr_in6 *>(&address);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    } else {
        const auto *v4 = reinterpret_cast<const sockaddr_in *>(&address);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    }
    return text;
}

int pollFor(int fd, short events, std::chrono::milliseconds timeout)
{
    pollfd p{fd, events, 0};
    int result;
    do {
        result = ::poll(&p, 1, int(std::max<qint64>(0, timeout.count())));
    } while (result < 0 && errno == EINTR);
    return result;
}

// The source address of a connection, as raw bytes: what the per-source count is keyed by.
std::string sourceKey(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET6) {
        const auto &v6 = reinterpret_cast<const sockaddr_in6 &>(address).sin6_addr;
        return std::string(reinterpret_cast<const char *>(&v6), sizeof v6);
    }
    const auto &v4 = reinterpret_cast<const sockaddr_in &>(address).sin_addr;
    return std::string(reinterpret_cast<const char *>(&v4), sizeof v4);
}

// One connection's socket, as the HTTP library reads and writes it: buffered, with the request's
// byte budgets (head, then body) and deadline, and a timeout on every write.
class GuardedStream final : public httplib::Stream
{
public:
    GuardedStream(int fd, const HttpConnections::Limits &limits) : m_fd(fd), m_limits(limits) {}

    // Waits up to `wait` for the next request's first bytes; false when none come.
    bool waitForRequest(std::chrono::milliseconds wait)
    {
        return m_begin < m_end || pollFor(m_fd, POLLIN, wait) > 0;
    }

    // What is already buffered belongs to the new request's head.
    void beginRequest()
    {
        m_inHead = true;
        m_headTooLarge = m_bodyTooLarge = m_closeAfterReply = false;
        m_budget = budgetLeft(m_limits.maxHeadBytes);
        m_deadline = Clock::now() + m_limits.requestDeadline;
    }

    void headersRead()
    {
        m_inHead = false;
        m_budget = budgetLeft(m_limits.maxBodyWireBytes);
    }

    bool headTooLarge() const { return m_headTooLarge; }
    bool bodyTooLarge() const { return m_bodyTooLarge; }
    void closeAfterReply() { m_closeAfterReply = true; }
    // The rest of the connection cannot be read as requests: a head not read whole, a body left
    // unread or cut short.
    bool mustClose() const { return m_inHead || m_closeAfterReply || m_bodyTooLarge; }
    bool ranOutOfTime() const { return m_ranOutOfTime; }

    bool is_readable() const override
    {
        return m_begin < m_end || pollFor(m_fd, POLLIN, timeLeft()) > 0;
    }

    bool is_writable() const override { return pollFor(m_fd, POLLOUT, m_limits.writeTimeout) > 0; }

    ssize_t read(char *ptr, size_t size) override
    {
        if (m_begin == m_end && !fill())
            return -1;
        const size_t n = std::min(size, m_end - m_begin);
        std::memcpy(ptr, m_buffer + m_begin, n);
        m_begin += n;
        return ssize_t(n);
    }

    ssize_t write(const char *ptr, size_t size) override
    {
        size_t written = 0;
        while (written < size) {
            if (!is_writable())
                return -1;
            const ssize_t n = ::send(m_fd, ptr + written, size - written, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return -1;
            written += size_t(n);
        }
        return ssize_t(written);
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getpeername(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            ip = addressText(address, port);
    }

    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        if (::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            ip = addressText(address, port);
    }

    socket_t socket() const override { return m_fd; }

private:
    std::chrono::milliseconds timeLeft() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - Clock::now());
    }

    size_t budgetLeft(size_t budget) const
    {
        const size_t buffered = m_end - m_begin;
        return budget > buffered ? budget - buffered : 0;
    }

    bool fill()
    {
        if (m_budget == 0) {
            (m_inHead ? m_headTooLarge : m_bodyTooLarge) = true;
            return false;
        }
        const std::chrono::milliseconds left = timeLeft();
        if (left.count() <= 0 || pollFor(m_fd, POLLIN, left) <= 0) {
            m_ranOutOfTime = timeLeft().count() <= 0;
            return false;
        }
        ssize_t n;
        do {
            n = ::recv(m_fd, m_buffer, std::min(sizeof m_buffer, m_budget), 0);
        } while (n < 0 && errno == EINTR);
        if (n <= 0)
            return false;
        m_budget -= size_t(n);
        m_begin = 0;
        m_end = size_t(n);
        return true;
    }

    int m_fd;
    const HttpConnections::Limits &m_limits;
    char m_buffer[4096];
    size_t m_begin = 0;
    size_t m_end = 0;
    size_t m_budget = 0;
    Clock::time_point m_deadline;
    bool m_inHead = true;
    bool m_headTooLarge = false;
    bool m_bodyTooLarge = false;
    bool m_closeAfterReply = false;
    bool m_ranOutOfTime = false;
};

// The connection the calling thread serves, if any.
thread_local GuardedStream *t_serving = nullptr;

} // namespace

void HttpConnections::headersRead()
{
    if (t_serving)
        t_serving->headersRead();
}

bool HttpConnections::headTooLarge()
{
    return t_serving && t_serving->headTooLarge();
}

bool HttpConnections::bodyTooLarge()
{
    return t_serving && t_serving->bodyTooLarge();
}

void HttpConnections::closeAfterReply()
{
    if (t_serving)
        t_serving->closeAfterReply();
}

HttpConnections::HttpConnections(Limits limits, Serve serve, QByteArray overloadReply)
    : m_limits(limits), m_serve(std::move(serve)), m_overloadReply(std::move(overloadReply))
{
}

HttpConnections::~HttpConnections()
{
    stop();
}

bool HttpConnections::listen(const QString &host, int port, QString *error)
{
    const QHostAddress address(host);
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *v4 = reinterpret_cast<sockaddr_in *>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(quint16(port));
        v4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *v4;
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *v6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(quint16(port));
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6->sin6_addr, bytes.c, 16);
        length = sizeof *v6;
    } else {
        *error = QStringLiteral("\"%1\" is not an IPv4 or IPv6 address").arg(host);
        return false;
    }
    m_listenFd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (m_listenFd < 0 || ::bind(m_listenFd, reinterpret_cast<sockaddr *>(&storage), length) != 0 ||
        ::listen(m_listenFd, 64) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        *error = QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(host)
                     .arg(port)
                     .arg(QString::fromLocal8Bit(std::strerror(errno)));
        stop();
        return false;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&bound), &boundLength);
    addressText(bound, m_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
    return true;
}

void HttpConnections::stop()
{
    m_stopping = true;
    if (m_wake[1] >= 0)
        (void)!::write(m_wake[1], "x", 1);
    if (m_acceptor.joinable())
        m_acceptor.join();
    std::map<std::thread::id, std::thread> workers;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        // Wakes every connection out of its reads and writes.
        for (const auto &open : m_openFds)
            ::shutdown(open.first, SHUT_RDWR);
        workers.swap(m_workers);
        m_finished.clear();
    }
    for (auto &worker : workers)
        worker.second.join();
    for (int *fd : {&m_listenFd, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void HttpConnections::acceptLoop()
{
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    while (!m_stopping) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        joinFinished();
        if (m_stopping || !(fds[0].revents & POLLIN))
            continue;
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        const int fd =
            ::accept4(m_listenFd, reinterpret_cast<sockaddr *>(&peer), &peerLength, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!admit(fd, sourceKey(peer))) {
            refuse(fd);
            continue;
        }
        std::thread worker([this, fd] { run(fd); });
        const std::thread::id id = worker.get_id();
        m_workers.emplace(id, std::move(worker));
    }
}

bool HttpConnections::admit(int fd, const std::string &source)
{
    int &fromSource = m_perSource[source];
    if (int(m_openFds.size()) >= m_limits.maxConnections || fromSource >= m_limits.maxPerSource) {
        if (fromSource == 0)
            m_perSource.erase(source);
        return false;
    }
    ++fromSource;
    m_openFds.emplace(fd, source);
    return true;
}

void HttpConnections::refuse(int fd)
{
    // A fresh socket's send buffer takes the short reply without waiting.
    (void)!::send(fd, m_overloadReply.constData(), size_t(m_overloadReply.size()),
                  MSG_DONTWAIT | MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    const qint64 nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - m_started)
                             .count();
    if (const std::optional<qint64> count = m_refusals.count(nowMs))
        qCWarning(lcRemote,
                  "HTTP connections refused: %lld since the last warning (%zu open, at most %d, "
                  "%d from one address)",
                  *count, m_openFds.size(), m_limits.maxConnections, m_limits.maxPerSource);
}

void HttpConnections::run(int fd)
{
    GuardedStream stream(fd, m_limits);
    t_serving = &stream;
    std::chrono::milliseconds wait = m_limits.firstByteWait;
    for (int left = m_limits.keepAliveRequests; left > 0 && !m_stopping; --left) {
        if (!stream.waitForRequest(wait))
            break;
        wait = m_limits.idleTimeout;
        stream.beginRequest();
        bool closed = false;
        if (!m_serve(stream, left == 1, closed) || closed || stream.mustClose())
            break;
    }
    t_serving = nullptr;
    if (stream.ranOutOfTime())
        qCInfo(lcRemote, "HTTP client dropped: its request did not arrive in time");
    const std::lock_guard<std::mutex> lock(m_mutex);
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    const auto open = m_openFds.find(fd);
    if (--m_perSource[open->second] == 0)
        m_perSource.erase(open->second);
    m_openFds.erase(open);
    m_finished.push_back(std::this_thread::get_id());
    if (m_wake[1] >= 0)
        (void)!::write(m_wake[1], "j", 1);
}

void HttpConnections::joinFinished()
{
    char drain[64];
    while (pollFor(m_wake[0], POLLIN, std::chrono::milliseconds(0)) > 0 &&
           ::read(m_wake[0], drain, sizeof drain) > 0) {
    }
    std::vector<std::thread> done;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::thread::id &id : m_finished) {
            auto it = m_workers.find(id);
            if (it != m_workers.end()) {
                done.push_back(std::move(it->second));
                m_workers.erase(it);
            }
        }
        m_finished.clear();
    }
    for (std::thread &thread : done)
        thread.join();
}
