#include "app/headless.h"

#include "app/commandline.h"
#include "control/controllogging.h"
#include "control/remotecontrol.h"
#include "controller/handlegui.h"
#include "controller/windowstore.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t quitSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

} // namespace

void holdQuitSignals()
{
    const sigset_t set = quitSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int runHeadless(int &argc, char **argv, HandleGui &controller, TimerDataModel &timers,
                ProgramDataModel &programs, const StartOptions &options)
{
    QCoreApplication app(argc, argv);
    WindowStore::nameApplication();

    const sigset_t set = quitSignals();
    const int quitFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    QSocketNotifier stopRequest(quitFd, QSocketNotifier::Read);
    QObject::connect(&stopRequest, &QSocketNotifier::activated, &app, [quitFd] {
        signalfd_siginfo info{};
        (void)!::read(quitFd, &info, sizeof info);
        qCInfo(lcRemote, "Stopping on signal %u", info.ssi_signo);
        QCoreApplication::quit();
    });

    RemoteControl remote(controller, timers, programs);
    QString error;
    const std::optional<ListenAddress> http = RemoteControl::httpAddress(options.apiListen, true);
    const std::optional<OscServer::Options> osc =
        RemoteControl::oscOptions(options.oscListen, options.oscAllow, true);
    if (!remote.startHttp(*http, &error) || !remote.startOsc(*osc, &error)) {
        std::fprintf(stderr, "qb-timer: %s\n", qUtf8Printable(error));
        ::close(quitFd);
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
    ::close(quitFd);
    qCInfo(lcRemote, "Headless controller stopped");
    return code;
}
