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

// Why a name cannot be a program's, or empty: at most kNameBytes of UTF-8, no control
// characters. Program files and renaming a program keep to this one rule.
QString nameFault(const QString &name);

// Every field the program editor offers for the line's command, flags and zeros too, by the
// file's names and in its forms: the line as a program's lines are shown.
QJsonObject shownLine(const ProgramLine &line);

// The name is cut to what a display holds, as an upload would cut it.
QJsonObject toJson(const QString &name, const ProgramText &text);
// The same object, its keys in reading order and one program line a row.
QByteArray exportProgram(const QString &name, const ProgramText &text);

// Takes a program file or bare program text (the stored hex digits), checked as the program
// editor checks a program; a refusal names the line (1-based) and the field at fault. The bytes
// are refused first when ProgramFileBytes::fault finds fault with them.
Imported importProgram(const QByteArray &file);
Imported importProgram(const QJsonObject &object);

} // namespace ProgramFile
