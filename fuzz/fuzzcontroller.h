#pragma once

// The controller on a fake clock with its link stopped, as the remote-control fuzz targets feed
// it: a command may name any address, and nothing it is handed is ever sent, only counted.
#include "control/commandcontext.h"
#include "control/commandgate.h"
#include "control/controlstate.h"
#include "controller/handlegui.h"
#include "link/udpcommthread.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <cstdlib>

inline void check(bool holds)
{
    if (!holds)
        std::abort();
}

struct FuzzController
{
    FuzzController()
    {
        controller.handleSetIPParameters(0, 100, 1 << 30); // no poll, no resend
        controller.link().stopThread();
        QObject::connect(&controller.link(), &UDPCommThread::UDPTx, [this] { ++packets; });
    }

    qint64 now = 0;
    int packets = 0;
    TimerDataModel timers;
    ProgramDataModel programs;
    HandleGui controller{timers, programs, [this] { return now; }};
    ControlState state{controller, timers, programs};
    CommandContext context{controller, timers, programs, state};
    CommandGate gate{context};
};
