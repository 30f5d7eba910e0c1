#pragma once

class ControllerClient;

// Follows the controller's changes until Ctrl+C: the mirror's text and the Start/Pause captions
// on one line, written over in place on a terminal and a line a change elsewhere; with `json`,
// each event as {"event", "data"}, a line each. Gives the exit status.
int watchMirror(ControllerClient &client, bool json);
