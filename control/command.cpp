#include "control/command.h"

#include "control/commandcontext.h"
#include "control/commandtable.h"
#include "models/timerdatamodel.h"

#include <QHostAddress>
#include <cmath>

namespace {

constexpr int kMaxTargetWords = TimerDataModel::kMaxTimers;
constexpr int kMaxTargetWordLength = 255;

QString shown(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return QStringLiteral("\"%1\"").arg(value.toString().left(40));
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 12);
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

CommandResult invalid(const CommandParam &param, const QString &problem)
{
    return CommandResult::refused(CommandResult::Status::Invalid, param.name,
                                  param.name + QStringLiteral(": ") + problem);
}

CommandResult wrongType(const CommandParam &param, const QJsonValue &value)
{
    return invalid(param,
                   QStringLiteral("expected %1, got %2").arg(param.describeType(), shown(value)));
}

bool isUsableAddress(const QString &text)
{
    const QHostAddress address(text);
    if (address.protocol() != QAbstractSocket::IPv4Protocol || address.toString() != text)
        return false;
    const quint32 ip = address.toIPv4Address();
    // A display's address, or the broadcast address a discovery goes to.
    return TimerDataModel::isHostAddress(ip) || ip == 0xFFFFFFFF;
}

// One parameter's value as the handlers read it, or why it cannot be.
CommandResult checkValue(const CommandParam &param, const QJsonValue &value,
                         const CommandContext &context, QJsonValue &out)
{
    switch (param.type) {
    case CommandParam::Type::Integer: {
        const double number = value.toDouble();
        if (!value.isDouble() || std::trunc(number) != number)
            return wrongType(param, value);
        if (number < param.min || number > param.max)
            return invalid(param, QStringLiteral("%1 is out of range %2..%3")
                                      .arg(shown(value))
                                      .arg(param.min)
                                      .arg(param.max));
        out = int(number);
        return CommandResult::done();
    }
    case CommandParam::Type::Boolean:
        if (!value.isBool())
            return wrongType(param, value);
        out = value;
        return CommandResult::done();
    case CommandParam::Type::Choice: {
        const int byName = param.choices.indexOf(value.toString());
        const double number = value.toDouble(-1);
        if (value.isString() && byName >= 0)
            out = byName;
        else if (value.isDouble() && std::trunc(number) == number && number >= 0 &&
                 number < param.choices.size())
            out = int(number);
        else
            return wrongType(param, value);
        return CommandResult::done();
    }
    case CommandParam::Type::Address:
        if (!value.isString() || !isUsableAddress(value.toString()))
            return wrongType(param, value);
        out = value;
        return CommandResult::done();
    case CommandParam::Type::Displays: {
        const QJsonArray words = value.isArray() ? value.toArray() : QJsonArray{value};
        QStringList list;
        for (const QJsonValue &word : words) {
            if (!word.isString() || word.toString().isEmpty() ||
                word.toString().size() > kMaxTargetWordLength)
                return wrongType(param, word);
            list << word.toString();
        }
        if (list.isEmpty() || list.size() > kMaxTargetWords)
            return wrongType(param, value);
        const CommandContext::Lookup found = context.findDisplays(list);
        if (found.unknown)
            return CommandResult::refused(CommandResult::Status::NotFound, param.name,
                                          QStringLiteral("%1: no display named or at \"%2\"")
                                              .arg(param.name, *found.unknown));
        QJsonArray rows;
        for (int row : found.rows)
            rows.append(row);
        out = rows;
        return CommandResult::done();
    }
    case CommandParam::Type::Text:
        if (!value.isString() || value.toString().toUtf8().size() > param.max)
            return wrongType(param, value);
        out = value;
        return CommandResult::done();
    case CommandParam::Type::Object:
        if (!value.isObject() && !value.isString())
            return wrongType(param, value);
        out = value;
        return CommandResult::done();
    }
    return wrongType(param, value);
}

} // namespace

CommandResult CommandResult::done(QJsonObject data)
{
    CommandResult result;
    result.data = std::move(data);
    return result;
}

CommandResult CommandResult::refused(Status status, const QString &field, const QString &message)
{
    CommandResult result;
    result.status = status;
    result.field = field;
    result.message = message;
    return result;
}

QString CommandResult::statusName(Status status)
{
    switch (status) {
    case Status::Done:
        return QStringLiteral("done");
    case Status::Malformed:
        return QStringLiteral("malformed");
    case Status::UnknownCommand:
        return QStringLiteral("unknown-command");
    case Status::NotFound:
        return QStringLiteral("not-found");
    case Status::Invalid:
        return QStringLiteral("invalid");
    case Status::Refused:
        return QStringLiteral("refused");
    case Status::Unavailable:
        return QStringLiteral("unavailable");
    }
    return QString();
}

QJsonObject CommandResult::toJson() const
{
    if (isDone())
        return {{QStringLiteral("ok"), true}, {QStringLiteral("result"), data}};
    QJsonObject error{{QStringLiteral("kind"), statusName(status)},
                      {QStringLiteral("message"), message}};
    if (!field.isEmpty())
        error.insert(QStringLiteral("field"), field);
    return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
}

QString CommandParam::describeType() const
{
    switch (type) {
    case Type::Integer:
        return QStringLiteral("an integer %1..%2").arg(min).arg(max);
    case Type::Boolean:
        return QStringLiteral("true or false");
    case Type::Choice:
        return QStringLiteral("one of \"%1\" (or 0..%2)")
            .arg(choices.join(QStringLiteral("\", \"")))
            .arg(choices.size() - 1);
    case Type::Address:
        return QStringLiteral("an IPv4 address");
    case Type::Displays:
        return QStringLiteral("a display's name or address, or a list of them");
    case Type::Text:
        return QStringLiteral("text of at most %1 bytes").arg(max);
    case Type::Object:
        return QStringLiteral("a JSON object, or its text");
    }
    return QString();
}

QList<int> CommandArgs::rows(const QString &name) const
{
    QList<int> rows;
    for (const QJsonValue &row : m_values.value(name).toArray())
        rows << row.toInt();
    return rows;
}

Command &Command::onSelected()
{
    takesTargets = true;
    // "to" last: on OSC every string after the parameters names a display.
    m_allParams.push_back(CommandTable::confirmDescription());
    m_allParams.push_back(CommandTable::targetsDescription());
    return *this;
}

CommandResult checkArgs(const Command &command, const QJsonObject &args,
                        const CommandContext &context, QJsonObject &checked)
{
    const std::vector<CommandParam> &params = command.allParams();
    for (auto it = args.begin(); it != args.end(); ++it) {
        const bool known = std::any_of(params.begin(), params.end(),
                                       [&](const CommandParam &p) { return p.name == it.key(); });
        if (!known) {
            QStringList names;
            for (const CommandParam &p : params)
                names << p.name;
            const QString takes = names.isEmpty()
                                      ? QStringLiteral("takes no parameters")
                                      : QStringLiteral("takes ") + names.join(QStringLiteral(", "));
            return CommandResult::refused(CommandResult::Status::Invalid, it.key().left(40),
                                          QStringLiteral("%1: unknown parameter; %2 %3")
                                              .arg(it.key().left(40), command.name, takes));
        }
    }
    for (const CommandParam &param : params) {
        if (!args.contains(param.name)) {
            if (param.required)
                return invalid(param, QStringLiteral("missing (%1)").arg(param.describeType()));
            if (param.hasFallback())
                checked.insert(param.name, param.fallback);
            continue;
        }
        QJsonValue value;
        const CommandResult result = checkValue(param, args.value(param.name), context, value);
        if (!result.isDone())
            return result;
        checked.insert(param.name, value);
    }
    return CommandResult::done();
}
