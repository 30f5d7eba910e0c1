#pragma once

#include <QHostAddress>
#include <QPair>
#include <QStringList>
#include <optional>
#include <vector>

// The networks the OSC door takes messages from: loopback always, and the networks listed
// ("192.168.1.0/24", "10.0.0.7", "fd00::/8"). Everything else is dropped unanswered. Sources
// come as IPv4 whatever socket they arrive on, so an entry written as an IPv4-mapped IPv6 network
// (::ffff:192.168.1.0/120) is taken as the IPv4 network it stands for.
class OscAllowList
{
public:
    // Nothing, with the entry at fault in `error`, when an entry is not a network.
    static std::optional<OscAllowList> parse(const QStringList &networks, QString *error);

    bool admits(const QHostAddress &source) const;
    bool isEmpty() const { return m_networks.empty(); }
    // What the entries admit beyond what they seem to say (an address with host bits set).
    const QStringList &warnings() const { return m_warnings; }

private:
    std::vector<QPair<QHostAddress, int>> m_networks;
    QStringList m_warnings;
};
