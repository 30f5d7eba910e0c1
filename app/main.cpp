#include "app/commandline.h"
#include "app/headless.h"
#include "app/quitsignals.h"
#include "app/singleinstance.h"
#include "app/storeencoding.h"
#include "app/windowwiring.h"
#include "control/remotecontrol.h"
#include "controller/handlegui.h"
#include "controller/windowstore.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QApplication>
#include <QMessageBox>
#include <QQmlApplicationEngine>
#include <cstdio>
#include <memory>

// The two lists live for the whole process, before and after main().
static TimerDataModel timerModel;
static ProgramDataModel programModel;

namespace {

// A message box where someone can see one: not under the offscreen or minimal platforms, where
// nobody could close it.
void showMessage(int &argc, char *argv[], const QString &text)
{
    QApplication app(argc, argv);
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        QMessageBox::warning(nullptr, QStringLiteral("QB-Timer"), text);
}

// Tells the operator that another copy runs: on stderr and, for a window, in a message box.
int refuseSecondCopy(int &argc, char *argv[], qint64 pid, bool headless)
{
    const QString text = QStringLiteral("QB-Timer is already running (pid %1)").arg(pid);
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (!headless)
        showMessage(argc, argv, text);
    return 1;
}

int runWindow(int &argc, char **argv, HandleGui &controller)
{
    QGuiApplication app(argc, argv);
    WindowStore::nameApplication();

    const std::optional<StartOptions> options = readStartOptions(QCoreApplication::arguments());
    if (!options)
        return 2;
    // The doors from outside only when asked for: the window alone pays nothing for them.
    std::unique_ptr<RemoteControl> remote;
    const std::optional<ListenAddress> http = RemoteControl::httpAddress(options->apiListen, false);
    const std::optional<OscServer::Options> osc =
        RemoteControl::oscOptions(options->oscListen, options->oscAllow, false);
    if (http || osc) {
        remote = std::make_unique<RemoteControl>(controller, timerModel, programModel);
        QString error;
        if ((http && !remote->startHttp(*http, &error)) ||
            (osc && !remote->startOsc(*osc, &error))) {
            std::fprintf(stderr, "qb-timer: %s\n", qUtf8Printable(error));
            return 2;
        }
    }
    QQmlApplicationEngine engine;
    QObject *window = loadMainWindow(engine, &controller, &timerModel, &programModel);
    if (!window)
        return -1;
    connectWindow(window, &controller);
    const QuitOnSignals quitOnSignals;
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    enableHighDpiScaling();
    if (const std::optional<int> answered = answerAndExit(argc, argv, QStringLiteral(QB_VERSION)))
        return *answered;
    const bool headless = wantsHeadless(argc, argv);
    const SingleInstance instance;
    if (const std::optional<qint64> otherCopy = instance.otherCopy())
        return refuseSecondCopy(argc, argv, *otherCopy, headless);
    adoptUtf8Stores();
    // Both entry points stop cleanly on SIGTERM and SIGINT, lock and settings included.
    holdQuitSignals();
    if (headless) {
        const std::optional<StartOptions> options = readStartOptions(argumentList(argc, argv));
        if (!options)
            return 2;
        HandleGui controller(timerModel, programModel);
        return runHeadless(argc, argv, controller, timerModel, programModel, *options);
    }
    // The controller is made before the application object and outlives it.
    auto controller = std::make_unique<HandleGui>(timerModel, programModel);
    const int code = runWindow(argc, argv, *controller);
    controller.reset();
    return code;
}
