#pragma once

#include <QHash>
#include <QUdpSocket>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// Milliseconds on one monotonic clock shared by every thread of a test.
qint64 linkClockMs();

class QSignalSpy;

// What the controller handed to the link for an immediate send, one "address hex" per packet,
// from a spy on UDPCommThread::UDPTx.
QStringList sentPackets(const QSignalSpy &udpTx);

// The display addresses in the controller's settings store, as a restart would load them.
QStringList storedDisplayList();

// A 40-byte status reply as a display would send it.
QByteArray statusReply(const QString &address, const QString &name, int hours, int minutes,
                       int seconds, int hundredths, int statusWord, int days = 0, int subFormat = 0,
                       int typeCode = 1);

// A display stand-in on one loopback address, port 7372, living in the test's thread. It keeps
// every datagram with its arrival time and answers through an optional rule.
class ScriptedDisplay : public QObject
{
    Q_OBJECT
public:
    struct Receipt
    {
        qint64 ms;
        QByteArray payload;
    };
    // Given a packet and how often it has now arrived (1 the first time), what to send back.
    using AnswerRule = std::function<std::optional<QByteArray>(const QByteArray &, int)>;

    explicit ScriptedDisplay(const QString &address, AnswerRule rule = {});

    const QList<Receipt> &received() const { return m_received; }
    QList<QByteArray> payloads() const;
    // Sends from this display's address to the link's socket on 127.0.0.1:7372.
    void reply(const QByteArray &payload);

private:
    void readPending();

    AnswerRule m_rule;
    QUdpSocket m_socket;
    QList<Receipt> m_received;
    QHash<QByteArray, int> m_timesSeen;
};

// Records the link's log lines (category qb.link) from every thread while it exists.
class LinkLog
{
public:
    struct Line
    {
        qint64 ms;
        QString text;
    };

    Q_DISABLE_COPY(LinkLog)
    LinkLog();
    ~LinkLog();

    // Lines that start with the prefix, oldest first.
    std::vector<Line> matching(const QString &prefix) const;
    int count(const QString &prefix) const { return static_cast<int>(matching(prefix).size()); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &text);

    mutable std::mutex m_mutex;
    std::vector<Line> m_lines;
    QtMessageHandler m_previous;
};
