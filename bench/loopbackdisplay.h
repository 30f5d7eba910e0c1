#pragma once

#include <QByteArray>
#include <QString>
#include <netinet/in.h>
#include <optional>

// CLOCK_REALTIME in milliseconds with fraction: the clock of the kernel's receive timestamps.
double realtimeNowMs();

// A stand-in display on one loopback address, port 7372 (shared with the controller's socket),
// that reads the kernel's receive timestamp of every datagram. On loopback that timestamp is
// taken inside the sender's write, so it tells when the link wrote the datagram, however late
// this process gets round to reading it.
class LoopbackDisplay
{
public:
    struct Datagram
    {
        double receivedMs; // CLOCK_REALTIME
        QByteArray payload;
    };

    explicit LoopbackDisplay(const QString &address);
    ~LoopbackDisplay();
    LoopbackDisplay(const LoopbackDisplay &) = delete;
    LoopbackDisplay &operator=(const LoopbackDisplay &) = delete;

    int fd() const { return m_fd; }
    bool isBound() const { return m_bound; }

    // Takes one waiting datagram without blocking, remembering its sender for answer().
    std::optional<Datagram> receive();
    // The display's short acknowledgement "A" to the sender of the last datagram received.
    void answer() const;

private:
    int m_fd;
    bool m_bound = false;
    sockaddr_in m_sender{};
};
