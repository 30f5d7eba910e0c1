#pragma once

struct StartOptions;
class HandleGui;
class ProgramDataModel;
class TimerDataModel;

// qb-timer without a window: the controller and its link, the 100 ms tick the window would
// drive, the start-up discovery with the window's stored settings, and the doors from outside.

// Runs until SIGINT or SIGTERM; gives the exit code. 2 when the HTTP or OSC door cannot listen.
int runHeadless(int &argc, char **argv, HandleGui &controller, TimerDataModel &timers,
                ProgramDataModel &programs, const StartOptions &options);
