#include "appundertest.h"

#include "app/windowwiring.h"
#include "link/udpcommthread.h"

#include <QHostAddress>
#include <QQmlContext>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTest>
#include <QtQml>
#include <QtQuickTest>

#include <algorithm>
#include <functional>

namespace {

constexpr int kSettleMs = 3000;
const QString kOrganisation = QStringLiteral("Quillbrook Inc");
const QString kWindowStore = QStringLiteral("QB-Timer2");

// The links Qt could not make while the window was being wired; every message goes on to the
// handler before.
QStringList g_wiringWarnings;
QtMessageHandler g_handlerBefore = nullptr;

void keepWiringWarning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QObject::connect")))
        g_wiringWarnings << message;
    g_handlerBefore(type, context, message);
}

void requirePrivateConfigFolder()
{
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        qFatal("XDG_CONFIG_HOME is not set: refusing to run against the user's own settings");
}

// The items `match` accepts in a pre-order walk of the visible part of the tree under `root`.
QList<QQuickItem *> visibleItems(QQuickItem *root, const std::function<bool(QQuickItem *)> &match)
{
    QList<QQuickItem *> found;
    if (!root || !root->isVisible())
        return found;
    if (match(root))
        found.append(root);
    for (QQuickItem *child : root->childItems())
        found += visibleItems(child, match);
    return found;
}

} // namespace

QQuickItem *WindowOperator::find(const QString &wanted) const
{
    return visibleItems(
               m_window->contentItem(),
               [&wanted](QQuickItem *item) {
                   const QVariant nameStrig = item->property("nameStrig");
                   return (nameStrig.isValid() ? nameStrig : item->property("text")).toString() ==
                          wanted;
               })
        .value(0);
}

QList<QQuickItem *> WindowOperator::allNamed(const QString &objectName) const
{
    QList<QQuickItem *> found =
        visibleItems(m_window->contentItem(),
                     [&objectName](QQuickItem *item) { return item->objectName() == objectName; });
    std::sort(found.begin(), found.end(), [](QQuickItem *a, QQuickItem *b) {
        return a->mapToScene(QPointF()).y() < b->mapToScene(QPointF()).y();
    });
    return found;
}

bool WindowOperator::tap(QQuickItem *item)
{
    if (!item || !item->isVisible())
        return false;
    // A row or column places what it holds when the next frame is drawn: a freshly opened
    // dialog's buttons may not be where they are shown yet.
    QQuickItem *holder = item->parentItem();
    if (holder &&
        !QTest::qWaitFor([holder] { return !QQuickTest::qIsPolishScheduled(holder); }, kSettleMs))
        return false;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

bool WindowOperator::chooseFromDrawer(const QString &entry)
{
    auto *drawer = m_window->findChild<QObject *>(QStringLiteral("drawer"));
    QQuickItem *stack = allNamed(QStringLiteral("stackView")).value(0);
    return drawer && stack && tap(allNamed(QStringLiteral("toolButton")).value(0)) &&
           QTest::qWaitFor([drawer] { return drawer->property("opened").toBool(); }, kSettleMs) &&
           tap(entry) &&
           QTest::qWaitFor([drawer] { return !drawer->property("visible").toBool(); }, kSettleMs) &&
           QTest::qWaitFor([stack] { return !stack->property("busy").toBool(); }, kSettleMs);
}

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
    g_wiringWarnings.clear();
    g_handlerBefore = qInstallMessageHandler(keepWiringWarning);
    connectWindow(window, m_controller.get());
    qInstallMessageHandler(g_handlerBefore);
    window->requestActivate();
    if (g_wiringWarnings.isEmpty() && QTest::qWaitForWindowExposed(window))
        m_window = window;
    m_ui = std::make_unique<WindowOperator>(m_window);
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

bool AppUnderTest::selectDisplays(int listed, const QList<int> &chosen)
{
    // The home page shows the list's rows in its order.
    const auto rows = [this] { return m_ui->allNamed(QStringLiteral("rowCard")); };
    if (!QTest::qWaitFor([&] { return m_timers.rowCount() == listed && rows().size() == listed; },
                         5000))
        return false;
    for (int display : chosen) {
        int row = 0;
        while (row < listed &&
               m_timers.timerIpAddr(row) != QStringLiteral("127.0.0.%1").arg(display + 1))
            ++row;
        if (!m_ui->tap(rows().value(row)))
            return false;
    }
    return waitUntilLinkIdle();
}
