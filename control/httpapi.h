#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "control/commandgate.h"

class EventHub;

// The HTTP/JSON door: the state, the commands and a stream of changes under /api/v1, served on
// threads of its own. Requests reach the controller only through the command gate.
//
// Everything a client can make it hold is bounded: connections in all and from one address
// (beyond either cap a client is told 503 and closed), the wait for a connection's first byte, the
// request line and headers (431 above 16 KiB), the body, chunked or not (413 above 64 KiB, at once
// when its length says so), the time a request may take to arrive (a client that trickles its
// bytes is dropped), idle keep-alive connections, event-stream clients. A head a proxy could read
// otherwise is refused (400): an HTTP/1.1 request without one Host, two different lengths.
//
// The event stream's response carries the server's clock ("X-QB-Clock", ms on a monotonic
// clock); a command may carry "X-QB-Deadline" on that clock and is then refused (409, "late") when
// it is read after it, so that a command held up on the way is never carried out late.
class HttpApi
{
public:
    static constexpr int kDefaultPort = 7380;

    struct Options
    {
        QString host = QStringLiteral("127.0.0.1");
        int port = kDefaultPort;
        // Asked of every request but the page's own files, as "Authorization: Bearer TOKEN";
        // empty for none, which only loopback may do.
        QByteArray token;
        // With a token: also accepted, for reading only (GET of the state and the event stream;
        // anything else is 403), so that a screen showing the time can be set up without the
        // operator's rights. Empty for none.
        QByteArray viewerToken;
        int maxConnections = 128;
        int maxConnectionsPerSource = 16;
        int maxEventClients = 100;
        size_t maxBodyBytes = 64 * 1024;
        size_t maxHeadBytes = 16 * 1024;
        int keepAliveRequests = 100;
        std::chrono::milliseconds firstByteWait{2000};    // from the connection to its first byte
        std::chrono::milliseconds requestDeadline{10000}; // from its first byte to its last
        std::chrono::milliseconds idleTimeout{5000};      // between keep-alive requests
        std::chrono::milliseconds writeTimeout{5000};
        // An idle event stream says it lives this often, so that a client may take a few seconds
        // of silence for a lost link.
        std::chrono::milliseconds keepAliveComment{1000};
        std::chrono::milliseconds gateWait = CommandGate::kDefaultWait; // per command
        // A new event stream tries this long to get the state it opens with, then ends so
        // that the client comes back.
        std::chrono::milliseconds firstStateWait{5000};
    };

    // A file of the page served at a path, as it is, with headers of its own.
    struct StaticFile
    {
        QByteArray contentType;
        QByteArray bytes;
        QList<QPair<QByteArray, QByteArray>> headers;
    };

    HttpApi(CommandGate &gate, EventHub &events, Options options);
    ~HttpApi();
    HttpApi(const HttpApi &) = delete;
    HttpApi &operator=(const HttpApi &) = delete;

    // Before start(): files served to GET without a token, such as "/" and "/app.js".
    void addStaticFile(const QString &path, StaticFile file);

    // Binds and starts serving; false with the reason when the address cannot be had.
    bool start(QString *error);
    void stop();
    // The bound port: the one asked for, or the one the system chose for port 0.
    int port() const;

    // Serves one request given as bytes, without sockets, and gives the answer's bytes: the fuzz
    // target's way in. The gate must belong to the calling thread.
    QByteArray answerInMemory(const QByteArray &request);

private:
    class Server;
    std::unique_ptr<Server> m_server;
};
