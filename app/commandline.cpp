#include "app/commandline.h"

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

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Controls networked timer displays over UDP port 7372."));
        // "-platform" or "-stylesheet" must not read as a bundle of one-letter options.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    }
};

} // namespace

std::optional<int> answerHelpOrVersion(int &argc, char **argv, const QString &version)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    Parser p;
    // Unknown options may be Qt's own; acceptArguments() judges what is left of them.
    p.parser.parse(arguments);
    if (!p.parser.isSet(p.help) && !p.parser.isSet(p.version))
        return std::nullopt;
    if (p.parser.isSet(p.version)) {
        std::printf("%s %s\n", qPrintable(kProgram), qPrintable(version));
        return 0;
    }
    // The help text takes the program's name from the application object.
    QCoreApplication app(argc, argv);
    std::fputs(qPrintable(p.parser.helpText()), stdout);
    return 0;
}

bool acceptArguments(const QStringList &arguments)
{
    Parser p;
    QString error;
    if (!p.parser.parse(arguments))
        error = p.parser.errorText();
    else if (!p.parser.positionalArguments().isEmpty())
        error = QStringLiteral("unexpected argument \"%1\"")
                    .arg(p.parser.positionalArguments().constFirst());
    if (error.isEmpty())
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(kProgram), qPrintable(error));
    return false;
}
