#include "control/eventhub.h"

#include <QJsonDocument>

EventHub::Subscriber::Batch EventHub::Subscriber::wait(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ready.wait_for(lock, timeout, [this] { return !m_events.empty() || m_lost || m_closed; });
    Batch batch;
    batch.events.assign(m_events.begin(), m_events.end());
    m_events.clear();
    batch.lost = m_lost;
    batch.closed = m_closed;
    m_lost = false;
    return batch;
}

void EventHub::Subscriber::push(const Event &event)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_events.size() >= kQueueLimit) {
            m_events.clear();
            m_lost = true;
        } else {
            m_events.push_back(event);
        }
    }
    m_ready.notify_one();
}

void EventHub::Subscriber::close()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    m_ready.notify_all();
}

std::shared_ptr<EventHub::Subscriber> EventHub::subscribe()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    prune();
    if (m_closed || m_subscribers.size() >= m_maxSubscribers)
        return nullptr;
    auto subscriber = std::make_shared<Subscriber>();
    m_subscribers.push_back(subscriber);
    return subscriber;
}

void EventHub::publish(const QString &kind, const QJsonObject &data)
{
    const Event event{kind.toUtf8(), QJsonDocument(data).toJson(QJsonDocument::Compact)};
    const std::lock_guard<std::mutex> lock(m_mutex);
    prune();
    for (const std::weak_ptr<Subscriber> &weak : m_subscribers) {
        if (const std::shared_ptr<Subscriber> subscriber = weak.lock())
            subscriber->push(event);
    }
}

void EventHub::close()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    for (const std::weak_ptr<Subscriber> &weak : m_subscribers) {
        if (const std::shared_ptr<Subscriber> subscriber = weak.lock())
            subscriber->close();
    }
}

size_t EventHub::subscriberCount()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    prune();
    return m_subscribers.size();
}

void EventHub::prune()
{
    m_subscribers.erase(
        std::remove_if(m_subscribers.begin(), m_subscribers.end(),
                       [](const std::weak_ptr<Subscriber> &weak) { return weak.expired(); }),
        m_subscribers.end());
}
