#include "control/controllogging.h"

Q_LOGGING_CATEGORY(lcRemote, "qb.remote")
