#include "controllerfixture.h"

#include "control/commandcontext.h"
#include "control/commandgate.h"
#include "control/controlstate.h"
#include "control/eventhub.h"
#include "control/httpapi.h"

#include <QtTest>
#include <arpa/inet.h>
#include <future>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The HTTP door against what a hostile or clumsy client sends it: every answer's status, and
// that nothing it can send holds the server or reaches the controller unchecked.
namespace {

using namespace std::chrono_literals;

const QByteArray kViewerToken = "v1ewer-token-ghijkl";

// A connection from `source`, a loopback address: each one stands for another host.
int connectTo(int port, const char *source = "127.0.0.1")
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &address.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return fd;
}

QByteArray readToClose(int fd)
{
    QByteArray answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, int(n));
    ::close(fd);
    return answer;
}

// Sends the request in pieces `gap` apart and reads until the server closes, or 5 s.
QByteArray exchange(int port, const QList<QByteArray> &pieces, std::chrono::milliseconds gap = 0ms,
                    const QByteArray &source = "127.0.0.1")
{
    const int fd = connectTo(port, source.constData());
    for (const QByteArray &piece : pieces) {
        if (::send(fd, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL) < 0)
            break;
        std::this_thread::sleep_for(gap);
    }
    return readToClose(fd);
}

QByteArray post(const QByteArray &path, const QByteArray &body, const QByteArray &extra = {})
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extra +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray command(const QByteArray &name, const QByteArray &body, const QByteArray &extra = {})
{
    return post("/api/v1/commands/" + name, body, "Content-Type: application/json\r\n" + extra);
}

QByteArray get(const QByteArray &path, const QByteArray &extra = {})
{
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extra + "\r\n";
}

// A GET whose request line and headers take exactly `size` bytes, in header lines of at most
// 4,000 bytes.
QByteArray getOfHeadSize(int size)
{
    QByteArray head = get("/api/v1/state");
    head.chop(2);
    while (head.size() + 2 < size) {
        const int line = std::min(4000, size - 2 - int(head.size()));
        head += "X-F: " + QByteArray(std::max(0, line - 7), 'h') + "\r\n";
    }
    return head + "\r\n";
}

// A command whose JSON body takes exactly `size` bytes, sent with its length or in two chunks.
QByteArray commandOfBodySize(int size, bool chunked)
{
    const QByteArray body = "{\"x\": \"" + QByteArray(size - 9, 'a') + "\"}";
    if (!chunked)
        return command("countdown.set", body);
    const QByteArray first = body.left(40000);
    const QByteArray rest = body.mid(40000);
    return "POST /api/v1/commands/countdown.set HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: "
           "close\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n" +
           QByteArray::number(first.size(), 16) + "\r\n" + first + "\r\n" +
           QByteArray::number(rest.size(), 16) + "\r\n" + rest + "\r\n0\r\n\r\n";
}

// "STATUS body" of an answer, the body cut to its first 90 bytes; "closed" for none.
QString summary(const QByteArray &answer)
{
    if (answer.isEmpty())
        return QStringLiteral("closed");
    const QByteArray status = answer.mid(9, 3);
    const int body = answer.indexOf("\r\n\r\n");
    return QString::fromUtf8(status + ' ' + (body < 0 ? QByteArray() : answer.mid(body + 4, 90)));
}

// The door on a controller with one listed display, "Hall", the gate served by this thread.
struct Door
{
    explicit Door(const QByteArray &token = {},
                  const std::function<void(HttpApi::Options &)> &adjust = {})
    {
        f.timers.addOrUpdateTimer(TimerData("Hall", "127.0.0.2", false, QTime(0, 0), 0, 0, 0));
        f.timers.setSelected(0, true);
        HttpApi::Options options;
        options.port = 0;
        options.token = token;
        if (!token.isEmpty())
            options.viewerToken = kViewerToken;
        options.maxConnections = 4;
        options.maxConnectionsPerSource = 2;
        options.maxEventClients = 2;
        options.firstByteWait = 800ms;
        options.requestDeadline = 1500ms;
        options.idleTimeout = 3000ms;
        if (adjust)
            adjust(options);
        http = std::make_unique<HttpApi>(gate, events, options);
        QString error;
        started = http->start(&error);
    }
    ~Door()
    {
        events.close();
        http->stop();
    }

    // Runs the client on a thread of its own while this one serves the gate.
    template <typename Client> auto await(Client client)
    {
        auto answer = std::async(std::launch::async, client);
        while (answer.wait_for(0ms) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return answer.get();
    }

    ControllerFixture f;
    ControlState state{*f.controller, f.timers, f.programs};
    CommandContext context{*f.controller, f.timers, f.programs, state};
    CommandGate gate{context};
    EventHub events{8};
    std::unique_ptr<HttpApi> http;
    bool started = false;
};

} // namespace

class TestHttpApi : public QObject
{
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
    void keepAliveSaysWhatItDoes();
    void refusalsWarnedOnceASecond();
    void streamOpensWithState_data();
    void streamOpensWithState();
};

void TestHttpApi::requests_data()
{
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QByteArrayList>("held"); // what each connection held open first sends
    QTest::addColumn<QByteArray>("heldFrom"); // their source; empty: each from one of its own
    QTest::addColumn<QByteArray>("from");     // the request's source
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("gap");          // ms between the request's bytes; 0 sends it whole
    QTest::addColumn<QString>("expected"); // the start of "STATUS body"

    const QByteArray token = "s3cret-token-abcdef";
    const QByteArray stream = get("/api/v1/events");
    const auto row = [](const char *tag, const QByteArray &request, const char *expected,
                        const QByteArray &token = {}, const QByteArrayList &held = {}, int gap = 0,
                        const QByteArray &heldFrom = {}, const QByteArray &from = "127.0.0.1") {
        QTest::newRow(tag) << token << held << heldFrom << from << request << gap
                           << QString::fromUtf8(expected);
    };
    const char *bodyTooLarge =
        R"(413 {"error":{"kind":"malformed","message":"body: larger than 65536 bytes"})";
    const char *unknownParameter = R"(422 {"error":{"field":"x","kind":"invalid")";
    row("state", get("/api/v1/state"), R"(200 {"captions":{)");
    row("table", get("/api/v1/commands"), R"(200 {"commands":[{"name":"state")");
    // The body is bounded on its own, chunked or not; a length above the bound is refused at
    // once, before any of the body.
    row("body of 64 KiB", commandOfBodySize(65536, false), unknownParameter);
    row("body a byte over 64 KiB", commandOfBodySize(65537, false), bodyTooLarge);
    row("chunked body of 64 KiB", commandOfBodySize(65536, true), unknownParameter);
    row("chunked body a byte over", commandOfBodySize(65537, true), bodyTooLarge);
    row("body announced as 10 MB", command("clock", {}).replace("0\r\n", "10485760\r\n"),
        bodyTooLarge);
    row("body announced beyond 64 KiB, 100-continue",
        command("clock", {}, "Expect: 100-continue\r\n").replace("0\r\n", "65537\r\n"),
        bodyTooLarge);
    // The request line and headers likewise.
    row("head of 16 KiB", getOfHeadSize(16384), "200 ");
    row("head a byte over 16 KiB", getOfHeadSize(16385),
        R"(431 {"error":{"kind":"malformed","message":"headers: request line and headers larger)");
    row("header line too long", get("/api/v1/state", "X-Filler: " + QByteArray(9000, 'b') + "\r\n"),
        "400 ");
    // What a proxy in front could read as another request.
    row("two different lengths", command("clock", "{}", "Content-Length: 3\r\n"),
        R"(400 {"error":{"kind":"malformed","message":"Content-Length: one number of bytes"})");
    row("the same length twice", command("clock", "{}", "Content-Length: 2\r\n"), "200 ");
    row("length not a number", command("clock", "{}").replace("Length: 2", "Length: 2x"),
        R"(400 {"error":{"kind":"malformed","message":"Content-Length: one number)");
    row("length and chunked", command("clock", "{}", "Transfer-Encoding: chunked\r\n"),
        R"(400 {"error":{"kind":"malformed","message":"Content-Length: not with Transfer-Enc)");
    row("HTTP/1.1 without Host", "GET /api/v1/state HTTP/1.1\r\nConnection: close\r\n\r\n",
        R"(400 {"error":{"kind":"malformed","message":"Host: an HTTP/1.1 request names its host)");
    row("HTTP/1.0 without Host", "GET /api/v1/state HTTP/1.0\r\n\r\n", "200 ");
    row("two Hosts", get("/api/v1/state", "Host: 127.0.0.1\r\n"), "400 ");
    row("not JSON", command("countdown.set", "{minutes: 5"),
        R"(400 {"error":{"field":"body","kind":"malformed","message":"body: )");
    row("not an object", command("countdown.set", "[5]"),
        R"(400 {"error":{"field":"body","kind":"malformed","message":"body: a JSON object)");
    // The table's refusals by kind; their messages are the table's own (tst_commands).
    row("wrong type", command("countdown.set", R"({"minutes": true})"),
        R"(422 {"error":{"field":"minutes","kind":"invalid")");
    row("unknown command", command("countdown.explode", "{}"),
        R"(404 {"error":{"kind":"unknown-command")");
    row("unknown display", command("clock", R"({"to": "Nowhere"})"),
        R"(404 {"error":{"field":"to","kind":"not-found")");
    row("refused", command("countdown.start", ""), R"(409 {"error":{"kind":"refused")");
    row("form post",
        post("/api/v1/commands/clock", "a=b",
             "Content-Type: application/x-www-form-urlencoded\r\n"),
        R"(415 {"error":{"kind":"malformed","message":"Content-Type: commands take applicat)");
    row("no type", post("/api/v1/commands/clock", ""), "415 ");
    row("command by GET", get("/api/v1/commands/clock"), R"(405 {"error":{"kind":"method")");
    row("no such path", get("/api/v2/state"), R"(404 {"error":{"kind":"not-found")");
    row("rebinding Host",
        "GET /api/v1/state HTTP/1.1\r\nHost: timer.attacker.example\r\nConnection: close\r\n\r\n",
        R"(403 {"error":{"kind":"forbidden","message":"Host \"timer.attacker.example\" is not)");
    const auto hostRow = [&row](const char *tag, const QByteArray &host, const char *expected) {
        row(tag, "GET /api/v1/state HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n",
            expected);
    };
    hostRow("Host by address", "192.168.1.5:7380", "200 ");
    hostRow("Host localhost", "LocalHost:7380", "200 ");
    hostRow("Host beginning with localhost", "localhost.attacker.example", "403 ");
    hostRow("Host ending in localhost", "attacker-localhost", "403 ");
    row("token missing", get("/api/v1/state"),
        R"(401 {"error":{"kind":"unauthorized","message":"token: missing or wrong)", token);
    const auto tokenRow = [&](const char *tag, const QByteArray &given, const char *expected) {
        row(tag, command("clock", "{}", "Authorization: Bearer " + given + "\r\n"), expected,
            token);
    };
    tokenRow("token wrong", "s3cret-token-abcdeg", "401 ");
    tokenRow("token a prefix", token.chopped(1), "401 ");
    tokenRow("token empty", "", "401 ");
    tokenRow("token extended", token + "g", "401 ");
    tokenRow("token right", token, R"(200 {"ok":true,"result":{}})");
    // The viewer token reads the state and the events, and nothing else.
    const QByteArray viewer = "Authorization: Bearer " + kViewerToken + "\r\n";
    row("viewer token reads", get("/api/v1/state", viewer), R"(200 {"captions":{)", token);
    row("viewer token commands", command("clock", "{}", viewer),
        R"(403 {"error":{"kind":"forbidden","message":"token: the viewer token reads)", token);
    row("viewer token lists", get("/api/v1/commands", viewer), "403 ", token);
    row("viewer token prefix",
        get("/api/v1/state", "Authorization: Bearer " + kViewerToken.chopped(1) + "\r\n"), "401 ",
        token);
    row("viewer token extended",
        get("/api/v1/state", "Authorization: Bearer " + kViewerToken + "x\r\n"), "401 ", token);
    // A command held up past the deadline it carries is not carried out.
    const qint64 now = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    const auto deadline = [](qint64 ms) {
        return "X-QB-Deadline: " + QByteArray::number(ms) + "\r\n";
    };
    row("deadline passed", command("clock", "{}", deadline(now - 1)),
        R"(409 {"error":{"kind":"late","message":"X-QB-Deadline: the command came after)");
    row("deadline ahead", command("clock", "{}", deadline(now + 60000)), "200 ");
    row("deadline not a number", command("clock", "{}", "X-QB-Deadline: soon\r\n"), "409 ");
    // One byte each 100 ms: the request would take 8 s; its time is 1.5 s.
    row("slow client", get("/api/v1/state"), "closed", {}, {}, 100);
    // A connection that says nothing is closed after 0.8 s, well before the idle time of 3 s.
    row("silent client", {}, "closed");
    // Four idle connections hold every place; the fifth is told at once and closed.
    const char *tooMany = R"(503 {"error":{"kind":"unavailable","message":"too many connections)";
    row("too many connections", get("/api/v1/state"), tooMany, {}, {"", "", "", ""});
    // At most two from one address, while others are still served.
    row("per source: at the limit", get("/api/v1/state"), "200 ", {}, {""}, 0, "127.0.0.2",
        "127.0.0.2");
    row("per source: one past the limit", get("/api/v1/state"), tooMany, {}, {"", ""}, 0,
        "127.0.0.2", "127.0.0.2");
    row("per source: another host served", get("/api/v1/state"), "200 ", {}, {"", ""}, 0,
        "127.0.0.2", "127.0.0.3");
    row("too many event streams", stream,
        R"(503 {"error":{"kind":"unavailable","message":"too many event-stream clients)", {},
        {stream, stream});
}

void TestHttpApi::requests()
{
    QFETCH(QByteArray, token);
    QFETCH(QByteArrayList, held);
    QFETCH(QByteArray, heldFrom);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, request);
    QFETCH(int, gap);
    QFETCH(QString, expected);
    Door door(token);
    QVERIFY(door.started);
    const int port = door.http->port();
    QList<int> open;
    for (const QByteArray &first : held) {
        const QByteArray source =
            heldFrom.isEmpty() ? "127.0.0." + QByteArray::number(10 + open.size()) : heldFrom;
        open << connectTo(port, source.constData());
        ::send(open.last(), first.constData(), size_t(first.size()), MSG_NOSIGNAL);
    }
    if (!held.isEmpty())
        QTest::qWait(100);
    QTRY_COMPARE(door.events.subscriberCount(), size_t(held.count(get("/api/v1/events"))));
    QList<QByteArray> pieces{request};
    if (gap > 0) {
        pieces.clear();
        for (char c : request)
            pieces << QByteArray(1, c);
    }
    QElapsedTimer clock;
    clock.start();
    const QByteArray answer = door.await([port, pieces, gap, from] {
        return exchange(port, pieces, std::chrono::milliseconds(gap), from);
    });
    QVERIFY2(summary(answer).startsWith(expected), qPrintable(summary(answer)));
    // An answer comes at once, not when the request's time is up; a trickling or silent client
    // is dropped, not held on to.
    const qint64 within = expected == QLatin1String("closed") ? 2500 : 1000;
    QVERIFY2(clock.elapsed() < within, qPrintable(QString::number(clock.elapsed())));
    // A stream opens with the whole state.
    char head[512] = {};
    if (held.value(0) == get("/api/v1/events")) {
        QVERIFY(::recv(open.first(), head, sizeof head - 1, 0) > 0);
        QVERIFY2(QByteArray(head).contains("event: state\ndata: {\"captions\""), head);
        // An idle stream says it lives every second, so a client may take silence for a lost link.
        std::this_thread::sleep_for(200ms);
        while (::recv(open.first(), head, sizeof head, MSG_DONTWAIT) > 0) {
        }
        QElapsedTimer idle;
        idle.start();
        const ssize_t n = ::recv(open.first(), head, sizeof head - 1, 0);
        const QByteArray said(head, int(qMax<ssize_t>(n, 0)));
        QVERIFY2(said.contains("\r\n: still here\n\n\r\n"), said.constData());
        QVERIFY2(idle.elapsed() < 1500, qPrintable(QString::number(idle.elapsed())));
    }
    for (int fd : open)
        ::close(fd);
    // Places free again as soon as the held connections go, theirs and their source's.
    const QByteArray source = heldFrom.isEmpty() ? from : heldFrom;
    if (!held.isEmpty())
        QTRY_VERIFY(summary(door.await([port, source] {
                        return exchange(port, {get("/api/v1/state")}, 0ms, source);
                    })).startsWith("200"));
}

void TestHttpApi::keepAliveSaysWhatItDoes()
{
    Door door({}, [](HttpApi::Options &options) { options.keepAliveRequests = 3; });
    const int port = door.http->port();
    const QByteArray request = "GET /api/v1/state HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    const QByteArray answer =
        door.await([port, request] { return exchange(port, {request.repeated(4)}); });
    const QList<QByteArray> answers = answer.split('\n');
    QCOMPARE(answer.count("HTTP/1.1 200 OK"), 3);
    QCOMPARE(answer.count("Keep-Alive: timeout=3, max=3\r\n"), 2);
    QCOMPARE(answer.count("Connection: close\r\n"), 1);
    QVERIFY(answer.lastIndexOf("Keep-Alive:") < answer.indexOf("Connection: close"));
}

namespace {

QStringList g_warnings;
std::mutex g_warningsMutex;

void keepWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    const std::lock_guard<std::mutex> lock(g_warningsMutex);
    if (type == QtWarningMsg)
        g_warnings << message;
}

} // namespace

void TestHttpApi::refusalsWarnedOnceASecond()
{
    // The held connections stay for the whole test.
    Door door({}, [](HttpApi::Options &options) { options.firstByteWait = 5000ms; });
    const int port = door.http->port();
    const int held[2] = {connectTo(port, "127.0.0.2"), connectTo(port, "127.0.0.2")};
    QTest::qWait(100);
    const QtMessageHandler previous = qInstallMessageHandler(keepWarning);
    const auto refuseFive = [port] {
        for (int i = 0; i < 5; ++i)
            QVERIFY(exchange(port, {QByteArray()}, 0ms, "127.0.0.2").startsWith("HTTP/1.1 503"));
    };
    refuseFive();
    QTest::qWait(1100);
    refuseFive();
    qInstallMessageHandler(previous);
    for (int fd : held)
        ::close(fd);
    const std::lock_guard<std::mutex> lock(g_warningsMutex);
    QCOMPARE(g_warnings,
             QStringList({QStringLiteral("HTTP connections refused: 1 since the last warning (2 "
                                         "open, at most 4, 2 from one address)"),
                          QStringLiteral("HTTP connections refused: 5 since the last warning (2 "
                                         "open, at most 4, 2 from one address)")}));
}

void TestHttpApi::streamOpensWithState_data()
{
    QTest::addColumn<int>("stall");  // ms the controller's thread does not answer
    QTest::addColumn<bool>("state"); // whether the stream opens with the state, or ends
    QTest::newRow("controller answers") << 0 << true;
    QTest::newRow("controller busy for a while") << 400 << true;
    QTest::newRow("controller busy too long") << 1500 << false;
}

void TestHttpApi::streamOpensWithState()
{
    QFETCH(int, stall);
    QFETCH(bool, state);
    Door door({}, [](HttpApi::Options &options) {
        options.gateWait = 100ms;
        options.firstStateWait = 700ms;
    });
    const int port = door.http->port();
    auto answer = std::async(std::launch::async, [port] {
        const int fd = connectTo(port);
        const QByteArray request = get("/api/v1/events");
        ::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
        QByteArray received;
        char buffer[4096];
        for (ssize_t n;
             !received.contains("\n\n\r\n") && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            received.append(buffer, int(n));
        ::close(fd);
        return received;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(stall));
    while (answer.wait_for(0ms) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const QByteArray received = answer.get();
    const QByteArray body = received.mid(received.indexOf("\r\n\r\n") + 4);
    if (state)
        QVERIFY2(body.contains("\r\nretry: 2000\nevent: state\ndata: {\"captions\""), body);
    else
        QCOMPARE(body, QByteArray("c\r\nretry: 2000\n\r\n0\r\n\r\n"));
}

QTEST_GUILESS_MAIN(TestHttpApi)
#include "tst_httpapi.moc"
