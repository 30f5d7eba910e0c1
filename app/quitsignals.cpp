#include "app/quitsignals.h"

#include "control/controllogging.h"

#include <QCoreApplication>
#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

sigset_t quitSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

int quitSignalFd()
{
    const sigset_t set = quitSignals();
    return ::signalfd(-1, &set, SFD_CLOEXEC);
}

} // namespace

void holdQuitSignals()
{
    const sigset_t set = quitSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

QuitOnSignals::QuitOnSignals() : m_fd(quitSignalFd()), m_notifier(m_fd, QSocketNotifier::Read)
{
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info{};
        (void)!::read(m_fd, &info, sizeof info);
        qCInfo(lcRemote, "Stopping on signal %u", info.ssi_signo);
        QCoreApplication::quit();
    });
}

QuitOnSignals::~QuitOnSignals()
{
    ::close(m_fd);
}
