#pragma once

#include "controllerclient.h"

#include <CLI/CLI.hpp>
#include <QJsonObject>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

// qb-timerctl's command line: the options every subcommand takes, and subcommands that read the
// way an operator talks, each sending one command of the controller's table over HTTP.
class CtlApp
{
public:
    CtlApp();
    // Parses the arguments and does what they say; gives the exit status (exitstatus.h).
    int run(int argc, char **argv);

    // The table commands the subcommands send: every one of the table's should be among them.
    const QStringList &tableCommands() const { return m_tableCommands; }
    // Those of them that act on displays, which --confirm goes with.
    static const QStringList &actingCommands();

private:
    struct Request
    {
        QString command;
        QJsonObject args;
    };
    // Makes the request from the words given to the subcommand; throws UsageError when they
    // make none.
    using Build = std::function<Request(const CLI::App &given)>;
    // Does what a done command's result asks for (prints it, writes a file); the exit status.
    using React = std::function<int(const QJsonObject &result)>;

    CLI::App *group(const std::string &name, const std::string &summary,
                    const std::string &example);
    CLI::App *leaf(CLI::App &parent, const std::string &name, const std::string &summary,
                   const std::string &example, const QStringList &commands, Build build,
                   React react);
    // Reactions: print the result unless --json asks for it as it came; do nothing.
    React shown(void (*printer)(const QJsonObject &)) const;
    static React quiet();
    // A subcommand that sends one command without parameters.
    CLI::App *plain(CLI::App &parent, const std::string &name, const QString &command,
                    const std::string &summary, const std::string &example, React react = quiet());
    // start, pause and toggle of a page's Start/Pause button: name.start and so on.
    void startPause(CLI::App &group, const std::string &name, const std::string &what);

    void addDisplays();
    void addCountDown();
    void addCountUp();
    void addPrograms();
    void addProgramFiles(CLI::App &program);
    void addGenerators();
    void addSetup();
    void addWatch();

    ControllerClient::Where where() const;
    int send(const Request &request, const React &react) const;
    // The exit status of a confirmed command's result; the displays that missed it named.
    int confirmed(const QJsonObject &result) const;
    // Tells of an outcome other than done, with --json as one JSON object; its exit status.
    int failed(const ControllerClient::Answer &answer) const;
    static QString kindOf(ExitStatus status);

    CLI::App m_app;
    struct Options
    {
        std::string host = "127.0.0.1";
        int port = 7380; // the controller's default, HttpApi::kDefaultPort
        std::string token;
        bool json = false;
        bool confirm = false;
        std::vector<std::string> to;
    } m_options;
    QStringList m_tableCommands;
    std::function<int()> m_action; // what the parsed subcommand does
};
