#pragma once

// What qb-timerctl's exit status tells a script. The numbers are documented in its --help, its
// man page and the README: keep them.
enum ExitStatus : int {
    kDone = 0,
    kUsage = 2,        // the command line is wrong: nothing was sent
    kUnreachable = 3,  // no controller answered at the address
    kRefused = 4,      // the controller refused the command, naming the field at fault
    kUnauthorized = 5, // the controller wants a token, and none or a wrong one was given
    kMissed = 6,       // done, and with --confirm, some display did not acknowledge it
};
