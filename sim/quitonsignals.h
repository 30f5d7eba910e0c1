#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Ends the event loop on SIGINT and SIGTERM. The signal handler only writes a byte to a socket
// pair; the quit itself happens on the event loop, where it is safe.
class QuitOnSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitOnSignals(QObject *parent = nullptr);
    ~QuitOnSignals() override;

    bool install(QString *error);

private:
    static void handleSignal(int signal);

    std::unique_ptr<QSocketNotifier> m_notifier;
};
