#include "app/handlegui.h"
#include "app/windowwiring.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QtQml>
#include <memory>

// The two lists live for the whole process, before and after main().
static TimerDataModel timerModel;
static ProgramDataModel programModel;

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    auto controller = std::make_unique<HandleGui>(timerModel, programModel);

    int exitCode = -1;
    {
        QGuiApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Quillbrook Inc"));
        QCoreApplication::setOrganizationDomain(QStringLiteral("quillbrook.example"));
        QCoreApplication::setApplicationName(QStringLiteral("QB-Timer2"));

        QQmlApplicationEngine engine;
        engine.rootContext()->setContextProperty(QStringLiteral("handlegui"), controller.get());
        qmlRegisterUncreatableType<ProgramDataModel>(
            "ProgEnums", 1, 0, "ProgDataRoles",
            QStringLiteral("ProgDataRoles is a context property"));
        engine.rootContext()->setContextProperty(QStringLiteral("timerModel"), &timerModel);
        engine.rootContext()->setContextProperty(QStringLiteral("programModel"), &programModel);
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));

        if (!engine.rootObjects().isEmpty()) {
            connectWindow(engine.rootObjects().constFirst(), controller.get());
            exitCode = app.exec();
        }
    }
    controller.reset();
    return exitCode;
}
