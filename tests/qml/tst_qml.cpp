#include "app/windowwiring.h"
#include "controller/handlegui.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QtQuickTest>
#include <memory>

// Puts the real controller and models behind the QML documents, and lets the tests fill the
// display list as `testSupport`.
class QmlTestSupport : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void addTimer(const QString &name, const QString &ipaddr)
    {
        m_timers.addOrUpdateTimer(TimerData(name, ipaddr, false, QTime(12, 0), 0, 0, 0));
    }

    Q_INVOKABLE void clearTimers()
    {
        while (m_timers.rowCount() > 0)
            m_timers.removeTimer(0);
    }

    // As the link reports a display's missed command, and then an answer from it.
    Q_INVOKABLE void noteMissed(const QString &ipaddr, qint64 atMs)
    {
        m_timers.noteMissed(ipaddr, QStringLiteral("count-down start"), atMs);
    }
    Q_INVOKABLE void noteAnswer(const QString &ipaddr) { m_timers.noteAnswer(ipaddr, 1); }

    Q_INVOKABLE int rowOf(const QString &ipaddr) const
    {
        return m_timers.addresses().indexOf(ipaddr);
    }

public slots:
    void applicationAvailable()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Quillbrook Inc"));
        QCoreApplication::setApplicationName(QStringLiteral("QB-Timer2"));
        // Window values the tests expect to see restored; everything else starts from its
        // default. The broadcast address keeps the start-up query on loopback.
        QSettings store;
        store.clear();
        store.setValue(QStringLiteral("main/mainBroadcastIP"), QStringLiteral("127.255.255.255"));
        store.setValue(QStringLiteral("main/mainRetries"), 7);
        store.setValue(QStringLiteral("main/mainRefresh"), 12);
        store.setValue(QStringLiteral("main/tabataWorkTime"), 45);
        store.setValue(QStringLiteral("main/presentFormat"), 0);
        store.setValue(QStringLiteral("countdown2/buttonName"), QStringLiteral("<i>Warm-up</i>"));
        store.setValue(QStringLiteral("countdown2/buttonMin"), 7);
        store.setValue(QStringLiteral("countdown2/buttonSec"), 45);
        QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer")).clear();
        qmlRegisterUncreatableType<ProgramDataModel>(
            "ProgEnums", 1, 0, "ProgDataRoles",
            QStringLiteral("ProgDataRoles is a context property"));
        m_controller = std::make_unique<HandleGui>(m_timers, m_programs);
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QQmlContext *context = engine->rootContext();
        context->setContextProperty(QStringLiteral("handlegui"), m_controller.get());
        context->setContextProperty(QStringLiteral("timerModel"), &m_timers);
        context->setContextProperty(QStringLiteral("programModel"), &m_programs);
        context->setContextProperty(QStringLiteral("testSupport"), this);
        publishWindowDefaults(context);
    }

    void cleanupTestCase() { m_controller.reset(); }

private:
    TimerDataModel m_timers;
    ProgramDataModel m_programs;
    std::unique_ptr<HandleGui> m_controller;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_qml, QmlTestSupport)

#include "tst_qml.moc"
