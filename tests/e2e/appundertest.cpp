#include "appundertest.h"

#include "app/windowwiring.h"
#include "link/udpcommthread.h"

#include <QHostAddress>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickWindow>
#include <QSettings>
#include <QTest>
#include <QtQml>

namespace {

const QString kOrganisation = QStringLiteral("Quillbrook Inc");
const QString kWindowStore = QStringLiteral("QB-Timer2");

void requirePrivateConfigFolder()
{
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        qFatal("XDG_CONFIG_HOME is not set: refusing to run against the user's own settings");
}

} // namespace

void AppUnderTest::forgetStoredSettings(const QVariantMap &values)
{
    requirePrivateConfigFolder();
    QSettings store(kOrganisation, kWindowStore);
    store.clear();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        store.setValue(it.key(), it.value());
    QSettings(kOrganisation, QStringLiteral("QB-Timer")).clear();
}

AppUnderTest::AppUnderTest()
{
    requirePrivateConfigFolder();
    // The window's Settings elements find their store through these names.
    QCoreApplication::setOrganizationName(kOrganisation);
    QCoreApplication::setApplicationName(kWindowStore);
    QSettings store(kOrganisation, kWindowStore);
    const QHostAddress broadcast(store.value(QStringLiteral("main/mainBroadcastIP")).toString());
    if (!broadcast.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8))
        store.setValue(QStringLiteral("main/mainBroadcastIP"), QStringLiteral("127.255.255.255"));
    store.sync();

    m_controller = std::make_unique<HandleGui>(m_timers, m_programs);
    m_engine = std::make_unique<QQmlApplicationEngine>();
    auto *window = qobject_cast<QQuickWindow *>(
        loadMainWindow(*m_engine, m_controller.get(), &m_timers, &m_programs));
    if (!window)
        return;
    connectWindow(window, m_controller.get());
    window->requestActivate();
    if (QTest::qWaitForWindowExposed(window))
        m_window = window;
}

AppUnderTest::~AppUnderTest()
{
    // As in main(): the window goes before the controller it talks to.
    m_engine.reset();
    m_controller.reset();
}

QVariant AppUnderTest::evaluate(const QString &expression) const
{
    QQmlExpression e(qmlContext(m_window), m_window, expression);
    const QVariant value = e.evaluate();
    if (e.hasError())
        qWarning() << expression << e.error();
    return value;
}

bool AppUnderTest::waitUntilLinkIdle(int timeoutMs) const
{
    return QTest::qWaitFor([this] { return m_controller->link().queuedCount() == 0; }, timeoutMs);
}
