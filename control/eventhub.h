#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QtGlobal>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// Hands the state's changes from the controller's thread to the doors' threads. The changes go
// into one bounded log that every subscriber (an event-stream connection, the OSC door) reads
// from its own place, so publishing costs the controller the same however many subscribers
// there are. A subscriber that falls behind the log's start loses what it missed and is told so;
// it then reads a fresh snapshot instead of the history. Thread-safe.
class EventHub
{
    struct Log;

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
        explicit Subscriber(std::shared_ptr<Log> log);
        ~Subscriber();
        // Waits at most `timeout` for events and takes those waiting.
        Batch wait(std::chrono::milliseconds timeout);

    private:
        std::shared_ptr<Log> m_log;
        quint64 m_next; // the sequence number of the next event to read
    };

    explicit EventHub(size_t maxSubscribers);

    // A new subscriber, or null when there are as many as allowed. It stops receiving once the
    // last reference to it is gone.
    std::shared_ptr<Subscriber> subscribe();
    void publish(const QString &kind, const QJsonObject &data);
    // Wakes every subscriber for the last time; later subscriptions are refused.
    void close();
    size_t subscriberCount();

private:
    std::shared_ptr<Log> m_log;
    size_t m_maxSubscribers;
};
