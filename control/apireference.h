#pragma once

#include <QJsonObject>
#include <QString>

// The reference of the doors from outside, written from the command table: the one place a
// command is described.
namespace ApiReference {

// Every command with its summary and parameters, as GET /api/v1/commands gives it.
QJsonObject tableJson();
// The whole reference in Markdown, as `qb-timer --api-reference` prints it.
QString markdown();

} // namespace ApiReference
