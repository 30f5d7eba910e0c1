#include "control/commandtable.h"
#include "ctlapp.h"
#include "models/duration.h"
#include "models/programfilebytes.h"

#include <QtTest>
#include <httplib.h>
#include <mutex>
#include <thread>

// qb-timerctl's own parts: the durations an operator types, that its subcommands send exactly the
// controller's table of commands, and the program against a stand-in controller with canned
// answers (what each outcome prints, where, and its exit status). The real controller is end to
// end (tests/e2e/ctl.bats).
class TestCtl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void durations_data();
    void durations();
    void subcommandsSendTheTable();
    void confirmGoesWithActingCommands();
    void outcomes_data();
    void outcomes();

private:
    // The stand-in: answers every command with the row's status and body, and keeps what came.
    httplib::Server m_server;
    std::thread m_serving;
    int m_port = 0;
    std::mutex m_mutex;
    int m_status = 200;
    std::string m_answer;
    QStringList m_received;
    QTemporaryDir m_dir;
};

void TestCtl::initTestCase()
{
    m_server.Post(R"(/api/v1/commands/(.+))",
                  [this](const httplib::Request &req, httplib::Response &res) {
                      const std::lock_guard<std::mutex> lock(m_mutex);
                      m_received << QString::fromStdString(req.matches[1].str() + ' ' + req.body);
                      res.status = m_status;
                      res.set_content(m_answer, "application/json");
                  });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    QVERIFY(m_port > 0);
    m_serving = std::thread([this] { m_server.listen_after_bind(); });
    QVERIFY(m_dir.isValid());
}

void TestCtl::cleanupTestCase()
{
    m_server.stop();
    m_serving.join();
}

void TestCtl::durations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("takesSign");
    QTest::addColumn<qint64>("seconds"); // -1: refused
    const auto row = [](const char *text, bool takesSign, qint64 seconds) {
        QTest::addRow("%s%s", text, takesSign ? " (signed)" : "")
            << QString::fromUtf8(text) << takesSign << seconds;
    };
    row("90", false, 90);
    row("1:30", false, 90);
    row("1:02:03", false, 3723);
    row("90:00", false, 5400);
    row("1m30s", false, 90);
    row("2h", false, 7200);
    row("2d4h", false, 187200);
    row("2d 04:00:00", false, 187200);
    row("1d 2h 3m 4s", false, 93784);
    row("3D", false, 259200);
    row(" 5:00 ", false, 300);
    row("", false, -1);
    row("1:5", false, -1);
    row("1:75", false, -1);
    row("1:30:", false, -1);
    row("1:02:03:04", false, -1);
    row("30s1m", false, -1);
    row("1.5", false, -1);
    row("5 min", false, -1);
    row("-5", false, -1);
    row("h", false, -1);
    row("+60", true, 60);
    row("-1m", true, -60);
    row("60", true, 60);
    row("--1", true, -1);
}

void TestCtl::durations()
{
    QFETCH(QString, text);
    QFETCH(bool, takesSign);
    QFETCH(qint64, seconds);
    const std::optional<qint64> read =
        takesSign ? Duration::signedSeconds(text) : Duration::seconds(text);
    QCOMPARE(read.value_or(-1), seconds);
}

// Every command of the table has a subcommand, and no subcommand sends a name the table lacks.
void TestCtl::subcommandsSendTheTable()
{
    QStringList table;
    for (const Command &command : CommandTable::commands())
        table << command.name;
    QStringList sent = CtlApp().tableCommands();
    table.sort();
    sent.sort();
    QCOMPARE(sent, table);
}

// --confirm goes with exactly the commands the table has act on displays.
void TestCtl::confirmGoesWithActingCommands()
{
    QStringList acting;
    for (const Command &command : CommandTable::commands()) {
        if (command.takesTargets)
            acting << command.name;
    }
    acting.sort();
    QCOMPARE(CtlApp::actingCommands(), acting);
}

namespace {

const char kMissedAnswer[] =
    R"({"ok":true,"result":{"acknowledged":[{"address":"127.0.0.2","name":"Hall"}],)"
    R"("missed":[{"address":"127.0.0.3","command":"clock","name":"Gym"},)"
    R"({"address":"127.0.0.4","command":"clock","name":"Po\u001bol"}]}})";
const char kAllThere[] =
    R"({"ok":true,"result":{"acknowledged":[{"address":"127.0.0.2","name":"Hall"}],"missed":[]}})";
const char kTokenMessage[] =
    "token missing or wrong: give it with --token or QB_TIMER_TOKEN (\"qb-timer --api-token\" on "
    "the controller's machine shows it)";
const char kExported[] =
    R"({"ok":true,"result":{"file":{},"fileText":"{\n  \"name\": \"P3\"\n}\n","text":"08"}})";

QByteArray usageJson(const QByteArray &message)
{
    return R"({"error":{"kind":"usage","message":")" + message + R"("},"ok":false})" + '\n';
}

} // namespace

void TestCtl::outcomes_data()
{
    QTest::addColumn<QStringList>("args"); // %dir is a folder of files for import
    QTest::addColumn<int>("httpStatus");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("exitStatus");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("sent"); // the command and its body; empty: nothing sent
    const QByteArray missed(kMissedAnswer);
    const auto row = [](const char *tag, const QString &args, int status, const QByteArray &answer,
                        int exit, const QByteArray &out, const QByteArray &err,
                        const QString &sent) {
        QTest::newRow(tag) << args.split(QLatin1Char(' ')) << status << answer << exit << out << err
                           << sent;
    };
    row("confirmed by every display", "--confirm countdown start", 200, kAllThere, 0, "", "",
        R"(countdown.start {"confirm":true})");
    row("missed by two", "--confirm --to Hall clock", 200, missed, 6, "",
        "Gym (127.0.0.3) missed clock\nPo?ol (127.0.0.4) missed clock\n",
        R"(clock {"confirm":true,"to":["Hall"]})");
    row("missed, with --json", "--json --confirm countdown start", 200, missed, 6, missed + '\n',
        "", R"(countdown.start {"confirm":true})");
    row("missed without --confirm is not told", "countdown start", 200, missed, 0, "", "",
        "countdown.start {}");
    row("--confirm with a command that reads", "--json --confirm program list", 200, kAllThere, 2,
        usageJson("--confirm: program.list does not act on displays"),
        "qb-timerctl: --confirm: program.list does not act on displays\n", "");
    const QByteArray unauthorized =
        R"({"error":{"kind":"unauthorized","message":"token: missing"},"ok":false})";
    row("token wrong, with --json", "--json displays", 401, unauthorized, 5, unauthorized + '\n',
        QByteArray("qb-timerctl: ") + kTokenMessage + '\n', "displays.list {}");
    row("token wrong, the answer not JSON", "--json displays", 401, "no", 5,
        QByteArray(R"({"error":{"kind":"unauthorized","message":")") +
            QByteArray(kTokenMessage).replace("\"", "\\\"") + R"("},"ok":false})" + '\n',
        QByteArray("qb-timerctl: ") + kTokenMessage + '\n', "displays.list {}");
    const QByteArray refusal =
        R"({"error":{"field":"preset","kind":"invalid","message":"preset: 9 is outside 1..8"},"ok":false})";
    row("refused, with --json", "--json preset 9", 422, refusal, 4, refusal + '\n',
        "qb-timerctl: preset: 9 is outside 1..8\n", R"(countdown.preset {"preset":9})");
    row("a usage error, with --json", "--json program save", 200, kAllThere, 2,
        usageJson("program save: give a program number or --all"),
        "qb-timerctl: program save: give a program number or --all\n", "");
    row("words not understood, with --json", "--json countdown set", 200, kAllThere, 2,
        usageJson("DURATION is required"),
        "DURATION is required\nRun with --help for more information.\n", "");
    const QByteArray nobody = "no controller at 127.0.0.1:1 (Connection error): start one with "
                              "\"qb-timer --headless\", or the window with \"qb-timer "
                              "--api-listen 127.0.0.1:1\"";
    row("no controller, with --json", "--json --port 1 displays", 200, kAllThere, 3,
        R"({"error":{"kind":"unreachable","message":")" + QByteArray(nobody).replace("\"", "\\\"") +
            R"("},"ok":false})" + '\n',
        "qb-timerctl: " + nobody + '\n', "");
    row("export to standard output", "program export 3 -", 200, kExported, 0,
        "{\n  \"name\": \"P3\"\n}\n", "", R"(program.export {"program":3})");
    row("export to standard output, with --json: the answer alone", "program export 3 - --json",
        200, kExported, 0, QByteArray(kExported) + '\n', "", R"(program.export {"program":3})");
    const QByteArray imported = R"({"ok":true,"result":{"name":"T","program":3}})";
    row("a file of the most bytes", "--json program import %dir/most.json 3", 200, imported, 0,
        imported + '\n', "", R"(program.import {"file":{"name":"T"},"program":3})");
    row("a file one byte longer", "--json program import %dir/longer.json 3", 200, imported, 2,
        usageJson("%dir/longer.json: more than the 8192 bytes a program file can have"),
        "qb-timerctl: %dir/longer.json: more than the 8192 bytes a program file can have\n", "");
    row("a file without end", "program import /dev/zero 3", 200, imported, 2, "",
        "qb-timerctl: /dev/zero: more than the 8192 bytes a program file can have\n", "");
    row("a name not UTF-8", "program import %dir/latin1.json 3", 200, imported, 2, "",
        "qb-timerctl: %dir/latin1.json: name: not UTF-8 (byte 10)\n", "");
}

void TestCtl::outcomes()
{
    QFETCH(QStringList, args);
    QFETCH(int, httpStatus);
    QFETCH(QByteArray, answer);
    QFETCH(int, exitStatus);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(QString, sent);

    const QString dir = m_dir.path();
    const QByteArray most =
        QByteArray(R"({"name": "T"})").leftJustified(ProgramFileBytes::kMaxBytes);
    for (const auto &[name, bytes] : {std::pair{"most.json", most},
                                      {"longer.json", most + ' '},
                                      {"latin1.json", QByteArray("{\"name\": \"\xdc"
                                                                 "bung\"}")}}) {
        QFile file(dir + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_status = httpStatus;
        m_answer = answer.toStdString();
        m_received.clear();
    }
    QProcess ctl;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QB_TIMER_TOKEN"));
    ctl.setProcessEnvironment(env);
    if (!args.contains(QStringLiteral("--port")))
        args << QStringLiteral("--port") << QString::number(m_port);
    ctl.start(QStringLiteral(QB_CTL), args.replaceInStrings(QStringLiteral("%dir"), dir));
    QVERIFY(ctl.waitForFinished(10000));
    QCOMPARE(ctl.readAllStandardError(), QByteArray(err).replace("%dir", dir.toUtf8()));
    QCOMPARE(ctl.readAllStandardOutput(), QByteArray(out).replace("%dir", dir.toUtf8()));
    QCOMPARE(ctl.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ctl.exitCode(), exitStatus);
    const std::lock_guard<std::mutex> lock(m_mutex);
    QCOMPARE(m_received, sent.isEmpty() ? QStringList() : QStringList{sent});
}

QTEST_GUILESS_MAIN(TestCtl)
#include "tst_ctl.moc"
