#include "windowoperator.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QTextDocumentFragment>

#include <algorithm>
#include <functional>

namespace {

constexpr int kSettleMs = 3000;

// Pre-order walk of the visible item tree, stopping at the first item `match` accepts.
QQuickItem *firstVisible(QQuickItem *root, const std::function<bool(QQuickItem *)> &match)
{
    if (!root || !root->isVisible())
        return nullptr;
    if (match(root))
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = firstVisible(child, match))
            return found;
    }
    return nullptr;
}

void collectVisible(QQuickItem *root, const std::function<bool(QQuickItem *)> &match,
                    QList<QQuickItem *> *found)
{
    if (!root || !root->isVisible())
        return;
    if (match(root))
        found->append(root);
    for (QQuickItem *child : root->childItems())
        collectVisible(child, match, found);
}

QString caption(const QQuickItem *item)
{
    const QVariant nameStrig = item->property("nameStrig");
    return nameStrig.isValid() ? nameStrig.toString() : item->property("text").toString();
}

QString plainText(const QQuickItem *text)
{
    return QTextDocumentFragment::fromHtml(text->property("text").toString()).toPlainText();
}

} // namespace

QQuickItem *WindowOperator::find(const QString &wanted) const
{
    return firstVisible(m_window->contentItem(),
                        [&wanted](QQuickItem *item) { return caption(item) == wanted; });
}

QQuickItem *WindowOperator::findNamed(const QString &objectName) const
{
    return firstVisible(m_window->contentItem(), [&objectName](QQuickItem *item) {
        return item->objectName() == objectName;
    });
}

bool WindowOperator::tap(QQuickItem *item)
{
    if (!item || !item->isVisible())
        return false;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

bool WindowOperator::waitForStackToSettle() const
{
    QQuickItem *stack = findNamed(QStringLiteral("stackView"));
    return stack &&
           QTest::qWaitFor([stack] { return !stack->property("busy").toBool(); }, kSettleMs);
}

bool WindowOperator::chooseFromDrawer(const QString &entry)
{
    auto *drawer = m_window->findChild<QObject *>(QStringLiteral("drawer"));
    if (!drawer || !tap(findNamed(QStringLiteral("toolButton"))))
        return false;
    if (!QTest::qWaitFor([drawer] { return drawer->property("opened").toBool(); }, kSettleMs))
        return false;
    if (!tap(entry))
        return false;
    return QTest::qWaitFor([drawer] { return !drawer->property("visible").toBool(); }, kSettleMs) &&
           waitForStackToSettle();
}

bool WindowOperator::goBack()
{
    return tap(findNamed(QStringLiteral("toolButton"))) && waitForStackToSettle();
}

QList<ShownRow> WindowOperator::rows() const
{
    QList<QQuickItem *> cards;
    collectVisible(
        findNamed(QStringLiteral("timerList")),
        [](QQuickItem *item) { return item->objectName() == QLatin1String("rowCard"); }, &cards);
    std::sort(cards.begin(), cards.end(), [](QQuickItem *a, QQuickItem *b) {
        return a->mapToScene(QPointF()).y() < b->mapToScene(QPointF()).y();
    });

    QList<ShownRow> rows;
    for (QQuickItem *card : qAsConst(cards)) {
        // A row shows three texts: the name line and the address line on the left, the
        // display's time on the right.
        QList<QQuickItem *> texts;
        collectVisible(
            card, [](QQuickItem *item) { return item->inherits("QQuickText"); }, &texts);
        if (texts.size() != 3)
            continue;
        rows.append({plainText(texts.at(0)), plainText(texts.at(1)), plainText(texts.at(2)), card});
    }
    return rows;
}

ShownRow WindowOperator::rowOf(const QString &address) const
{
    const QString addressLine = QStringLiteral("IP Addr: ") + address;
    for (const ShownRow &row : rows()) {
        if (row.addressLine == addressLine)
            return row;
    }
    return ShownRow();
}
