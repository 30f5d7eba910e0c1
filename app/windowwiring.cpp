#include "app/windowwiring.h"

#include "controller/handlegui.h"
#include "controller/windowstore.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QtQml>

namespace {

struct Link
{
    const char *from;
    const char *to;
};

// Window signal -> controller slot, in the order they are connected. Not constexpr: in debug
// builds SIGNAL and SLOT record where they were written, which a constant cannot.
const Link kWindowToController[] = {
    {SIGNAL(submitRemoveSelected()), SLOT(handleRemoveSelected())},
    {SIGNAL(submitQuery(QString)), SLOT(handleSubmitQuery(QString))},
    {SIGNAL(submitIPParameters(int, int, int)), SLOT(handleSetIPParameters(int, int, int))},
    {SIGNAL(submitCountUpMode()), SLOT(handleSetCountUpModeButton())},
    {SIGNAL(submitCountUpReset(int)), SLOT(handleCountUpResetButton(int))},
    {SIGNAL(submitCountUpStart()), SLOT(handleCountUpStartButton())},
    {SIGNAL(submitCountUpEntry()), SLOT(handleCountUpEntry())},
    {SIGNAL(submitTimeMode()), SLOT(handleTimeModeButton())},
    {SIGNAL(checkBoxChanged(int, bool)), SLOT(handlecheckBoxChanged(int, bool))},
    {SIGNAL(timerTriggered()), SLOT(qmlTimerTriggered())},
    {SIGNAL(submitCountDnMode(int, int, int, int, int, int, int)),
     SLOT(handleSetCountDnModeButton(int, int, int, int, int, int, int))},
    {SIGNAL(submitCountDnReset(int, int, int, int, int, int, int)),
     SLOT(handleCountDnResetButton(int, int, int, int, int, int, int))},
    {SIGNAL(submitCountDnStart()), SLOT(handleCountDnStartButton())},
    {SIGNAL(submitCountDnEntry()), SLOT(handleCountDnEntry())},
    {SIGNAL(submitProgEntry()), SLOT(handleProgEntry())},
    {SIGNAL(submitProgReset()), SLOT(handleProgResetButton())},
    {SIGNAL(submitProgStart()), SLOT(handleProgStartButton())},
    {SIGNAL(submitProgNameChange(int, QString)), SLOT(handleProgNameChange(int, QString))},
    {SIGNAL(submitProgChange(int, QString)), SLOT(handleProgChange(int, QString))},
    {SIGNAL(submitProgInsert(int)), SLOT(handleProgInsert(int))},
    {SIGNAL(submitProgDelete(int)), SLOT(handleProgDelete(int))},
    {SIGNAL(submitProgSaveProgram()), SLOT(handleProgSaveProgram())},
    {SIGNAL(submitGetProgram()), SLOT(handleGetProgram())},
    {SIGNAL(submitSaveProgram()), SLOT(handleSaveProgram())},
    {SIGNAL(submitTabataReset(int, int, int, bool)),
     SLOT(handleTabataResetButton(int, int, int, bool))},
    {SIGNAL(submitPresentReset(int, int, int, bool, bool)),
     SLOT(handlePresentResetButton(int, int, int, bool, bool))},
    {SIGNAL(submitSaveAllPrograms()), SLOT(handleSaveAllProgramsButton())},
    {SIGNAL(submitGetAllPrograms()), SLOT(handleGetAllProgramsButton())},
};

// Controller signal -> window function of the same name.
const Link kControllerToWindow[] = {
    {SIGNAL(updateUpTime(QVariant)), SLOT(updateUpTime(QVariant))},
    {SIGNAL(updateDnTime(QVariant)), SLOT(updateDnTime(QVariant))},
    {SIGNAL(updateIntTime(QVariant)), SLOT(updateIntTime(QVariant))},
    {SIGNAL(updateUpStartPause(QVariant)), SLOT(updateUpStartPause(QVariant))},
    {SIGNAL(updateUpTimeFormat(QVariant)), SLOT(updateUpTimeFormat(QVariant))},
    {SIGNAL(updateDnStartPause(QVariant)), SLOT(updateDnStartPause(QVariant))},
    {SIGNAL(updateProgStartPause(QVariant)), SLOT(updateProgStartPause(QVariant))},
    {SIGNAL(updateProgNameCombo(QVariant, QVariant, QVariant)),
     SLOT(updateProgNameCombo(QVariant, QVariant, QVariant))},
    {SIGNAL(updatePortInUse(QVariant)), SLOT(updatePortInUse(QVariant))},
};

} // namespace

void enableHighDpiScaling()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#endif
}

void publishWindowDefaults(QQmlContext *context)
{
    context->setContextProperty(QStringLiteral("presetDefaults"), WindowStore::presetDefaults());
    context->setContextProperty(QStringLiteral("linkDefaults"), WindowStore::linkDefaults());
}

QObject *loadMainWindow(QQmlApplicationEngine &engine, HandleGui *controller,
                        TimerDataModel *timers, ProgramDataModel *programs)
{
    QQmlContext *context = engine.rootContext();
    context->setContextProperty(QStringLiteral("handlegui"), controller);
    qmlRegisterUncreatableType<ProgramDataModel>(
        "ProgEnums", 1, 0, "ProgDataRoles", QStringLiteral("ProgDataRoles is a context property"));
    context->setContextProperty(QStringLiteral("timerModel"), timers);
    context->setContextProperty(QStringLiteral("programModel"), programs);
    publishWindowDefaults(context);
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    return engine.rootObjects().isEmpty() ? nullptr : engine.rootObjects().constFirst();
}

void connectWindow(QObject *window, HandleGui *controller)
{
    for (const Link &link : kWindowToController)
        QObject::connect(window, link.from, controller, link.to);
    for (const Link &link : kControllerToWindow)
        QObject::connect(controller, link.from, window, link.to);
}
