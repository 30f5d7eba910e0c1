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
    qint64 m_now; // declared first: the controller may read its clock while it is built

public:
    // The controller's settings store as on a first run.
    static void clearStore()
    {
        QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer")).clear();
    }

    explicit ControllerFixture(qint64 startMs = 0) : m_now(startMs)
    {
        controller->handleSetIPParameters(0, 5000, 60);
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
    // Forgets what was sent and what the captions and format were told so far.
    void clear()
    {
        udpTx.clear();
        upStartPause.clear();
        dnStartPause.clear();
        upFormat.clear();
    }
    // "address hex" of each packet handed to the link.
    QStringList sent() const { return sentPackets(udpTx); }
    // The mirror's text as last shown.
    QString text() const
    {
        return upTime.isEmpty() ? QString() : upTime.constLast().at(0).toString();
    }
    // What the start/pause captions and the count-up format were told, oldest first: "up 1 dn 0
    // format 2" (a count-up caption to Pause, a count-down caption to Start, format 2).
    QString told() const
    {
        QStringList told;
        for (const QList<QVariant> &args : upStartPause)
            told << QStringLiteral("up %1").arg(args.at(0).toInt());
        for (const QList<QVariant> &args : dnStartPause)
            told << QStringLiteral("dn %1").arg(args.at(0).toInt());
        for (const QList<QVariant> &args : upFormat)
            told << QStringLiteral("format %1").arg(args.at(0).toInt());
        return told.join(QLatin1Char(' '));
    }
    void addTimer(const QString &ip)
    {
        timers.addOrUpdateTimer(TimerData(QString(), ip, false, QTime(0, 0), 0, 0, 0));
    }

    TimerDataModel timers;
    ProgramDataModel programs;
    std::unique_ptr<HandleGui> controller =
        std::make_unique<HandleGui>(timers, programs, [this] { return m_now; });
    QSignalSpy udpTx{&controller->link(), &UDPCommThread::UDPTx};
    QSignalSpy upTime{controller.get(), &HandleGui::updateUpTime};
    QSignalSpy dnTime{controller.get(), &HandleGui::updateDnTime};
    QSignalSpy intTime{controller.get(), &HandleGui::updateIntTime};
    QSignalSpy upStartPause{controller.get(), &HandleGui::updateUpStartPause};
    QSignalSpy dnStartPause{controller.get(), &HandleGui::updateDnStartPause};
    QSignalSpy upFormat{controller.get(), &HandleGui::updateUpTimeFormat};
};
