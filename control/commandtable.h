#pragma once

#include "control/command.h"

#include <functional>
#include <vector>

// Every command the doors offer, in the order the reference lists them.
namespace CommandTable {

const std::vector<Command> &commands();
const Command *find(const QString &name);

using Completion = std::function<void(CommandResult)>;

// Checks args against the command's parameters, selects its targets and runs it, on the
// controller's thread. Bad input and refusals change nothing. done gets the result at once, or,
// when the request asks to confirm, once every packet the command sent has been answered or
// missed (its result then lists the displays that acknowledged and those that missed).
void execute(CommandContext &context, const QString &name, const QJsonObject &args,
             Completion done);
// The same, waiting for a confirmation in a local event loop.
CommandResult execute(CommandContext &context, const QString &name, const QJsonObject &args);

// The name of the parameter every acting command takes for its targets.
inline QString targetsParam()
{
    return QStringLiteral("to");
}
// That parameter as the reference and the doors describe it.
CommandParam targetsDescription();

// The parameter of every acting command that makes its answer wait for the displays.
inline QString confirmParam()
{
    return QStringLiteral("confirm");
}
CommandParam confirmDescription();

} // namespace CommandTable
