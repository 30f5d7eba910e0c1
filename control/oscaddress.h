#pragma once

#include <QJsonObject>
#include <QString>
#include <lo/lo_types.h>
#include <optional>

struct Command;

// The OSC form of the command table: "/qb/" and the command's name with "/" for "." (countdown.set
// is /qb/countdown/set), its parameters as arguments in the table's order. Trailing optional
// parameters may be left out; for commands that act on displays, strings after the declared
// parameters name the displays to act on ("to"). Surfaces differ in what they can send, so an
// integer may also come as a float with a whole value or as a string of digits, and a boolean as
// T or F, 0 or 1, or "true" or "false". The table checks the ranges, as for every door.
namespace OscAddress {

QString pathOf(const QString &commandName);

// A message read as a command: its name and its parameters as the table takes them, or why it
// cannot be one, naming the argument at fault.
struct Request
{
    const Command *command = nullptr;
    QJsonObject args;
    QString error;
};
Request read(const QString &path, lo_message message);

// An integer argument as read for a parameter: a whole number, or nothing.
std::optional<qint64> integer(char type, const lo_arg *arg);
// A string argument's text; nothing for an argument of another type.
QString text(char type, const lo_arg *arg);

// The arguments the command takes, for the reference: "days:i hours:i [format:s|i] [to:s...]".
QString signature(const Command &command);

} // namespace OscAddress
