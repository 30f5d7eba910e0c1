#pragma once

#include "link/logthrottle.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace httplib {
class Stream;
}

// The sockets under the HTTP door: accepts TCP connections and runs each on a thread of its own,
// reading and writing under limits the HTTP library does not set by itself. At most
// maxConnections run at once, and at most maxPerSource from one address, so that one host cannot
// keep the others out; a further client gets `overloadReply` and is closed at once. A connection
// must send its first byte within firstByteWait; each request must arrive whole within
// requestDeadline, its request line and headers within maxHeadBytes and its body, as sent, within
// maxBodyWireBytes; idle keep-alive connections close after idleTimeout. What a request means is
// `serve`'s business.
class HttpConnections
{
public:
    struct Limits
    {
        int maxConnections = 128;
        int maxPerSource = 16;
        size_t maxHeadBytes = 16 * 1024;
        size_t maxBodyWireBytes = 68 * 1024;
        std::chrono::milliseconds firstByteWait{2000};
        std::chrono::milliseconds requestDeadline{10000};
        std::chrono::milliseconds idleTimeout{5000};
        std::chrono::milliseconds writeTimeout{5000};
        int keepAliveRequests = 100;
    };
    // Serves one request on the stream; false or `closed` ends the connection. closeConnection
    // says this is the last request the connection may carry.
    using Serve = std::function<bool(httplib::Stream &stream, bool closeConnection, bool &closed)>;

    HttpConnections(Limits limits, Serve serve, QByteArray overloadReply);
    ~HttpConnections();

    bool listen(const QString &host, int port, QString *error);
    void stop();
    int port() const { return m_port; }

    // For the request `serve` is handling on the calling thread; on any other thread they do
    // nothing and say no.
    // The request line and headers are read: what follows is the body, under its own budget.
    static void headersRead();
    // The request line and headers ran past maxHeadBytes.
    static bool headTooLarge();
    // The body as sent ran past maxBodyWireBytes.
    static bool bodyTooLarge();
    // The connection ends once this request is answered (its body was not read to the end).
    static void closeAfterReply();

private:
    void acceptLoop();
    bool admit(int fd, const std::string &source);
    void refuse(int fd);
    void run(int fd);
    void joinFinished();

    Limits m_limits;
    Serve m_serve;
    QByteArray m_overloadReply;
    int m_listenFd = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::thread m_acceptor;
    std::atomic<bool> m_stopping{false};

    std::mutex m_mutex;                     // guards what follows
    std::map<int, std::string> m_openFds;   // open sockets, with the source of each
    std::map<std::string, int> m_perSource; // open connections by source address
    LogThrottle m_refusals;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    std::map<std::thread::id, std::thread> m_workers;
    std::vector<std::thread::id> m_finished;
};
