#include "app/handlegui.h"
#include "app/windowwiring.h"
#include "link/udpcommthread.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QtQml>
#include <QtTest>

// The real main window wired to the real controller, as main() does it.
class TestWindowWiring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void completionCallsControllerDirectly();
    void everyWindowSignalIsConnected();
    void windowSignalsReachTheController();
    void controllerSignalsReachTheWindow_data();
    void controllerSignalsReachTheWindow();
    void programNameReachesTheWindow();

private:
    QVariant evaluate(const QString &expression);
    void emitFromWindow(const char *signal, QGenericArgument a = QGenericArgument(),
                        QGenericArgument b = QGenericArgument(),
                        QGenericArgument c = QGenericArgument());

    TimerDataModel m_timers;
    ProgramDataModel m_programs;
    std::unique_ptr<HandleGui> m_controller;
    std::unique_ptr<QSignalSpy> m_udpTx;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QObject *m_window = nullptr;
};

void TestWindowWiring::initTestCase()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Quillbrook Inc"));
    QCoreApplication::setApplicationName(QStringLiteral("QB-Timer2"));
    QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer")).clear();
    QSettings window;
    window.clear();
    window.setValue(QStringLiteral("main/mainBroadcastIP"), QStringLiteral("127.0.0.9"));
    window.sync();

    m_controller = std::make_unique<HandleGui>(m_timers, m_programs);
    m_udpTx = std::make_unique<QSignalSpy>(&m_controller->link(), &UDPCommThread::UDPTx);
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_window = loadMainWindow(*m_engine, m_controller.get(), &m_timers, &m_programs);
    QVERIFY(m_window);
}

void TestWindowWiring::cleanupTestCase()
{
    m_engine.reset();
    m_controller.reset();
}

QVariant TestWindowWiring::evaluate(const QString &expression)
{
    QQmlExpression e(qmlContext(m_window), m_window, expression);
    const QVariant value = e.evaluate();
    if (e.hasError())
        qWarning() << e.error();
    return value;
}

void TestWindowWiring::emitFromWindow(const char *signal, QGenericArgument a, QGenericArgument b,
                                      QGenericArgument c)
{
    QVERIFY2(QMetaObject::invokeMethod(m_window, signal, a, b, c), signal);
}

void TestWindowWiring::completionCallsControllerDirectly()
{
    // Before any signal is connected the window has already asked for the first discovery, at
    // the address it restored from its settings.
    QCOMPARE(m_udpTx->size(), 1);
    QCOMPARE(m_udpTx->at(0).at(2).toString(), QStringLiteral("127.0.0.9"));
    QCOMPARE(m_udpTx->at(0).at(0).toByteArray(), QByteArray::fromHex("a104b2"));
    connectWindow(m_window, m_controller.get());
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
    QCOMPARE(pairs.size(), 28);
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

void TestWindowWiring::windowSignalsReachTheController()
{
    m_timers.addOrUpdateTimer(
        TimerData(QString(), QStringLiteral("127.0.0.2"), false, QTime(0, 0), 0, 0, 0));
    m_timers.addOrUpdateTimer(
        TimerData(QString(), QStringLiteral("127.0.0.3"), false, QTime(0, 0), 0, 0, 0));
    emitFromWindow("submitIPParameters", Q_ARG(int, 0), Q_ARG(int, 5000), Q_ARG(int, 60));
    emitFromWindow("checkBoxChanged", Q_ARG(int, 1), Q_ARG(bool, true));
    QVERIFY(m_timers.isSelected(1));

    m_udpTx->clear();
    emitFromWindow("submitQuery", Q_ARG(QString, QStringLiteral("127.0.0.9")));
    emitFromWindow("submitCountUpEntry");
    emitFromWindow("submitCountDnEntry");
    emitFromWindow("submitCountUpStart");
    QCOMPARE(evaluate("countUpScreen.upStartButtonText").toString(), QStringLiteral("Pause"));
    emitFromWindow("submitTimeMode");
    QCOMPARE(evaluate("countUpScreen.upStartButtonText").toString(), QStringLiteral("Start"));
    emitFromWindow("submitCountUpMode");
    emitFromWindow("submitCountUpReset", Q_ARG(int, 1));
    QCOMPARE(evaluate("countUpScreen.timeDisplay").toString(), QStringLiteral("0-00:00:00"));
    QMetaObject::invokeMethod(m_window, "submitCountDnReset", Q_ARG(int, 1), Q_ARG(int, 0),
                              Q_ARG(int, 0), Q_ARG(int, 5), Q_ARG(int, 0), Q_ARG(int, 1),
                              Q_ARG(int, 10));
    QCOMPARE(evaluate("countDnScreen.timeDisplay").toString(), QStringLiteral("0-00:05:00"));
    emitFromWindow("submitCountDnStart");
    QCOMPARE(evaluate("countDnScreen.dnStartButtonText").toString(), QStringLiteral("Pause"));
    QMetaObject::invokeMethod(m_window, "submitCountDnMode", Q_ARG(int, 0), Q_ARG(int, 0),
                              Q_ARG(int, 0), Q_ARG(int, 0), Q_ARG(int, 0), Q_ARG(int, 0),
                              Q_ARG(int, 0));
    emitFromWindow("timerTriggered");

    QStringList sent;
    for (const QList<QVariant> &args : *m_udpTx)
        sent << args.at(2).toString() + QLatin1Char(' ') + args.at(0).toByteArray().toHex();
    QCOMPARE(sent, QStringList({"127.0.0.2 a104b2", "127.0.0.3 a104b2", "127.0.0.9 a104b2",
                                "127.0.0.3 a104b2", "127.0.0.3 a104b2", "127.0.0.3 a30100",
                                "127.0.0.3 a80100", "127.0.0.3 a20000", "127.0.0.3 a40100",
                                "127.0.0.3 a70100050000010a0000", "127.0.0.3 a60100",
                                "127.0.0.3 a5000000000000000000"}));

    emitFromWindow("submitRemoveSelected");
    QCOMPARE(m_timers.addresses(), QStringList{"127.0.0.2"});
}

void TestWindowWiring::controllerSignalsReachTheWindow_data()
{
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QStringList>("expressions");
    QTest::addColumn<QVariant>("expected");

    QTest::newRow("up time") << QByteArray("updateUpTime") << QVariant("01:02:03.4")
                             << QStringList{"countUpScreen.timeDisplay"} << QVariant("01:02:03.4");
    QTest::newRow("down time") << QByteArray("updateDnTime") << QVariant("0-00:05:00")
                               << QStringList{"countDnScreen.timeDisplay"}
                               << QVariant("0-00:05:00");
    QTest::newRow("interval time")
        << QByteArray("updateIntTime") << QVariant("3-00:45")
        << QStringList{"progScreen.timeDisplay", "tabataScreen.timeDisplay",
                       "presentScreen.timeDisplay"}
        << QVariant("3-00:45");
    QTest::newRow("up format") << QByteArray("updateUpTimeFormat") << QVariant(2)
                               << QStringList{"countUpScreen.timeMode"} << QVariant(2);
    QTest::newRow("up start") << QByteArray("updateUpStartPause") << QVariant(true)
                              << QStringList{"countUpScreen.upStartButtonText"}
                              << QVariant("Pause");
    QTest::newRow("down start") << QByteArray("updateDnStartPause") << QVariant(true)
                                << QStringList{"countDnScreen.dnStartButtonText"}
                                << QVariant("Pause");
    QTest::newRow("program start")
        << QByteArray("updateProgStartPause") << QVariant(true)
        << QStringList{"progScreen.progStartButtonText", "tabataScreen.tabStartButtonText",
                       "presentScreen.presentStartButtonText"}
        << QVariant("Pause");
}

void TestWindowWiring::controllerSignalsReachTheWindow()
{
    QFETCH(QByteArray, signal);
    QFETCH(QVariant, value);
    QFETCH(QStringList, expressions);
    QFETCH(QVariant, expected);
    QVERIFY(
        QMetaObject::invokeMethod(m_controller.get(), signal.constData(), Q_ARG(QVariant, value)));
    for (const QString &expression : expressions)
        QCOMPARE(evaluate(expression).toString(), expected.toString());
}

void TestWindowWiring::programNameReachesTheWindow()
{
    QVERIFY(QMetaObject::invokeMethod(m_controller.get(), "updateProgNameCombo", Q_ARG(QVariant, 3),
                                      Q_ARG(QVariant, "Legs"), Q_ARG(QVariant, true)));
    QCOMPARE(evaluate("progScreen.progName4").toString(), QStringLiteral("Legs"));
    QCOMPARE(evaluate("progScreen.progChoiceCombo.currentIndex").toInt(), 3);
}

QTEST_MAIN(TestWindowWiring)
#include "tst_windowwiring.moc"
