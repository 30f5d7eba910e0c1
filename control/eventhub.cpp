#include "control/eventhub.h"

#include <QJsonDocument>

struct EventHub::Log
{
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Event> events; // the newest kQueueLimit, the last one numbered next - 1
    quint64 next = 0;
    size_t subscribers = 0;
    bool closed = false;
};

EventHub::EventHub(size_t maxSubscribers)
    : m_log(std::make_shared<Log>()), m_maxSubscribers(maxSubscribers)
{
}

EventHub::Subscriber::Subscriber(std::shared_ptr<Log> log) : m_log(std::move(log))
{
    m_next = m_log->next;
}

EventHub::Subscriber::~Subscriber()
{
    const std::lock_guard<std::mutex> lock(m_log->mutex);
    --m_log->subscribers;
}

EventHub::Subscriber::Batch EventHub::Subscriber::wait(std::chrono::milliseconds timeout)
{
    Log &log = *m_log;
    std::unique_lock<std::mutex> lock(log.mutex);
    log.ready.wait_for(lock, timeout, [&] { return m_next != log.next || log.closed; });
    Batch batch;
    batch.closed = log.closed;
    const quint64 first = log.next - log.events.size();
    if (m_next < first) {
        batch.lost = true;
        m_next = log.next;
        return batch;
    }
    batch.events.assign(log.events.begin() + int(m_next - first), log.events.end());
    m_next = log.next;
    return batch;
}

std::shared_ptr<EventHub::Subscriber> EventHub::subscribe()
{
    {
        const std::lock_guard<std::mutex> lock(m_log->mutex);
        if (m_log->closed || m_log->subscribers >= m_maxSubscribers)
            return nullptr;
        ++m_log->subscribers;
    }
    return std::make_shared<Subscriber>(m_log);
}

void EventHub::publish(const QString &kind, const QJsonObject &data)
{
    Event event{kind.toUtf8(), QJsonDocument(data).toJson(QJsonDocument::Compact)};
    {
        const std::lock_guard<std::mutex> lock(m_log->mutex);
        m_log->events.push_back(std::move(event));
        if (m_log->events.size() > kQueueLimit)
            m_log->events.pop_front();
        ++m_log->next;
    }
    m_log->ready.notify_all();
}

void EventHub::close()
{
    {
        const std::lock_guard<std::mutex> lock(m_log->mutex);
        m_log->closed = true;
    }
    m_log->ready.notify_all();
}

size_t EventHub::subscriberCount()
{
    const std::lock_guard<std::mutex> lock(m_log->mutex);
    return m_log->subscribers;
}
