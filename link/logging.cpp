#include "link/logging.h"

Q_LOGGING_CATEGORY(lcLink, "qb.link")
Q_LOGGING_CATEGORY(lcRegistry, "qb.registry")
Q_LOGGING_CATEGORY(lcControl, "qb.control")
// Program editing and, once programs run, every tick write debug lines: shown only on request.
Q_LOGGING_CATEGORY(lcPrograms, "qb.programs", QtInfoMsg)
