#pragma once

#include "controller/handlegui.h"
#include "link/udpcommthread.h"
#include "linktestkit.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QSignalSpy>
#include <memory>

// A controller on a hand-driven clock that sends every packet once (no resends), recording what
// it hands the link and tells the window.
class ControllerFixture
{
    qint64 m_now = 0; // declared first: the controller may read its clock while it is built

public:
    ControllerFixture()
    {
        HandleGui *c = controller.get();
        c->handleSetIPParameters(0, 5000, 60);
        QObject::connect(c, &HandleGui::updateUpTime,
                         [this](const QVariant &t) { up = t.toString(); });
        QObject::connect(c, &HandleGui::updateDnTime,
                         [this](const QVariant &t) { dn = t.toString(); });
        QObject::connect(c, &HandleGui::updateIntTime,
                         [this](const QVariant &t) { interval = t.toString(); });
        const auto note = [this](const char *kind) {
            return [this, kind](const QVariant &v) { told << kind + QString::number(v.toInt()); };
        };
        QObject::connect(c, &HandleGui::updateUpStartPause, note("up "));
        QObject::connect(c, &HandleGui::updateDnStartPause, note("dn "));
        QObject::connect(c, &HandleGui::updateUpTimeFormat, note("format "));
        QObject::connect(c, &HandleGui::updatePortInUse, note("port in use "));
        QObject::connect(c, &HandleGui::updateProgNameCombo,
                         [this](const QVariant &n, const QVariant &name, const QVariant &show) {
                             told << QStringLiteral("combo %1 %2 %3")
                                         .arg(n.toString(), name.toString(), show.toString());
                         });
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
    // Forgets what was sent and told so far.
    void clear()
    {
        udpTx.clear();
        told.clear();
    }
    // "address hex" of each packet handed to the link, cut to its first 15 bytes: a program
    // packet's header and name.
    QStringList sent() const
    {
        QStringList sent = sentPackets(udpTx);
        for (QString &packet : sent)
            packet.truncate(packet.indexOf(QLatin1Char(' ')) + 1 + 2 * 15);
        return sent;
    }
    // The mirror's text as last shown, the same on every page.
    QString text() const { return dn == up && interval == up ? up : "pages differ: " + dn; }
    // A datagram from source through the link's answer rules, as if read from its socket: an
    // answer ends the oldest packet queued to its sender before the controller sees it.
    void reply(const QString &source, const QByteArray &payload)
    {
        controller->link().receiveDatagram(QHostAddress(source), payload);
        QCoreApplication::processEvents();
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
    QString up, dn, interval; // the count-up, count-down and interval pages' text
    // What the window was told, oldest first: "up 1" a count-up caption to Pause, "dn 0" a
    // count-down caption to Start, "format 2", "combo 9 Tab 20/10 true" program 9 shown
    // and opened, "port in use 1" another program holds port 7372.
    QStringList told;
};
