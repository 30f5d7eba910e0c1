#pragma once

#include <QObject>
#include <QSocketNotifier>

// SIGINT and SIGTERM as a request to stop: the event loop ends, and main() takes everything
// down in order (the one-copy lock included) instead of the process dying where it stands.

// Keeps both signals from every thread started from now on, so that QuitOnSignals takes them.
// Call before the controller starts its threads.
void holdQuitSignals();

// While it lives, either signal quits the application's event loop.
class QuitOnSignals : public QObject
{
    Q_OBJECT
public:
    QuitOnSignals();
    ~QuitOnSignals() override;

private:
    int m_fd;
    QSocketNotifier m_notifier;
};
