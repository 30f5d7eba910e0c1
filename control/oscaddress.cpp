#include "control/oscaddress.h"

#include "control/command.h"
#include "control/commandtable.h"

#include <QHash>
#include <QRegularExpression>
#include <cmath>
#include <cstring>
#include <lo/lo.h>

namespace {

bool isString(char type)
{
    return type == LO_STRING || type == LO_SYMBOL;
}

// An argument's value. liblo's arguments lie on 4-byte boundaries inside the message, not always
// where the union's 8-byte members may be read from: the bytes are copied out.
template <typename T> T valueOf(const lo_arg *arg)
{
    T value;
    std::memcpy(&value, arg, sizeof value);
    return value;
}

QString textOf(const lo_arg *arg)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(arg));
}

// An argument as an error message shows it.
QString shown(char type, const lo_arg *arg)
{
    switch (type) {
    case LO_INT32:
        return QString::number(valueOf<qint32>(arg));
    case LO_INT64:
        return QString::number(valueOf<qint64>(arg));
    case LO_FLOAT:
        return QString::number(double(valueOf<float>(arg)), 'g', 9);
    case LO_DOUBLE:
        return QString::number(valueOf<double>(arg), 'g', 17);
    case LO_STRING:
    case LO_SYMBOL:
        return QStringLiteral("\"%1\"").arg(textOf(arg).left(40));
    case LO_TRUE:
        return QStringLiteral("T");
    case LO_FALSE:
        return QStringLiteral("F");
    default:
        return QStringLiteral("an argument of type '%1'").arg(QLatin1Char(type));
    }
}

// A whole number however the surface sent it, or nothing.
std::optional<double> wholeNumber(char type, const lo_arg *arg)
{
    static const QRegularExpression digits(QStringLiteral("^[-+]?[0-9]{1,15}$"));
    switch (type) {
    case LO_INT32:
        return valueOf<qint32>(arg);
    case LO_INT64:
        return double(valueOf<qint64>(arg));
    case LO_FLOAT:
    case LO_DOUBLE: {
        const double value = type == LO_FLOAT ? double(valueOf<float>(arg)) : valueOf<double>(arg);
        if (std::isfinite(value) && std::trunc(value) == value)
            return value;
        return std::nullopt;
    }
    case LO_STRING:
    case LO_SYMBOL:
        if (digits.match(textOf(arg)).hasMatch())
            return textOf(arg).toDouble();
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<QJsonValue> convert(const CommandParam &param, char type, const lo_arg *arg)
{
    const std::optional<double> number = wholeNumber(type, arg);
    switch (param.type) {
    case CommandParam::Type::Integer:
        if (number)
            return QJsonValue(*number);
        break;
    case CommandParam::Type::Boolean:
        if (type == LO_TRUE || type == LO_FALSE)
            return QJsonValue(type == LO_TRUE);
        if (number && (*number == 0 || *number == 1))
            return QJsonValue(*number == 1);
        if (isString(type)) {
            const QString word = textOf(arg).toLower();
            if (word == QLatin1String("true") || word == QLatin1String("false"))
                return QJsonValue(word == QLatin1String("true"));
        }
        break;
    case CommandParam::Type::Choice:
        if (number)
            return QJsonValue(*number);
        if (isString(type))
            return QJsonValue(textOf(arg));
        break;
    case CommandParam::Type::Address:
    case CommandParam::Type::Displays:
    case CommandParam::Type::Text:
        if (isString(type))
            return QJsonValue(textOf(arg));
        break;
    case CommandParam::Type::Object:
        break;
    }
    return std::nullopt;
}

QString wrongArgument(const CommandParam &param, char type, const lo_arg *arg)
{
    return QStringLiteral("%1: expected %2, got %3")
        .arg(param.name, param.describeType(), shown(type, arg));
}

QString typeTag(CommandParam::Type type)
{
    switch (type) {
    case CommandParam::Type::Integer:
        return QStringLiteral("i");
    case CommandParam::Type::Boolean:
        return QStringLiteral("T|F");
    case CommandParam::Type::Choice:
        return QStringLiteral("s|i");
    case CommandParam::Type::Address:
    case CommandParam::Type::Text:
        return QStringLiteral("s");
    case CommandParam::Type::Displays:
        return QStringLiteral("s...");
    case CommandParam::Type::Object:
        break;
    }
    return QStringLiteral("(HTTP only)");
}

// The displays named by every string from `at` on, as one list.
std::optional<QString> readWords(const CommandParam &param, lo_message message, int at,
                                 QJsonObject &args)
{
    const char *types = lo_message_get_types(message);
    lo_arg **argv = lo_message_get_argv(message);
    QJsonArray words;
    for (; at < lo_message_get_argc(message); ++at) {
        if (!isString(types[at]))
            return wrongArgument(param, types[at], argv[at]);
        words.append(textOf(argv[at]));
    }
    args.insert(param.name, words);
    return std::nullopt;
}

} // namespace

namespace OscAddress {

QString pathOf(const QString &commandName)
{
    return QStringLiteral("/qb/") +
           QString(commandName).replace(QLatin1Char('.'), QLatin1Char('/'));
}

namespace {

// The command at an address, looked up without making every command's address on every message.
const Command *commandAt(const QString &path)
{
    static const QHash<QString, const Command *> byPath = [] {
        QHash<QString, const Command *> paths;
        for (const Command &command : CommandTable::commands())
            paths.insert(pathOf(command.name), &command);
        return paths;
    }();
    return byPath.value(path);
}

} // namespace

Request read(const QString &path, lo_message message)
{
    Request request;
    request.command = commandAt(path);
    if (!request.command) {
        request.error = QStringLiteral("%1: no such address; an address is /qb/ and a command's "
                                       "name with / for . (/qb/countdown/start), and "
                                       "qb-timer --api-reference lists them")
                            .arg(path.left(64));
        return request;
    }
    const Command &command = *request.command;
    const int count = lo_message_get_argc(message);
    const char *types = lo_message_get_types(message);
    lo_arg **argv = lo_message_get_argv(message);
    // Strings after the declared parameters are the "to" list, read as any list of displays.
    const std::vector<CommandParam> &params = command.allParams();
    int at = 0;
    for (const CommandParam &param : params) {
        if (at == count)
            return request;
        if (param.type == CommandParam::Type::Displays) {
            if (const std::optional<QString> error = readWords(param, message, at, request.args))
                request.error = *error;
            return request;
        }
        const std::optional<QJsonValue> value = convert(param, types[at], argv[at]);
        // An optional parameter just before the targets may be left out: what stands in its
        // place then names the first display ("confirm" on a command sent "to" displays).
        const bool targetsNext =
            &param != &params.back() && (&param + 1)->type == CommandParam::Type::Displays;
        if (!value && !param.required && targetsNext)
            continue;
        if (!value) {
            request.error = wrongArgument(param, types[at], argv[at]);
            return request;
        }
        request.args.insert(param.name, *value);
        ++at;
    }
    if (at == count)
        return request;
    const QString takes =
        params.empty()
            ? QStringLiteral("no arguments")
            : QStringLiteral("at most %1 (%2)").arg(params.size()).arg(signature(command));
    request.error = QStringLiteral("%1: takes %2, got %3").arg(path, takes).arg(count);
    return request;
}

std::optional<qint64> integer(char type, const lo_arg *arg)
{
    const std::optional<double> number = wholeNumber(type, arg);
    if (!number || std::fabs(*number) > 1e15)
        return std::nullopt;
    return qint64(*number);
}

QString text(char type, const lo_arg *arg)
{
    return isString(type) ? textOf(arg) : QString();
}

QString signature(const Command &command)
{
    QStringList parts;
    for (const CommandParam &param : command.allParams()) {
        const QString part = param.name + ':' + typeTag(param.type);
        parts << (param.required ? part : '[' + part + ']');
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace OscAddress
