#include "app/commandline.h"
#include "app/handlegui.h"
#include "app/singleinstance.h"
#include "app/windowwiring.h"
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

// Tells the operator that another copy runs: on stderr, and in a message box where someone can
// see one (not under the offscreen or minimal platforms, where nobody could close it).
static int refuseSecondCopy(int &argc, char *argv[], qint64 pid)
{
    const QString text = QStringLiteral("QB-Timer is already running (pid %1)").arg(pid);
    std::fprintf(stderr, "%s\n", qPrintable(text));
    QApplication app(argc, argv);
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        QMessageBox::warning(nullptr, QStringLiteral("QB-Timer"), text);
    return 1;
}

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    if (const std::optional<int> answered =
            answerHelpOrVersion(argc, argv, QStringLiteral(QB_VERSION)))
        return *answered;
    const SingleInstance instance;
    if (const std::optional<qint64> otherCopy = instance.otherCopy())
        return refuseSecondCopy(argc, argv, *otherCopy);
    auto controller = std::make_unique<HandleGui>(timerModel, programModel);

    int exitCode = -1;
    {
        QGuiApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Quillbrook Inc"));
        QCoreApplication::setOrganizationDomain(QStringLiteral("quillbrook.example"));
        QCoreApplication::setApplicationName(QStringLiteral("QB-Timer2"));

        QQmlApplicationEngine engine;
        if (!acceptArguments(QCoreApplication::arguments()))
            exitCode = 2;
        else if (QObject *window =
                     loadMainWindow(engine, controller.get(), &timerModel, &programModel)) {
            connectWindow(window, controller.get());
            exitCode = app.exec();
        }
    }
    controller.reset();
    return exitCode;
}
