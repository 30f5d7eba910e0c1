#include "controllerfixture.h"

#include "control/commandcontext.h"
#include "control/commandgate.h"
#include "control/controlstate.h"
#include "control/eventhub.h"
#include "control/httpapi.h"

#include <QtTest>
#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The HTTP door against what a hostile or clumsy client sends it: every answer's status, and
// that nothing it can send holds the server or reaches the controller unchecked.
namespace {

using namespace std::chrono_literals;

const QByteArray kViewerToken = "v1ewer-token-ghijkl";

int connectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return fd;
}

// Sends the request in pieces `gap` apart and reads until the server closes, or 5 s.
QByteArray exchange(int port, const QList<QByteArray> &pieces, std::chrono::milliseconds gap = 0ms)
{
    const int fd = connectTo(port);
    for (const QByteArray &piece : pieces) {
        if (::send(fd, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL) < 0)
            break;
        std::this_thread::sleep_for(gap);
    }
    QByteArray answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, int(n));
    ::close(fd);
    return answer;
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
    explicit Door(const QByteArray &token = {})
    {
        f.timers.addOrUpdateTimer(TimerData("Hall", "127.0.0.2", false, QTime(0, 0), 0, 0, 0));
        f.timers.setSelected(0, true);
        HttpApi::Options options;
        options.port = 0;
        options.token = token;
        if (!token.isEmpty())
            options.viewerToken = kViewerToken;
        options.maxConnections = 4;
        options.maxEventClients = 2;
        options.requestDeadline = 600ms;
        options.idleTimeout = 600ms;
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
};

void TestHttpApi::requests_data()
{
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QByteArrayList>("held"); // what each connection held open first sends
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("gap");          // ms between the request's bytes; 0 sends it whole
    QTest::addColumn<QString>("expected"); // the start of "STATUS body"

    const QByteArray token = "s3cret-token-abcdef";
    const QByteArray stream = get("/api/v1/events");
    const auto row = [](const char *tag, const QByteArray &request, const char *expected,
                        const QByteArray &token = {}, const QByteArrayList &held = {},
                        int gap = 0) {
        QTest::newRow(tag) << token << held << request << gap << QString::fromUtf8(expected);
    };
    row("state", get("/api/v1/state"), R"(200 {"captions":{)");
    row("table", get("/api/v1/commands"), R"(200 {"commands":[{"name":"state")");
    row("body too large",
        command("countdown.set", "{\"x\": \"" + QByteArray(70 * 1024, 'a') + "\"}"),
        R"(413 {"error":{"kind":"malformed","message":"body: larger than 65536 bytes"})");
    row("header line too long", get("/api/v1/state", "X-Filler: " + QByteArray(9000, 'b') + "\r\n"),
        "400 ");
    row("headers too many",
        get("/api/v1/state",
            QByteArray("X-Filler: " + QByteArray(1000, 'c') + "\r\n").repeated(90)),
        "400 ");
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
    row("rebinding Host", "GET /api/v1/state HTTP/1.1\r\nHost: timer.attacker.example\r\n\r\n",
        R"(403 {"error":{"kind":"forbidden","message":"Host \"timer.attacker.example\" is not)");
    row("Host by address",
        "GET /api/v1/state HTTP/1.1\r\nHost: 192.168.1.5:7380\r\nConnection: close\r\n\r\n",
        "200 ");
    row("token missing", get("/api/v1/state"),
        R"(401 {"error":{"kind":"unauthorized","message":"token: missing or wrong)", token);
    row("token wrong", get("/api/v1/state", "Authorization: Bearer s3cret-token-abcdeg\r\n"),
        "401 ", token);
    row("token right", command("clock", "{}", "Authorization: Bearer " + token + "\r\n"),
        R"(200 {"ok":true,"result":{}})", token);
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
    // One byte each 100 ms: the request would take 3 s; its time is 0.6 s.
    row("slow client", get("/api/v1/state"), "closed", {}, {}, 100);
    // Four idle connections hold every place; the fifth is told at once and closed.
    row("too many connections", get("/api/v1/state"),
        R"(503 {"error":{"kind":"unavailable","message":"too many connections)", {},
        {"", "", "", ""});
    row("too many event streams", stream,
        R"(503 {"error":{"kind":"unavailable","message":"too many event-stream clients)", {},
        {stream, stream});
}

void TestHttpApi::requests()
{
    QFETCH(QByteArray, token);
    QFETCH(QByteArrayList, held);
    QFETCH(QByteArray, request);
    QFETCH(int, gap);
    QFETCH(QString, expected);
    Door door(token);
    QVERIFY(door.started);
    const int port = door.http->port();
    QList<int> open;
    for (const QByteArray &first : held) {
        open << connectTo(port);
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
    const QByteArray answer = door.await(
        [port, pieces, gap] { return exchange(port, pieces, std::chrono::milliseconds(gap)); });
    QVERIFY2(summary(answer).startsWith(expected), qPrintable(summary(answer)));
    // A trickling client is dropped, not held on to.
    QVERIFY2(gap == 0 || clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
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
    // Places free again as soon as the held connections go.
    if (!held.isEmpty())
        QTRY_VERIFY(summary(door.await([port] {
                        return exchange(port, {get("/api/v1/state")});
                    })).startsWith("200"));
}

QTEST_GUILESS_MAIN(TestHttpApi)
#include "tst_httpapi.moc"
