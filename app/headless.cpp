#include "app/headless.h"

#include "app/commandline.h"
#include "app/quitsignals.h"
#include "control/controllogging.h"
#include "control/remotecontrol.h"
#include "controller/handlegui.h"
#include "controller/windowstore.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int runHeadless(int &argc, char **argv, HandleGui &controller, TimerDataModel &timers,
                ProgramDataModel &programs, const StartOptions &options)
{
    QCoreApplication app(argc, argv);
    WindowStore::nameApplication();

    const QuitOnSignals quitOnSignals;

    RemoteControl remote(controller, timers, programs);
    QString error;
    const std::optional<ListenAddress> http = RemoteControl::httpAddress(options.apiListen, true);
    const std::optional<OscServer::Options> osc =
        RemoteControl::oscOptions(options.oscListen, options.oscAllow, true);
    if (!remote.startHttp(*http, &error) || !remote.startOsc(*osc, &error)) {
        std::fprintf(stderr, "qb-timer: %s\n", qUtf8Printable(error));
        return 2;
    }

    // What the window does once it has loaded: its stored link settings, then discovery.
    const WindowStore::LinkParameters link = WindowStore::linkParameters();
    controller.handleSetIPParameters(link.retries, link.delay, link.refresh);
    controller.handleSubmitQuery(link.broadcastIP);

    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &controller, &HandleGui::qmlTimerTriggered);
    tick.start(100);

    const int code = app.exec();
    remote.stop();
    qCInfo(lcRemote, "Headless controller stopped");
    return code;
}
