#include "windowoperator.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QTextDocumentFragment>

#include <algorithm>
#include <functional>

namespace {

constexpr int kSettleMs = 3000;

using Match = std::function<bool(QQuickItem *)>;

// The items `match` accepts in a pre-order walk of the visible part of the tree under `root`.
QList<QQuickItem *> visibleItems(QQuickItem *root, const Match &match)
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

Match named(const QString &objectName)
{
    return [objectName](QQuickItem *item) { return item->objectName() == objectName; };
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
    return visibleItems(m_window->contentItem(),
                        [&wanted](QQuickItem *item) { return caption(item) == wanted; })
        .value(0);
}

QQuickItem *WindowOperator::findNamed(const QString &objectName) const
{
    return visibleItems(m_window->contentItem(), named(objectName)).value(0);
}

QList<QQuickItem *> WindowOperator::allNamed(const QString &objectName) const
{
    QList<QQuickItem *> found = visibleItems(m_window->contentItem(), named(objectName));
    std::sort(found.begin(), found.end(), [](QQuickItem *a, QQuickItem *b) {
        return a->mapToScene(QPointF()).y() < b->mapToScene(QPointF()).y();
    });
    return found;
}

QQuickItem *WindowOperator::fieldBeside(const QString &wanted) const
{
    // The caption is a label inside its form row; the field is the row's other child.
    QQuickItem *label = find(wanted);
    return label ? visibleItems(label->parentItem(),
                                [](QQuickItem *item) {
                                    return item->inherits("QQuickSpinBox") ||
                                           item->inherits("QQuickTextField");
                                })
                       .value(0)
                 : nullptr;
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
    return drawer && tap(findNamed(QStringLiteral("toolButton"))) &&
           QTest::qWaitFor([drawer] { return drawer->property("opened").toBool(); }, kSettleMs) &&
           tap(entry) &&
           QTest::qWaitFor([drawer] { return !drawer->property("visible").toBool(); }, kSettleMs) &&
           waitForStackToSettle();
}

bool WindowOperator::goBack()
{
    return tap(findNamed(QStringLiteral("toolButton"))) && waitForStackToSettle();
}

bool WindowOperator::typeInto(QQuickItem *field, const QString &text)
{
    const auto focused = [this, field] {
        QQuickItem *item = m_window->activeFocusItem();
        return item && (item == field || field->isAncestorOf(item));
    };
    if (!tap(field) || !QTest::qWaitFor(focused, kSettleMs))
        return false;
    QTest::keySequence(m_window, QKeySequence::SelectAll);
    for (const QChar character : text)
        QTest::keyClick(m_window, character.toLatin1());
    return true;
}

QList<ShownRow> WindowOperator::rows() const
{
    QList<ShownRow> rows;
    for (QQuickItem *card : allNamed(QStringLiteral("rowCard"))) {
        // A row shows three texts: the name line and the address line on the left, the
        // display's time on the right.
        const QList<QQuickItem *> texts =
            visibleItems(card, [](QQuickItem *item) { return item->inherits("QQuickText"); });
        if (texts.size() == 3)
            rows.append(
                {plainText(texts.at(0)), plainText(texts.at(1)), plainText(texts.at(2)), card});
    }
    return rows;
}

ShownRow WindowOperator::rowOf(const QString &address) const
{
    const QList<ShownRow> shown = rows();
    const auto row = std::find_if(shown.cbegin(), shown.cend(), [&address](const ShownRow &r) {
        return r.addressLine == QStringLiteral("IP Addr: ") + address;
    });
    return row == shown.cend() ? ShownRow() : *row;
}
