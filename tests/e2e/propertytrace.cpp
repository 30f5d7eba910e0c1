#include "propertytrace.h"

#include <QDateTime>

PropertyTrace::PropertyTrace(QObject *object, const QString &property)
    : m_property(object, property)
{
    m_property.connectNotifySignal(this, SLOT(record()));
}

void PropertyTrace::record()
{
    m_samples.append({m_property.read(), QDateTime::currentMSecsSinceEpoch()});
}

const PropertyTrace::Sample *PropertyTrace::lastAt(qint64 wallMs) const
{
    const Sample *last = nullptr;
    for (const Sample &sample : m_samples) {
        if (sample.wallMs > wallMs)
            break;
        last = &sample;
    }
    return last;
}
