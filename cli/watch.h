#pragma once

#include "controllerclient.h"

// Follows the controller's changes until Ctrl+C: the mirror's text and the Start/Pause captions
// on one line, written over in place on a terminal and a line a change elsewhere; with `json`,
// each event as {"event", "data"}, a line each. Gives the answer that ended the stream.
ControllerClient::Answer watchMirror(ControllerClient &client, bool json);
