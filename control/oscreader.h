#pragma once

#include "control/oscmessage.h"

#include <atomic>
#include <functional>
#include <sys/socket.h>

// Reads a datagram socket on the calling thread and hands each datagram on with its sender, until
// stopped from any thread. A flood (or a door answering itself) can keep the socket from ever
// running dry, so the stop is looked for before every datagram, not only when there is nothing
// left to read.
class OscReader
{
public:
    using Handle = std::function<void(const QByteArray &datagram, const OscPeer &from)>;

    // Reads `fd`, which stays the caller's.
    explicit OscReader(int fd);
    ~OscReader();
    OscReader(const OscReader &) = delete;
    OscReader &operator=(const OscReader &) = delete;

    void run(const Handle &handle);
    void stop();

    // A socket address as a peer, an IPv4 one as IPv4 whatever socket it came through.
    static OscPeer peerOf(const sockaddr_storage &address);

private:
    const int m_fd;
    const int m_stopFd;
    std::atomic<bool> m_stopping{false};
};
