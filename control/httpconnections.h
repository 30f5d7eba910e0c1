#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace httplib {
class Stream;
}

// The sockets under the HTTP door: accepts TCP connections and runs each on a thread of its own,
// reading and writing under limits the HTTP library does not set by itself. At most
// maxConnections run at once; a further client gets `overloadReply` and is closed at once. Each
// request must arrive whole, head and body, within requestDeadline and maxRequestBytes; idle
// keep-alive connections close after idleTimeout. What a request means is `serve`'s business.
class HttpConnections
{
public:
    struct Limits
    {
        int maxConnections = 128;
        size_t maxRequestBytes = 80 * 1024;
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

private:
    void acceptLoop();
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

    std::mutex m_mutex; // guards what follows
    std::set<int> m_openFds;
    std::map<std::thread::id, std::thread> m_workers;
    std::vector<std::thread::id> m_finished;
};
