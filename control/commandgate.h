#pragma once

#include "control/command.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>

class CommandContext;

// The one way in for the doors' threads: a command is handed to the controller's thread, run
// there and its result handed back, while the door's thread waits at most a while for it. The
// controller never waits on a door. A command either runs and its result is given, or it does
// not run and the caller is told the controller is unavailable.
class CommandGate : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultWait{2000};
    // Commands waiting for the controller at once; beyond them a door is told to come back.
    static constexpr size_t kMaxWaiting = 32;

    // Lives on the thread of the controller that `context` reaches.
    explicit CommandGate(CommandContext &context, QObject *parent = nullptr);

    // Any thread. On the gate's own thread the command runs at once.
    CommandResult call(const QString &name, const QJsonObject &args,
                       std::chrono::milliseconds wait = kDefaultWait);
    // From now on every call is answered "unavailable" without running.
    void close() { m_closed = true; }

signals:
    // Commands wait in the queue; queued to the gate's own thread.
    void commandsWaiting(QPrivateSignal);

private:
    struct Job;
    void runWaiting();

    CommandContext &m_context;
    std::atomic<bool> m_closed{false};
    // The hand-over is a queue under a lock of our own, so the controller's thread takes each
    // command by that lock, not by the event it was woken with.
    std::mutex m_mutex;
    std::deque<std::shared_ptr<Job>> m_waiting;
};
