#pragma once

#include "control/oscmessage.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class CommandGate;
class EventHub;

// The OSC door for show-control surfaces, on UDP: commands in (the table's commands at
// /qb/GROUP/ACTION), errors and results back to their sender, and the state's changes out to
// subscribers (see OscDoor and OscFeedback). It owns a socket bound to exactly the address asked
// for and two threads of its own: one receives and hands commands to the controller through the
// gate, one waits on the event hub and tells the subscribers. liblo reads and writes the
// messages; it binds every interface when it owns the socket, hence the socket of our own.
class OscServer
{
public:
    static constexpr int kDefaultPort = 7381;

    struct Options
    {
        QString host = QStringLiteral("127.0.0.1");
        int port = kDefaultPort;
        // Networks messages are taken from besides loopback; needed to listen beyond it.
        QStringList allow;
        // Told of every change without subscribing.
        QList<OscPeer> feedback;
    };

    OscServer(CommandGate &gate, EventHub &events, Options options);
    ~OscServer();
    OscServer(const OscServer &) = delete;
    OscServer &operator=(const OscServer &) = delete;

    // On the controller's thread. Binds and starts the threads; false with the reason when the
    // options are wrong or the address cannot be had.
    bool start(QString *error);
    // Stops both threads; the event hub being closed first wakes the one that waits on it.
    void stop();
    // The bound port: the one asked for, or the one the system chose for port 0.
    int port() const;

private:
    class Running;
    CommandGate &m_gate;
    EventHub &m_events;
    Options m_options;
    std::unique_ptr<Running> m_running;
};
