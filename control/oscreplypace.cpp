#include "control/oscreplypace.h"

#include <algorithm>

bool OscReplyPace::allows(const QHostAddress &host, qint64 nowMs)
{
    const auto place = placeOf(host, nowMs);
    return place != m_hosts.end() && int(place->sentMs.size()) < kPerHost;
}

void OscReplyPace::count(const QHostAddress &host, qint64 nowMs)
{
    const auto place = placeOf(host, nowMs);
    if (place != m_hosts.end())
        place->sentMs.push_back(nowMs);
}

std::vector<OscReplyPace::Host>::iterator OscReplyPace::placeOf(const QHostAddress &host,
                                                                qint64 nowMs)
{
    // On a clock of whole milliseconds, more than 1000 ms apart is at least a second of real time.
    for (Host &known : m_hosts) {
        while (!known.sentMs.empty() && nowMs - known.sentMs.front() > 1000)
            known.sentMs.pop_front();
    }
    m_hosts.erase(std::remove_if(m_hosts.begin(), m_hosts.end(),
                                 [&host](const Host &known) {
                                     return known.sentMs.empty() && known.address != host;
                                 }),
                  m_hosts.end());
    const auto known = std::find_if(m_hosts.begin(), m_hosts.end(),
                                    [&host](const Host &h) { return h.address == host; });
    if (known != m_hosts.end() || int(m_hosts.size()) >= kMaxHosts)
        return known;
    m_hosts.push_back({host, {}});
    return std::prev(m_hosts.end());
}
