#include "control/oscreader.h"

#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

OscReader::OscReader(int fd) : m_fd(fd), m_stopFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

OscReader::~OscReader()
{
    ::close(m_stopFd);
}

void OscReader::run(const Handle &handle)
{
    std::vector<char> buffer(65536);
    pollfd waits[2] = {{m_fd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    while (!m_stopping) {
        if (::poll(waits, 2, -1) < 0 && errno != EINTR)
            return;
        if (waits[1].revents != 0)
            return;
        while (!m_stopping) {
            sockaddr_storage from{};
            socklen_t length = sizeof from;
            const ssize_t size = ::recvfrom(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                            reinterpret_cast<sockaddr *>(&from), &length);
            if (size < 0)
                break;
            handle(QByteArray(buffer.data(), int(size)), peerOf(from));
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            int pending = 0; // takes a reported error off the socket
            socklen_t length = sizeof pending;
            ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &pending, &length);
        }
    }
}

void OscReader::stop()
{
    m_stopping = true;
    const quint64 one = 1;
    (void)!::write(m_stopFd, &one, sizeof one);
}

OscPeer OscReader::peerOf(const sockaddr_storage &address)
{
    QHostAddress host(reinterpret_cast<const sockaddr *>(&address));
    bool isMapped = false;
    const quint32 ipv4 = host.toIPv4Address(&isMapped);
    if (isMapped)
        host = QHostAddress(ipv4);
    const in_port_t port = address.ss_family == AF_INET6
                               ? reinterpret_cast<const sockaddr_in6 &>(address).sin6_port
                               : reinterpret_cast<const sockaddr_in &>(address).sin_port;
    return {host, ntohs(port)};
}
