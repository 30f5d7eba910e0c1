#pragma once

#include "control/remotesettings.h"

#include <QStringList>
#include <optional>

// qb-timer's command line. Qt's own options (-platform, -style, -qmljsdebugger, ...) are taken by
// the application object.
struct StartOptions
{
    std::optional<ListenAddress> apiListen;
    std::optional<ListenAddress> oscListen;
    QStringList oscAllow; // networks, checked
};

// The arguments as given, before an application object takes Qt's own options from them.
QStringList argumentList(int argc, char **argv);

// Answers --help, --version, --api-reference, --api-token and --viewer-token on stdout and gives
// the exit code. They run before the controller exists, so answering opens no socket and no window
// and takes no lock. Nothing when none of them is asked.
std::optional<int> answerAndExit(int &argc, char **argv, const QString &version);

// Whether the raw arguments ask for --headless: it decides which application object is made.
bool wantsHeadless(int argc, char **argv);

// The options left once the application object has taken Qt's: nothing, with the reason on
// stderr, when any of them is unknown or malformed.
std::optional<StartOptions> readStartOptions(const QStringList &arguments);
