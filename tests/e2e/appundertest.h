#pragma once

#include "app/handlegui.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QQmlApplicationEngine>
#include <QVariant>
#include <memory>

class QQuickWindow;

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

    // The window loaded and was exposed.
    bool isRunning() const { return m_window != nullptr; }
    QQuickWindow *window() const { return m_window; }
    HandleGui &controller() const { return *m_controller; }
    TimerDataModel &timers() { return m_timers; }
    ProgramDataModel &programs() { return m_programs; }

    // A QML expression in the window's scope, e.g. "countUpScreen.timeDisplay".
    QVariant evaluate(const QString &expression) const;
    QObject *object(const QString &id) const { return evaluate(id).value<QObject *>(); }

    // Waits until no packet waits for an answer or its retries, so that every datagram the
    // controller has sent has reached the displays and every answer has been handled.
    bool waitUntilLinkIdle(int timeoutMs = 10000) const;

private:
    TimerDataModel m_timers;
    ProgramDataModel m_programs;
    std::unique_ptr<HandleGui> m_controller;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
};
