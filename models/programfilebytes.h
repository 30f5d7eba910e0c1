#pragma once

#include <QByteArray>
#include <QString>

// A program file's bytes before they are read as JSON: how many a file may have, and that they
// are UTF-8 text. qb-timerctl checks a file with these before it sends it, and the controller
// when it reads one, so that neither takes a file the other would refuse.
namespace ProgramFileBytes {

// Six times the longest file the controller writes (nine colour lines with RGB values and an
// end line, about 1.3 KiB): room for any indentation a person or a tool gives it. Sent as a JSON
// string, a file this long still fits the HTTP door's 64 KiB body whatever it escapes.
constexpr int kMaxBytes = 8 * 1024;

// Why the bytes cannot be a program file: more than kMaxBytes (a reader may stop one past), or
// not UTF-8, naming the field that
// holds the first byte at fault ("line 3: command: not UTF-8 (byte 120)"). Empty when they may be
// read.
QString fault(const QByteArray &file);

} // namespace ProgramFileBytes
