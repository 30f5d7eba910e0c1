#include "controllerclient.h"

#include <QJsonDocument>
#include <arpa/inet.h>
#include <httplib.h>
#include <netdb.h>

namespace {

constexpr time_t kConnectSeconds = 3;
// The controller answers a command within its gate's 2 s, or says it is busy; one sent with
// "confirm" waits up to about 10 s more for the displays to acknowledge it.
constexpr time_t kAnswerSeconds = 20;
// An idle event stream says it lives every 15 s.
constexpr time_t kStreamSilenceSeconds = 40;

// The first address a host name stands for, as text; the host itself when it is an address.
std::string addressOf(const std::string &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return {};
    char text[INET6_ADDRSTRLEN] = {};
    const void *bytes = found->ai_family == AF_INET6
                            ? static_cast<const void *>(
                                  &reinterpret_cast<sockaddr_in6 *>(found->ai_addr)->sin6_addr)
                            : &reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr;
    inet_ntop(found->ai_family, bytes, text, sizeof text);
    freeaddrinfo(found);
    return text;
}

QJsonObject objectOf(const std::string &body)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
}

QString errorMessage(const QJsonObject &answer)
{
    return answer.value(QStringLiteral("error"))
        .toObject()
        .value(QStringLiteral("message"))
        .toString();
}

} // namespace

ControllerClient::ControllerClient(Where where)
    : m_where(std::move(where)), m_literal(addressOf(m_where.host))
{
    if (m_literal.empty())
        return;
    // By name, so that the client tries each of its addresses in turn.
    m_http = std::make_unique<httplib::Client>(m_where.host, m_where.port);
    m_http->set_connection_timeout(kConnectSeconds);
    m_http->set_read_timeout(kAnswerSeconds);
    if (!m_where.token.empty())
        m_http->set_bearer_token_auth(m_where.token);
}

ControllerClient::~ControllerClient() = default;

ControllerClient::Answer ControllerClient::call(const QString &command, const QJsonObject &args)
{
    if (!m_http)
        return unreachable("no address for the name");
    const httplib::Result res = m_http->Post(
        "/api/v1/commands/" + command.toStdString(), {{"Host", address()}},
        QJsonDocument(args).toJson(QJsonDocument::Compact).toStdString(), "application/json");
    if (!res)
        return unreachable(httplib::to_string(res.error()) + " error");
    if (res->status == 401)
        return unauthorized(res->body);
    const QJsonObject answer = objectOf(res->body);
    if (!answer.contains(QStringLiteral("ok")))
        return unreachable("something else answers there, with HTTP status " +
                           std::to_string(res->status));
    Answer done;
    done.body = QByteArray::fromStdString(res->body);
    if (answer.value(QStringLiteral("ok")).toBool()) {
        done.result = answer.value(QStringLiteral("result")).toObject();
        return done;
    }
    done.status = kRefused;
    done.message = errorMessage(answer);
    return done;
}

ControllerClient::Answer
ControllerClient::watch(const std::function<void(const EventStream::Event &)> &onEvent)
{
    if (!m_http)
        return unreachable("no address for the name");
    m_http->set_read_timeout(kStreamSilenceSeconds);
    EventStream stream;
    int status = 0;
    std::string refusal;
    const httplib::Result res = m_http->Get(
        "/api/v1/events", {{"Host", address()}},
        [&status](const httplib::Response &response) {
            status = response.status;
            return true;
        },
        [&](const char *data, size_t size) {
            if (status != 200)
                refusal.append(data, size);
            else
                for (const EventStream::Event &event : stream.feed(data, size))
                    onEvent(event);
            return true;
        });
    if (!res)
        return unreachable(httplib::to_string(res.error()) + " error");
    if (status == 401)
        return unauthorized(refusal);
    if (status != 200) {
        Answer refused;
        refused.status = kRefused;
        refused.body = QByteArray::fromStdString(refusal);
        refused.message = errorMessage(objectOf(refusal));
        return refused;
    }
    return unreachable("the controller ended the event stream");
}

ControllerClient::Answer ControllerClient::unreachable(const std::string &why) const
{
    const std::string where = m_where.host + ':' + std::to_string(m_where.port);
    Answer answer;
    answer.status = kUnreachable;
    answer.message = QString::fromStdString(
        "no controller at " + where + " (" + why +
        "): start one with \"qb-timer --headless\", or the window with \"qb-timer --api-listen " +
        where + "\"");
    return answer;
}

ControllerClient::Answer ControllerClient::unauthorized(const std::string &body) const
{
    Answer answer;
    answer.status = kUnauthorized;
    if (objectOf(body).contains(QStringLiteral("ok")))
        answer.body = QByteArray::fromStdString(body);
    answer.message = QStringLiteral("token missing or wrong: give it with --token or "
                                    "QB_TIMER_TOKEN (\"qb-timer --api-token\" on the "
                                    "controller's machine shows it)");
    return answer;
}

std::string ControllerClient::address() const
{
    const bool v6 = m_literal.find(':') != std::string::npos;
    return (v6 ? '[' + m_literal + ']' : m_literal) + ':' + std::to_string(m_where.port);
}
