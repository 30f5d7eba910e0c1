#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <string>

// A real `qb-timer --headless` of the build as a child process: the settings folder is the
// benchmark's own (XDG_CONFIG_HOME, see ScratchConfig), the runtime folder one of its own. It is
// stopped with this object.
class HeadlessController
{
public:
    // build: the build folder, which holds app/qb-timer.
    explicit HeadlessController(const QString &build);
    ~HeadlessController();
    HeadlessController(const HeadlessController &) = delete;
    HeadlessController &operator=(const HeadlessController &) = delete;

    // Starts it with these arguments after --headless and waits until its HTTP API answers on the
    // default port (asked with the token, when one is given); false when it does not within
    // timeoutMs.
    bool start(const QStringList &arguments = {}, const std::string &token = {},
               int timeoutMs = 10000);

    // Resident kilobytes, and CPU seconds (user and system) of the process so far.
    double residentKb() const;
    double cpuSeconds() const;

private:
    QString m_build;
    QTemporaryDir m_runtime;
    QProcess m_process;
};
