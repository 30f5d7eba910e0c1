#pragma once

#include "app/handlegui.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QSignalSpy>
#include <memory>

// A controller on a hand-driven clock, with spies on what it tells the window.
class ControllerFixture
{
public:
    explicit ControllerFixture(qint64 startMs = 0) : m_now(startMs)
    {
        controller = std::make_unique<HandleGui>(timers, programs, [this] { return m_now; });
        upTime = std::make_unique<QSignalSpy>(controller.get(), &HandleGui::updateUpTime);
        dnTime = std::make_unique<QSignalSpy>(controller.get(), &HandleGui::updateDnTime);
        intTime = std::make_unique<QSignalSpy>(controller.get(), &HandleGui::updateIntTime);
        upStartPause =
            std::make_unique<QSignalSpy>(controller.get(), &HandleGui::updateUpStartPause);
        dnStartPause =
            std::make_unique<QSignalSpy>(controller.get(), &HandleGui::updateDnStartPause);
        upFormat = std::make_unique<QSignalSpy>(controller.get(), &HandleGui::updateUpTimeFormat);
    }

    void advance(qint64 ms) { m_now += ms; }
    // Lets ms pass in ticks of at most 100 ms, as the window's timer would.
    void tickFor(qint64 ms)
    {
        for (; ms > 0; ms -= 100) {
            advance(qMin<qint64>(ms, 100));
            controller->qmlTimerTriggered();
        }
    }
    QString text() const
    {
        return upTime->isEmpty() ? QString() : upTime->constLast().at(0).toString();
    }
    static bool lastBool(const QSignalSpy &spy) { return spy.constLast().at(0).toBool(); }
    void addTimer(const QString &ip, bool selected = false)
    {
        timers.addOrUpdateTimer(TimerData(QString(), ip, selected, QTime(0, 0), 0, 0, 0));
    }

    TimerDataModel timers;
    ProgramDataModel programs;
    std::unique_ptr<HandleGui> controller;
    std::unique_ptr<QSignalSpy> upTime, dnTime, intTime, upStartPause, dnStartPause, upFormat;

private:
    qint64 m_now;
};
