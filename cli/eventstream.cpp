#include "eventstream.h"

#include <QList>

namespace {

EventStream::Event parse(const QByteArray &block)
{
    EventStream::Event event;
    for (const QByteArray &line : block.split('\n')) {
        if (line.startsWith("event:"))
            event.kind = QString::fromUtf8(line.mid(6).trimmed());
        else if (line.startsWith("data:"))
            event.data += (event.data.isEmpty() ? QByteArray() : "\n") + line.mid(5).trimmed();
    }
    if (event.kind.isEmpty() && !event.data.isEmpty())
        event.kind = QStringLiteral("message");
    return event;
}

} // namespace

std::vector<EventStream::Event> EventStream::feed(const char *bytes, size_t size)
{
    m_pending.append(bytes, int(size));
    std::vector<Event> events;
    for (int end = m_pending.indexOf("\n\n"); end >= 0; end = m_pending.indexOf("\n\n")) {
        const Event event = parse(m_pending.left(end));
        m_pending.remove(0, end + 2);
        if (!event.data.isEmpty())
            events.push_back(event);
    }
    return events;
}
