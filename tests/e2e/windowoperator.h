#pragma once

#include <QList>
#include <QString>

class QQuickItem;
class QQuickWindow;

// One row of the home page as the operator sees it.
struct ShownRow
{
    QString nameLine;    // "Name: ..."
    QString addressLine; // "IP Addr: ...", as plain text
    QString timeText;
    QQuickItem *card = nullptr;
};

// Works the main window the way an operator does: real mouse clicks at the centre of what is on
// screen and real key strokes into the focused field. Items are found by the caption they show
// (a control's `text`, a gradient button's `nameStrig`) among the visible items, so whatever is
// hidden (other pages, a closed drawer) cannot be hit by mistake.
class WindowOperator
{
public:
    explicit WindowOperator(QQuickWindow *window) : m_window(window) {}

    // The first visible item showing `caption`, or null.
    QQuickItem *find(const QString &caption) const;
    // The first visible item with this objectName, or null.
    QQuickItem *findNamed(const QString &objectName) const;
    // The visible items with this objectName, top to bottom.
    QList<QQuickItem *> allNamed(const QString &objectName) const;
    // The editable field (text field or spin box) on the form row captioned `caption`.
    QQuickItem *fieldBeside(const QString &caption) const;
    // Taps the field, selects everything in it and types `text` over it.
    bool typeInto(QQuickItem *field, const QString &text);

    // A left click at the item's centre; false when there is no item or it is not shown.
    bool tap(QQuickItem *item);
    bool tap(const QString &caption) { return tap(find(caption)); }
    // Opens the drawer with the tool button, taps the entry and waits for the page to settle.
    bool chooseFromDrawer(const QString &caption);
    // The tool button while a page is shown: back to the page below.
    bool goBack();

    // The home page's rows, top to bottom.
    QList<ShownRow> rows() const;
    // The row showing this address; an empty one (no card) when there is none.
    ShownRow rowOf(const QString &address) const;

private:
    bool waitForStackToSettle() const;

    QQuickWindow *m_window;
};
