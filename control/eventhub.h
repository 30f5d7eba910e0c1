#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// Hands the state's changes from the controller's thread to the doors' threads: each subscriber
// (an event-stream connection, the OSC door) has a queue of its own, bounded; one that falls
// behind loses its queue and is told so, and then reads a fresh snapshot instead of the history.
// Thread-safe.
class EventHub
{
public:
    static constexpr size_t kQueueLimit = 256;

    struct Event
    {
        QByteArray kind; // "mirror", "displays", ...
        QByteArray json; // the change, compact
    };

    class Subscriber
    {
    public:
        struct Batch
        {
            std::vector<Event> events; // oldest first
            bool lost = false;         // events were dropped since the last batch
            bool closed = false;       // the hub is closing: no more events will come
        };
        // Waits at most `timeout` for events and takes those waiting.
        Batch wait(std::chrono::milliseconds timeout);

    private:
        friend class EventHub;
        void push(const Event &event);
        void close();

        std::mutex m_mutex;
        std::condition_variable m_ready;
        std::deque<Event> m_events;
        bool m_lost = false;
        bool m_closed = false;
    };

    explicit EventHub(size_t maxSubscribers) : m_maxSubscribers(maxSubscribers) {}

    // A new subscriber, or null when there are as many as allowed. It stops receiving once the
    // last reference to it is gone.
    std::shared_ptr<Subscriber> subscribe();
    void publish(const QString &kind, const QJsonObject &data);
    // Wakes every subscriber for the last time; later subscriptions are refused.
    void close();
    size_t subscriberCount();

private:
    void prune();

    std::mutex m_mutex;
    std::vector<std::weak_ptr<Subscriber>> m_subscribers;
    size_t m_maxSubscribers;
    bool m_closed = false;
};
