#include "control/apireference.h"

#include "control/commandtable.h"
#include "control/httpapi.h"
#include "control/oscaddress.h"
#include "control/oscfeedback.h"
#include "control/oscserver.h"

#include <QJsonArray>

namespace {

QString typeName(CommandParam::Type type)
{
    switch (type) {
    case CommandParam::Type::Integer:
        return QStringLiteral("integer");
    case CommandParam::Type::Boolean:
        return QStringLiteral("boolean");
    case CommandParam::Type::Choice:
        return QStringLiteral("choice");
    case CommandParam::Type::Address:
        return QStringLiteral("address");
    case CommandParam::Type::Displays:
        return QStringLiteral("displays");
    case CommandParam::Type::Text:
        return QStringLiteral("text");
    case CommandParam::Type::Object:
        return QStringLiteral("object");
    }
    return QString();
}

QJsonObject paramJson(const CommandParam &param)
{
    QJsonObject json{{QStringLiteral("name"), param.name},
                     {QStringLiteral("type"), typeName(param.type)},
                     {QStringLiteral("summary"), param.summary},
                     {QStringLiteral("required"), param.required}};
    if (param.type == CommandParam::Type::Integer) {
        json.insert(QStringLiteral("min"), param.min);
        json.insert(QStringLiteral("max"), param.max);
    }
    if (param.type == CommandParam::Type::Text)
        json.insert(QStringLiteral("maxBytes"), param.max);
    if (!param.choices.isEmpty())
        json.insert(QStringLiteral("choices"), QJsonArray::fromStringList(param.choices));
    if (param.hasFallback())
        json.insert(QStringLiteral("default"), param.fallback);
    return json;
}

QString fallbackText(const CommandParam &param)
{
    if (param.required)
        return QStringLiteral("required");
    if (!param.hasFallback())
        return QStringLiteral("optional");
    if (param.type == CommandParam::Type::Choice)
        return QStringLiteral("default \"%1\"").arg(param.choices.value(param.fallback.toInt()));
    if (param.fallback.isBool())
        return param.fallback.toBool() ? QStringLiteral("default true")
                                       : QStringLiteral("default false");
    return QStringLiteral("default %1").arg(param.fallback.toInt());
}

QString exampleBody(const Command &command)
{
    QStringList fields;
    for (const CommandParam &param : command.params) {
        if (!param.required)
            continue;
        switch (param.type) {
        case CommandParam::Type::Integer:
            fields << QStringLiteral("\"%1\": %2").arg(param.name).arg(param.min);
            break;
        case CommandParam::Type::Address:
            fields << QStringLiteral("\"%1\": \"192.168.1.50\"").arg(param.name);
            break;
        case CommandParam::Type::Displays:
            fields << QStringLiteral("\"%1\": [\"Hall\", \"192.168.1.51\"]").arg(param.name);
            break;
        default:
            fields << QStringLiteral("\"%1\": ...").arg(param.name);
            break;
        }
    }
    return QStringLiteral("{") + fields.join(QStringLiteral(", ")) + QStringLiteral("}");
}

const char kIntroduction[] = R"(# QB-Timer remote control reference

Written from the command table by `qb-timer --api-reference`; do not edit by hand.

Every command below can be sent from outside to a running `qb-timer` (with its window, when
started with `--api-listen` or `--osc-listen`, or `qb-timer --headless`). A command from outside
does what the window's button does, through the same controller.

## HTTP

- Listens on `127.0.0.1:%1` by default (`--api-listen ADDR:PORT`). Beyond loopback every request
  but the page's own files needs `Authorization: Bearer TOKEN`; `qb-timer --api-token` shows the
  token.
- `GET /api/v1/state`: the whole state (displays, mirror, captions, open program, presets,
  whether the displays' port is held by another program).
- `GET /api/v1/commands`: this table as JSON.
- `POST /api/v1/commands/NAME` with `Content-Type: application/json` and a JSON object of
  parameters (an empty body is `{}`): `{"ok": true, "result": {...}}`, or
  `{"ok": false, "error": {"kind", "field", "message"}}`.
- Beyond loopback the viewer token (`qb-timer --viewer-token`) may be sent instead of the token:
  it reads `GET /api/v1/state` and `GET /api/v1/events`, and is refused (403) anything else.
- A command may carry `X-QB-Deadline: MS`, a time on the server's clock, which the event stream's
  response tells in `X-QB-Clock`; read after then, it is refused (409 `late`) and not carried out.
- `GET /api/v1/events`: Server-Sent Events. First `state` (the whole state), then one event per
  change: `mirror` (at most ten a second), `captions`, `displays` (shown times at most once a
  second), `program`, `link`; `state` again whenever the client fell behind. A stream that
  cannot have the state while the controller is busy ends, and the client comes back. A stream
  with nothing to tell says so every second (a comment line), so a second of silence or more
  means the link is in trouble.

| Status | Kind | When |
|---|---|---|
| 200 | | done |
| 400 | `malformed` | the body is not a JSON object; an HTTP/1.1 request without one `Host`, two different `Content-Length`s |
| 401 | `unauthorized` | token missing or wrong |
| 403 | `forbidden` | the `Host` header names another server |
| 403 | `forbidden` | the viewer token sent for anything but the state and the events |
| 404 | `unknown-command`, `not-found` | no such command; a display or program that is not there |
| 409 | `refused` | the state does not allow it now (start at zero, adjust below zero) |
| 409 | `late` | read after its `X-QB-Deadline` |
| 413 | `malformed` | body over 64 KiB, chunked or not |
| 415 | `malformed` | not `application/json` |
| 422 | `invalid` | a parameter missing, unknown, of the wrong type or out of range |
| 431 | `malformed` | request line and headers over 16 KiB |
| 503 | `unavailable` | too many connections (128, or 16 from one address) or event streams, or the controller is busy |

## OSC

- Listens on UDP `127.0.0.1:%2` in headless mode, and with the window when started with
  `--osc-listen ADDR:PORT` (or `remote/oscListen` in the store). Beyond loopback it needs
  `--osc-allow NETWORK` (repeatable, or `remote/oscAllow`): datagrams from other sources are
  dropped unanswered and counted; loopback is always allowed. An IPv4-mapped entry
  (`::ffff:192.168.1.0/120`) stands for its IPv4 network; host bits set in an entry are warned of.
- Each command's address is `/qb/` and its name with `/` for `.`: `countdown.set` is
  `/qb/countdown/set`. Arguments are its parameters in the order listed below; trailing optional
  ones may be left out. Commands that act on displays take display names or addresses as
  further strings after all their parameters (the `to` list).
- An integer may also be a float with a whole value (`60.0`) or a string of digits (`"60"`); a
  boolean `T` or `F`, `0` or `1`, `"true"` or `"false"`; a choice its name or its number.
- A message that cannot be read, an unknown address, a wrong argument and a refusal are answered
  to the sender's address and port with `/qb/error ,s` and a text naming the argument at fault;
  nothing changes. A command that reads is answered with `/qb/result ,ss` (its name, its result
  as JSON). Bundles are not taken. Each host is answered at most 20 times in any second; further
  answers are not sent (nor are reading commands beyond them run). `/qb/error`, `/qb/result`,
  the feedback below and anything from the door's own address and port are never answered.
- `/qb/subscribe ,i PORT` asks for the changes at PORT on the sender's host (0: the sender's own
  port; the port is needed, and the door's own is refused), which is told the whole state at
  once (past ten messages, as the pace below allows); so is a renewal. Strings after the port ask
  for some kinds of change only: `mirror`, `captions`, `step`, `displays`, `missed`
  (`/qb/subscribe ,is 9100 mirror` for a surface that shows the last message it got). Renew it at
  least once a minute: a subscription lapses %3 s after its last `/qb/subscribe`.
  `/qb/unsubscribe ,i PORT` ends it. At most %4 subscribers, 4 of them from one host;
  `remote/oscFeedback` in the store lists `host:port` targets told always.
- Feedback, each part when it changes, one message a datagram, at most ten messages in any second
  to each target (a part that changed again meanwhile is told once, with its latest value; the
  part waiting longest goes first): `/qb/mirror ,sss` text, counting (`up`, `down`, `none`), mode
  (`clock`, `countup`, `countdown`, `program`, `none`); `/qb/captions ,sss` the count-up,
  count-down and program Start/Pause captions (`Start` or `Pause`); `/qb/program/step ,i` the
  running program step (0 for none); `/qb/displays ,i` the number of listed displays; and
  `/qb/display ,ssiss` address, name, selected (1 or 0), shown time and health (`ok`, or
  `missed` while its last command went unanswered) of each of the first %5 listed displays whose
  address, name, selection or health changed (not for the time alone). `/qb/missed ,sss`
  address, name and command, once for each command a display did not acknowledge.

Programs are numbered 1 to 10 and presets 1 to 8, as the window shows them. Commands that act on
displays act on the selected ones; `to` (a name, an address, or a list of them) selects exactly
those first. With no display selected they are refused.

## Command line

`qb-timerctl` sends every command below over HTTP from a shell or a script, in words an operator
uses: `qb-timerctl countdown set 5:00 --to Hall`, `qb-timerctl program export 3 circuit.json`.
`qb-timerctl --help`, the help of each subcommand and its man page list them.
)";

} // namespace

namespace ApiReference {

QJsonObject tableJson()
{
    QJsonArray commands;
    for (const Command &command : CommandTable::commands()) {
        QJsonArray params;
        for (const CommandParam &param : command.allParams())
            params.append(paramJson(param));
        commands.append(QJsonObject{{QStringLiteral("name"), command.name},
                                    {QStringLiteral("summary"), command.summary},
                                    {QStringLiteral("readOnly"), command.readOnly},
                                    {QStringLiteral("params"), params}});
    }
    return {{QStringLiteral("commands"), commands}};
}

QString markdown()
{
    QString out = QString::fromUtf8(kIntroduction)
                      .arg(HttpApi::kDefaultPort)
                      .arg(OscServer::kDefaultPort)
                      .arg(OscFeedback::kLifetimeMs / 1000)
                      .arg(OscFeedback::kMaxSubscribers)
                      .arg(OscFeedback::kMaxDisplays);
    QString group;
    for (const Command &command : CommandTable::commands()) {
        const QString commandGroup = command.name.section(QLatin1Char('.'), 0, 0);
        if (commandGroup != group) {
            group = commandGroup;
            out += QStringLiteral("\n## %1\n").arg(group);
        }
        out += QStringLiteral("\n### `%1`\n\n%2\n\n").arg(command.name, command.summary);
        out += QStringLiteral("- HTTP: `POST /api/v1/commands/%1` `%2`\n")
                   .arg(command.name, exampleBody(command));
        const QString oscArgs = OscAddress::signature(command);
        out += QStringLiteral("- OSC: `%1`%2\n")
                   .arg(OscAddress::pathOf(command.name),
                        oscArgs.isEmpty() ? QString() : QStringLiteral(" `%1`").arg(oscArgs));
        const std::vector<CommandParam> &params = command.allParams();
        if (params.empty())
            continue;
        out += QStringLiteral("\n| Parameter | Type | | Meaning |\n|---|---|---|---|\n");
        for (const CommandParam &param : params)
            out += QStringLiteral("| `%1` | %2 | %3 | %4 |\n")
                       .arg(param.name, param.describeType(), fallbackText(param), param.summary);
    }
    return out;
}

} // namespace ApiReference
