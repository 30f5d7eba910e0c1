#pragma once

#include <QString>
#include <optional>

// Durations as an operator types them on the command line or writes them in a program file, in
// whole seconds: "90" (seconds), "1:30" (m:ss), "04:00:00" (h:mm:ss), "1m30s", "2d4h", "2d
// 04:00:00".
namespace Duration {

// The forms above, for messages.
extern const char kForms[];

std::optional<qint64> seconds(const QString &text);
// The same with an optional sign in front: "+60", "-1m".
std::optional<qint64> signedSeconds(const QString &text);

struct Parts
{
    qint64 days;
    int hours;
    int minutes;
    int seconds;
};
Parts split(qint64 seconds);

} // namespace Duration
