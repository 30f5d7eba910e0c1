#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <shared_mutex>

class QHostAddress;

// The displays' port as a plain IPv4 datagram socket. Any thread may write to it, so a command is
// written by the thread that sends it, without waiting for the link thread to wake up; the link
// thread alone reads it and replaces it. The lock keeps a replacement from closing the
// descriptor under a write.
class LinkSocket
{
public:
    LinkSocket() = default;
    ~LinkSocket();
    LinkSocket(const LinkSocket &) = delete;
    LinkSocket &operator=(const LinkSocket &) = delete;

    // A fresh socket in place of the old one, bound to any IPv4 address on `port` and sharing it
    // with sockets that allow it; false, with the reason, when the port cannot be had. An unbound
    // socket still writes, from a port the system chooses.
    bool reopen(quint16 port, int receiveBufferBytes, QString *why);
    void close();
    // The descriptor to wait on; -1 when closed. Link thread.
    int descriptor() const;
    // What the kernel granted of the asked-for receive buffer.
    int receiveBufferBytes() const;

    enum class Sent { Yes, Failed, NotOpen };
    // Any thread: one datagram to an IPv4 address.
    Sent send(const QByteArray &data, quint32 ipv4, quint16 port) const;
    // Link thread: the next waiting datagram into `buffer` with its sender, or nothing.
    std::optional<qint64> receive(char *buffer, size_t size, QHostAddress *sender) const;

private:
    mutable std::shared_mutex m_mutex;
    int m_fd = -1;
};
