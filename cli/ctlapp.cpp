#include "ctlapp.h"

#include "appdocs.h"
#include "controllerclient.h"
#include "exitstatus.h"
#include "models/duration.h"
#include "models/programfilebytes.h"
#include "output.h"
#include "watch.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>
#include <stdexcept>

namespace {

// The words given make no request: the message says why, and nothing is sent.
struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// The options that tell about the program rather than ask the controller.
const char kAboutGroup[] = "About";

const char kExitStatuses[] = R"(Exit status:
  0  done
  2  usage error, or a FILE that cannot be read or written: nothing changed
  3  no controller reachable: start one with "qb-timer --headless"
  4  refused by the controller: its message names the field at fault
  5  token missing or wrong (--token, or QB_TIMER_TOKEN)
  6  done, but with --confirm some display did not acknowledge it: each is named
)";

std::string joined(const std::vector<std::string> &words)
{
    std::string text;
    for (const std::string &word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

qint64 durationOf(const char *what, const std::string &text, bool takesSign = false)
{
    const QString given = QString::fromStdString(text);
    const std::optional<qint64> seconds =
        takesSign ? Duration::signedSeconds(given) : Duration::seconds(given);
    if (!seconds)
        throw UsageError(std::string(what) + ": \"" + text + "\" is not a duration (" +
                         (takesSign ? "with + or - in front: " : "") + Duration::kForms + ")");
    return *seconds;
}

QJsonArray names(const std::vector<std::string> &words)
{
    QJsonArray list;
    for (const std::string &word : words)
        list.append(QString::fromStdString(word));
    return list;
}

// What was left out is left to the controller's defaults.
void insertGiven(QJsonObject &args, const CLI::App &given, const std::string &option,
                 const char *key, const QJsonValue &value)
{
    if (given.count(option) > 0)
        args.insert(QLatin1String(key), value);
}

// A file by name, or standard input or output for "-".
void open(QFile &file, const std::string &path, QIODevice::OpenMode mode, FILE *standard)
{
    const bool opened = path == "-"
                            ? file.open(standard, mode)
                            : (file.setFileName(QString::fromStdString(path)), file.open(mode));
    if (!opened)
        throw UsageError(path + ": " + file.errorString().toStdString());
}

// At most one byte past what a program file can have, so that no file is read whole just to be
// refused.
QByteArray readProgramFile(const std::string &path)
{
    QFile file;
    open(file, path, QIODevice::ReadOnly, stdin);
    // A pipe may give its bytes in pieces.
    QByteArray bytes;
    while (bytes.size() <= ProgramFileBytes::kMaxBytes) {
        const QByteArray piece = file.read(ProgramFileBytes::kMaxBytes + 1 - bytes.size());
        if (piece.isEmpty())
            break;
        bytes += piece;
    }
    if (file.error() != QFileDevice::NoError)
        throw UsageError(path + ": " + file.errorString().toStdString());
    const QString fault = ProgramFileBytes::fault(bytes);
    if (!fault.isEmpty())
        throw UsageError(path + ": " + fault.toStdString());
    return bytes;
}

void writeFile(const std::string &path, const QByteArray &bytes)
{
    QFile file;
    open(file, path, QIODevice::WriteOnly | QIODevice::Truncate, stdout);
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw UsageError(path + ": " + file.errorString().toStdString());
}

} // namespace

CtlApp::CtlApp()
    : m_app("Drives a running qb-timer (its window started with --api-listen, or "
            "qb-timer --headless) over its HTTP API.",
            "qb-timerctl")
{
    m_app.get_help_ptr()->group(kAboutGroup);
    m_app.set_version_flag("--version", "qb-timerctl " QB_VERSION)->group(kAboutGroup);
    m_app.add_option("--host", m_options.host, "the controller's address or name")
        ->capture_default_str();
    m_app.add_option("--port", m_options.port, "the controller's HTTP port")
        ->capture_default_str()
        ->check(CLI::Range(1, 65535));
    m_app
        .add_option("--token", m_options.token,
                    "the token a controller listening beyond loopback asks for "
                    "(qb-timer --api-token shows it)")
        ->envname("QB_TIMER_TOKEN");
    m_app.add_flag("--json", m_options.json,
                   "print the controller's answer as it came, one JSON object a line; every "
                   "other outcome too, as {\"ok\": false, \"error\": {\"kind\", \"message\"}}");
    m_app.add_flag("--confirm", m_options.confirm,
                   "have a command that acts on displays wait until each has acknowledged it; "
                   "those that did not are named, and the exit status is 6");
    m_app
        .add_option("--to", m_options.to,
                    "the display (name or address) to act on, alone; again for more")
        ->allow_extra_args(false);
    m_app
        .add_flag_callback(
            "--bash-completion",
            [this] {
                std::fputs(AppDocs::completionScript(m_app, kAboutGroup).c_str(), stdout);
                throw CLI::Success();
            },
            "print the bash completion script")
        ->group("");
    m_app
        .add_flag_callback(
            "--help-all",
            [this] {
                std::fputs(AppDocs::everyHelp(m_app, m_app.get_name()).c_str(), stdout);
                throw CLI::Success();
            },
            "print the help of every subcommand")
        ->group(kAboutGroup);
    // The options above are taken after the subcommand too.
    m_app.fallthrough();
    m_app.require_subcommand(1);

    plain(m_app, "state", QStringLiteral("state"),
          "the whole state: mirror, buttons, open program, displays",
          "qb-timerctl --json state | jq -r .result.mirror.text", shown(Output::state));
    addDisplays();
    addCountDown();
    addCountUp();
    plain(m_app, "clock", QStringLiteral("clock"), "show the time of day",
          "qb-timerctl clock --to Hall");
    addPrograms();
    addGenerators();
    addSetup();
    addWatch();
    m_app.footer(std::string(kExitStatuses) +
                 "\nExamples:\n"
                 "  $ qb-timerctl select --only Hall Gym\n"
                 "  $ qb-timerctl countdown set 5:00 --alarm 3 && qb-timerctl countdown start\n"
                 "  $ qb-timerctl --host 192.168.1.20 --to Stage countdown adjust -1m\n"
                 "  $ qb-timerctl watch\n");
}

int CtlApp::run(int argc, char **argv)
{
    try {
        m_app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (m_app.exit(e) == 0)
            return kDone;
        // The options seen before the fault count.
        if (m_app.count("--json") > 0)
            Output::print(Output::errorJson(QStringLiteral("usage"), QString::fromUtf8(e.what())));
        return kUsage;
    }
    try {
        return m_action();
    } catch (const UsageError &e) {
        return failed({kUsage, {}, {}, QString::fromStdString(e.what())});
    }
}

// ---- building the subcommands ----

CLI::App *CtlApp::group(const std::string &name, const std::string &summary,
                        const std::string &example)
{
    CLI::App *group = m_app.add_subcommand(name, summary);
    group->require_subcommand(1);
    group->footer("Example:\n  " + example);
    return group;
}

CLI::App *CtlApp::leaf(CLI::App &parent, const std::string &name, const std::string &summary,
                       const std::string &example, const QStringList &commands, Build build,
                       React react)
{
    CLI::App *sub = parent.add_subcommand(name, summary);
    sub->footer("Example:\n  " + example);
    m_tableCommands << commands;
    sub->callback([this, sub, build, react] {
        m_action = [this, sub, build, react] { return send(build(*sub), react); };
    });
    return sub;
}

void CtlApp::startPause(CLI::App &group, const std::string &name, const std::string &what)
{
    const QString command = QString::fromStdString(name) + QLatin1Char('.');
    plain(group, "start", command + QStringLiteral("start"), "start the " + what,
          "qb-timerctl " + name + " start");
    plain(group, "pause", command + QStringLiteral("pause"), "pause the " + what,
          "qb-timerctl " + name + " pause");
    plain(group, "toggle", command + QStringLiteral("toggle"),
          "start the " + what + ", or pause it while it runs", "qb-timerctl " + name + " toggle");
}

CLI::App *CtlApp::plain(CLI::App &parent, const std::string &name, const QString &command,
                        const std::string &summary, const std::string &example, React react)
{
    return leaf(
        parent, name, summary, example, {command},
        [command](const CLI::App &) {
            return Request{command, {}};
        },
        std::move(react));
}

CtlApp::React CtlApp::shown(void (*printer)(const QJsonObject &)) const
{
    return [this, printer](const QJsonObject &result) {
        if (!m_options.json)
            printer(result);
        return kDone;
    };
}

CtlApp::React CtlApp::quiet()
{
    return [](const QJsonObject &) { return kDone; };
}

void CtlApp::addDisplays()
{
    plain(m_app, "displays", QStringLiteral("displays.list"),
          "list the displays: selected, name, address, shown time", "qb-timerctl displays",
          shown(Output::displays));
    plain(m_app, "discover", QStringLiteral("displays.discover"),
          "query the network for displays; those that answer are listed",
          "qb-timerctl discover && sleep 1 && qb-timerctl displays");

    auto address = std::make_shared<std::string>();
    leaf(
        m_app, "add", "query one address; the display is listed when it answers",
        "qb-timerctl add 192.168.1.50", {QStringLiteral("displays.add")},
        [address](const CLI::App &) {
            return Request{QStringLiteral("displays.add"),
                           {{QStringLiteral("address"), QString::fromStdString(*address)}}};
        },
        quiet())
        ->add_option("ADDRESS", *address, "the display's IPv4 address")
        ->required();

    // select, deselect and remove name displays alike; the second command is select's --only.
    const auto naming = [this](const std::string &name, const std::string &summary,
                               const std::string &example, const QStringList &commands) {
        auto words = std::make_shared<std::vector<std::string>>();
        CLI::App *sub = leaf(
            m_app, name, summary, example, commands,
            [words, commands](const CLI::App &given) {
                const bool only = commands.size() > 1 && given.count("--only") > 0;
                return Request{commands.at(only ? 1 : 0),
                               {{QStringLiteral("displays"), names(*words)}}};
            },
            quiet());
        sub->add_option("NAME", *words, "display names or addresses")->required();
        return sub;
    };
    naming("select", "select displays; with --only, exactly these",
           "qb-timerctl select --only Hall 192.168.1.51",
           {QStringLiteral("displays.select"), QStringLiteral("displays.selectOnly")})
        ->add_flag("--only", "deselect every other display");
    naming("deselect", "deselect displays", "qb-timerctl deselect Gym",
           {QStringLiteral("displays.deselect")});
    naming("remove", "take displays off the list", "qb-timerctl remove Pool",
           {QStringLiteral("displays.remove")});
}

void CtlApp::addCountDown()
{
    CLI::App *countdown = group("countdown", "the count-down page",
                                "qb-timerctl countdown set 2d 04:00:00 --alarm 3");
    struct Setting
    {
        std::vector<std::string> duration;
        int alarm = 0;
        std::string format;
    };
    auto setting = std::make_shared<Setting>();
    CLI::App *set = leaf(
        *countdown, "set", "reset the count-down to a duration; start runs it",
        "qb-timerctl countdown set 2d 04:00:00 --alarm 3 --to Hall",
        {QStringLiteral("countdown.set")},
        [setting](const CLI::App &given) {
            const Duration::Parts parts =
                Duration::split(durationOf("DURATION", joined(setting->duration)));
            QJsonObject args{{QStringLiteral("days"), parts.days},
                             {QStringLiteral("hours"), parts.hours},
                             {QStringLiteral("minutes"), parts.minutes},
                             {QStringLiteral("seconds"), parts.seconds}};
            insertGiven(args, given, "--alarm", "alarm", setting->alarm);
            insertGiven(args, given, "--format", "format", QString::fromStdString(setting->format));
            return Request{QStringLiteral("countdown.set"), args};
        },
        quiet());
    set->add_option("DURATION", setting->duration, Duration::kForms)->required();
    set->add_option("--alarm", setting->alarm, "seconds of alarm at zero, 0 to 10");
    set->add_option("--format", setting->format, "mm:ss.t, hh:mm:ss or dd:hh:mm");

    startPause(*countdown, "countdown", "count-down");
    plain(*countdown, "reset", QStringLiteral("countdown.reset"),
          "reset the count-down to the duration last set", "qb-timerctl countdown reset");
    plain(*countdown, "mode", QStringLiteral("countdown.mode"), "put displays in count-down mode",
          "qb-timerctl countdown mode --to Gym");
    auto delta = std::make_shared<std::string>();
    leaf(
        *countdown, "adjust", "add time to a running or paused count-down, or take it off",
        "qb-timerctl countdown adjust +60\n  qb-timerctl countdown adjust -1m",
        {QStringLiteral("countdown.adjust")},
        [delta](const CLI::App &) {
            return Request{QStringLiteral("countdown.adjust"),
                           {{QStringLiteral("seconds"), durationOf("TIME", *delta, true)}}};
        },
        quiet())
        ->add_option("TIME", *delta, "+ or - and a duration: +60, -1m, +1:30")
        ->required();

    auto preset = std::make_shared<int>(0);
    leaf(
        m_app, "preset", "reset the count-down to one of the eight presets", "qb-timerctl preset 3",
        {QStringLiteral("countdown.preset")},
        [preset](const CLI::App &) {
            return Request{QStringLiteral("countdown.preset"),
                           {{QStringLiteral("preset"), *preset}}};
        },
        quiet())
        ->add_option("N", *preset, "preset number, 1 to 8 in the page's order")
        ->required();
}

void CtlApp::addCountUp()
{
    CLI::App *countup = group("countup", "the count-up page", "qb-timerctl countup start");
    auto format = std::make_shared<std::string>();
    CLI::App *reset = leaf(
        *countup, "reset", "reset the count-up to zero",
        "qb-timerctl countup reset --format mm:ss.t", {QStringLiteral("countup.reset")},
        [format](const CLI::App &given) {
            QJsonObject args;
            insertGiven(args, given, "--format", "format", QString::fromStdString(*format));
            return Request{QStringLiteral("countup.reset"), args};
        },
        quiet());
    reset->add_option("--format", *format, "mm:ss.t, hh:mm:ss or dd:hh:mm");
    startPause(*countup, "countup", "count-up");
    plain(*countup, "mode", QStringLiteral("countup.mode"), "put displays in count-up mode",
          "qb-timerctl countup mode --to Gym");
}

void CtlApp::addPrograms()
{
    CLI::App *program = group("program", "the ten programs, as the program page has them",
                              "qb-timerctl program arm 3 && qb-timerctl program start");
    plain(*program, "list", QStringLiteral("program.list"), "the ten programs' numbers and names",
          "qb-timerctl program list", shown(Output::programs));
    // show, open and arm take a program number; only arm may leave it out.
    const auto numbered = [&](const std::string &name, const QString &command,
                              const std::string &summary, const std::string &example, React react,
                              bool required) {
        auto number = std::make_shared<int>(0);
        CLI::App *sub = leaf(
            *program, name, summary, example, {command},
            [number, command](const CLI::App &given) {
                QJsonObject args;
                insertGiven(args, given, "N", "program", *number);
                return Request{command, args};
            },
            std::move(react));
        sub->add_option("N", *number, "program number, 1 to 10")->required(required);
    };
    numbered("show", QStringLiteral("program.show"), "a program's lines",
             "qb-timerctl program show 2", shown(Output::program), true);
    numbered("open", QStringLiteral("program.open"), "open a program on the program page",
             "qb-timerctl program open 2", quiet(), true);
    auto renaming = std::make_shared<std::pair<int, std::string>>();
    CLI::App *rename = leaf(
        *program, "rename", "give a program a new name (at most 11 bytes)",
        "qb-timerctl program rename 3 \"Warm-up\"", {QStringLiteral("program.rename")},
        [renaming](const CLI::App &) {
            return Request{QStringLiteral("program.rename"),
                           {{QStringLiteral("program"), renaming->first},
                            {QStringLiteral("name"), QString::fromStdString(renaming->second)}}};
        },
        quiet());
    rename->add_option("N", renaming->first, "program number, 1 to 10")->required();
    rename->add_option("NAME", renaming->second, "the new name")->required();
    numbered("arm", QStringLiteral("program.arm"),
             "arm the open program, or program N, on the displays: the page's Reset",
             "qb-timerctl program arm 3 --to Hall", quiet(), false);
    startPause(*program, "program", "armed program");
    // save and get take one program or all ten.
    const auto oneOrAll = [&](const std::string &name, const QString &one, const QString &all,
                              const std::string &summary, const std::string &example) {
        auto number = std::make_shared<int>(0);
        CLI::App *sub = leaf(
            *program, name, summary, example, {one, all},
            [number, name, one, all](const CLI::App &given) {
                const bool everything = given.count("--all") > 0;
                if (everything == (given.count("N") > 0))
                    throw UsageError("program " + name + ": give a program number or --all");
                return everything ? Request{all, {}}
                                  : Request{one, {{QStringLiteral("program"), *number}}};
            },
            quiet());
        sub->add_option("N", *number, "program number, 1 to 10");
        sub->add_flag("--all", "all ten programs");
    };
    oneOrAll("save", QStringLiteral("program.save"), QStringLiteral("program.saveAll"),
             "upload programs to the displays and have them save them",
             "qb-timerctl program save --all --to Hall");
    oneOrAll("get", QStringLiteral("program.get"), QStringLiteral("program.getAll"),
             "read programs from the first selected display into their places",
             "qb-timerctl program get 4 --to Gym");
    plain(*program, "active", QStringLiteral("program.getActive"),
          "read the first selected display's active program and open it",
          "qb-timerctl program active --to Gym");
    addProgramFiles(*program);
}

void CtlApp::addProgramFiles(CLI::App &program)
{
    struct Transfer
    {
        int number = 0;
        std::string file;
    };
    auto out = std::make_shared<Transfer>();
    CLI::App *exporting = leaf(
        program, "export", "write a program to a file (JSON, as docs/program-files.md describes)",
        "qb-timerctl program export 3 circuit.json", {QStringLiteral("program.export")},
        [out](const CLI::App &) {
            return Request{QStringLiteral("program.export"),
                           {{QStringLiteral("program"), out->number}}};
        },
        [this, out](const QJsonObject &result) {
            // With --json, standard output has the answer, which holds the file as "fileText".
            if (!(m_options.json && out->file == "-"))
                writeFile(out->file, result.value(QStringLiteral("fileText")).toString().toUtf8());
            return kDone;
        });
    exporting->add_option("N", out->number, "program number, 1 to 10")->required();
    exporting
        ->add_option("FILE", out->file,
                     "the file to write; - for standard output (with --json, the answer alone, "
                     "which holds the file as \"fileText\")")
        ->required();

    auto in = std::make_shared<Transfer>();
    CLI::App *importing = leaf(
        program, "import",
        "store a program file (JSON, or the stored program text; at most 8 KiB of UTF-8) as "
        "program N; a refused file stores nothing",
        "qb-timerctl program import circuit.json 3", {QStringLiteral("program.import")},
        [in](const CLI::App &) {
            const QByteArray bytes = readProgramFile(in->file);
            const QJsonDocument json = QJsonDocument::fromJson(bytes);
            // Anything but a JSON object goes as text, for the controller to read or refuse.
            const QJsonValue file =
                json.isObject() ? QJsonValue(json.object()) : QJsonValue(QString::fromUtf8(bytes));
            return Request{
                QStringLiteral("program.import"),
                {{QStringLiteral("program"), in->number}, {QStringLiteral("file"), file}}};
        },
        shown(Output::imported));
    importing->add_option("FILE", in->file, "the file to read; - for standard input")->required();
    importing->add_option("N", in->number, "program number, 1 to 10")->required();
}

void CtlApp::addSetup()
{
    struct Setup
    {
        std::string broadcast;
        int retries = 0;
        int delay = 0;
        int refresh = 0;
    };
    auto setup = std::make_shared<Setup>();
    CLI::App *sub = leaf(
        m_app, "setup",
        "the setup page's link values: those given are stored and used at once; all are shown",
        "qb-timerctl setup --broadcast 192.168.1.255 --retries 3", {QStringLiteral("setup.link")},
        [setup](const CLI::App &given) {
            QJsonObject args;
            insertGiven(args, given, "--broadcast", "broadcast",
                        QString::fromStdString(setup->broadcast));
            insertGiven(args, given, "--retries", "retries", setup->retries);
            insertGiven(args, given, "--delay", "delay", setup->delay);
            insertGiven(args, given, "--refresh", "refresh", setup->refresh);
            return Request{QStringLiteral("setup.link"), args};
        },
        shown(Output::link));
    sub->add_option("--broadcast", setup->broadcast, "where discovery queries go");
    sub->add_option("--retries", setup->retries, "sends of an unanswered command after the first");
    sub->add_option("--delay", setup->delay, "ms between them");
    sub->add_option("--refresh", setup->refresh, "seconds between the status polls");
}

void CtlApp::addGenerators()
{
    struct Tabata
    {
        std::string work;
        std::string rest;
        int rounds = 0;
    };
    auto tabata = std::make_shared<Tabata>();
    CLI::App *tabataCommand = leaf(
        m_app, "tabata",
        "build a Tabata program (program 10) and arm it on the displays; program start runs it",
        "qb-timerctl tabata 20 10 8 --alarm && qb-timerctl program start",
        {QStringLiteral("tabata")},
        [tabata](const CLI::App &given) {
            return Request{QStringLiteral("tabata"),
                           {{QStringLiteral("work"), durationOf("WORK", tabata->work)},
                            {QStringLiteral("rest"), durationOf("REST", tabata->rest)},
                            {QStringLiteral("rounds"), tabata->rounds},
                            {QStringLiteral("alarm"), given.count("--alarm") > 0}}};
        },
        quiet());
    tabataCommand->add_option("WORK", tabata->work, "time of work: 20, 0:45")->required();
    tabataCommand->add_option("REST", tabata->rest, "time of rest")->required();
    tabataCommand->add_option("ROUNDS", tabata->rounds, "work/rest rounds, 1 to 256")->required();
    tabataCommand->add_flag("--alarm", "a two-second alarm at each change");

    struct Presentation
    {
        std::string total;
        std::string warning;
        std::string format;
    };
    auto present = std::make_shared<Presentation>();
    CLI::App *presentCommand = leaf(
        m_app, "present",
        "build a presentation timer (program 9): green, yellow from WARNING left, red at zero; "
        "arm it on the displays",
        "qb-timerctl present 20:00 2:00 --countup && qb-timerctl program start",
        {QStringLiteral("presentation")},
        [present](const CLI::App &given) {
            QJsonObject args{{QStringLiteral("total"), durationOf("TOTAL", present->total)},
                             {QStringLiteral("warning"), durationOf("WARNING", present->warning)},
                             {QStringLiteral("countUp"), given.count("--countup") > 0},
                             {QStringLiteral("alarm"), given.count("--alarm") > 0}};
            insertGiven(args, given, "--format", "format", QString::fromStdString(present->format));
            return Request{QStringLiteral("presentation"), args};
        },
        quiet());
    presentCommand->add_option("TOTAL", present->total, "the talk's time: 20:00, 1h")->required();
    presentCommand->add_option("WARNING", present->warning, "time left when it turns yellow")
        ->required();
    presentCommand->add_flag("--countup", "count up in red after zero instead of ending");
    presentCommand->add_option("--format", present->format, "mm:ss.t or hh:mm:ss");
    presentCommand->add_flag("--alarm", "a two-second alarm at each change");
}

void CtlApp::addWatch()
{
    CLI::App *sub = m_app.add_subcommand(
        "watch", "show the mirror's time and the Start/Pause buttons as they change, until "
                 "Ctrl+C; a line a change when the output is not a terminal");
    sub->footer("Example:\n  qb-timerctl watch\n  qb-timerctl --json watch | jq -c .data");
    sub->callback([this] {
        m_action = [this] {
            if (m_options.confirm)
                throw UsageError("--confirm: watch does not act on displays");
            ControllerClient client(where());
            return failed(watchMirror(client, m_options.json));
        };
    });
}

// ---- talking to the controller ----

ControllerClient::Where CtlApp::where() const
{
    return {m_options.host, m_options.port, m_options.token};
}

const QStringList &CtlApp::actingCommands()
{
    static const QStringList acting{"clock",           "countdown.adjust", "countdown.mode",
                                    "countdown.pause", "countdown.preset", "countdown.reset",
                                    "countdown.set",   "countdown.start",  "countdown.toggle",
                                    "countup.mode",    "countup.pause",    "countup.reset",
                                    "countup.start",   "countup.toggle",   "presentation",
                                    "program.arm",     "program.get",      "program.getActive",
                                    "program.getAll",  "program.pause",    "program.save",
                                    "program.saveAll", "program.start",    "program.toggle",
                                    "tabata"};
    return acting;
}

int CtlApp::send(const Request &request, const React &react) const
{
    QJsonObject args = request.args;
    if (!m_options.to.empty())
        args.insert(QStringLiteral("to"), names(m_options.to));
    if (m_options.confirm) {
        if (!actingCommands().contains(request.command))
            throw UsageError("--confirm: " + request.command.toStdString() +
                             " does not act on displays");
        args.insert(QStringLiteral("confirm"), true);
    }
    ControllerClient client(where());
    const ControllerClient::Answer answer = client.call(request.command, args);
    if (answer.status != kDone)
        return failed(answer);
    // First what the result asks for, which may fail (a file not written): then that alone is told.
    const int status = react(answer.result);
    if (m_options.json)
        Output::print(QString::fromUtf8(answer.body));
    return status == kDone && m_options.confirm ? confirmed(answer.result) : status;
}

int CtlApp::confirmed(const QJsonObject &result) const
{
    const QStringList missed = Output::missed(result);
    if (!m_options.json) {
        for (const QString &line : missed)
            std::fprintf(stderr, "%s\n", qUtf8Printable(line));
    }
    return missed.isEmpty() ? kDone : kMissed;
}

int CtlApp::failed(const ControllerClient::Answer &answer) const
{
    if (m_options.json) {
        const bool answered = QJsonDocument::fromJson(answer.body).isObject();
        Output::print(answered ? QString::fromUtf8(answer.body)
                               : Output::errorJson(kindOf(answer.status), answer.message));
    }
    Output::complain(answer.message);
    return answer.status;
}

QString CtlApp::kindOf(ExitStatus status)
{
    switch (status) {
    case kUsage:
        return QStringLiteral("usage");
    case kUnreachable:
        return QStringLiteral("unreachable");
    case kUnauthorized:
        return QStringLiteral("unauthorized");
    case kDone:
    case kRefused:
    case kMissed:
        break;
    }
    return QStringLiteral("refused");
}
