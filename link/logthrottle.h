#pragma once

#include <QtGlobal>
#include <limits>
#include <optional>

// Lets a line that a flood could repeat thousands of times a second through at most once per
// period, with the number of occurrences it stands for.
class LogThrottle
{
public:
    explicit LogThrottle(qint64 periodMs = 1000) : m_periodMs(periodMs) {}

    // Counts one occurrence at nowMs; when a line is due, gives the occurrences since the last.
    std::optional<qint64> count(qint64 nowMs)
    {
        ++m_pending;
        if (nowMs - m_lastLineMs < m_periodMs)
            return std::nullopt;
        m_lastLineMs = nowMs;
        const qint64 occurrences = m_pending;
        m_pending = 0;
        return occurrences;
    }

private:
    qint64 m_periodMs;
    qint64 m_lastLineMs = std::numeric_limits<qint64>::min() / 2;
    qint64 m_pending = 0;
};
