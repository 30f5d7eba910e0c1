#pragma once

#include <QHostAddress>
#include <deque>
#include <vector>

// How many answers the OSC door sends each host: a source address is forged as easily as any
// other, so an answer larger than its question must not go out at the pace questions come in. At
// most kPerHost answers to a host in any second, to at most kMaxHosts hosts in that second; the
// rest are not sent. The clock is the caller's.
class OscReplyPace
{
public:
    static constexpr int kPerHost = 20;
    static constexpr int kMaxHosts = 64;

    // Whether `host` may be answered now, without counting an answer.
    bool allows(const QHostAddress &host, qint64 nowMs);
    // Counts an answer sent to `host`, which allows() allowed just before.
    void count(const QHostAddress &host, qint64 nowMs);

private:
    struct Host
    {
        QHostAddress address;
        std::deque<qint64> sentMs; // the last kPerHost answers
    };

    // The host's place, made when there is room; end() when there is none.
    std::vector<Host>::iterator placeOf(const QHostAddress &host, qint64 nowMs);

    std::vector<Host> m_hosts;
};
