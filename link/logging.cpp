#include "link/logging.h"

Q_LOGGING_CATEGORY(lcLink, "qb.link")
Q_LOGGING_CATEGORY(lcRegistry, "qb.registry")
Q_LOGGING_CATEGORY(lcControl, "qb.control")
Q_LOGGING_CATEGORY(lcPrograms, "qb.programs")
