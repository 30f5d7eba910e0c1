#pragma once

#include "controller/handlegui.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QQmlApplicationEngine>
#include <QVariant>
#include <memory>

class QQuickItem;
class QQuickWindow;

// Works a window the way an operator does: real mouse clicks at the centre of what is on screen
// and real key strokes into the focused field. Items are found by the caption they show (a
// control's `text`, a gradient button's `nameStrig`) among the visible items, so whatever is
// hidden (other pages, a closed drawer) cannot be hit by mistake.
class WindowOperator
{
public:
    explicit WindowOperator(QQuickWindow *window) : m_window(window) {}

    // The first visible item showing `caption`, or null.
    QQuickItem *find(const QString &caption) const;
    // The visible items with this objectName, top to bottom.
    QList<QQuickItem *> allNamed(const QString &objectName) const;
    // A left click at the item's centre; false when there is no item or it is not shown.
    bool tap(QQuickItem *item);
    bool tap(const QString &caption) { return tap(find(caption)); }
    // Opens the drawer with the tool button, taps the entry and waits for the page to settle.
    bool chooseFromDrawer(const QString &caption);

private:
    QQuickWindow *m_window;
};

// The application in this process: the real controller and both models, and the real main
// window loaded from "qrc:/main.qml" with the context properties and QML type that main() gives
// it, wired with connectWindow. Meant for the offscreen platform.
//
// Discovery must only ever reach loopback: construction refuses to run without a private
// XDG_CONFIG_HOME and makes sure the window's stored broadcast address lies in 127.0.0.0/8
// (127.255.255.255 unless a loopback address is stored already) before the window loads.
class AppUnderTest
{
public:
    // Empties the window's and the controller's settings stores: a first run, with the window's
    // `values` ("main/mainRefresh" and so on) stored.
    static void forgetStoredSettings(const QVariantMap &values = {});

    AppUnderTest();
    ~AppUnderTest();
    AppUnderTest(const AppUnderTest &) = delete;
    AppUnderTest &operator=(const AppUnderTest &) = delete;

    // The window loaded, every link between it and the controller was made (a signal or slot
    // misspelt or of another signature makes none) and the window was exposed.
    bool isRunning() const { return m_window != nullptr; }
    HandleGui &controller() const { return *m_controller; }
    ProgramDataModel &programs() { return m_programs; }
    WindowOperator &ui() { return *m_ui; }

    // A QML expression in the window's scope, e.g. "countUpScreen.timeDisplay".
    QVariant evaluate(const QString &expression) const;
    // Waits until no packet waits for an answer or its retries, so that every datagram the
    // controller has sent has reached the displays and every answer has been handled.
    bool waitUntilLinkIdle(int timeoutMs = 10000) const;
    // Waits until the home page lists `listed` displays, taps the rows of the displays numbered
    // in `chosen` (display k at 127.0.0.(k+1)) and waits for the link to go idle.
    bool selectDisplays(int listed, const QList<int> &chosen);

private:
    TimerDataModel m_timers;
    ProgramDataModel m_programs;
    std::unique_ptr<HandleGui> m_controller;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    std::unique_ptr<WindowOperator> m_ui;
};
