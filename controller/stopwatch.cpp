#include "controller/stopwatch.h"

#include <QElapsedTimer>
#include <memory>

TimeSource steadyTimeSource()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}

Stopwatch::Stopwatch(TimeSource source) : m_source(std::move(source)) {}

void Stopwatch::restart()
{
    m_start = m_source();
    m_started = true;
}

quint32 Stopwatch::elapsedMs() const
{
    return m_started ? static_cast<quint32>(m_source() - m_start) : 0u;
}

qint32 Stopwatch::difference(quint32 later, quint32 earlier)
{
    const quint32 diff = later - earlier;
    return diff <= 0x7FFFFFFFu ? static_cast<qint32>(diff)
                               : -static_cast<qint32>(0xFFFFFFFFu - diff) - 1;
}
