#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>
#include <optional>
#include <vector>

class TimerDataModel;

// Every packet the link queues to a display ends in one of two ways: answered, or missed once
// its resends ran out. This unit attributes each end to the display it went to (its row's last
// answer and last miss), tells which status replies speak of a display as it is now, and lets a
// caller wait for the end of every packet one command sent.
class Deliveries : public QObject
{
    Q_OBJECT
public:
    // Milliseconds since the epoch, as rows show them.
    using WallClock = std::function<qint64()>;
    // A confirmation waits as long as the link takes to give up on a packet, and never longer
    // than this.
    static constexpr int kMaxWaitMs = 5000;

    // Per display, what became of the packets one command sent it.
    struct Outcome
    {
        QStringList acknowledged;                        // addresses, in the order sent
        std::vector<std::pair<QString, QString>> missed; // address, first command it missed
        QStringList pending;                             // no end within kMaxWaitMs
    };

    using Done = std::function<void(const Outcome &)>;

    explicit Deliveries(TimerDataModel &timers, WallClock clock = {}, QObject *parent = nullptr);
    ~Deliveries() override;

    // The link's resends: a packet is given up retries + 1 sends, delayMs apart, after its first.
    void setLinkTiming(int retries, int delayMs);
    int maxWaitMs() const { return m_maxWaitMs; }

    // A packet the link queued (id from the link) to addr.
    void noteSent(quint64 id, const QString &addr, const QByteArray &packet);
    // The link's report of how a packet ended.
    void packetEnded(quint64 id, const QString &addr, const QString &command, bool answered);
    // A status reply from addr, answered packet or not (a reply to a broadcast query).
    void noteStatusReply(const QString &addr);
    // Whether the status reply from addr that follows a packetEnded answers a status query sent
    // after the last command to addr: only then does it tell how the display is now, not how
    // it was before that command reached it. Asked once per reply.
    bool takeCurrentStatus(const QString &addr);

    // The packets sent from openWatch() to closeWatch() are watched: done is called once, on
    // this thread, when each has ended or maxWaitMs() have passed; at once when nothing was sent.
    void openWatch();
    void closeWatch(Done done);

signals:
    // A listed display missed a command or query: its resends ran out.
    void missed(const QString &addr, const QString &command, qint64 atMs);
    // A display that had missed one answered again: its row's clock wants refreshing.
    void answeredAgain(const QString &addr);

private:
    struct Packet
    {
        quint64 id;
        QString addr;
        QString command;
        enum class End { Open, Answered, Missed } end = End::Open;
    };
    struct Watch
    {
        std::vector<Packet> packets;
        int open = 0;
        Done done;
        QTimer *deadline = nullptr;
    };
    void noteAnswer(const QString &addr);
    void endWatched(quint64 id, bool answered);
    void finish(quint64 watch);
    static Outcome outcome(const Watch &watch);

    TimerDataModel &m_timers;
    WallClock m_clock;
    int m_maxWaitMs = kMaxWaitMs;
    QHash<QString, quint64> m_lastCommand; // per address, the last packet that changed its state
    QString m_currentStatusFrom;
    std::optional<Watch> m_open;
    quint64 m_lastWatch = 0;
    std::map<quint64, Watch> m_watches; // closed and waiting for their packets
    QHash<quint64, quint64> m_watchOf;  // packet id to its watch
};
