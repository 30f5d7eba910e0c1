#pragma once

#include "models/programcodec.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// A program as a file a person can read, keep and share: JSON with the lines' fields by name
// (docs/program-files.md, docs/program.schema.json). Pure functions: the caller reads and writes
// the files and decides where an imported program goes.
namespace ProgramFile {

extern const char kFormat[]; // the value of "format"
constexpr int kVersion = 1;
// The wire's name field holds 11 bytes and a closing NUL.
constexpr int kNameBytes = 11;

struct Imported
{
    QString error; // empty when the file was taken; when not, nothing else is set
    QString name;
    bool named = false; // false for bare program text, which carries no name
    ProgramText text;

    bool ok() const { return error.isEmpty(); }
};

// The name is cut to what a display holds, as an upload would cut it.
QJsonObject toJson(const QString &name, const ProgramText &text);
// The same object, its keys in reading order and one program line a row.
QByteArray exportProgram(const QString &name, const ProgramText &text);

// Takes a program file or bare program text (the stored hex digits), checked as the program
// editor checks a program; a refusal names the line (1-based) and the field at fault.
Imported importProgram(const QByteArray &file);
Imported importProgram(const QJsonObject &object);

} // namespace ProgramFile
