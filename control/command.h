#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class CommandContext;

// What a command from outside comes to: done, with data for the caller, or refused with the
// reason. Every door maps the status onto its own way of saying it (an HTTP code, an OSC error
// message, an exit status), always with the message, which names the field at fault.
struct CommandResult
{
    enum class Status {
        Done,
        Malformed,      // the request itself could not be read
        UnknownCommand, // no command of that name
        NotFound,       // a display or program the request names does not exist
        Invalid,        // a parameter is missing, unknown, of the wrong type or out of range
        Refused,        // the controller's state does not allow it now
        Unavailable,    // the controller did not answer in time, or is shutting down
    };

    Status status = Status::Done;
    QString field; // the parameter at fault, if one is
    QString message;
    QJsonObject data;

    bool isDone() const { return status == Status::Done; }
    static CommandResult done(QJsonObject data = {});
    static CommandResult refused(Status status, const QString &field, const QString &message);
    static CommandResult refused(const QString &message)
    {
        return refused(Status::Refused, {}, message);
    }
    // {"ok": true, "result": ...} or {"ok": false, "error": {"kind", "field", "message"}}.
    QJsonObject toJson() const;
    static QString statusName(Status status);
};

// One parameter of a command: its name on every door, its type and range, and what it means.
struct CommandParam
{
    enum class Type {
        Integer,  // a whole number within [min, max]
        Boolean,  // true or false
        Choice,   // one of `choices` by name, or its index
        Address,  // an IPv4 address in dotted form: no 0.0.0.0, multicast or reserved
        Displays, // one or more displays by name or address
        Text,     // text of at most `max` UTF-8 bytes
        Object,   // a JSON object, or text, that the handler reads itself (a program file)
    };

    QString name;
    Type type = Type::Integer;
    QString summary;
    int min = 0;
    int max = 0;
    bool required = true;
    QJsonValue fallback; // taken when an optional parameter is left out; null for none
    QStringList choices;

    QString describeType() const;
    // An optional parameter without a value of its own is left out of the checked ones: the
    // table writes "none" as {}, which is null.
    bool hasFallback() const { return !fallback.isUndefined() && !fallback.isNull(); }
};

// The checked parameters of one request: every parameter given or with a default is there, with
// its type as declared (Choice as its index, Displays as a list of rows).
class CommandArgs
{
public:
    explicit CommandArgs(QJsonObject values = {}) : m_values(std::move(values)) {}

    int integer(const QString &name) const { return m_values.value(name).toInt(); }
    bool boolean(const QString &name) const { return m_values.value(name).toBool(); }
    QString text(const QString &name) const { return m_values.value(name).toString(); }
    QJsonValue value(const QString &name) const { return m_values.value(name); }
    bool has(const QString &name) const { return m_values.contains(name); }
    QList<int> rows(const QString &name) const;

private:
    QJsonObject m_values;
};

// One thing that can be done from outside, as data: the doors (HTTP, OSC, the command line) and
// the reference documentation read it; none of them knows a command by name.
struct Command
{
    using Handler = std::function<CommandResult(CommandContext &, const CommandArgs &)>;
    // Why the controller's state does not allow the command now; nothing when it does. Asked
    // before the command selects its targets, so a refused command changes nothing.
    using Check = std::function<QString(const CommandContext &, const CommandArgs &)>;

    Command(QString name, QString summary, std::vector<CommandParam> params, Handler handler)
        : name(std::move(name)), summary(std::move(summary)), params(std::move(params)),
          handler(std::move(handler)), m_allParams(this->params)
    {
    }
    // The command acts on the selected displays, so it also takes "confirm" and "to": the
    // displays to select, alone, before it acts.
    Command &onSelected();
    Command &refusedWhen(Check why)
    {
        check = std::move(why);
        return *this;
    }
    Command &readsOnly()
    {
        readOnly = true;
        return *this;
    }
    // What a request may give: the parameters, then "to" when the command takes targets.
    const std::vector<CommandParam> &allParams() const { return m_allParams; }

    QString name; // "countdown.set": group, dot, action
    QString summary;
    std::vector<CommandParam> params;
    Handler handler;
    Check check;
    bool takesTargets = false;
    // Reads only: nothing is sent and nothing changes.
    bool readOnly = false;

private:
    // Made once: every request through every door reads it.
    std::vector<CommandParam> m_allParams;
};

// Checks a request's parameters against the command's list: unknown names, missing values, wrong
// types and values out of range are refused with the field and what it takes; displays named by
// name or address must be listed. On success `checked` holds every parameter.
CommandResult checkArgs(const Command &command, const QJsonObject &args,
                        const CommandContext &context, QJsonObject &checked);
