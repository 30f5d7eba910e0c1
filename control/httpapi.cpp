#include "control/httpapi.h"

#include "control/apireference.h"
#include "control/commandgate.h"
#include "control/controllogging.h"
#include "control/eventhub.h"
#include "control/httpconnections.h"
#include "link/logthrottle.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <cstring>
#include <deque>
#include <httplib.h>

namespace {

constexpr char kJson[] = "application/json";
const QString kCommandsPath = QStringLiteral("/api/v1/commands/");

int httpStatus(CommandResult::Status status)
{
    switch (status) {
    case CommandResult::Status::Done:
        return 200;
    case CommandResult::Status::Malformed:
        return 400;
    case CommandResult::Status::UnknownCommand:
    case CommandResult::Status::NotFound:
        return 404;
    case CommandResult::Status::Invalid:
        return 422;
    case CommandResult::Status::Refused:
        return 409;
    case CommandResult::Status::Unavailable:
        return 503;
    }
    return 500;
}

std::string compact(const QJsonObject &json)
{
    return QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();
}

void reply(httplib::Response &res, const CommandResult &result)
{
    res.status = httpStatus(result.status);
    res.set_content(compact(result.toJson()), kJson);
}

// An error of the door itself, in the commands' form.
QJsonObject errorBody(const QString &kind, const QString &message)
{
    return {{QStringLiteral("ok"), false},
            {QStringLiteral("error"),
             QJsonObject{{QStringLiteral("kind"), kind}, {QStringLiteral("message"), message}}}};
}

void replyError(httplib::Response &res, int status, const QString &kind, const QString &message)
{
    res.status = status;
    res.set_content(compact(errorBody(kind, message)), kJson);
}

QByteArray overloadReply()
{
    const QString why = QStringLiteral("too many connections: try again");
    const QByteArray body =
        QJsonDocument(errorBody(QStringLiteral("unavailable"), why)).toJson(QJsonDocument::Compact);
    return "HTTP/1.1 503 Service Unavailable\r\nContent-Type: application/json\r\n"
           "Content-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

// Wrong tokens are slowed down the more of them there were in the last minute, and logged at
// most once a second.
class TokenFailures
{
public:
    std::chrono::milliseconds note(const std::string &from)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const qint64 now = m_clock.elapsed();
        m_times.push_back(now);
        while (!m_times.empty() && now - m_times.front() > 60000)
            m_times.pop_front();
        if (m_times.size() > 256)
            m_times.pop_front();
        if (const std::optional<qint64> count = m_log.count(now))
            qCWarning(lcRemote, "HTTP request with a missing or wrong token from %s (%lld refused)",
                      from.c_str(), *count);
        return std::chrono::milliseconds(std::min<qint64>(2000, 200 * qint64(m_times.size())));
    }

private:
    std::mutex m_mutex;
    QElapsedTimer m_clock = [] {
        QElapsedTimer clock;
        clock.start();
        return clock;
    }();
    std::deque<qint64> m_times;
    LogThrottle m_log;
};

bool sameSecret(const QByteArray &a, const QByteArray &b)
{
    // Digests of equal length, compared without an early exit.
    const QByteArray x = QCryptographicHash::hash(a, QCryptographicHash::Sha256);
    const QByteArray y = QCryptographicHash::hash(b, QCryptographicHash::Sha256);
    unsigned char differ = 0;
    for (int i = 0; i < x.size(); ++i)
        differ |= static_cast<unsigned char>(x.at(i) ^ y.at(i));
    return differ == 0;
}

// A request held in memory, for serving without a socket.
class MemoryStream final : public httplib::Stream
{
public:
    explicit MemoryStream(QByteArray request) : m_request(std::move(request)) {}
    const QByteArray &answer() const { return m_answer; }

    bool is_readable() const override { return m_read < m_request.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char *ptr, size_t size) override
    {
        const int n = int(std::min<qint64>(qint64(size), m_request.size() - m_read));
        std::memcpy(ptr, m_request.constData() + m_read, size_t(n));
        m_read += n;
        return n > 0 ? n : -1;
    }
    ssize_t write(const char *ptr, size_t size) override
    {
        m_answer.append(ptr, int(size));
        return ssize_t(size);
    }
    void get_remote_ip_and_port(std::string &ip, int &port) const override
    {
        ip = "127.0.0.1";
        port = 40000;
    }
    void get_local_ip_and_port(std::string &ip, int &port) const override
    {
        ip = "127.0.0.1";
        port = HttpApi::kDefaultPort;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

private:
    QByteArray m_request;
    int m_read = 0;
    QByteArray m_answer;
};

} // namespace

// The HTTP library's request handling, fed by our own connections.
class HttpApi::Server : public httplib::Server
{
public:
    Server(CommandGate &gate, EventHub &events, HttpApi::Options options)
        : m_gate(gate), m_events(events), m_options(std::move(options)),
          m_connections(
              {m_options.maxConnections, m_options.maxConnectionsPerSource, m_options.maxHeadBytes,
               m_options.maxBodyBytes + kChunkFramingAllowance, m_options.firstByteWait,
               m_options.requestDeadline, m_options.idleTimeout, m_options.writeTimeout,
               m_options.keepAliveRequests},
              [this](httplib::Stream &stream, bool closeConnection, bool &closed) {
                  return handleRequest(stream, closeConnection, closed);
              },
              overloadReply())
    {
        set_payload_max_length(m_options.maxBodyBytes);
        // What the Keep-Alive header tells is what the connections do.
        set_keep_alive_max_count(size_t(m_options.keepAliveRequests));
        set_keep_alive_timeout(time_t((m_options.idleTimeout.count() + 999) / 1000));
        set_post_routing_handler([](const httplib::Request &, httplib::Response &res) {
            if (res.get_header_value("Connection") == "close")
                res.headers.erase("Keep-Alive");
        });
        set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
            return guard(req, res);
        });
        // A client that waits for "100 Continue" before its body hears a refusal instead.
        set_expect_100_continue_handler(
            [this](const httplib::Request &req, httplib::Response &res) {
                const std::optional<HeadRefusal> refusal = refuseHead(req);
                if (!refusal)
                    return 100;
                replyError(res, refusal->status, QStringLiteral("malformed"), refusal->message);
                return refusal->status;
            });
        set_error_handler([this](const httplib::Request &, httplib::Response &res) {
            if (!res.body.empty())
                return;
            if (HttpConnections::headTooLarge()) {
                closeAfterReply(res);
                replyError(res, 431, QStringLiteral("malformed"),
                           QStringLiteral("headers: request line and headers larger than %1 bytes")
                               .arg(m_options.maxHeadBytes));
            } else if (res.status == 413) {
                replyError(
                    res, 413, QStringLiteral("malformed"),
                    QStringLiteral("body: larger than %1 bytes").arg(m_options.maxBodyBytes));
            } else if (res.status == 404) {
                replyError(res, 404, QStringLiteral("not-found"),
                           QStringLiteral("no such resource; the API is under /api/v1"));
            } else {
                replyError(res, res.status, QStringLiteral("http"),
                           QStringLiteral("HTTP status %1").arg(res.status));
            }
        });
        Get("/api/v1/state", [this](const httplib::Request &, httplib::Response &res) {
            const CommandResult result =
                m_gate.call(QStringLiteral("state"), {}, m_options.gateWait);
            res.status = httpStatus(result.status);
            res.set_content(compact(result.isDone() ? result.data : result.toJson()), kJson);
        });
        Get("/api/v1/commands", [](const httplib::Request &, httplib::Response &res) {
            res.set_content(compact(ApiReference::tableJson()), kJson);
        });
        Post(R"(/api/v1/commands/([^/]+))",
             [this](const httplib::Request &req, httplib::Response &res,
                    const httplib::ContentReader &read) { command(req, res, read); });
        Get(R"(/api/v1/commands/([^/]+))", [](const httplib::Request &, httplib::Response &res) {
            replyError(res, 405, QStringLiteral("method"),
                       QStringLiteral("commands are sent with POST and a JSON body"));
        });
        Get("/api/v1/events",
            [this](const httplib::Request &, httplib::Response &res) { stream(res); });
    }

    void addStaticFile(const QString &path, StaticFile file)
    {
        m_static.insert(path, file);
        Get(path.toStdString(), [file](const httplib::Request &, httplib::Response &res) {
            res.set_header("Cache-Control", "no-cache");
            for (const auto &[name, value] : file.headers)
                res.set_header(name.constData(), value.constData());
            res.set_content(file.bytes.toStdString(), file.contentType.constData());
        });
    }

    bool listen(QString *error)
    {
        if (!m_connections.listen(m_options.host, m_options.port, error))
            return false;
        // The library's responses that stream check this to learn the server is stopping.
        svr_sock_ = 0;
        return true;
    }

    void stop()
    {
        m_stopping = true;
        svr_sock_ = INVALID_SOCKET;
        m_connections.stop();
    }

    int port() const { return m_connections.port(); }

    QByteArray answerInMemory(const QByteArray &request)
    {
        MemoryStream stream(request);
        bool closed = false;
        handleRequest(stream, true, closed);
        return stream.answer();
    }

private:
    using HeadersRead = std::function<void(httplib::Request &)>;
    HeadersRead headersReadBy()
    {
        return [this](httplib::Request &req) { headersRead(req); };
    }

    // The library's handling of one request. From 0.13 on (Debian 13 has 0.18) it is handed the
    // peer's and its own address; before, it asked the stream itself.
    template <typename Self = Server>
    auto handleRequest(httplib::Stream &stream, bool closeConnection, bool &closed)
        -> decltype(std::declval<Self &>().process_request(stream, closeConnection, closed,
                                                           HeadersRead()))
    {
        return static_cast<Self &>(*this).process_request(stream, closeConnection, closed,
                                                          headersReadBy());
    }

    template <typename Self = Server>
    auto handleRequest(httplib::Stream &stream, bool closeConnection, bool &closed)
        -> decltype(std::declval<Self &>().process_request(stream, std::string(), 0, std::string(),
                                                           0, closeConnection, closed,
                                                           HeadersRead()))
    {
        std::string remoteAddress, localAddress;
        int remotePort = 0, localPort = 0;
        stream.get_remote_ip_and_port(remoteAddress, remotePort);
        stream.get_local_ip_and_port(localAddress, localPort);
        return static_cast<Self &>(*this).process_request(stream, remoteAddress, remotePort,
                                                          localAddress, localPort, closeConnection,
                                                          closed, headersReadBy());
    }

    // Room for the chunk sizes and line ends of a chunked body, beyond its bytes.
    static constexpr size_t kChunkFramingAllowance = 4096;
    // Between two tries for a new stream's state while the controller is busy.
    static constexpr std::chrono::milliseconds kStateRetryPause{100};

    // The rest of the request is not read, so the connection ends with this answer, and says so.
    static void closeAfterReply(httplib::Response &res)
    {
        HttpConnections::closeAfterReply();
        res.set_header("Connection", "close");
    }

    struct HeadRefusal
    {
        int status;
        QString message;
    };

    // Between the head and the body: the body's budget applies from here on. A request refused
    // on its head is answered before its body and ends its connection, as the body is not read.
    void headersRead(httplib::Request &req)
    {
        HttpConnections::headersRead();
        // A POST without a body and without saying so ("curl -X POST URL") would otherwise wait
        // for a body until the request's time runs out.
        if (req.method == "POST" && !req.has_header("Content-Length") &&
            !req.has_header("Transfer-Encoding"))
            req.set_header("Content-Length", "0");
        // The answer then says what the connection does.
        const bool lastOfHttp10 =
            req.version == "HTTP/1.0" && req.get_header_value("Connection") != "Keep-Alive";
        if (refuseHead(req) || lastOfHttp10) {
            req.headers.erase("Connection");
            req.set_header("Connection", "close");
            HttpConnections::closeAfterReply();
        }
    }

    // What the head alone shows to be wrong: what a proxy in front could read otherwise, and a
    // body announced larger than allowed.
    std::optional<HeadRefusal> refuseHead(const httplib::Request &req) const
    {
        const size_t hosts = req.get_header_value_count("Host");
        if (hosts > 1 || (hosts == 0 && req.version != "HTTP/1.0"))
            return HeadRefusal{400, QStringLiteral("Host: an HTTP/1.1 request names its host, "
                                                   "once")};
        const size_t lengths = req.get_header_value_count("Content-Length");
        if (lengths == 0)
            return std::nullopt;
        if (req.has_header("Transfer-Encoding"))
            return HeadRefusal{400, QStringLiteral("Content-Length: not with Transfer-Encoding")};
        const std::string length = req.get_header_value("Content-Length");
        for (size_t i = 0; i < lengths; ++i) {
            const std::string value = req.get_header_value("Content-Length", i);
            if (value != length || value.empty() || value.size() > 18 ||
                value.find_first_not_of("0123456789") != std::string::npos)
                return HeadRefusal{400, QStringLiteral("Content-Length: one number of bytes")};
        }
        if (std::stoull(length) > m_options.maxBodyBytes)
            return HeadRefusal{
                413, QStringLiteral("body: larger than %1 bytes").arg(m_options.maxBodyBytes)};
        return std::nullopt;
    }

    HandlerResponse guard(const httplib::Request &req, httplib::Response &res)
    {
        if (const std::optional<HeadRefusal> refusal = refuseHead(req)) {
            replyError(res, refusal->status, QStringLiteral("malformed"), refusal->message);
            return HandlerResponse::Handled;
        }
        if (!hostAllowed(req)) {
            replyError(res, 403, QStringLiteral("forbidden"),
                       QStringLiteral("Host \"%1\" is not this server's address")
                           .arg(QString::fromStdString(req.get_header_value("Host")).left(80)));
            return HandlerResponse::Handled;
        }
        const QString path = QString::fromStdString(req.path);
        if (req.method == "GET" && m_static.contains(path))
            return HandlerResponse::Unhandled;
        const Access access = accessOf(req);
        if (access == Access::None) {
            std::this_thread::sleep_for(m_failures.note(req.remote_addr));
            res.set_header("WWW-Authenticate", "Bearer");
            replyError(res, 401, QStringLiteral("unauthorized"),
                       QStringLiteral("token: missing or wrong (send \"Authorization: Bearer "
                                      "TOKEN\"; qb-timer --api-token shows it)"));
            return HandlerResponse::Handled;
        }
        if (access == Access::Read && !(req.method == "GET" && isReadOnly(path))) {
            replyError(res, 403, QStringLiteral("forbidden"),
                       QStringLiteral("token: the viewer token reads the state and the events "
                                      "only; commands need the API token"));
            return HandlerResponse::Handled;
        }
        if (req.method == "POST" && !isJson(req)) {
            replyError(res, 415, QStringLiteral("malformed"),
                       QStringLiteral("Content-Type: commands take application/json"));
            return HandlerResponse::Handled;
        }
        return HandlerResponse::Unhandled;
    }

    bool hostAllowed(const httplib::Request &req) const
    {
        if (!req.has_header("Host"))
            return true; // not a browser: DNS rebinding needs one
        QString host = QString::fromStdString(req.get_header_value("Host"));
        if (host.startsWith(QLatin1Char('[')))
            host = host.mid(1, host.indexOf(QLatin1Char(']')) - 1);
        else if (host.count(QLatin1Char(':')) == 1)
            host.truncate(host.indexOf(QLatin1Char(':')));
        // A name other than these could be one an attacker's DNS points here; an address
        // literal cannot.
        return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
               !QHostAddress(host).isNull() || host == m_options.host;
    }

    enum class Access { None, Read, Full };

    Access accessOf(const httplib::Request &req) const
    {
        if (m_options.token.isEmpty())
            return Access::Full;
        const std::string header = req.get_header_value("Authorization");
        const std::string scheme = "Bearer ";
        if (header.compare(0, scheme.size(), scheme) != 0)
            return Access::None;
        const QByteArray given = QByteArray::fromStdString(header.substr(scheme.size()));
        if (sameSecret(given, m_options.token))
            return Access::Full;
        if (!m_options.viewerToken.isEmpty() && sameSecret(given, m_options.viewerToken))
            return Access::Read;
        return Access::None;
    }

    static bool isReadOnly(const QString &path)
    {
        return path == QLatin1String("/api/v1/state") || path == QLatin1String("/api/v1/events");
    }

    // How long a command may wait for the controller: until its "X-QB-Deadline" (ms on the
    // clock of clockMs()), at most the gate's usual while. A deadline that is no number has
    // passed.
    std::chrono::milliseconds timeLeft(const httplib::Request &req) const
    {
        if (!req.has_header("X-QB-Deadline"))
            return m_options.gateWait;
        bool isNumber = false;
        const qint64 deadline =
            QByteArray::fromStdString(req.get_header_value("X-QB-Deadline")).toLongLong(&isNumber);
        const std::chrono::milliseconds left(isNumber ? deadline - clockMs() : -1);
        return std::min(left, m_options.gateWait);
    }

    static qint64 clockMs()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    static bool isJson(const httplib::Request &req)
    {
        const std::string type = req.get_header_value("Content-Type");
        return type.compare(0, std::strlen(kJson), kJson) == 0 &&
               (type.size() == std::strlen(kJson) || type[std::strlen(kJson)] == ';');
    }

    // The body, chunked or not, read up to its bound; nothing, with the answer given, when it
    // cannot be had whole.
    std::optional<QByteArray> readBody(const httplib::ContentReader &read, httplib::Response &res)
    {
        QByteArray body;
        bool tooLarge = false;
        const bool whole = read([&](const char *data, size_t size) {
            tooLarge = size_t(body.size()) + size > m_options.maxBodyBytes;
            if (!tooLarge)
                body.append(data, int(size));
            return !tooLarge;
        });
        if (whole)
            return body;
        closeAfterReply(res);
        if (tooLarge || HttpConnections::bodyTooLarge())
            replyError(res, 413, QStringLiteral("malformed"),
                       QStringLiteral("body: larger than %1 bytes").arg(m_options.maxBodyBytes));
        else
            replyError(res, 400, QStringLiteral("malformed"),
                       QStringLiteral("body: incomplete or malformed"));
        return std::nullopt;
    }

    void command(const httplib::Request &req, httplib::Response &res,
                 const httplib::ContentReader &read)
    {
        const std::optional<QByteArray> text = readBody(read, res);
        if (!text)
            return;
        const std::chrono::milliseconds left = timeLeft(req);
        if (left < std::chrono::milliseconds(0)) {
            replyError(res, 409, QStringLiteral("late"),
                       QStringLiteral("X-QB-Deadline: the command came after its deadline and "
                                      "was not carried out"));
            return;
        }
        const QString name = QString::fromStdString(req.matches[1]);
        QJsonObject args;
        if (!text->isEmpty()) {
            QJsonParseError error{};
            const QJsonDocument body = QJsonDocument::fromJson(*text, &error);
            if (error.error != QJsonParseError::NoError || !body.isObject()) {
                const QString why =
                    error.error != QJsonParseError::NoError
                        ? QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset)
                        : QStringLiteral("a JSON object of parameters expected");
                reply(res, CommandResult::refused(CommandResult::Status::Malformed,
                                                  QStringLiteral("body"),
                                                  QStringLiteral("body: ") + why));
                return;
            }
            args = body.object();
        }
        // The controller takes it up before its deadline or not at all.
        reply(res, m_gate.call(name, args, left));
    }

    // Server-Sent Events: the whole state first, then each change; a fresh state again whenever
    // this client fell behind. A stream never tells an error for a state: while the controller
    // is busy it is asked again, and a stream that cannot have its state ends, so that the
    // client comes back.
    void stream(httplib::Response &res)
    {
        auto stream = std::make_shared<StreamSlot>(m_streams);
        std::shared_ptr<EventHub::Subscriber> subscriber =
            stream->taken() <= m_options.maxEventClients ? m_events.subscribe() : nullptr;
        if (!subscriber) {
            replyError(res, 503, QStringLiteral("unavailable"),
                       QStringLiteral("too many event-stream clients (at most %1)")
                           .arg(m_options.maxEventClients));
            return;
        }
        res.set_header("Cache-Control", "no-store");
        res.set_header("X-QB-Clock", std::to_string(clockMs()));
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, stream, subscriber, first = true](size_t, httplib::DataSink &sink) mutable {
                std::string out = first ? "retry: 2000\n" : "";
                bool wholeState = first;
                first = false;
                if (!wholeState) {
                    const EventHub::Subscriber::Batch batch =
                        subscriber->wait(m_options.keepAliveComment);
                    if (batch.closed || m_stopping) {
                        sink.done();
                        return true;
                    }
                    if (batch.lost) {
                        wholeState = true; // it stands for what was dropped
                    } else {
                        for (const EventHub::Event &event : batch.events)
                            out += "event: " + event.kind.toStdString() +
                                   "\ndata: " + event.json.toStdString() + "\n\n";
                    }
                }
                if (wholeState) {
                    const std::string state = stateEvent();
                    if (state.empty()) {
                        // An empty chunk would end the stream before done() does.
                        if (!out.empty())
                            sink.write(out.data(), out.size());
                        sink.done();
                        return true;
                    }
                    out += state;
                }
                if (out.empty())
                    out = ": still here\n\n";
                return sink.write(out.data(), out.size());
            });
    }

    // Counts an event-stream client for as long as its response lives.
    class StreamSlot
    {
    public:
        explicit StreamSlot(std::atomic<int> &count) : m_count(count), m_taken(++count) {}
        ~StreamSlot() { --m_count; }
        int taken() const { return m_taken; }

    private:
        std::atomic<int> &m_count;
        int m_taken;
    };

    // The state as an event; empty when the controller stayed busy for firstStateWait.
    std::string stateEvent()
    {
        const auto giveUp = std::chrono::steady_clock::now() + m_options.firstStateWait;
        for (;;) {
            const CommandResult state =
                m_gate.call(QStringLiteral("state"), {}, m_options.gateWait);
            if (state.isDone())
                return "event: state\ndata: " + compact(state.data) + "\n\n";
            if (m_stopping || std::chrono::steady_clock::now() >= giveUp)
                return {};
            std::this_thread::sleep_for(kStateRetryPause);
        }
    }

    CommandGate &m_gate;
    EventHub &m_events;
    HttpApi::Options m_options;
    QHash<QString, StaticFile> m_static;
    TokenFailures m_failures;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_streams{0};
    HttpConnections m_connections;
};

HttpApi::HttpApi(CommandGate &gate, EventHub &events, Options options)
    : m_server(std::make_unique<Server>(gate, events, std::move(options)))
{
}

HttpApi::~HttpApi()
{
    stop();
}

void HttpApi::addStaticFile(const QString &path, StaticFile file)
{
    m_server->addStaticFile(path, std::move(file));
}

bool HttpApi::start(QString *error)
{
    return m_server->listen(error);
}

void HttpApi::stop()
{
    m_server->stop();
}

int HttpApi::port() const
{
    return m_server->port();
}

QByteArray HttpApi::answerInMemory(const QByteArray &request)
{
    return m_server->answerInMemory(request);
}
