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
bool isEditableField(const QQuickItem *item)
{
    return item->inherits("QQuickSpinBox") || item->inherits("QQuickTextField");
}

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

QList<QQuickItem *> WindowOperator::allNamed(const QString &objectName) const
{
    QList<QQuickItem *> found;
    collectVisible(
        m_window->contentItem(),
        [&objectName](QQuickItem *item) { return item->objectName() == objectName; }, &found);
    std::sort(found.begin(), found.end(), [](QQuickItem *a, QQuickItem *b) {
        return a->mapToScene(QPointF()).y() < b->mapToScene(QPointF()).y();
    });
    return found;
}

QQuickItem *WindowOperator::fieldBeside(const QString &wanted) const
{
    // The caption is a label inside its form row; the field is the row's other child.
    QQuickItem *label = find(wanted);
    if (!label || !label->parentItem())
        return nullptr;
    return firstVisible(label->parentItem(), isEditableField);
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

bool WindowOperator::typeInto(QQuickItem *field, const QString &text)
{
    if (!tap(field))
        return false;
    if (!QTest::qWaitFor(
            [this, field] {
                QQuickItem *focused = m_window->activeFocusItem();
                return focused && (focused == field || field->isAncestorOf(focused));
            },
            kSettleMs)) {
        return false;
    }
    QTest::keySequence(m_window, QKeySequence::SelectAll);
    for (const QChar character : text)
        QTest::keyClick(m_window, character.toLatin1());
    return true;
}

QList<ShownRow> WindowOperator::rows() const
{
    QList<ShownRow> rows;
    const QList<QQuickItem *> cards = allNamed(QStringLiteral("rowCard"));
    for (QQuickItem *card : cards) {
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
