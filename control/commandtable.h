#pragma once

#include "control/command.h"

#include <vector>

// Every command the doors offer, in the order the reference lists them.
namespace CommandTable {

const std::vector<Command> &commands();
const Command *find(const QString &name);

// Checks args against the command's parameters, selects its targets and runs it, on the
// controller's thread. Bad input and refusals change nothing.
CommandResult execute(CommandContext &context, const QString &name, const QJsonObject &args);

// The name of the parameter every acting command takes for its targets.
inline QString targetsParam()
{
    return QStringLiteral("to");
}
// That parameter as the reference and the doors describe it.
CommandParam targetsDescription();

} // namespace CommandTable
