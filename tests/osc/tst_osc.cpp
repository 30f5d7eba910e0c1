#include "control/command.h"
#include "control/commandcontext.h"
#include "control/commandgate.h"
#include "control/controlstate.h"
#include "control/eventhub.h"
#include "control/oscaddress.h"
#include "control/oscdoor.h"
#include "control/oscreader.h"
#include "control/oscserver.h"
#include "control/remotecontrol.h"
#include "controllerfixture.h"

#include <QJsonDocument>
#include <QSettings>
#include <QtTest>
#include <arpa/inet.h>
#include <cstdlib>
#include <lo/lo.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// One OSC message from "i:5 h:7 f:1.5 d:2 s:Hall S:Hall T N b:ab" (blob of those bytes);
// "raw:BYTES" for a datagram that is not one.
QByteArray datagram(const QString &path, const QString &args = {})
{
    if (path.startsWith(QLatin1String("raw:")))
        return path.mid(4).toLatin1().replace("\\0", QByteArray(1, '\0'));
    lo_message message = lo_message_new();
    for (const QString &word : args.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QByteArray value = word.mid(2).toUtf8();
        switch (word.at(0).toLatin1()) {
        case 'i':
            lo_message_add_int32(message, value.toInt());
            break;
        case 'h':
            lo_message_add_int64(message, value.toLongLong());
            break;
        case 'f':
            lo_message_add_float(message, value.toFloat());
            break;
        case 'd':
            lo_message_add_double(message, value.toDouble());
            break;
        case 's':
            lo_message_add_string(message, value.constData());
            break;
        case 'S':
            lo_message_add_symbol(message, value.constData());
            break;
        case 'T':
            lo_message_add_true(message);
            break;
        case 'N':
            lo_message_add_nil(message);
            break;
        case 'b': {
            lo_blob blob = lo_blob_new(value.size(), value.constData());
            lo_message_add_blob(message, blob);
            lo_blob_free(blob);
            break;
        }
        }
    }
    size_t size = 0;
    void *bytes = lo_message_serialise(message, path.toUtf8().constData(), nullptr, &size);
    const QByteArray out(static_cast<const char *>(bytes), int(size));
    std::free(bytes);
    lo_message_free(message);
    return out;
}

OscPeer peer(const QString &text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    QString host = text.left(colon);
    host.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    return {QHostAddress(host), quint16(text.mid(colon + 1).toUInt())};
}

OscPeer peer(const QString &text);

// The OSC door listening on `self` in front of a controller on a fake clock with Hall
// (127.0.0.2, selected) and Gym (127.0.0.3) listed; every message it would send is a line in
// `sent`: "MS TO MESSAGE".
struct DoorFixture
{
    explicit DoorFixture(const OscAllowList &allowed = {}, const QList<OscPeer> &fixed = {},
                         const QString &self = QStringLiteral("127.0.0.1:7381"))
        : feedback(record(), fixed), door(gate, feedback, allowed, record(), peer(self))
    {
        // The list an earlier fixture stored is read back first, without its selection.
        for (const QString name : {"Hall", "Gym"})
            controller.timers.addOrUpdateTimer(TimerData(
                name, name == "Hall" ? "127.0.0.2" : "127.0.0.3", false, QTime(10, 0), 0, 0, 0));
        controller.timers.setSelected(0, true);
        controller.timers.setSelected(1, false);
        feedback.setState(state.snapshot());
    }

    OscFeedback::Send record()
    {
        return [this](const OscPeer &to, const OscMessage &message) {
            sent << QStringLiteral("%1 %2 %3").arg(now).arg(to.toString(), message.toString());
        };
    }

    qint64 now = 0; // the time the lines in `sent` are told at
    ControllerFixture controller;
    ControlState state{*controller.controller, controller.timers, controller.programs};
    CommandContext context{*controller.controller, controller.timers, controller.programs, state};
    CommandGate gate{context};
    QStringList sent;
    OscFeedback feedback;
    OscDoor door;
};

const QString kMe = QStringLiteral("127.0.0.1:5000");

} // namespace

class TestOsc : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsArguments_data();
    void readsArguments();
    void answers_data();
    void answers();
    void neverAnswered_data();
    void neverAnswered();
    void paced_data();
    void paced();
    void allowList_data();
    void allowList();
    void peers_data();
    void peers();
    void listens_data();
    void listens();
    void readerStops();
    void options_data();
    void options();
};

// Each run starts from an empty store: what an earlier run stored (a faulty build's, say) would
// otherwise be read back.
void TestOsc::initTestCase()
{
    for (const char *file : {"QB-Timer", "QB-Timer2"})
        QSettings(QStringLiteral("Quillbrook Inc"), QLatin1String(file)).clear();
}

// How the surfaces' arguments come to the table.
void TestOsc::readsArguments_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("json");

    const auto row = [](const char *name, const QString &path, const QString &args,
                        const QString &command, const QString &json) {
        QTest::newRow(name) << path << args << command << json;
    };
    row("integers in order", "/qb/countdown/set", "i:1 i:2 i:3 i:4", "countdown.set",
        R"({"days":1,"hours":2,"minutes":3,"seconds":4})");
    row("trailing left out", "/qb/program/arm", "", "program.arm", "{}");
    row("whole float", "/qb/countdown/adjust", "f:-60", "countdown.adjust", R"({"seconds":-60})");
    row("double, int64", "/qb/countdown/set", "d:5 h:7", "countdown.set",
        R"({"days":5,"hours":7})");
    row("digits", "/qb/countdown/adjust", "s:+90", "countdown.adjust", R"({"seconds":90})");
    row("booleans", "/qb/presentation", "i:60 i:10 s:hh:mm:ss T i:0", "presentation",
        R"({"alarm":false,"countUp":true,"format":"hh:mm:ss","total":60,"warning":10})");
    row("boolean words, choice number", "/qb/presentation", "i:60 i:10 f:1 s:FALSE s:true",
        "presentation", R"({"alarm":true,"countUp":false,"format":1,"total":60,"warning":10})");
    row("targets after the parameters", "/qb/countdown/adjust", "i:60 s:Hall S:127.0.0.3",
        "countdown.adjust", R"({"seconds":60,"to":["Hall","127.0.0.3"]})");
    row("displays take every string", "/qb/displays/selectOnly", "s:Hall s:Gym",
        "displays.selectOnly", R"({"displays":["Hall","Gym"]})");
}

void TestOsc::readsArguments()
{
    QFETCH(QString, path);
    QFETCH(QString, args);
    QFETCH(QString, command);
    QFETCH(QString, json);

    QByteArray bytes = datagram(path, args);
    lo_message message = lo_message_deserialise(bytes.data(), size_t(bytes.size()), nullptr);
    const OscAddress::Request request = OscAddress::read(path, message);
    lo_message_free(message);
    QCOMPARE(request.error, QString());
    QCOMPARE(request.command->name, command);
    QCOMPARE(QJsonDocument(request.args).toJson(QJsonDocument::Compact), json.toUtf8());
}

// What the door answers its sender: a bad message the field at fault, changing nothing; a
// reading command its result.
void TestOsc::answers_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("answer"); // a message, or the text of /qb/error

    const auto row = [](const char *name, const QString &path, const QString &args,
                        const QString &answer) { QTest::newRow(name) << path << args << answer; };
    const QString seconds = QStringLiteral("seconds: expected an integer -8640000..8640000, got ");
    const QString noAddress =
        QStringLiteral(": no such address; an address is /qb/ and a command's name with / for . "
                       "(/qb/countdown/start), and qb-timer --api-reference lists them");
    const QString port =
        QStringLiteral(": takes the port to tell, an integer 0..65535 (0: the sender's own port)");
    row("not OSC", "raw:hello", "", "not an OSC message (liblo error 9908)");
    row("bundle", "raw:#bundle\\0\\0\\0\\0\\0\\0\\0\\0\\0", "",
        "bundles are not taken: send each message alone");
    row("unknown", "/qb/countdown/go", "", "/qb/countdown/go" + noAddress);
    row("dotted name", "/qb/countdown.set", "", "/qb/countdown.set" + noAddress);
    row("fraction", "/qb/countdown/adjust", "f:1.5", seconds + "1.5");
    row("word", "/qb/countdown/adjust", "s:60s", seconds + "\"60s\"");
    row("blob", "/qb/countdown/adjust", "b:60", seconds + "an argument of type 'b'");
    row("boolean 2", "/qb/tabata", "i:20 i:10 i:8 i:2", "alarm: expected true or false, got 2");
    row("too many", "/qb/program/show", "i:1 i:2",
        "/qb/program/show: takes at most 1 (program:i), got 2");
    row("none taken", "/qb/state", "N", "/qb/state: takes no arguments, got 1");
    row("target not text", "/qb/countdown/adjust", "i:60 i:7",
        "to: expected a display's name or address, or a list of them, got 7");
    row("confirm is HTTP's", "/qb/countdown/start", "T s:Hall",
        "confirm: OSC answers at once; subscribe to \"missed\", or confirm over HTTP");
    // The table's refusals are its own (tst_commands); one shows that they are answered.
    row("refused by the table", "/qb/countdown/adjust", "i:60",
        "no count-down to adjust: set one first");
    row("subscribe port", "/qb/subscribe", "i:70000",
        "/qb/subscribe" + port + ", then kinds to tell");
    row("subscribe kind", "/qb/subscribe", "i:9000 s:mirror s:time",
        "/qb/subscribe: argument 3 is not a kind to tell (mirror, captions, step, displays, "
        "missed)");
    row("subscribe without a port", "/qb/subscribe", "",
        "/qb/subscribe: missing the port to tell, an integer 0..65535 (0: the sender's own "
        "port), then kinds to tell");
    row("subscribe the door itself", "/qb/subscribe", "i:7381",
        "/qb/subscribe: port 7381 is this door's own: name the port the surface listens on");
    row("unsubscribe twice over", "/qb/unsubscribe", "i:1 i:2", "/qb/unsubscribe" + port);
    row("unsubscribe without a port", "/qb/unsubscribe", "",
        "/qb/unsubscribe: missing the port to tell, an integer 0..65535 (0: the sender's own "
        "port)");
    row("reading", "/qb/program/show", "i:3",
        R"(/qb/result "program.show" "{"lines":[{"alarm":0,"command":"end","reset":false,)"
        R"("running":false,"step":1,"stop":false}],"name":"Program3","program":3}")");
}

void TestOsc::answers()
{
    QFETCH(QString, path);
    QFETCH(QString, args);
    QFETCH(QString, answer);

    DoorFixture f;
    const QJsonObject before = f.state.snapshot();
    f.door.handle(datagram(path, args), peer(kMe), 0);
    QCOMPARE(
        f.sent,
        QStringList{"0 " + kMe + ' ' +
                    (answer.startsWith("/qb/result") ? answer : "/qb/error \"" + answer + '"')});
    QCOMPARE(f.controller.sent(), QStringList());
    QCOMPARE(f.state.snapshot(), before);
}

// What a door never answers, whatever it says: answers and feedback (another door's, or its own
// come back), and anything from its own address and port. Their neighbours are answered.
void TestOsc::neverAnswered_data()
{
    QTest::addColumn<QString>("door");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("args");
    QTest::addColumn<bool>("answered");

    const auto row = [](const char *name, const QString &from, const QString &path,
                        const QString &args, bool answered,
                        const QString &door = QStringLiteral("127.0.0.1:7381")) {
        QTest::newRow(name) << door << from << path << args << answered;
    };
    row("error", kMe, "/qb/error", "s:no", false);
    row("result", kMe, "/qb/result", "s:state s:{}", false);
    row("mirror", kMe, "/qb/mirror", "s:00:01.0 s:down s:countdown", false);
    row("captions", kMe, "/qb/captions", "s:Start s:Start s:Start", false);
    row("step", kMe, "/qb/program/step", "i:1", false);
    row("display count", kMe, "/qb/displays", "i:2", false);
    row("display", kMe, "/qb/display", "s:127.0.0.2 s:Hall i:1 s:10:00:00 s:ok", false);
    row("missed", kMe, "/qb/missed", "s:127.0.0.2 s:Hall s:clock", false);
    row("an error that is not OSC", kMe, "raw:/qb/error\\0\\0\\0,x", "", false);
    row("errors: not an answer", kMe, "/qb/errors", "", true);
    row("displays/list: a command", kMe, "/qb/displays/list", "", true);
    row("from the door itself", "127.0.0.1:7381", "/qb/countdown/go", "", false);
    row("itself, not OSC", "127.0.0.1:7381", "raw:hello", "", false);
    row("the port beside", "127.0.0.1:7382", "/qb/countdown/go", "", true);
    row("the address beside", "127.0.0.2:7381", "/qb/countdown/go", "", true);
    row("listening everywhere: itself on loopback", "127.0.0.5:7381", "/qb/countdown/go", "", false,
        "0.0.0.0:7381");
    row("listening everywhere: the port beside", "127.0.0.5:7380", "/qb/countdown/go", "", true,
        "0.0.0.0:7381");
    row("listening on IPv6 everywhere: itself", "[::1]:7381", "/qb/countdown/go", "", false,
        "[::]:7381");
}

void TestOsc::neverAnswered()
{
    QFETCH(QString, door);
    QFETCH(QString, from);
    QFETCH(QString, path);
    QFETCH(QString, args);
    QFETCH(bool, answered);

    DoorFixture f({}, {}, door);
    const QJsonObject before = f.state.snapshot();
    f.door.handle(datagram(path, args), peer(from), 0);
    QCOMPARE(f.sent.size(), answered ? 1 : 0);
    QCOMPARE(f.controller.sent(), QStringList());
    QCOMPARE(f.state.snapshot(), before);
}

// Answers a second to each host, on the caller's clock. A step is "COUNT MS FROM": COUNT
// datagrams that are not OSC (each answered with /qb/error) or, as "COUNT MS FROM read", reading
// commands; `answered` is how many of each step's were answered.
void TestOsc::paced_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("answered");

    const int budget = OscReplyPace::kPerHost;
    const auto row = [](const char *name, const QStringList &steps, const QList<int> &answered) {
        QTest::newRow(name) << steps << answered;
    };
    row("the budget exactly", {QStringLiteral("%1 0 127.0.0.2:5000").arg(budget)}, {budget});
    row("one beyond", {QStringLiteral("%1 0 127.0.0.2:5000").arg(budget + 1)}, {budget});
    row("a host's ports share it",
        {QStringLiteral("%1 0 127.0.0.2:5000").arg(budget), "1 10 127.0.0.2:5001"}, {budget, 0});
    row("another host has its own",
        {QStringLiteral("%1 0 127.0.0.2:5000").arg(budget + 1), "1 10 127.0.0.3:5000"},
        {budget, 1});
    row("a second later, not a millisecond sooner",
        {QStringLiteral("%1 0 127.0.0.2:5000").arg(budget), "1 1000 127.0.0.2:5000",
         "1 1001 127.0.0.2:5000"},
        {budget, 0, 1});
    row("reading commands too",
        {QStringLiteral("%1 0 127.0.0.2:5000 read").arg(budget + 1), "1 0 127.0.0.2:5000"},
        {budget, 0});
    QStringList hosts;
    QList<int> eachOnce;
    for (int n = 1; n <= OscReplyPace::kMaxHosts + 1; ++n) {
        hosts << QStringLiteral("1 0 127.0.1.%1:5000").arg(n);
        eachOnce << int(n <= OscReplyPace::kMaxHosts);
    }
    row("so many hosts in a second, one more not", hosts, eachOnce);
}

void TestOsc::paced()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, answered);

    DoorFixture f;
    QList<int> told;
    qint64 unanswered = 0;
    for (const QString &step : steps) {
        const QStringList w = step.split(QLatin1Char(' '));
        const qsizetype before = f.sent.size();
        for (int n = 0; n < w[0].toInt(); ++n)
            f.door.handle(datagram(w.value(3) == "read" ? "/qb/program/show" : "raw:x", "i:1"),
                          peer(w[2]), w[1].toLongLong());
        told << int(f.sent.size() - before);
        unanswered += w[0].toInt() - told.last();
    }
    QCOMPARE(told, answered);
    QCOMPARE(f.door.unanswered(), unanswered);
}

// Which sources an allow-list admits, and what it says of its entries.
void TestOsc::allowList_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("admitted");
    QTest::addColumn<QString>("said"); // the error, or the warning

    const auto row = [](const char *name, const QString &entry, const QString &source,
                        bool admitted, const QString &said = {}) {
        QTest::newRow(name) << entry << source << admitted << said;
    };
    row("one address", "10.0.0.7", "10.0.0.7", true);
    row("one address: the one below", "10.0.0.7", "10.0.0.6", false);
    row("one address: the one above", "10.0.0.7", "10.0.0.8", false);
    row("one IPv6 address: the one below", "fd00::7", "fd00::6", false);
    row("a network's last", "192.168.1.0/24", "192.168.1.255", true);
    row("the next network's first", "192.168.1.0/24", "192.168.2.0", false);
    row("loopback always", "192.168.1.0/24", "127.0.0.9", true);
    row("IPv6 loopback always", "192.168.1.0/24", "::1", true);
    row("an IPv4 source through IPv6", "192.168.1.0/24", "::ffff:192.168.1.9", true);
    row("mapped network", "::ffff:192.168.1.0/120", "192.168.1.9", true);
    row("mapped network, mapped source", "::ffff:192.168.1.0/120", "::ffff:192.168.1.9", true);
    row("mapped network: the next one", "::ffff:192.168.1.0/120", "192.168.2.1", false);
    row("mapped address", "::ffff:10.0.0.7", "10.0.0.7", true);
    row("mapped address: the one below", "::ffff:10.0.0.7", "10.0.0.6", false);
    row("mapped beyond IPv4", "::ffff:0.0.0.0/95", "10.0.0.7", false,
        "\"::ffff:0.0.0.0/95\" reaches beyond the IPv4 addresses: write the IPv4 network (such "
        "as 192.168.1.0/24)");
    row("host bits", "192.168.1.77/24", "192.168.1.5", true,
        "\"192.168.1.77/24\" has host bits set: it admits all of 192.168.1.0/24");
    row("host bits: the next network", "192.168.1.77/24", "192.168.2.77", false,
        "\"192.168.1.77/24\" has host bits set: it admits all of 192.168.1.0/24");
    row("mapped with host bits", "::ffff:192.168.1.77/120", "192.168.1.5", true,
        "\"::ffff:192.168.1.77/120\" has host bits set: it admits all of 192.168.1.0/24");
    row("not a network", "10.0.0.0/33", "10.0.0.7", false,
        "\"10.0.0.0/33\" is not a network (ADDRESS/BITS, such as 192.168.1.0/24, or one "
        "address)");
}

void TestOsc::allowList()
{
    QFETCH(QString, entry);
    QFETCH(QString, source);
    QFETCH(bool, admitted);
    QFETCH(QString, said);

    QString error;
    const std::optional<OscAllowList> list = OscAllowList::parse({entry}, &error);
    QCOMPARE(list ? list->warnings().join(QLatin1Char('\n')) : error, said);
    QCOMPARE(list && list->admits(QHostAddress(source)), admitted);
}

// What the fixture's controller shows at first, as a target is told it.
QStringList wholeState(const QString &to)
{
    QStringList lines;
    for (const char *message :
         {R"(/qb/mirror "00:00:00.0" "none" "none")", R"(/qb/captions "Start" "Start" "Start")",
          "/qb/program/step 0", "/qb/displays 2", R"(/qb/display "127.0.0.2" "Hall" 1 "T" "ok")",
          R"(/qb/display "127.0.0.3" "Gym" 0 "T" "ok")"})
        lines << to + ' ' + message;
    return lines;
}

// Who is told what and when, on the caller's clock. A step is "MS FROM subscribe PORT [KIND...]",
// "MS FROM unsubscribe PORT", "MS mirror TEXT", "MS step N", "MS displays NAME=SELECTED,..."
// (Hall or Gym), "MS displays N" (displays D1 to DN), "MS display ADDRESS NAME SELECTED HEALTH"
// (one row changed), "MS delivery OUTCOME ADDRESS NAME COMMAND" or "MS flush"; each is followed
// by a flush.
// An expected "TO state" stands for the whole first state.
void TestOsc::peers_data()
{
    QTest::addColumn<QStringList>("allow");
    QTest::addColumn<QStringList>("fixed");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("dropped");
    const auto row = [](const char *name, const QStringList &steps, const QStringList &sent,
                        const QStringList &allow = {}, const QStringList &fixed = {},
                        int dropped = 0) {
        QTest::newRow(name) << allow << fixed << steps << sent << dropped;
    };

    const auto mirror = [](int ms, const QString &to, const QString &text) {
        return QStringLiteral("%1 %2 /qb/mirror \"%3\" \"down\" \"countdown\"")
            .arg(ms)
            .arg(to, text);
    };
    const auto step = [](int ms, int n) {
        return QStringLiteral("%1 %2 /qb/program/step %3").arg(ms).arg(kMe).arg(n);
    };
    const auto display = [](int ms, const QString &address, const QString &name, int selected,
                            const QString &shown, const QString &health = QStringLiteral("ok")) {
        return QStringLiteral("%1 %2 /qb/display \"%3\" \"%4\" %5 \"%6\" \"%7\"")
            .arg(ms)
            .arg(kMe, address, name)
            .arg(selected)
            .arg(shown, health);
    };
    const auto missed = [](int ms, const QString &address, const QString &name) {
        return QStringLiteral("%1 %2 /qb/missed \"%3\" \"%4\" \"clock\"")
            .arg(ms)
            .arg(kMe, address, name);
    };
    row("the whole state at once; port 0 is the sender's; unsubscribed by port",
        {"0 127.0.0.1:5000 subscribe 0", "0 127.0.0.1:5001 subscribe 9000",
         "10 127.0.0.1:6000 unsubscribe 9000", "300 mirror 01:00.0"},
        {"0 " + kMe + " state", "0 127.0.0.1:9000 state", mirror(300, kMe, "01:00.0")});
    row("ten messages in any second; a part once, as it is now; longest waiting first",
        {"0 127.0.0.1:5000 subscribe 0", "10 mirror 00:59.9", "20 step 3", "30 mirror 00:59.8",
         "40 mirror 00:59.7", "50 step 4", "60 mirror 00:59.6", "70 mirror 00:59.5", "1000 flush",
         "1001 flush"},
        {"0 " + kMe + " state", mirror(10, kMe, "00:59.9"), step(20, 3), mirror(30, kMe, "00:59.8"),
         mirror(40, kMe, "00:59.7"), step(1001, 4), mirror(1001, kMe, "00:59.5")});
    row("renewed: one subscriber, told the state again, lapses 90 s after",
        {"0 127.0.0.1:5000 subscribe 0", "60000 127.0.0.1:5000 subscribe 5000",
         "149999 mirror 00:01.0", "150000 mirror 00:00.9"},
        {"0 " + kMe + " state", "60000 " + kMe + " state", mirror(149999, kMe, "00:01.0")});
    row("the kinds asked for only",
        {"0 127.0.0.1:5000 subscribe 0 mirror step", "10 mirror 00:59.9", "20 step 2",
         "25 delivery missed 127.0.0.2 Hall clock", "30 displays Hall=0,Gym=0",
         "40 127.0.0.1:5000 subscribe 0 displays", "50 mirror 00:59.8"},
        {"0 " + kMe + " /qb/mirror \"00:00:00.0\" \"none\" \"none\"", step(0, 0),
         mirror(10, kMe, "00:59.9"), step(20, 2), "40 " + kMe + " /qb/displays 2",
         display(40, "127.0.0.2", "Hall", 0, "30"), display(40, "127.0.0.3", "Gym", 0, "30")});
    row("a display when it changes, not its time; the number when it changes",
        {"0 127.0.0.1:5000 subscribe 0", "1000 displays Hall=1,Gym=0", "2000 displays Hall=1,Gym=1",
         "3000 displays Hall=1,Gym=1", "4000 displays Gym=1", "5000 displays Gym=1,Hall=0"},
        {"0 " + kMe + " state", display(2000, "127.0.0.3", "Gym", 1, "2000"),
         "4000 " + kMe + " /qb/displays 1", display(4000, "127.0.0.3", "Gym", 1, "4000"),
         "5000 " + kMe + " /qb/displays 2", display(5000, "127.0.0.2", "Hall", 0, "5000")});
    row("one row as it changes: its health too, not its time; a row not told of, not at all",
        {"0 127.0.0.1:5000 subscribe 0", "10 display 127.0.0.3 Gym 0 missed",
         "20 display 127.0.0.3 Gym 0 missed", "30 display 127.0.0.3 Gym 1 ok",
         "40 display 127.0.0.9 Pool 1 missed"},
        {"0 " + kMe + " state", display(10, "127.0.0.3", "Gym", 0, "10", "missed"),
         display(30, "127.0.0.3", "Gym", 1, "30")});
    // Ten told at once, then 18 wait: the oldest two of them are not told.
    QStringList missedSteps{"0 127.0.0.1:5000 subscribe 0 missed"}, toldMissed;
    for (int n = 1; n <= 28; ++n) {
        missedSteps << QStringLiteral("10 delivery missed 127.0.1.%1 D%1 clock").arg(n);
        if (n <= 10 || n > 10 + 18 - OscFeedback::kMaxMissed)
            toldMissed << missed(n <= 10   ? 10
                                 : n <= 22 ? 1011
                                           : 2012,
                                 QStringLiteral("127.0.1.%1").arg(n), QStringLiteral("D%1").arg(n));
    }
    row("each missed command, in order, ten a second, the latest 16 waiting",
        missedSteps + QStringList{"1010 flush", "1011 flush", "2011 flush", "2012 flush"},
        toldMissed);
    row("missed commands and parts in the order they waited",
        {"0 127.0.0.1:5000 subscribe 0", "1 mirror 00:59.1", "2 mirror 00:59.2", "3 mirror 00:59.3",
         "4 mirror 00:59.4", "10 delivery missed 127.0.0.2 Hall clock", "20 mirror 00:59.9",
         "30 delivery delivered 127.0.0.3 Gym clock", "40 delivery missed 127.0.0.3 Gym clock",
         "1001 flush"},
        {"0 " + kMe + " state", mirror(1, kMe, "00:59.1"), mirror(2, kMe, "00:59.2"),
         mirror(3, kMe, "00:59.3"), mirror(4, kMe, "00:59.4"), missed(1001, "127.0.0.2", "Hall"),
         mirror(1001, kMe, "00:59.9"), missed(1001, "127.0.0.3", "Gym")});
    QStringList twenty{"0 " + kMe + " state", "10 " + kMe + " /qb/displays 20"};
    for (int n = 1; n <= OscFeedback::kMaxDisplays; ++n)
        twenty << display(n <= 3    ? 10
                          : n <= 9  ? 1001
                          : n <= 13 ? 1011
                                    : 2002,
                          QStringLiteral("127.0.1.%1").arg(n), QStringLiteral("D%1").arg(n), 0,
                          "10");
    row("the first 16 displays, ten messages a second",
        {"0 127.0.0.1:5000 subscribe 0", "10 displays 20", "1001 flush", "1011 flush", "2002 flush",
         "3003 flush"},
        twenty);
    row("beyond loopback only from the allowed networks",
        {"0 192.168.1.7:5000 subscribe 0", "0 192.168.2.7:5000 subscribe 0",
         "0 [fd00::7]:5000 subscribe 0", "0 [fe80::7]:5000 subscribe 0",
         "0 [::ffff:192.168.1.8]:5000 unsubscribe 0", "0 10.0.0.1:5000 raw",
         "0 [::ffff:10.0.0.1]:5000 raw", "0 [::ffff:127.0.0.9]:5000 subscribe 0",
         "0 [::1]:5000 subscribe 0"},
        {"0 192.168.1.7:5000 state", "0 [fd00::7]:5000 state", "0 [::ffff:127.0.0.9]:5000 state",
         "0 [::1]:5000 state"},
        {"192.168.1.0/24", "fd00::/8"}, {}, 4);
    QStringList seventeen, toldSixteen;
    for (int host = 1; host <= 17; ++host) {
        seventeen << QStringLiteral("0 127.0.1.%1:5000 subscribe 0").arg(host);
        toldSixteen << QStringLiteral("0 127.0.1.%1:5000 state").arg(host);
    }
    toldSixteen.insert(1, "0 127.0.0.1:7000 state"); // told at the first flush
    toldSixteen.last() = "0 127.0.1.17:5000 /qb/error \"/qb/subscribe: 16 subscribers already; "
                         "try again when one has lapsed\"";
    row("at most 16 subscribers, the store's targets besides",
        seventeen + QStringList{"90000 127.0.1.17:5000 subscribe 0", "90001 mirror 00:01.0"},
        toldSixteen + QStringList{"90000 127.0.1.17:5000 state",
                                  mirror(90001, "127.0.0.1:7000", "00:01.0"),
                                  mirror(90001, "127.0.1.17:5000", "00:01.0")},
        {}, {"127.0.0.1:7000"});
    row("at most 4 subscribers from one host; another host has its own places",
        {"0 127.0.0.2:5001 subscribe 0 step", "0 127.0.0.2:5002 subscribe 0 step",
         "0 127.0.0.2:5003 subscribe 0 step", "0 127.0.0.2:5004 subscribe 0 step",
         "0 127.0.0.2:5005 subscribe 0 step", "0 127.0.0.3:5005 subscribe 0 step",
         "10 127.0.0.2:5004 subscribe 0 step", "20 127.0.0.2:5001 unsubscribe 0",
         "30 127.0.0.2:5005 subscribe 0 step"},
        {"0 127.0.0.2:5001 /qb/program/step 0", "0 127.0.0.2:5002 /qb/program/step 0",
         "0 127.0.0.2:5003 /qb/program/step 0", "0 127.0.0.2:5004 /qb/program/step 0",
         "0 127.0.0.2:5005 /qb/error \"/qb/subscribe: 4 subscribers from 127.0.0.2 already; "
         "unsubscribe one first\"",
         "0 127.0.0.3:5005 /qb/program/step 0", "10 127.0.0.2:5004 /qb/program/step 0",
         "30 127.0.0.2:5005 /qb/program/step 0"});
}

// The display list of a step: "Hall=1,Gym=0", or a number of displays D1, D2, ...
QJsonObject displayList(const QString &written, const QString &time)
{
    QJsonArray list;
    const auto add = [&](const QString &name, const QString &address, bool selected) {
        list.append(QJsonObject{
            {"address", address}, {"name", name}, {"selected", selected}, {"time", time}});
    };
    bool isCount = false;
    const int count = written.toInt(&isCount);
    for (int n = 1; isCount && n <= count; ++n)
        add(QStringLiteral("D%1").arg(n), QStringLiteral("127.0.1.%1").arg(n), false);
    for (const QString &display : isCount ? QStringList() : written.split(QLatin1Char(','))) {
        const QString name = display.section(QLatin1Char('='), 0, 0);
        add(name, name == "Hall" ? "127.0.0.2" : "127.0.0.3", display.endsWith("=1"));
    }
    return {{"displays", list}};
}

void TestOsc::peers()
{
    QFETCH(QStringList, allow);
    QFETCH(QStringList, fixed);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, sent);
    QFETCH(int, dropped);

    QList<OscPeer> fixedTargets;
    for (const QString &target : fixed)
        fixedTargets << peer(target);
    DoorFixture f(*OscAllowList::parse(allow, nullptr), fixedTargets);
    for (const QString &step : steps) {
        const QStringList w = step.split(QLatin1Char(' '));
        const qint64 ms = w[0].toLongLong();
        f.now = ms;
        if (w[1] == "mirror")
            f.feedback.apply("mirror",
                             {{"text", w[2]}, {"counting", "down"}, {"mode", "countdown"}});
        else if (w[1] == "step")
            f.feedback.apply("program", {{"runningStep", w[2].toInt()}});
        else if (w[1] == "displays")
            f.feedback.apply("displays", displayList(w[2], w[0]));
        else if (w[1] == "display")
            f.feedback.apply("display", {{"address", w[2]},
                                         {"name", w[3]},
                                         {"selected", w[4] == "1"},
                                         {"time", w[0]},
                                         {"missed", w[5] == "ok" ? QJsonValue()
                                                                 : QJsonObject{{"command", "clock"},
                                                                               {"at", w[0]}}}});
        else if (w[1] == "delivery")
            f.feedback.apply("delivery", {{"outcome", w[2]},
                                          {"address", w[3]},
                                          {"name", w[4]},
                                          {"command", w[5]},
                                          {"at", w[0]}});
        else if (w[1] != "flush")
            f.door.handle(
                datagram(w[2] == "raw" ? "raw:x" : "/qb/" + w[2], "i:" + w.mid(3).join(" s:")),
                peer(w[1]), ms);
        f.feedback.flush(ms);
    }
    QStringList expected;
    for (const QString &line : sent)
        expected << (line.endsWith(" state") ? wholeState(line.section(' ', 0, 1))
                                             : QStringList{line});
    // The fixture's displays show the time of day; the steps' displays show the step's time.
    static const QRegularExpression timeOfDay(QStringLiteral("\"[0-9]+:[0-9:.]+\"( \"[a-z]+\")$"));
    QStringList told = f.sent;
    for (QString &line : told)
        line.replace(timeOfDay, QStringLiteral("\"T\"\\1"));
    QCOMPARE(told.join(QLatin1Char('\n')), expected.join(QLatin1Char('\n')));
    QCOMPARE(f.door.dropped(), dropped);
}

// Where the door may listen: beyond loopback only with an allow-list (which tests do not bind).
void TestOsc::listens_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QStringList>("allow");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("warning");

    QTest::newRow("loopback") << "127.0.0.1" << QStringList() << ""
                              << "";
    QTest::newRow("IPv6 loopback") << "::1" << QStringList() << ""
                                   << "";
    QTest::newRow("host bits warned of")
        << "127.0.0.1" << QStringList{"10.1.2.3/8"} << ""
        << "OSC allow-list: \"10.1.2.3/8\" has host bits set: it admits all of 10.0.0.0/8";
    QTest::newRow("beyond loopback alone")
        << "0.0.0.0" << QStringList()
        << "OSC on 0.0.0.0 reaches beyond loopback: name the networks it may take messages from "
           "(--osc-allow NETWORK, or remote/oscAllow in the store)"
        << "";
    QTest::newRow("not a network") << "127.0.0.1" << QStringList{"10.0.0.0/33"}
                                   << "OSC allow-list: \"10.0.0.0/33\" is not a network "
                                      "(ADDRESS/BITS, such as 192.168.1.0/24, or one address)"
                                   << "";
}

void TestOsc::listens()
{
    QFETCH(QString, host);
    QFETCH(QStringList, allow);
    QFETCH(QString, error);
    QFETCH(QString, warning);

    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    DoorFixture f;
    EventHub events(4);
    OscServer::Options options;
    options.host = host;
    options.port = 0;
    options.allow = allow;
    OscServer server(f.gate, events, options);
    QString why;
    QCOMPARE(server.start(&why), error.isEmpty());
    QCOMPARE(why, error);
    QCOMPARE(server.port() > 0, error.isEmpty());
    events.close();
}

// The reader stops when asked though its socket never runs dry: each datagram it reads sends
// another, as a door answering itself would (headless mode waits for it on SIGTERM).
void TestOsc::readerStops()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in own{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof own;
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr *>(&own), length), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&own), &length);
    const auto again = [&] {
        ::sendto(fd, "x", 1, 0, reinterpret_cast<const sockaddr *>(&own), sizeof own);
    };
    OscReader reader(fd);
    int handled = 0;
    again();
    reader.run([&](const QByteArray &, const OscPeer &) {
        if (++handled == 1)
            reader.stop();
        if (handled < 10000)
            again();
    });
    ::close(fd);
    QCOMPARE(handled, 1);
}

// Where the door listens and whom it takes: the command line over the store, the store over the
// loopback default of headless mode; the window listens only when one of them asks.
void TestOsc::options_data()
{
    QTest::addColumn<QString>("asked"); // --osc-listen, "" for none
    QTest::addColumn<QStringList>("askedAllow");
    QTest::addColumn<QString>("stored"); // remote/oscListen, "" for none
    QTest::addColumn<bool>("headless");
    QTest::addColumn<QString>("expected"); // "ADDR:PORT allow feedback", "" for nowhere

    const QStringList none;
    const QString store = QStringLiteral("127.0.0.3:9001");
    QTest::newRow("command line over store")
        << "127.0.0.2:9000" << QStringList{"192.168.1.0/24"} << store << true
        << "127.0.0.2:9000 192.168.1.0/24 127.0.0.9:9100";
    QTest::newRow("store over default")
        << "" << none << store << true << "127.0.0.3:9001 10.0.0.0/8 127.0.0.9:9100";
    QTest::newRow("headless default")
        << "" << none << "" << true << "127.0.0.1:7381 10.0.0.0/8 127.0.0.9:9100";
    QTest::newRow("window: the store asks")
        << "" << none << store << false << "127.0.0.3:9001 10.0.0.0/8 127.0.0.9:9100";
    QTest::newRow("window: nobody asks") << "" << none << "" << false << "";
}

void TestOsc::options()
{
    QFETCH(QString, asked);
    QFETCH(QStringList, askedAllow);
    QFETCH(QString, stored);
    QFETCH(bool, headless);
    QFETCH(QString, expected);

    {
        QSettings store(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
        store.setValue(QStringLiteral("remote/oscListen"), stored);
        store.setValue(QStringLiteral("remote/oscAllow"), QStringLiteral("10.0.0.0/8"));
        store.setValue(QStringLiteral("remote/oscFeedback"), QStringLiteral("127.0.0.9:9100"));
    }
    const std::optional<OscServer::Options> options =
        RemoteControl::oscOptions(ListenAddress::parse(asked), askedAllow, headless);
    QString shown;
    if (options) {
        QStringList feedback;
        for (const OscPeer &peer : options->feedback)
            feedback << peer.toString();
        shown = QStringList{ListenAddress{options->host, options->port}.toString(),
                            options->allow.join(','), feedback.join(',')}
                    .join(' ');
    }
    QCOMPARE(shown, expected);
}

QTEST_GUILESS_MAIN(TestOsc)
#include "tst_osc.moc"
