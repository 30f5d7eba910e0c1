#pragma once

#include <QtGlobal>
#include <functional>

// Monotonic milliseconds. Injectable so tests can run the clocks across the 32-bit wrap.
using TimeSource = std::function<qint64()>;
TimeSource steadyTimeSource();

// Like QElapsedTimer, but on an injectable time source, with readings as unsigned 32-bit
// milliseconds: differences of two readings are right modulo 2^32, so a controller that runs
// for weeks keeps counting across the wrap without signed overflow. A stopwatch that was never
// started reads 0.
class Stopwatch
{
public:
    explicit Stopwatch(TimeSource source);
    void restart();
    quint32 elapsedMs() const;

    // The signed difference of two readings, later minus earlier.
    static qint32 difference(quint32 later, quint32 earlier);

private:
    TimeSource m_source;
    qint64 m_start = 0;
    bool m_started = false;
};
