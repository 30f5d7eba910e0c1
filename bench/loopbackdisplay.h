#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <thread>
#include <vector>

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

// A loopback display on a thread of its own that acknowledges every datagram at once and keeps
// it with the kernel's receive time. It binds when made: make it before the controller, which
// shares the port.
class AnsweringDisplay
{
public:
    explicit AnsweringDisplay(const QString &address);
    ~AnsweringDisplay();

    size_t count();
    std::vector<LoopbackDisplay::Datagram> received();
    // Datagram n, once it has come; nothing after timeoutMs.
    std::optional<LoopbackDisplay::Datagram> waitFor(size_t n, int timeoutMs);

private:
    void run();

    LoopbackDisplay m_display;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<LoopbackDisplay::Datagram> m_received;
    std::thread m_thread;
};
