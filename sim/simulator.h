#pragma once

#include "simdisplay.h"
#include "simlog.h"
#include "simoptions.h"

#include <QObject>
#include <QUdpSocket>

namespace qbsim {

// The displays of one run, the listener that passes each datagram sent to the loopback
// broadcast address on to all of them, and the log they share.
class Simulator : public QObject
{
    Q_OBJECT

public:
    Simulator(const SimOptions &options, const TimeSource &time, QObject *parent = nullptr);
    ~Simulator() override;

    // Opens the log and binds every socket; false with the reason if any of it fails.
    bool start(QString *error);
    const QList<SimDisplay *> &displays() const { return m_displays; }

private:
    void readBroadcasts();
    void logStart();

    const SimOptions m_options;
    DatagramLog m_log;
    ReplyPolicy m_policy;
    QList<SimDisplay *> m_displays;
    QUdpSocket m_broadcastSocket;
};

} // namespace qbsim
