#pragma once

#include "app/handlegui.h"
#include "link/udpcommthread.h"
#include "linktestkit.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QSettings>
#include <QSignalSpy>
#include <memory>

// A controller on a hand-driven clock that sends every packet once (no resends), with spies on
// what it hands the link and tells the window.
class ControllerFixture
{
public:
    // The controller's settings store as on a first run.
    static void clearStore()
    {
        QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer")).clear();
    }

    explicit ControllerFixture(qint64 startMs = 0) : m_now(startMs)
    {
        controller = std::make_unique<HandleGui>(timers, programs, [this] { return m_now; });
        controller->handleSetIPParameters(0, 5000, 60);
        udpTx = std::make_unique<QSignalSpy>(&controller->link(), &UDPCommThread::UDPTx);
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
    // "address hex" of each packet handed to the link.
    QStringList sent() const { return sentPackets(*udpTx); }
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
    std::unique_ptr<QSignalSpy> udpTx, upTime, dnTime, intTime, upStartPause, dnStartPause,
        upFormat;

private:
    qint64 m_now;
};
