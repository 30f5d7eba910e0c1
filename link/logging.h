#pragma once

#include <QLoggingCategory>

// One category per subsystem, so a field log can be narrowed with QT_LOGGING_RULES.
Q_DECLARE_LOGGING_CATEGORY(lcLink)     // socket thread and reply matching
Q_DECLARE_LOGGING_CATEGORY(lcRegistry) // timer list, discovery and status replies
Q_DECLARE_LOGGING_CATEGORY(lcControl)  // controller core, mirror clock and count commands
Q_DECLARE_LOGGING_CATEGORY(lcPrograms) // program lines, storage, transfer and run control
