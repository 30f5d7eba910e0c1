#include "app/commandline.h"
#include "app/handlegui.h"
#include "app/windowwiring.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <memory>

// The two lists live for the whole process, before and after main().
static TimerDataModel timerModel;
static ProgramDataModel programModel;

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    if (const std::optional<int> answered =
            answerHelpOrVersion(argc, argv, QStringLiteral(QB_VERSION)))
        return *answered;
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
