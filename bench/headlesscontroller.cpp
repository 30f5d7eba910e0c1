#include "headlesscontroller.h"

#include "control/httpapi.h"

#include "benchsupport.h"

#include <QFile>
#include <QProcessEnvironment>
#include <httplib.h>
#include <unistd.h>

HeadlessController::HeadlessController(const QString &build) : m_build(build) {}

HeadlessController::~HeadlessController()
{
    m_process.terminate();
    m_process.waitForFinished(5000);
}

bool HeadlessController::start(const QStringList &arguments, const std::string &token,
                               int timeoutMs)
{
    // The runtime folder holds the one-copy-per-user lock: a folder of its own keeps the run
    // clear of any other copy on the machine.
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    m_process.setProcessEnvironment(environment);
    m_process.setProgram(m_build + QStringLiteral("/app/qb-timer"));
    m_process.setArguments(QStringList{QStringLiteral("--headless")} + arguments);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    return processEventsUntil(
        [&token] {
            httplib::Client http("127.0.0.1", HttpApi::kDefaultPort);
            if (!token.empty())
                http.set_bearer_token_auth(token.c_str());
            return bool(http.Get("/api/v1/state"));
        },
        timeoutMs);
}

double HeadlessController::residentKb() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble();
    }
    return -1;
}

double HeadlessController::cpuSeconds() const
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
    stat.open(QIODevice::ReadOnly);
    const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
    return (fields.value(12).toDouble() + fields.value(13).toDouble()) /
           double(sysconf(_SC_CLK_TCK));
}
