#include "loopbackdisplay.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

namespace {

constexpr quint16 kPort = 7372;

double milliseconds(const timespec &at)
{
    return double(at.tv_sec) * 1e3 + double(at.tv_nsec) / 1e6;
}

} // namespace

double realtimeNowMs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return milliseconds(now);
}

LoopbackDisplay::LoopbackDisplay(const QString &address) : m_fd(socket(AF_INET, SOCK_DGRAM, 0))
{
    const int on = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    sockaddr_in own{};
    own.sin_family = AF_INET;
    own.sin_port = htons(kPort);
    m_bound = inet_pton(AF_INET, address.toLatin1().constData(), &own.sin_addr) == 1 &&
              bind(m_fd, reinterpret_cast<const sockaddr *>(&own), sizeof own) == 0;
}

LoopbackDisplay::~LoopbackDisplay()
{
    close(m_fd);
}

std::optional<LoopbackDisplay::Datagram> LoopbackDisplay::receive()
{
    char payload[512];
    iovec part{payload, sizeof payload};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_name = &m_sender;
    message.msg_namelen = sizeof m_sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = recvmsg(m_fd, &message, MSG_DONTWAIT);
    if (length < 0)
        return std::nullopt;
    for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
            return Datagram{milliseconds(stamp), QByteArray(payload, int(length))};
        }
    }
    return std::nullopt;
}

void LoopbackDisplay::answer() const
{
    const char acknowledgement = 'A';
    sendto(m_fd, &acknowledgement, 1, 0, reinterpret_cast<const sockaddr *>(&m_sender),
           sizeof m_sender);
}

AnsweringDisplay::AnsweringDisplay(const QString &address)
    : m_display(address), m_thread([this] { run(); })
{
}

AnsweringDisplay::~AnsweringDisplay()
{
    m_stop = true;
    m_thread.join();
}

size_t AnsweringDisplay::count()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_received.size();
}

std::vector<LoopbackDisplay::Datagram> AnsweringDisplay::received()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::optional<LoopbackDisplay::Datagram> AnsweringDisplay::waitFor(size_t n, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return m_received.size() > n; }))
        return std::nullopt;
    return m_received[n];
}

void AnsweringDisplay::run()
{
    pollfd wait{m_display.fd(), POLLIN, 0};
    while (!m_stop) {
        if (poll(&wait, 1, 20) <= 0)
            continue;
        while (const std::optional<LoopbackDisplay::Datagram> datagram = m_display.receive()) {
            m_display.answer();
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_received.push_back(*datagram);
            }
            m_arrived.notify_all();
        }
    }
}
