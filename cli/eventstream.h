#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Server-Sent Events as they arrive, in pieces of any size: whole events out. Comments (the
// stream's keep-alive) and the retry field are dropped.
class EventStream
{
public:
    struct Event
    {
        QString kind;
        QByteArray data;
    };

    std::vector<Event> feed(const char *bytes, size_t size);

private:
    QByteArray m_pending;
};
