#include "app/handlegui.h"
#include "app/windowwiring.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QSettings>
#include <QtTest>

// The real main window wired to the real controller, as main() does it.
class TestWindowWiring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyWindowSignalIsConnected();

private:
    TimerDataModel m_timers;
    ProgramDataModel m_programs;
    std::unique_ptr<HandleGui> m_controller;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QObject *m_window = nullptr;
};

void TestWindowWiring::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quillbrook Inc"));
    QCoreApplication::setApplicationName(QStringLiteral("QB-Timer2"));
    QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer")).clear();
    // The window's first discovery stays on loopback.
    QSettings window;
    window.clear();
    window.setValue(QStringLiteral("main/mainBroadcastIP"), QStringLiteral("127.0.0.9"));
    window.sync();

    m_controller = std::make_unique<HandleGui>(m_timers, m_programs);
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_window = loadMainWindow(*m_engine, m_controller.get(), &m_timers, &m_programs);
    QVERIFY(m_window);
    connectWindow(m_window, m_controller.get());
}

void TestWindowWiring::cleanupTestCase()
{
    m_engine.reset();
    m_controller.reset();
}

void TestWindowWiring::everyWindowSignalIsConnected()
{
    // Each pair must be connected exactly as listed: disconnecting it succeeds only then.
    const QList<QPair<QByteArray, QByteArray>> pairs = {
        {"submitRemoveSelected()", "handleRemoveSelected()"},
        {"submitQuery(QString)", "handleSubmitQuery(QString)"},
        {"submitIPParameters(int,int,int)", "handleSetIPParameters(int,int,int)"},
        {"submitCountUpMode()", "handleSetCountUpModeButton()"},
        {"submitCountUpReset(int)", "handleCountUpResetButton(int)"},
        {"submitCountUpStart()", "handleCountUpStartButton()"},
        {"submitCountUpEntry()", "handleCountUpEntry()"},
        {"submitTimeMode()", "handleTimeModeButton()"},
        {"checkBoxChanged(int,bool)", "handlecheckBoxChanged(int,bool)"},
        {"timerTriggered()", "qmlTimerTriggered()"},
        {"submitCountDnMode(int,int,int,int,int,int,int)",
         "handleSetCountDnModeButton(int,int,int,int,int,int,int)"},
        {"submitCountDnReset(int,int,int,int,int,int,int)",
         "handleCountDnResetButton(int,int,int,int,int,int,int)"},
        {"submitCountDnStart()", "handleCountDnStartButton()"},
        {"submitCountDnEntry()", "handleCountDnEntry()"},
        {"submitProgEntry()", "handleProgEntry()"},
        {"submitProgReset()", "handleProgResetButton()"},
        {"submitProgStart()", "handleProgStartButton()"},
        {"submitProgNameChange(int,QString)", "handleProgNameChange(int,QString)"},
        {"submitProgChange(int,QString)", "handleProgChange(int,QString)"},
        {"submitProgInsert(int)", "handleProgInsert(int)"},
        {"submitProgDelete(int)", "handleProgDelete(int)"},
        {"submitProgSaveProgram()", "handleProgSaveProgram()"},
        {"submitGetProgram()", "handleGetProgram()"},
        {"submitSaveProgram()", "handleSaveProgram()"},
        {"submitTabataReset(int,int,int,bool)", "handleTabataResetButton(int,int,int,bool)"},
        {"submitPresentReset(int,int,int,bool,bool)",
         "handlePresentResetButton(int,int,int,bool,bool)"},
        {"submitSaveAllPrograms()", "handleSaveAllProgramsButton()"},
        {"submitGetAllPrograms()", "handleGetAllProgramsButton()"},
    };
    for (const auto &pair : pairs) {
        const QByteArray signal = "2" + pair.first;
        const QByteArray slot = "1" + pair.second;
        QVERIFY2(QObject::disconnect(m_window, signal, m_controller.get(), slot), signal);
        QVERIFY(QObject::connect(m_window, signal, m_controller.get(), slot));
    }
    const QStringList functions = {
        "updateUpTime(QVariant)",         "updateDnTime(QVariant)",
        "updateIntTime(QVariant)",        "updateUpStartPause(QVariant)",
        "updateUpTimeFormat(QVariant)",   "updateDnStartPause(QVariant)",
        "updateProgStartPause(QVariant)", "updateProgNameCombo(QVariant,QVariant,QVariant)"};
    for (const QString &function : functions) {
        const QByteArray signal = "2" + function.toLatin1();
        const QByteArray slot = "1" + function.toLatin1();
        QVERIFY2(QObject::disconnect(m_controller.get(), signal, m_window, slot), signal);
        QVERIFY(QObject::connect(m_controller.get(), signal, m_window, slot));
    }
}

QTEST_MAIN(TestWindowWiring)
#include "tst_windowwiring.moc"
