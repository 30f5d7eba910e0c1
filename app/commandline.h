#pragma once

#include <QStringList>
#include <optional>

// qb-timer's command line: --help and --version and nothing else of its own. Qt's options
// (-platform, -style, -qmljsdebugger, ...) are taken by the application object.

// Answers --help or --version, printing on stdout, and gives the exit code. It runs before the
// controller exists, so answering opens no socket and no window. Nothing when neither is asked.
std::optional<int> answerHelpOrVersion(int &argc, char **argv, const QString &version);

// The arguments left once the application object has taken Qt's options: false, with the
// reason on stderr, when any of them is unknown here.
bool acceptArguments(const QStringList &arguments);
