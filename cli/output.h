#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Results as a person reads them. Names and texts from displays and files are printed with
// control characters replaced, so that they cannot move the terminal's cursor or colour it.
namespace Output {

void print(const QString &text);    // to stdout, as it is, plus a new line
void complain(const QString &text); // to stderr, after the program's name

// An outcome the controller did not answer with JSON of its own, as one line of JSON shaped as
// its refusals are: {"ok": false, "error": {"kind", "message"}}.
QString errorJson(const QString &kind, const QString &message);
// The displays a confirmed command's result says missed it: "NAME (ADDRESS) missed COMMAND".
QStringList missed(const QJsonObject &result);

void displays(const QJsonObject &result); // displays.list
void programs(const QJsonObject &result); // program.list
void program(const QJsonObject &result);  // program.show
void state(const QJsonObject &result);    // state
void imported(const QJsonObject &result); // program.import
void link(const QJsonObject &result);     // setup.link

// The mirror's text and mode, then the Start/Pause captions, on one line: what watch shows.
QString mirrorLine(const QJsonObject &mirror, const QJsonObject &captions);

} // namespace Output
