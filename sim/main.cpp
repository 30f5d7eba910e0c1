#include "quitonsignals.h"
#include "simoptions.h"
#include "simprotocol.h"
#include "simulator.h"
#include "simview.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

using namespace qbsim;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qb-timer-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QB_VERSION));

    const ParsedCommandLine parsed = parseCommandLine(QCoreApplication::arguments());
    if (parsed.status == ParseStatus::Answer) {
        std::fputs(qPrintable(parsed.message), stdout);
        return 0;
    }
    if (parsed.status == ParseStatus::Error) {
        std::fprintf(stderr, "qb-timer-sim: %s\n", qPrintable(parsed.message));
        return 2;
    }
    const SimOptions &options = parsed.options;

    SystemTimeSource time;
    Simulator simulator(options, time);
    QuitOnSignals quitOnSignals;
    QString error;
    if (!quitOnSignals.install(&error) || !simulator.start(&error)) {
        std::fprintf(stderr, "qb-timer-sim: %s\n", qPrintable(error));
        return 1;
    }

    std::unique_ptr<TerminalView> view;
    if (options.view) {
        view = std::make_unique<TerminalView>(simulator.displays(), stdout);
        view->start();
    } else {
        std::fprintf(stderr, "qb-timer-sim: %d displays from %s on UDP port %u\n", options.count,
                     qPrintable(options.firstAddress.toString()), unsigned(kDisplayPort));
    }
    return app.exec();
}
