#include "link/linksocket.h"

#include <QHostAddress>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LinkSocket::~LinkSocket()
{
    close();
}

bool LinkSocket::reopen(quint16 port, int receiveBufferBytes, QString *why)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *why = QString::fromLocal8Bit(std::strerror(errno));
        close();
        return false;
    }
    const int on = 1;
    // Displays are found by broadcast; displays simulated on loopback addresses share the port.
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&any), sizeof any) == 0;
    if (bound)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    else
        *why = QString::fromLocal8Bit(std::strerror(errno));
    const std::unique_lock<std::shared_mutex> lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return bound;
}

void LinkSocket::close()
{
    const std::unique_lock<std::shared_mutex> lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int LinkSocket::descriptor() const
{
    const std::shared_lock<std::shared_mutex> lock(m_mutex);
    return m_fd;
}

int LinkSocket::receiveBufferBytes() const
{
    const std::shared_lock<std::shared_mutex> lock(m_mutex);
    int bytes = 0;
    socklen_t length = sizeof bytes;
    ::getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &bytes, &length);
    return bytes;
}

LinkSocket::Sent LinkSocket::send(const QByteArray &data, quint32 ipv4, quint16 port) const
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(ipv4);
    const std::shared_lock<std::shared_mutex> lock(m_mutex);
    if (m_fd < 0)
        return Sent::NotOpen;
    const ssize_t written = ::sendto(m_fd, data.constData(), size_t(data.size()), MSG_DONTWAIT,
                                     reinterpret_cast<const sockaddr *>(&to), sizeof to);
    return written < 0 ? Sent::Failed : Sent::Yes;
}

std::optional<qint64> LinkSocket::receive(char *buffer, size_t size, QHostAddress *sender) const
{
    sockaddr_in from{};
    socklen_t length = sizeof from;
    const std::shared_lock<std::shared_mutex> lock(m_mutex);
    const ssize_t got =
        ::recvfrom(m_fd, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&from), &length);
    if (got < 0)
        return std::nullopt;
    sender->setAddress(ntohl(from.sin_addr.s_addr));
    return got;
}
