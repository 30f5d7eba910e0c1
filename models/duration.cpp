#include "models/duration.h"

#include <QRegularExpression>

const char Duration::kForms[] = "90, 1:30, 1m30s, 2d4h or 2d 04:00:00";

namespace {

// Days first, then a clock: seconds, m:ss or h:mm:ss, the first number as large as it likes.
std::optional<qint64> clockForm(const QString &text)
{
    static const QRegularExpression clock(
        QStringLiteral("^(?:([0-9]{1,5})d\\s*)?([0-9]{1,9})(?::([0-5][0-9]))?(?::([0-5][0-9]))?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = clock.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    qint64 seconds = 0;
    for (int part = 2; part <= m.lastCapturedIndex(); ++part)
        seconds = seconds * 60 + m.captured(part).toLongLong();
    return m.captured(1).toLongLong() * 86400 + seconds;
}

// Units in the order d, h, m, s, each one optional; the lookahead keeps a bare number out.
std::optional<qint64> unitForm(const QString &text)
{
    static const QRegularExpression units(
        QStringLiteral("^(?=[0-9])(?:([0-9]{1,5})d)?\\s*(?:([0-9]{1,9})h)?\\s*"
                       "(?:([0-9]{1,9})m)?\\s*(?:([0-9]{1,9})s)?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = units.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toLongLong() * 86400 + m.captured(2).toLongLong() * 3600 +
           m.captured(3).toLongLong() * 60 + m.captured(4).toLongLong();
}

} // namespace

namespace Duration {

std::optional<qint64> seconds(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (const std::optional<qint64> clock = clockForm(trimmed))
        return clock;
    return unitForm(trimmed);
}

std::optional<qint64> signedSeconds(const QString &text)
{
    const QString trimmed = text.trimmed();
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    const bool sign = negative || trimmed.startsWith(QLatin1Char('+'));
    const std::optional<qint64> magnitude = seconds(sign ? trimmed.mid(1) : trimmed);
    if (!magnitude)
        return std::nullopt;
    return negative ? -*magnitude : *magnitude;
}

Parts split(qint64 seconds)
{
    return {seconds / 86400, int(seconds / 3600 % 24), int(seconds / 60 % 60), int(seconds % 60)};
}

} // namespace Duration
