#pragma once

#include <QLoggingCategory>

// The doors from outside: HTTP, OSC, the event stream and the command gate.
Q_DECLARE_LOGGING_CATEGORY(lcRemote)
