#include "app/commandline.h"

#include "control/apireference.h"
#include "control/httpapi.h"
#include "control/oscallowlist.h"
#include "control/oscserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace {

const QString kProgram = QStringLiteral("qb-timer");

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Runs without a window: the controller, the link, the HTTP API (on "
                       "127.0.0.1:%1 unless --api-listen says otherwise) and OSC (on "
                       "127.0.0.1:%2 unless --osc-listen says otherwise). Stops on SIGTERM or "
                       "SIGINT.")
            .arg(HttpApi::kDefaultPort)
            .arg(OscServer::kDefaultPort)};
    QCommandLineOption apiListen{
        QStringLiteral("api-listen"),
        QStringLiteral("Serves the HTTP API on ADDR:PORT, with the window too. Beyond loopback "
                       "clients need the token."),
        QStringLiteral("ADDR:PORT")};
    QCommandLineOption oscListen{
        QStringLiteral("osc-listen"),
        QStringLiteral("Takes OSC on UDP ADDR:PORT, with the window too. Beyond loopback it needs "
                       "--osc-allow."),
        QStringLiteral("ADDR:PORT")};
    QCommandLineOption oscAllow{
        QStringLiteral("osc-allow"),
        QStringLiteral("Takes OSC from this network as well as from loopback (for example "
                       "192.168.1.0/24); may be given more than once."),
        QStringLiteral("NETWORK")};
    QCommandLineOption apiToken{QStringLiteral("api-token"),
                                QStringLiteral("Prints the HTTP API's token, made on first use.")};
    QCommandLineOption viewerToken{
        QStringLiteral("viewer-token"),
        QStringLiteral("Prints the viewers' read-only token, made on first use: for "
                       "http://ADDR:PORT/viewer#token=TOKEN beyond loopback.")};
    QCommandLineOption apiReference{
        QStringLiteral("api-reference"),
        QStringLiteral("Prints the remote-control reference (Markdown).")};

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Controls networked timer displays over UDP port 7372."));
        // "-platform" or "-stylesheet" must not read as a bundle of one-letter options.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions(
            {headless, apiListen, oscListen, oscAllow, apiToken, viewerToken, apiReference});
    }
};

// The OSC options into `options`; what is wrong with them, if anything.
QString readOscOptions(const Parser &p, StartOptions &options)
{
    if (p.parser.isSet(p.oscListen)) {
        options.oscListen = ListenAddress::parse(p.parser.value(p.oscListen));
        if (!options.oscListen)
            return QStringLiteral("--osc-listen: \"%1\" is not ADDR:PORT (for example "
                                  "127.0.0.1:%2)")
                .arg(p.parser.value(p.oscListen))
                .arg(OscServer::kDefaultPort);
    }
    options.oscAllow = p.parser.values(p.oscAllow);
    QString why;
    if (!OscAllowList::parse(options.oscAllow, &why))
        return QStringLiteral("--osc-allow: ") + why;
    return QString();
}

} // namespace

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

std::optional<int> answerAndExit(int &argc, char **argv, const QString &version)
{
    Parser p;
    // Unknown options may be Qt's own; readStartOptions() judges what is left of them.
    p.parser.parse(argumentList(argc, argv));
    if (p.parser.isSet(p.version)) {
        std::printf("%s %s\n", qPrintable(kProgram), qPrintable(version));
        return 0;
    }
    if (p.parser.isSet(p.apiReference)) {
        std::fputs(ApiReference::markdown().toUtf8().constData(), stdout);
        return 0;
    }
    if (p.parser.isSet(p.apiToken)) {
        std::printf("%s\n", RemoteSettings::httpToken().constData());
        return 0;
    }
    if (p.parser.isSet(p.viewerToken)) {
        std::printf("%s\n", RemoteSettings::viewerToken().constData());
        return 0;
    }
    if (!p.parser.isSet(p.help))
        return std::nullopt;
    // The help text takes the program's name from the application object.
    QCoreApplication app(argc, argv);
    std::fputs(qPrintable(p.parser.helpText()), stdout);
    return 0;
}

bool wantsHeadless(int argc, char **argv)
{
    Parser p;
    p.parser.parse(argumentList(argc, argv));
    return p.parser.isSet(p.headless);
}

std::optional<StartOptions> readStartOptions(const QStringList &arguments)
{
    Parser p;
    QString error;
    StartOptions options;
    if (!p.parser.parse(arguments)) {
        error = p.parser.errorText();
    } else if (!p.parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument \"%1\"")
                    .arg(p.parser.positionalArguments().constFirst());
    } else if (p.parser.isSet(p.apiListen)) {
        options.apiListen = ListenAddress::parse(p.parser.value(p.apiListen));
        if (!options.apiListen)
            error = QStringLiteral("--api-listen: \"%1\" is not ADDR:PORT (for example "
                                   "127.0.0.1:%2)")
                        .arg(p.parser.value(p.apiListen))
                        .arg(HttpApi::kDefaultPort);
    }
    if (error.isEmpty())
        error = readOscOptions(p, options);
    if (error.isEmpty())
        return options;
    std::fprintf(stderr, "%s: %s\n", qPrintable(kProgram), qPrintable(error));
    return std::nullopt;
}
